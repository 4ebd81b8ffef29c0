#include <gtest/gtest.h>

#include "platform/config.h"
#include "platform/layout.h"

namespace {

vell_config_t layout_config(int32_t pixel_perfect, int32_t keep_aspect) {
  vell_config_default();
  vell_config_t c = vell_config;
  c.pixel_perfect = pixel_perfect;
  c.keep_aspect = keep_aspect;
  return c;
}

void expect_rect(const vell_rect &r, int32_t x, int32_t y, int32_t w, int32_t h) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.w, w);
  EXPECT_EQ(r.h, h);
}

}  // namespace

TEST(DestRect, PixelPerfectUsesLargestWholeFactorCentred) {
  const vell_config_t c = layout_config(1, 1);
  expect_rect(vell_compute_dest_rect(580, 540, 128, 128, c), 34, 14, 512, 512);
  // Wider than tall: the height limits the factor.
  expect_rect(vell_compute_dest_rect(1920, 1080, 128, 128, c), 448, 28, 1024, 1024);
  // Exactly fits.
  expect_rect(vell_compute_dest_rect(256, 256, 128, 128, c), 0, 0, 256, 256);
  // Too small for even one: factor 1, offsets negative and rounded toward zero.
  expect_rect(vell_compute_dest_rect(100, 61, 128, 128, c), -14, -33, 128, 128);
}

TEST(DestRect, KeepAspectFitsOnTheLimitingAxis) {
  const vell_config_t c = layout_config(0, 1);
  expect_rect(vell_compute_dest_rect(1920, 1080, 128, 128, c), 420, 0, 1080, 1080);
  expect_rect(vell_compute_dest_rect(600, 1000, 128, 128, c), 0, 200, 600, 600);
  // A page relatively wider than the window: full width, sizes truncated.
  expect_rect(vell_compute_dest_rect(500, 500, 160, 100, c), 0, 94, 500, 312);
}

TEST(DestRect, StretchAndFixedRectangle) {
  vell_config_t c = layout_config(0, 0);
  expect_rect(vell_compute_dest_rect(1920, 1080, 128, 128, c), 0, 0, 1920, 1080);
  c.draw_rect_x = 5;
  c.draw_rect_y = 6;
  c.draw_rect_w = 300;
  c.draw_rect_h = 200;
  c.pixel_perfect = 1;  // a fixed rectangle wins over every mode
  expect_rect(vell_compute_dest_rect(1920, 1080, 128, 128, c), 5, 6, 300, 200);
  c.draw_rect_h = 0;  // without a size it is ignored
  expect_rect(vell_compute_dest_rect(580, 540, 128, 128, c), 34, 14, 512, 512);
}

TEST(DestRect, MousePositionsMapThroughTheRectangle) {
  const vell_rect r = vell_compute_dest_rect(580, 540, 128, 128, layout_config(1, 1));
  int32_t x = -1, y = -1;
  vell_window_to_page(r, 128, 128, 34, 14, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  vell_window_to_page(r, 128, 128, 545, 525, &x, &y);
  EXPECT_EQ(x, 127);
  EXPECT_EQ(y, 127);
  vell_window_to_page(r, 128, 128, 37, 18, &x, &y);  // last pixel of the first enlarged page pixel, then the next
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 1);
  vell_window_to_page(r, 128, 128, 2, 0, &x, &y);  // left of the picture: negative, toward zero
  EXPECT_EQ(x, -8);
  EXPECT_EQ(y, -3);
  vell_window_to_page(vell_rect{0, 0, 0, 0}, 128, 128, 50, 50, &x, &y);  // no picture laid out
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}
