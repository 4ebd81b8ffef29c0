// The screen: where the page is laid out in the window for each mode, and
// where the mouse lands on it.
#include "support/test.h"

namespace {

std::vector<int32_t> rect(const vell_rect &r) { return {r.x, r.y, r.w, r.h}; }

}  // namespace

TEST(DestRect, PageIsLaidOutByTheConfiguredModeAndMouseMapsBack) {
  // Window and page sizes, pixel_perfect, keep_aspect, and the rectangle.
  const std::tuple<int, int, int, int, int, int, std::vector<int32_t>> cases[] = {
      {580, 540, 128, 128, 1, 1, {34, 14, 512, 512}},       // the largest whole factor, centred
      {1920, 1080, 128, 128, 1, 1, {448, 28, 1024, 1024}},  // the height limits the factor
      {256, 256, 128, 128, 1, 1, {0, 0, 256, 256}},
      {100, 61, 128, 128, 1, 1, {-14, -33, 128, 128}},     // too small: factor 1, offsets toward zero
      {1920, 1080, 128, 128, 0, 1, {420, 0, 1080, 1080}},  // keep aspect on the limiting axis
      {600, 1000, 128, 128, 0, 1, {0, 200, 600, 600}},
      {500, 500, 160, 100, 0, 1, {0, 94, 500, 312}},    // sizes truncated
      {1920, 1080, 128, 128, 0, 0, {0, 0, 1920, 1080}}  // stretch
  };
  vell_config_default();
  vell_config_t c = vell_config();
  for (const auto &[ww, wh, pw, ph, perfect, aspect, want] : cases) {
    c.pixel_perfect = perfect;
    c.keep_aspect = aspect;
    EXPECT_EQ(rect(vell_compute_dest_rect(ww, wh, pw, ph, c)), want) << ww << "x" << wh << " " << perfect << aspect;
  }
  // A fixed rectangle wins over every mode; without a size it is ignored.
  c.draw_rect_x = 5, c.draw_rect_y = 6, c.draw_rect_w = 300, c.draw_rect_h = 200, c.pixel_perfect = 1;
  EXPECT_EQ(rect(vell_compute_dest_rect(1920, 1080, 128, 128, c)), (std::vector<int32_t>{5, 6, 300, 200}));
  c.draw_rect_h = 0;
  const vell_rect r = vell_compute_dest_rect(580, 540, 128, 128, c);
  EXPECT_EQ(rect(r), (std::vector<int32_t>{34, 14, 512, 512}));
  // Window points back to page pixels: corners, the edge of an enlarged
  // pixel, left of the picture (toward zero), and no picture at all.
  const std::tuple<vell_rect, int, int, int, int> points[] = {
      {r, 34, 14, 0, 0}, {r, 545, 525, 127, 127}, {r, 37, 18, 0, 1}, {r, 2, 0, -8, -3}, {{0, 0, 0, 0}, 50, 50, 0, 0}};
  for (const auto &[in, wx, wy, px, py] : points) {
    int32_t x = -1, y = -1;
    vell_window_to_page(in, 128, 128, wx, wy, &x, &y);
    EXPECT_EQ((std::vector<int32_t>{x, y}), (std::vector<int32_t>{px, py})) << wx << "," << wy;
  }
}
