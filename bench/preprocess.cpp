// Times token counting and preprocessing of 65535-character programs: a
// realistic one built from the test fixtures, and a few made to hit the slow
// paths (unclosed block comments, long lines of rewrites). Prints
// milliseconds per call.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "script/preprocess.h"
#include "script/tokenizer.h"

namespace {

constexpr size_t k_program_size = 65535;

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Repeats `piece` while it fits and pads with a comment to exactly
// k_program_size characters.
std::string fill(const std::string &piece) {
  std::string text;
  while (text.size() + piece.size() <= k_program_size) text += piece;
  std::string pad = "\n--";
  pad.resize(k_program_size - text.size(), '-');
  return text + pad;
}

template <typename F>
double ms_per_call(int runs, F &&f) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; i++) f();
  const std::chrono::duration<double, std::milli> d = std::chrono::steady_clock::now() - start;
  return d.count() / runs;
}

void measure(const char *name, const std::string &text, int runs) {
  static std::vector<char> out(k_preprocess_buffer_size);
  int tokens = 0;
  int status = 0;
  const double count_ms = ms_per_call(runs, [&] { tokens = count_tokens(text.c_str()); });
  const double pre_ms =
      ms_per_call(runs, [&] { status = orrery_preprocess(text.c_str(), out.data()); });
  printf("%-28s %6zu chars %6d tokens  count_tokens %8.3f ms  preprocess %8.3f ms%s\n", name,
         text.size(), tokens, count_ms, pre_ms, status ? "  (output truncated)" : "");
}

}  // namespace

int main() {
  const std::string dir = std::string(ORRERY_SOURCE_DIR) + "/tests/data/preprocess/";
  std::string cartridge;
  for (const char *name : {"cave_flyer", "particles", "title_menu"})
    cartridge += read_file(dir + name + ".code") + "\n";
  if (cartridge.size() < 100) {
    fprintf(stderr, "fixtures not found under %s\n", dir.c_str());
    return 1;
  }

  // As many API names as the console registers, among them those the
  // fixtures call.
  init_api_function_names();
  for (const char *name : {"cls", "print", "btn", "btnp", "rnd", "rectfill", "circfill", "pset",
                           "line", "mid", "flr", "sin", "stop", "spr", "map", "sfx", "music"})
    add_api_function_name(name);
  for (int i = api_function_name_count(); i < 130; i++)
    add_api_function_name(("api_function_" + std::to_string(i)).c_str());

  measure("cartridge-style program", fill(cartridge), 50);
  measure("unclosed block comments", fill("--[[ open\nx != y\n"), 10);
  measure("one line of != and glyphs", fill("a != b \x8b\x97 "), 10);
  // 2730 rewrites on a line use up the 8192-token limit.
  std::string compound;
  for (int i = 0; i < 2730; i++) compound += "a+=1 ";
  measure("lines of 2730 += each", fill(compound + "\n"), 3);
  return 0;
}
