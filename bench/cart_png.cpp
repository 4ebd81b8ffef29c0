// Prints how fast code compression and picture cartridges are: compressing
// a typical 60,000-character program and a worst case (one character
// repeated), decompressing, hashing, saving and loading a picture
// cartridge, and loading it as the console's working cartridge. Targets: typical compression under 20 ms, the worst case under
// 300 ms, a picture load under 5 ms.

#include "machine/cart_png.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/cart_image.h"
#include "machine/cart_load.h"
#include "machine/code_compress.h"
#include "machine/memory.h"
#include "platform/config.h"
#include "platform/png_image.h"

namespace {

using bench_clock = std::chrono::steady_clock;

double ms_since(bench_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(bench_clock::now() - t0).count();
}

// A program that reads like a game's: functions over a small vocabulary of
// names, numbers and calls, indented, with comments.
std::string typical_program(size_t size) {
  static const char *const names[] = {"player", "enemy",  "bullet", "star",  "score", "timer",
                                      "level",  "wave",   "speed",  "dx",    "dy",    "frame",
                                      "sprite", "col",    "hit",    "boss",  "life",  "shield",
                                      "angle",  "target", "map_x",  "map_y", "cam",   "fuel"};
  static const char *const calls[] = {"spr",  "rectfill", "circfill", "print", "sfx", "btn", "line",  "pset",
                                      "mget", "fget",     "sin",      "cos",   "rnd", "flr", "music", "add"};
  std::mt19937 rng(11);
  auto pick = [&rng](auto &list) { return std::string(list[rng() % (sizeof list / sizeof list[0])]); };
  auto num = [&rng]() {
    return std::to_string(rng() % 200) + (rng() % 3 == 0 ? "." + std::to_string(rng() % 100) : "");
  };
  std::string s = "-- star pilot\n-- a benchmark program\n\n";
  for (int f = 0; s.size() < size; f++) {
    s += "function " + pick(calls) + "_" + pick(names) + std::to_string(f) + "(" + pick(names) + ", " +
         pick(names) + ")\n";
    const int lines = 3 + static_cast<int>(rng() % 8);
    for (int l = 0; l < lines; l++) {
      switch (rng() % 5) {
        case 0:
          s += " local " + pick(names) + std::to_string(rng() % 10) + " = " + pick(names) + "." +
               pick(names) + " * " + num() + "\n";
          break;
        case 1:
          s += " if " + pick(names) + "." + pick(names) + " > " + num() + " then " + pick(calls) + "(" +
               num() + ", " + pick(names) + ", " + num() + ") end\n";
          break;
        case 2:
          s += " -- " + pick(names) + " " + pick(calls) + " " + pick(names) + " " + num() + "\n";
          break;
        case 3:
          s += " print(\"" + pick(names) + " " + num() + "\", " + num() + ", " + num() + ", " +
               std::to_string(rng() % 16) + ")\n";
          break;
        default:
          s += " " + pick(calls) + "(" + pick(names) + "+" + num() + ", " + pick(names) + "-" + num() + ", " +
               std::to_string(rng() % 16) + ")\n";
          break;
      }
    }
    s += "end\n\n";
  }
  s.resize(size);
  return s;
}

template <typename F>
double best_ms(int rounds, F f) {
  double best = 1e9;
  for (int r = 0; r < rounds; r++) {
    auto t0 = bench_clock::now();
    f();
    best = std::min(best, ms_since(t0));
  }
  return best;
}

}  // namespace

int main() {
  const std::string typical = typical_program(60000);
  const std::string worst(60000, 'a');
  std::vector<uint8_t> block;

  double t =
      best_ms(10, [&] { compress_mini(typical.data(), static_cast<int32_t>(typical.size()), &block); });
  printf("compress typical 60000 chars: %8.2f ms  -> %zu bytes (%.0f%%)  target < 20 ms\n", t, block.size(),
         100.0 * block.size() / typical.size());
  std::vector<char> out(65538);
  int32_t len = 0;
  t = best_ms(20, [&] {
    decompress_mini(block.data(), static_cast<int32_t>(block.size()), out.data(), 65537, &len);
  });
  printf(
      "decompress typical:           %8.2f ms  -> %d chars%s\n", t, len,
      typical.compare(0, std::string::npos, out.data(), static_cast<size_t>(len)) == 0 ? "" : "  MISMATCH");

  t = best_ms(5, [&] { compress_mini(worst.data(), static_cast<int32_t>(worst.size()), &block); });
  printf("compress worst 60000 x 'a':   %8.2f ms  -> %zu bytes        target < 300 ms\n", t, block.size());

  // Texts that keep the candidate lists long while matches stay short.
  std::mt19937 mix(5);
  std::string two_letters, runs;
  while (two_letters.size() < 60000) two_letters += static_cast<char>('a' + mix() % 2);
  while (runs.size() < 60000) runs += "aaa" + std::string(1, static_cast<char>('b' + mix() % 26));
  for (const std::string *text : {&two_letters, &runs}) {
    t = best_ms(3, [&] { compress_mini(text->data(), static_cast<int32_t>(text->size()), &block); });
    printf("compress 60000 %-14s  %8.2f ms  -> %zu bytes\n", text == &runs ? "aaa+letter:" : "random a/b:", t,
           block.size());
  }

  orrery_cart *cart = vell_create_orrery_cart();
  if (!cart) return 1;
  std::mt19937 rng(3);
  for (int32_t a = 0; a < k_cart_image_size; a++)
    orrery_poke(nullptr, cart, a, static_cast<int32_t>(rng() & 255));
  strcpy(cart->code, typical.substr(0, 30000).c_str());
  cart->label = vell_create_bitmap(128, 128, 8);
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++) cart->label->line[y][x] = static_cast<uint8_t>((x / 4 + y / 8) & 15);

  char hash[41];
  t = best_ms(10, [&] { hash_cart(cart, hash); });
  printf("hash (30000-char program):    %8.2f ms\n", t);

  char path[] = "/tmp/orrery-bench-XXXXXX";
  if (!mkdtemp(path)) return 1;
  const std::string file = std::string(path) + "/bench.q7.png";
  int result = 0;
  vell_rgba_image pic;
  t = best_ms(10, [&] { result |= orrery_cart_png_picture(cart, &pic); });
  printf("compose picture:              %8.2f ms\n", t);
  std::string encoded;
  t = best_ms(10, [&] { result |= vell_png_encode(pic, &encoded); });
  printf("encode picture as PNG:        %8.2f ms  -> %zu bytes\n", t, encoded.size());
  t = best_ms(10, [&] { result |= save_orrery_cart_png(cart, file.c_str()); });
  printf("save picture cartridge:       %8.2f ms%s\n", t, result ? "  FAILED" : "");
  orrery_cart *loaded = nullptr;
  t = best_ms(20, [&] {
    vell_destroy_orrery_cart(loaded);
    loaded = load_orrery_cart_png(file.c_str());
  });
  printf("load picture cartridge:       %8.2f ms%s  target < 5 ms\n", t,
         loaded && strcmp(loaded->code, cart->code) == 0 ? "" : "  FAILED");
  vell_destroy_orrery_cart(loaded);

  // The whole load of the console: finding the file, the legacy changes,
  // the shared quarter, the hash and the look for stored data.
  vell_config_set_text(&vell_config_t::home_path, (std::string(path) + "/").c_str());
  t = best_ms(20, [&] { result |= load_working_cart(file.c_str()); });
  printf("load as working cartridge:    %8.2f ms%s  (find, prepare, hash)\n", t, result ? "  FAILED" : "");
  vell_destroy_orrery_cart(orrery_working_cart());

  vell_destroy_orrery_cart(cart);
  remove(file.c_str());
  remove(path);
  return 0;
}
