#include "platform/video.h"

#include <cstdio>

#include "gfx/bitmap.h"
#include "platform/backends.h"
#include "platform/config.h"
#include "platform/log.h"
#include "platform/system.h"

namespace {

struct video_state {
  vell_bitmap *back_page = nullptr;  // the engine back page
  int screen_mode = 1;               // 0 windowed, 1 full screen
  int app_chose_size = 0;            // vell_set_window_size was called
  vell_rect dest = {0, 0, 0, 0};     // where the page is drawn, in drawable pixels
  int32_t page_w = 0;                // page size the layout was made for
  int32_t page_h = 0;
  int32_t fps = 60 << 16;            // smoothed frame rate, 16.16
  uint32_t last_present = 0;         // time of the previous present, ms
  int presented = 0;                 // 1 once a page was presented
};

video_state g_video;

// The fps measurement: raw rate from the time since the last present, and
// a smoothed 16.16 value that follows it.
void measure_frame_rate() {
  const uint32_t now = vell_get_time();
  if (!g_video.presented) {
    g_video.presented = 1;
    g_video.last_present = now;
    return;
  }
  uint32_t ms = now - g_video.last_present;
  g_video.last_present = now;
  if (ms < 1) ms = 1;
  if (ms > 1000) ms = 1000;
  const int64_t raw = (int64_t(1000 / ms) + 1) << 16;
  int64_t s = (15 * int64_t(g_video.fps) + raw) / 16;
  if (s < raw) s = s + 4096 > raw ? raw : s + 4096;
  else if (s > raw) s = s - 4096 < raw ? raw : s - 4096;
  g_video.fps = static_cast<int32_t>(s);
}

}  // namespace

void vell_video_init() {
  uint8_t grey[768];
  for (int i = 0; i < 256; i++) grey[i * 3] = grey[i * 3 + 1] = grey[i * 3 + 2] = static_cast<uint8_t>(i);
  vell_set_engine_palette(grey);
}

void vell_video_exit() {
  vell_backends.video.close();
  vell_destroy_bitmap(g_video.back_page);
  g_video.back_page = nullptr;
  g_video.presented = 0;
  g_video.dest = {0, 0, 0, 0};
}

int vell_set_screen(int32_t width, int32_t height, int32_t depth, int32_t flags) {
  const vell_config_t &c = vell_config();
  vell_debugf("vell_set_screen %d %d %d %x\n", width, height, depth, flags);
  if (c.pixel_perfect == -1) {
    vell_config_set(&vell_config_t::pixel_perfect, height < 480 ? 1 : 0);
    vell_debugf(" set pixel_perfect %d\n", c.pixel_perfect);
  }
  if (width == 0 || height == 0) {
    int32_t dw = 0, dh = 0;
    vell_backends.video.desktop_size(&dw, &dh);
    width = dw > 0 ? dw : 640;
    height = dh > 0 ? dh : 480;
    vell_debugf("retrieving desktop resolution: %d %d\n", width, height);
  }
  if (g_video.app_chose_size) {
    if (c.window_size_w < 32 || c.window_size_h < 32) {
      vell_config_set(&vell_config_t::window_size_w, 640);
      vell_config_set(&vell_config_t::window_size_h, 480);
    }
    vell_debugf(" window size: %d %d\n", c.window_size_w, c.window_size_h);
  } else {
    vell_config_set(&vell_config_t::window_size_w, width);
    vell_config_set(&vell_config_t::window_size_h, height);
  }
  if ((flags & 0x100) && c.windowed == 1) g_video.screen_mode = 0;
  if (flags & 4) g_video.screen_mode = 0;
  if (flags & 8) g_video.screen_mode = 1;

  if (!g_video.back_page || g_video.back_page->w != width || g_video.back_page->h != height ||
      g_video.back_page->depth != depth) {
    vell_destroy_bitmap(g_video.back_page);
    g_video.back_page = vell_create_bitmap(width, height, depth == 32 ? 32 : 8);
  }
  vell_backends.video.open(vell_get_windowed());
  return 0;
}

vell_bitmap *vell_back_page() { return g_video.back_page; }

void vell_resize_back_page(int32_t w, int32_t h) {
  vell_bitmap *b = g_video.back_page;
  if (b && b->w == w && b->h == h && b->depth == 8) return;
  vell_destroy_bitmap(b);
  g_video.back_page = vell_create_bitmap(w, h, 8);
  vell_update_layout();
}

void vell_fit_window_size(int32_t *w, int32_t *h) {
  if (*w < 32 || *h < 32) return;
  vell_backends.video.fit_window(w, h);
}

void vell_set_window_size(int32_t w, int32_t h) {
  vell_config_set(&vell_config_t::window_size_w, w);
  vell_config_set(&vell_config_t::window_size_h, h);
  g_video.app_chose_size = 1;
}

void vell_set_windowed(int on) {
  const int mode = on ? 0 : 1;
  if (mode == g_video.screen_mode) return;
  g_video.screen_mode = mode;
  if (vell_has_window()) vell_backends.video.open(vell_get_windowed());
}

void vell_toggle_fullscreen() { vell_set_windowed(g_video.screen_mode == 1); }

int vell_get_windowed() { return g_video.screen_mode == 0 ? 1 : 0; }

void vell_set_palette(const uint8_t rgb[768]) { vell_set_engine_palette(rgb); }

void vell_set_window_title(const char *title) { vell_backends.video.set_title(title); }

void vell_set_window_icon(const vell_bitmap *icon) { vell_backends.video.set_icon(icon); }

void vell_blit_to_video_plat(const vell_bitmap *page) {
  measure_frame_rate();
  if (!page || !vell_has_window()) return;
  if (page->w != g_video.page_w || page->h != g_video.page_h) vell_update_layout();
  vell_backends.video.present(page);
}

int32_t vell_get_fps() { return g_video.fps >> 16; }

int vell_has_window() { return vell_backends.video.has_window(); }

void vell_get_drawable_size(int32_t *w, int32_t *h) { vell_backends.video.drawable_size(w, h); }

vell_rect vell_get_dest_rect() { return g_video.dest; }

void vell_update_layout() {
  const vell_bitmap *page = g_video.back_page;
  g_video.page_w = page ? page->w : 0;
  g_video.page_h = page ? page->h : 0;
  if (!vell_has_window() || !page) {
    g_video.dest = {0, 0, 0, 0};
    return;
  }
  int32_t w, h;
  vell_get_drawable_size(&w, &h);
  g_video.dest = vell_compute_dest_rect(w, h, page->w, page->h, vell_config());
}

void vell_window_point_to_page(int32_t wx, int32_t wy, int32_t *px, int32_t *py) {
  int32_t dw = 0, dh = 0, ww = 0, wh = 0;
  vell_get_drawable_size(&dw, &dh);
  vell_backends.video.window_size(&ww, &wh);
  // On high-DPI displays window coordinates are points, not pixels.
  if (ww > 0 && wh > 0 && (dw != ww || dh != wh)) {
    wx = static_cast<int32_t>(int64_t(wx) * dw / ww);
    wy = static_cast<int32_t>(int64_t(wy) * dh / wh);
  }
  vell_window_to_page(g_video.dest, g_video.page_w, g_video.page_h, wx, wy, px, py);
}
