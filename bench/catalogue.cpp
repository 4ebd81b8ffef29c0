// Prints what reading a catalogue page costs the main loop, which does it
// between two frames: a full page of 32 entries read from a PNG file into a
// list (decoding, text fields, label conversion), for labels of flat
// colour areas and for labels of noise (every pixel differs).

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "browser/browser_list.h"
#include "browser/catalogue_page.h"
#include "platform/png_image.h"

namespace {

constexpr int k_rounds = 20;

double read_ms(const std::string &file) {
  browser_list list;
  list.name = "new";
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < k_rounds; i++) populate_cartfind_list_from_png_file(list, file.c_str(), 0);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return took.count() / k_rounds;
}

}  // namespace

int main() {
  uint8_t palette[768];
  for (int i = 0; i < 768; i++) palette[i] = static_cast<uint8_t>(i * 37);
  vell_set_engine_palette(palette);
  std::mt19937 rng(7);
  std::vector<vell_bitmap *> labels;
  std::vector<catalogue_page_entry> entries(k_page_cells);
  for (int k = 0; k < k_page_cells; k++) {
    vell_bitmap *b = vell_create_bitmap(k_label_size, k_label_size, 8);
    for (int y = 0; y < k_label_size; y++)
      for (int x = 0; x < k_label_size; x++) b->line[y][x] = static_cast<uint8_t>((x / 16 + y / 32 + k) % 16);
    labels.push_back(b);
    entries[k].a = k + 1;
    entries[k].title = "cartridge number " + std::to_string(k);
    entries[k].author = "someone";
    entries[k].label = b;
  }
  const std::string flat = "/tmp/orrery-bench-page-flat.png", noise = "/tmp/orrery-bench-page-noise.png";
  vell_rgba_image page;
  make_catalogue_page(entries, palette, &page);
  vell_png_write_file(flat.c_str(), page);
  for (int y = 0; y < k_page_height; y++)
    for (int x = 0; x < k_page_width; x++)
      if (y % k_cell_height < k_label_size)
        for (int c = 0; c < 3; c++) page.pixels[(static_cast<size_t>(y) * k_page_width + x) * 4 + c] = rng() & 255;
  vell_png_write_file(noise.c_str(), page);

  vell_rgba_image decoded;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < k_rounds; i++) vell_png_read_file(noise.c_str(), &decoded);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  printf("decoding the noise page alone: %6.2f ms\n", took.count() / k_rounds);
  printf("reading a full catalogue page (1024x544, 32 entries) into a list:\n");
  printf("  flat labels:  %6.2f ms\n", read_ms(flat));
  printf("  noise labels: %6.2f ms\n", read_ms(noise));
  for (vell_bitmap *b : labels) vell_destroy_bitmap(b);
  remove(flat.c_str());
  remove(noise.c_str());
  return 0;
}
