#include "shell/web_export.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "machine/cart.h"
#include "machine/cart_load.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

constexpr size_t k_player_file_max = size_t{64} << 20;  // largest player file read (the .wasm is a few MB)
constexpr size_t k_cart_file_max = size_t{16} << 20;    // largest cartridge file copied
constexpr size_t k_title_max = 60;                      // characters of the page's title

// The player's files, in the player folder and in the exported folder.
constexpr const char *k_player_files[] = {"orrery.js", "orrery.wasm"};
constexpr const char *k_page_template = "index.html";

std::string base_name(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ends_with(const std::string &s, const char *end) {
  const size_t n = strlen(end);
  return s.size() >= n && s.compare(s.size() - n, n, end) == 0;
}

// The cartridge's name in the folder: its own when that is safe in an
// address and in the page's text (letters, digits, '.', '-', '_', not
// starting with '.'), else "cart" with the ending of its format.
std::string published_name(const std::string &path) {
  const std::string name = base_name(path);
  bool safe = !name.empty() && name[0] != '.' && name != k_page_template;
  for (char c : name)
    safe = safe && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '-' || c == '_');
  for (const char *player : k_player_files) safe = safe && name != player;
  if (safe) return name;
  return ends_with(name, ".png") ? "cart.q7.png" : "cart.q7";
}

std::string html_escaped(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

// The page's title: the cartridge's first line when it is a comment
// ("-- title"), else its file name without the endings.
std::string cart_title(const orrery_cart &cart, const std::string &name) {
  std::string line(cart.code, strcspn(cart.code, "\r\n"));
  if (line.compare(0, 2, "--") == 0) {
    line.erase(0, line.find_first_not_of("- \t") == std::string::npos ? line.size() : line.find_first_not_of("- \t"));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    std::string printable;
    for (char c : line)
      if (static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 127) printable += c;
    if (!printable.empty()) return printable.substr(0, k_title_max);
  }
  std::string title = name;
  for (const char *end : {".png", ".q7"})
    if (ends_with(title, end)) title.resize(title.size() - strlen(end));
  return title;
}

// The folder holding every player file, or "" when none does.
std::string player_folder(std::string *looked) {
  const std::string candidates[] = {vell_prefix_with_program_path("web/"),
                                    vell_program_folder() + "../share/orrery/web/"};
  for (const std::string &folder : candidates) {
    *looked += (looked->empty() ? "" : " and ") + folder;
    bool complete = vell_file_exists((folder + k_page_template).c_str()) != 0;
    for (const char *f : k_player_files) complete = complete && vell_file_exists((folder + f).c_str());
    if (complete) return folder;
  }
  return "";
}

void replace_all(std::string &text, const std::string &what, const std::string &with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

int write_or_say(const std::string &path, const std::string &bytes) {
  if (vell_write_file_replacing(path.c_str(), bytes.data(), bytes.size()) == VELL_WRITE_OK) return 0;
  fprintf(stderr, "could not write %s\n", path.c_str());
  return 1;
}

}  // namespace

bool orrery_is_web_export(int argc, const char *const *argv) {
  return argc > 1 && strcmp(argv[1], "-export_web") == 0;
}

int orrery_export_web(int argc, const char *const *argv) {
  if (argc != 4 || !argv[2][0] || !argv[3][0]) {
    fprintf(stderr, "usage: orrery -export_web CART OUT_FOLDER\n");
    return WEB_EXPORT_BAD_INPUT;
  }
  const std::string cart_path = argv[2];
  std::string folder = argv[3];
  if (folder.back() != '/') folder += '/';

  // Only a file that loads as a cartridge is published.
  std::string cart_bytes;
  orrery_cart *cart = nullptr;
  if (vell_file_exists(cart_path.c_str()) &&
      vell_read_file(cart_path.c_str(), k_cart_file_max, &cart_bytes) == VELL_READ_OK)
    cart = load_cart_file(cart_path);
  if (!cart) {
    fprintf(stderr, "could not load %s\n", cart_path.c_str());
    return WEB_EXPORT_BAD_INPUT;
  }
  const std::string name = published_name(cart_path);
  const std::string title = cart_title(*cart, name);
  vell_destroy_orrery_cart(cart);

  std::string looked;
  const std::string player = player_folder(&looked);
  if (player.empty()) {
    fprintf(stderr,
            "the web player is not installed (looked in %s): build it with scripts/web-build.sh, which puts it "
            "beside the native program in build/web/ (cmake --install then installs it too)\n",
            looked.c_str());
    return WEB_EXPORT_NO_PLAYER;
  }

  std::string page;
  if (vell_read_file((player + k_page_template).c_str(), k_player_file_max, &page) != VELL_READ_OK) {
    fprintf(stderr, "could not read %s%s\n", player.c_str(), k_page_template);
    return WEB_EXPORT_NO_PLAYER;
  }
  replace_all(page, "@TITLE@", html_escaped(title));
  replace_all(page, "@CART@", name);

  if (vell_make_directories(folder.c_str()) != 0 && !vell_directory_exists(folder.c_str())) {
    fprintf(stderr, "could not make the folder %s\n", folder.c_str());
    return WEB_EXPORT_WRITE_FAILED;
  }
  for (const char *f : k_player_files) {
    std::string bytes;
    if (vell_read_file((player + f).c_str(), k_player_file_max, &bytes) != VELL_READ_OK) {
      fprintf(stderr, "could not read %s%s\n", player.c_str(), f);
      return WEB_EXPORT_NO_PLAYER;
    }
    if (write_or_say(folder + f, bytes) != 0) return WEB_EXPORT_WRITE_FAILED;
  }
  if (write_or_say(folder + name, cart_bytes) != 0 || write_or_say(folder + k_page_template, page) != 0)
    return WEB_EXPORT_WRITE_FAILED;
  printf("%sindex.html\n%sorrery.js\n%sorrery.wasm\n%s%s\n", folder.c_str(), folder.c_str(), folder.c_str(),
         folder.c_str(), name.c_str());
  return WEB_EXPORT_OK;
}
