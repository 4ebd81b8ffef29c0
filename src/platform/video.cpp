#include "platform/video.h"

#include <cstring>

#include "api/bitmap.h"
#include "shell/config.h"
#include "shell/log.h"

namespace {

struct video_state {
  vell_bitmap *back_page = nullptr;  // the engine back page
  int screen_mode = 1;               // 0 windowed, 1 full screen
  int app_chose_size = 0;            // vell_set_window_size was called
  int32_t fps = 60 << 16;            // smoothed frame rate, 16.16
};

video_state g_video;

}  // namespace

void vell_video_init() {}

void vell_video_exit() {
  vell_destroy_bitmap(g_video.back_page);
  g_video.back_page = nullptr;
}

int vell_set_screen(int32_t width, int32_t height, int32_t depth, int32_t flags) {
  vell_debugf("vell_set_screen %d %d %d %x\n", width, height, depth, flags);
  if (vell_config.pixel_perfect == -1) {
    vell_config.pixel_perfect = height < 480 ? 1 : 0;
    vell_debugf(" set pixel_perfect %d\n", vell_config.pixel_perfect);
  }
  if ((flags & 0x100) && vell_config.windowed == 1) g_video.screen_mode = 0;
  if (flags & 4) g_video.screen_mode = 0;
  if (flags & 8) g_video.screen_mode = 1;
  vell_resize_back_page(width, height);
  return 0;
}

vell_bitmap *vell_back_page() { return g_video.back_page; }

void vell_resize_back_page(int32_t w, int32_t h) {
  vell_bitmap *b = g_video.back_page;
  if (b && b->w == w && b->h == h) return;
  vell_destroy_bitmap(b);
  g_video.back_page = vell_create_bitmap(w, h, 8);
}

void vell_set_window_size(int32_t w, int32_t h) {
  vell_config.window_size_w = w;
  vell_config.window_size_h = h;
  g_video.app_chose_size = 1;
}

void vell_set_windowed(int on) { g_video.screen_mode = on ? 0 : 1; }
void vell_toggle_fullscreen() { g_video.screen_mode = !g_video.screen_mode; }
int vell_get_windowed() { return g_video.screen_mode == 0 ? 1 : 0; }

void vell_set_palette(const uint8_t rgb[768]) { vell_set_engine_palette(rgb); }
void vell_set_window_title(const char *) {}
void vell_set_window_icon(const vell_bitmap *) {}

void vell_blit_to_video_plat(const vell_bitmap *) {}

int32_t vell_get_fps() { return g_video.fps >> 16; }
