// Engine graphics: bitmaps with their clip, the copy clipper, blits and
// sprite copies.
#include "support/test.h"

namespace {

// A bitmap owned by a test (bitmap_ptr comes with the browser's lists).
bitmap_ptr make(int32_t w, int32_t h, int32_t depth = 8) { return bitmap_ptr(vell_create_bitmap(w, h, depth)); }

// Rows of a region as digits ('.' for 0; '#' for other values above 9).
std::string picture(const vell_bitmap *b, int x0, int y0, int w, int h) {
  std::string s;
  for (int y = y0; y < y0 + h; y++, s += '\n')
    for (int x = x0; x < x0 + w; x++) {
      const uint32_t v = vell_getpixel(b, x, y);
      s += v == 0 ? '.' : v < 10 ? char('0' + v) : '#';
    }
  return s;
}

}  // namespace

TEST(EngineBitmap, CopyClipperTrimsToSourceAndDestinationClipWithoutOverflow) {
  bitmap_ptr src = make(10, 10), dst = make(20, 20);
  // Source and destination positions, size, destination clip (0 = the
  // whole bitmap), then the result and what it leaves.
  struct row {
    int32_t sx, sy, dx, dy, w, h, clip, ok, osx, osy, odx, ody, ow, oh;
  };
  const row rows[] = {
      {0, 0, -5, -5, 10, 10, 0, 1, 5, 5, 0, 0, 5, 5},  // the lower-right part lands in the corner
      {-3, 0, 4, 0, 6, 2, 0, 1, 0, 0, 7, 0, 3, 2},     // a negative source moves the destination
      {10, 0, 0, 0, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0},     // starting at the source width copies nothing
      {0, 0, 0, 0, 10, 10, 1, 1, 2, 2, 2, 2, 4, 3},    // clip (2, 2)-(6, 5), not the bitmap, limits the copy
      {0, 0, 6, 2, 3, 3, 1, 0, 0, 0, 0, 0, 0, 0},      // starting at the clip's right edge
      {-2147483647, 0, 0, 0, -2147483647, 4, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, -2147483647, 0, 2147483647, 4, 0, 0, 0, 0, 0, 0, 0, 0}};
  for (const row &r : rows) {
    r.clip ? vell_set_clip(dst.get(), 2, 2, 6, 5) : vell_reset_clip(dst.get());
    int32_t sx = r.sx, sy = r.sy, dx = r.dx, dy = r.dy, w = r.w, h = r.h;
    EXPECT_EQ(vell_clip(src.get(), dst.get(), sx, sy, dx, dy, w, h), r.ok) << r.sx << "," << r.dx << " " << r.w;
    if (r.ok) {
      EXPECT_EQ((std::vector<int32_t>{sx, sy, dx, dy, w, h}),
                (std::vector<int32_t>{r.osx, r.osy, r.odx, r.ody, r.ow, r.oh}));
    }
  }
}

TEST(EngineBitmap, BlitsCopyRowsWidenThroughThePaletteAndNeverSmear) {
  // Copying within one bitmap downwards does not smear rows.
  bitmap_ptr self = make(3, 6);
  for (int32_t i = 0; i < 18; i++) self->line[i / 3][i % 3] = static_cast<uint8_t>(i + 1);
  vell_blit(self.get(), self.get(), 0, 0, 0, 2, 3, 4);
  for (int32_t y = 2; y < 6; y++)
    for (int32_t x = 0; x < 3; x++) EXPECT_EQ(self->line[y][x], (y - 2) * 3 + x + 1) << x << "," << y;
  // 8-bit to 32-bit goes through the engine palette and is opaque; a
  // destination of lower depth receives nothing.
  uint8_t saved[768], pal[768] = {};
  memcpy(saved, vell_engine_palette(), 768);
  pal[21] = 0x12, pal[22] = 0x34, pal[23] = 0x56;
  vell_set_engine_palette(pal);
  bitmap_ptr wide = make(4, 1, 32), one = make(2, 1);
  one->line[0][0] = 7;
  vell_blit(one.get(), wide.get(), 0, 0, 1, 0, 2, 1);
  vell_set_engine_palette(saved);
  vell_blit(wide.get(), one.get(), 0, 0, 0, 0, 2, 1);
  expect_rows({ROW(vell_getpixel(wide.get(), 0, 0), 0), ROW(vell_getpixel(wide.get(), 1, 0), 0xff123456u),
               ROW(vell_getpixel(wide.get(), 2, 0), 0xff000000u), ROW(one->line[0][0], 7)});
  // Sprites skip 0 (8 bits) or blend by alpha (32 bits, the destination
  // keeps its alpha); mixed depths draw nothing.
  bitmap_ptr s32 = make(3, 1, 32), d32 = make(3, 1, 32);
  const uint32_t from[3] = {0x80ff0000u, 0x00ffffffu, 0xff00ff00u};
  for (int32_t x = 0; x < 3; x++) {
    vell_putpixel(s32.get(), x, 0, from[x]);
    vell_putpixel(d32.get(), x, 0, 0x400000ffu);
  }
  vell_draw_sprite(s32.get(), d32.get(), 0, 0, 0, 0, 3, 1);
  vell_draw_sprite(one.get(), d32.get(), 0, 0, 0, 0, 2, 1);
  memset(one->line[0] + 1, 0, 1);
  vell_draw_sprite(one.get(), self.get(), 0, 0, 0, 0, 2, 1);
  expect_rows({ROW(vell_getpixel(d32.get(), 0, 0), 0x4080007fu), ROW(vell_getpixel(d32.get(), 1, 0), 0x400000ffu),
               ROW(vell_getpixel(d32.get(), 2, 0), 0x4000ff00u), ROW(self->line[0][0], 7), ROW(self->line[0][1], 2)});
}

TEST(EngineBitmap, ColouredSpriteCopiesMirrorAndClipFromTheRightSide) {
  bitmap_ptr src = make(4, 1), dst = make(16, 1), d32 = make(4, 1, 32);
  src->line[0][0] = 1, src->line[0][1] = 5;  // ink in columns 0 and 1 only
  // Source x, destination x, mirrored, and the row drawn. Mirrored, the ink
  // sits in the sprite's right half; a source hanging off its left edge
  // leaves its missing columns on the destination's right.
  const std::tuple<int32_t, int32_t, int, const char *> cases[] = {
      {0, 4, 0, "....77..........\n"},  {0, 4, 1, "......77........\n"},  {0, -2, 1, "77..............\n"},
      {0, -3, 1, "7...............\n"}, {0, 13, 1, "...............7\n"}, {-2, 8, 0, "..........77....\n"},
      {-2, 8, 1, "........77......\n"}};
  for (const auto &[sx, dx, mirrored, row] : cases) {
    memset(dst->line[0], 0, 16);
    vell_draw_sprite_col(src.get(), dst.get(), sx, 0, dx, 0, 4, 1, 7, mirrored);
    EXPECT_EQ(picture(dst.get(), 0, 0, 16, 1), row) << sx << " to " << dx << (mirrored ? " mirrored" : "");
  }
  vell_draw_sprite_col(src.get(), d32.get(), 0, 0, 0, 0, 4, 1, 0xff102030u, 1);
  expect_rows({ROW(vell_getpixel(d32.get(), 3, 0), 0xff102030u), ROW(vell_getpixel(d32.get(), 1, 0), 0)});
}
