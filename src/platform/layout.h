// Where the back page lands in the window: the destination rectangle and the
// mapping of window positions back to page pixels.
#pragma once

#include <cstdint>

struct vell_config_t;

struct vell_rect {
  int32_t x, y;  // top-left corner in window pixels
  int32_t w, h;  // size in window pixels
};

// The rectangle a page_w x page_h page is drawn into inside a window of
// win_w x win_h real pixels: the configured draw_rect when it has a size;
// else with pixel_perfect the largest whole enlargement, centred; else with
// keep_aspect the largest fit keeping proportions, centred; else the window.
vell_rect vell_compute_dest_rect(int32_t win_w, int32_t win_h, int32_t page_w, int32_t page_h,
                                 const vell_config_t &cfg);

// Maps a window pixel position to page pixels through the rectangle
// (integer division, toward zero). A rectangle without area maps to 0.
void vell_window_to_page(const vell_rect &rect, int32_t page_w, int32_t page_h, int32_t wx, int32_t wy,
                         int32_t *px, int32_t *py);
