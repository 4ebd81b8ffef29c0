#include "platform/layout.h"

#include "platform/config.h"

vell_rect vell_compute_dest_rect(int32_t win_w, int32_t win_h, int32_t page_w, int32_t page_h,
                                 const vell_config_t &cfg) {
  if (cfg.draw_rect_w > 0 && cfg.draw_rect_h > 0)
    return {cfg.draw_rect_x, cfg.draw_rect_y, cfg.draw_rect_w, cfg.draw_rect_h};
  if (page_w < 1 || page_h < 1) return {0, 0, win_w, win_h};
  if (cfg.pixel_perfect == 1) {
    int32_t s = win_w / page_w < win_h / page_h ? win_w / page_w : win_h / page_h;
    if (s < 1) s = 1;
    const int32_t w = s * page_w, h = s * page_h;
    return {(win_w - w) / 2, (win_h - h) / 2, w, h};
  }
  if (cfg.keep_aspect) {
    // Products in 64 bits: window sizes times page sizes can pass 2^31.
    if (int64_t(page_w) * win_h > int64_t(win_w) * page_h) {
      const int32_t h = static_cast<int32_t>(int64_t(win_w) * page_h / page_w);
      return {0, (win_h - h) / 2, win_w, h};
    }
    const int32_t w = static_cast<int32_t>(int64_t(win_h) * page_w / page_h);
    return {(win_w - w) / 2, 0, w, win_h};
  }
  return {0, 0, win_w, win_h};
}

void vell_window_to_page(const vell_rect &rect, int32_t page_w, int32_t page_h, int32_t wx, int32_t wy,
                         int32_t *px, int32_t *py) {
  if (rect.w <= 0 || rect.h <= 0) {
    *px = 0;
    *py = 0;
    return;
  }
  *px = static_cast<int32_t>(int64_t(wx - rect.x) * page_w / rect.w);
  *py = static_cast<int32_t>(int64_t(wy - rect.y) * page_h / rect.h);
}
