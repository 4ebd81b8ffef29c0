// Prints how fast the memory operations and the cartridge formats are:
// byte reads and writes across the whole address space, a full-screen
// memcpy, the .q7 loader and saver and the 32 KB image.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/cart_image.h"
#include "machine/cart_text.h"
#include "machine/memory.h"
#include "machine/pstate.h"

namespace {

using bench_clock = std::chrono::steady_clock;

double seconds_since(bench_clock::time_point t0) {
  return std::chrono::duration<double>(bench_clock::now() - t0).count();
}

volatile int32_t g_sink;  // keeps the reads from being optimised away

void fill_random(orrery_cart *c, std::mt19937 &rng) {
  for (int32_t a = 0; a < k_addr_user; a++) orrery_poke(nullptr, c, a, static_cast<int32_t>(rng() & 255));
  std::string code;
  while (code.size() < 15000) code += "function f" + std::to_string(code.size()) + "(x) return x*2 end\n";
  strcpy(c->code, code.c_str());
}

std::string save_text(const orrery_cart *c) {
  char *buf = nullptr;
  size_t len = 0;
  FILE *f = open_memstream(&buf, &len);
  vell_save_orrery_cart_to_file(c, f);
  fclose(f);
  std::string s(buf, len);
  free(buf);
  return s;
}

}  // namespace

int main() {
  if (orrery_create_machine() != 0) return 1;
  std::mt19937 rng(7);
  const int rounds = 200;

  auto t0 = bench_clock::now();
  int32_t sum = 0;
  for (int r = 0; r < rounds; r++)
    for (int32_t a = 0; a < k_addr_end; a++) sum += orrery_peek(&pstate, pstate.cart, a);
  g_sink = sum;
  double t = seconds_since(t0);
  printf("peek, whole space:      %8.2f ns/byte\n", t * 1e9 / (double(rounds) * k_addr_end));

  t0 = bench_clock::now();
  for (int r = 0; r < rounds; r++)
    for (int32_t a = 0; a < k_addr_end; a++)
      if (a < 0x5e00 || a >= 0x5f80) orrery_poke(&pstate, pstate.cart, a, a + r);
  t = seconds_since(t0);
  printf("poke, whole space:      %8.2f ns/byte\n", t * 1e9 / (double(rounds) * k_addr_end));

  t0 = bench_clock::now();
  for (int r = 0; r < rounds * 4; r++) orrery_memcpy(&pstate, pstate.cart, 0x6000, 0x0000, 8192);
  t = seconds_since(t0);
  printf("memcpy 8192 bytes:      %8.2f us\n", t * 1e6 / (rounds * 4));

  orrery_cart *c = vell_create_orrery_cart();
  fill_random(c, rng);
  const std::string text = save_text(c);
  const int files = 200;
  t0 = bench_clock::now();
  for (int r = 0; r < files; r++) g_sink = static_cast<int32_t>(save_text(c).size());
  t = seconds_since(t0);
  printf(".q7 save (%zu bytes):  %8.2f us\n", text.size(), t * 1e6 / files);

  t0 = bench_clock::now();
  for (int r = 0; r < files; r++) {
    FILE *f = fmemopen(const_cast<char *>(text.data()), text.size(), "rb");
    orrery_cart *back = vell_load_orrery_cart_from_file(f);
    fclose(f);
    vell_destroy_orrery_cart(back);
  }
  t = seconds_since(t0);
  printf(".q7 load (%zu bytes):  %8.2f us\n", text.size(), t * 1e6 / files);

  std::vector<uint8_t> image(k_cart_image_bytes);
  t0 = bench_clock::now();
  for (int r = 0; r < files; r++) save_orrery_cart_32k(c, image.data());
  t = seconds_since(t0);
  printf("32 KB image save:       %8.2f us\n", t * 1e6 / files);
  t0 = bench_clock::now();
  for (int r = 0; r < files; r++) load_orrery_cart_32k(c, image.data());
  t = seconds_since(t0);
  printf("32 KB image load:       %8.2f us\n", t * 1e6 / files);

  vell_destroy_orrery_cart(c);
  orrery_clear_machine();
  printf("bitmaps alive at exit:  %d\n", vell_bitmaps_alive());
  return 0;
}
