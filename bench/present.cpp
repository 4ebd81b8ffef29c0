// Figures for the per-frame work of the platform layer: presenting the
// 128x128 back page (palette conversion, upload, scaling) on SDL's dummy
// video driver through the renderer and the software path, and drawing text
// with the engine font.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "gfx/bitmap.h"
#include "gfx/engine_font.h"
#include "gfx/font.h"
#include "gfx/text.h"
#include "platform/config.h"
#include "platform/log.h"
#include "platform/system.h"
#include "platform/video.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void present_figures(const char *name, int software) {
  vell_config_set(&vell_config_t::software_blit, software);
  vell_config_set(&vell_config_t::windowed, 1);
  vell_set_window_size(580, 540);
  vell_set_screen(128, 128, 8, 0x100);
  vell_bitmap *page = vell_back_page();
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 128; x++) vell_putpixel(page, x, y, (x ^ y) & 15);
  const int frames = 2000;
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; i++) vell_blit_to_video_plat(page);
  const double s = seconds_since(t0);
  printf("present %-10s %8.1f us/frame  (%d frames, 580x540 window)\n", name, s * 1e6 / frames, frames);
  vell_video_exit();
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  const std::string home = std::filesystem::temp_directory_path() / "orrery-bench-present";
  std::filesystem::create_directories(home);
  vell_config_default();
  vell_config_set_text(&vell_config_t::home_path, home.c_str());
  vell_open_log((home + "/log.txt").c_str());
  vell_system_init();
  vell_text_init();
  vell_video_init();

  present_figures("renderer", 0);
  present_figures("software", 1);

  vell_bitmap *b = vell_create_bitmap(128, 128, 8);
  const char *line = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789";
  const int lines = 200000;
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < lines; i++) vell_draw_text_ex(b, line, vell_font1(), i & 63, i & 127, 1, 7);
  const double s = seconds_since(t0);
  printf("draw_text  %8.1f ns/glyph  (%d lines of 54 glyphs, 8-bit colour mode)\n", s * 1e9 / (lines * 54.0), lines);
  vell_destroy_bitmap(b);

  vell_text_exit();
  vell_system_exit();
  vell_close_log();
  std::filesystem::remove_all(home);
  return 0;
}
