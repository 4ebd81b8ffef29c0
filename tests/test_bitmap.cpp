#include <gtest/gtest.h>

#include <cstring>

#include "gfx/bitmap.h"

namespace {

// Fills an 8-bit bitmap with distinct values: pixel (x, y) = y * w + x + 1.
void fill_numbered(vell_bitmap *b) {
  for (int32_t y = 0; y < b->h; y++)
    for (int32_t x = 0; x < b->w; x++) b->line[y][x] = static_cast<uint8_t>(y * b->w + x + 1);
}

uint32_t px32(const vell_bitmap *b, int32_t x, int32_t y) {
  return reinterpret_cast<const uint32_t *>(b->line[y])[x];
}

}  // namespace

TEST(EngineBitmap, CreationRefusesEmptySizesAndCountsLiveBitmaps) {
  const int32_t before = vell_bitmaps_alive();
  EXPECT_EQ(vell_create_bitmap(0, 10, 8), nullptr);
  EXPECT_EQ(vell_create_bitmap(10, 0, 8), nullptr);
  EXPECT_EQ(vell_create_bitmap(-3, 10, 32), nullptr);
  EXPECT_EQ(vell_create_bitmap(10, 10, 16), nullptr);
  EXPECT_EQ(vell_create_bitmap(1 << 20, 1 << 20, 32), nullptr);  // far too large: refused, not a crash
  EXPECT_EQ(vell_bitmaps_alive(), before);

  vell_bitmap *a = vell_create_bitmap(3, 2, 8);
  vell_bitmap *b = vell_create_bitmap(5, 4, 32);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(vell_bitmaps_alive(), before + 2);
  EXPECT_EQ(a->line[1] - a->line[0], 3);
  EXPECT_EQ(b->line[1] - b->line[0], 20);
  for (int32_t y = 0; y < 4; y++)
    for (int32_t x = 0; x < 5; x++) EXPECT_EQ(px32(b, x, y), 0u);
  EXPECT_EQ(b->cl, 0);
  EXPECT_EQ(b->ct, 0);
  EXPECT_EQ(b->cr, 5);
  EXPECT_EQ(b->cb, 4);
  vell_destroy_bitmap(a);
  vell_destroy_bitmap(nullptr);
  EXPECT_EQ(vell_bitmaps_alive(), before + 1);
  vell_destroy_bitmap(b);
  EXPECT_EQ(vell_bitmaps_alive(), before);
}

TEST(EngineBitmap, ClipRectangleLimitsPixelsAndHasOneSaveSlot) {
  vell_bitmap *b = vell_create_bitmap(16, 8, 8);
  vell_set_clip(b, -4, 2, 40, 6);
  EXPECT_EQ(b->cl, 0);
  EXPECT_EQ(b->ct, 2);
  EXPECT_EQ(b->cr, 16);
  EXPECT_EQ(b->cb, 6);

  vell_putpixel(b, 3, 1, 9);  // above the clip: not written
  vell_putpixel(b, 3, 2, 9);
  vell_putpixel(b, 3, 6, 9);  // bottom is exclusive
  EXPECT_EQ(b->line[1][3], 0);
  EXPECT_EQ(b->line[2][3], 9);
  EXPECT_EQ(b->line[6][3], 0);

  b->line[0][0] = 7;  // on the bitmap but outside the clip
  EXPECT_EQ(vell_getpixel(b, 0, 0), 0u);
  EXPECT_EQ(vell_getpixel(b, 3, 2), 9u);
  EXPECT_EQ(vell_getpixel(b, -1, 2), 0u);
  EXPECT_EQ(vell_getpixel(nullptr, 0, 0), 0u);

  // The slot is engine-wide: saved from one bitmap, restored onto another.
  vell_bitmap *other = vell_create_bitmap(16, 8, 8);
  vell_save_clip(b);
  vell_reset_clip(b);
  EXPECT_EQ(vell_getpixel(b, 0, 0), 7u);
  vell_restore_clip(other);
  EXPECT_EQ(other->ct, 2);
  EXPECT_EQ(other->cb, 6);
  vell_destroy_bitmap(other);
  vell_destroy_bitmap(b);
}

TEST(EngineBitmap, RectfillTakesCornersInAnyOrderWithinTheClip) {
  vell_bitmap *b = vell_create_bitmap(8, 8, 8);
  vell_set_clip(b, 1, 1, 6, 6);
  vell_rectfill(b, 7, 3, 0, 2, 5);  // corners swapped, wider than the clip
  for (int32_t y = 0; y < 8; y++)
    for (int32_t x = 0; x < 8; x++) {
      const bool inside = y >= 2 && y <= 3 && x >= 1 && x <= 5;
      EXPECT_EQ(b->line[y][x], inside ? 5 : 0) << "at " << x << "," << y;
    }
  vell_destroy_bitmap(b);

  vell_bitmap *c = vell_create_bitmap(4, 4, 32);
  vell_rectfill(c, 1, 1, 1, 2, 0x80123456u);  // single column, inclusive
  EXPECT_EQ(px32(c, 1, 1), 0x80123456u);
  EXPECT_EQ(px32(c, 1, 2), 0x80123456u);
  EXPECT_EQ(px32(c, 1, 3), 0u);
  EXPECT_EQ(px32(c, 2, 1), 0u);
  vell_destroy_bitmap(c);
}

TEST(EngineBitmap, CopyClipperTrimsToSourceAndDestinationClip) {
  vell_bitmap *src = vell_create_bitmap(10, 10, 8);
  vell_bitmap *dst = vell_create_bitmap(20, 20, 8);

  // Negative destination position: the lower-right 5x5 part lands in the corner.
  int32_t sx = 0, sy = 0, dx = -5, dy = -5, w = 10, h = 10;
  EXPECT_EQ(vell_clip(src, dst, sx, sy, dx, dy, w, h), 1);
  EXPECT_EQ(sx, 5);
  EXPECT_EQ(sy, 5);
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(dy, 0);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 5);

  // Negative source position moves the destination instead.
  sx = -3, sy = 0, dx = 4, dy = 0, w = 6, h = 2;
  EXPECT_EQ(vell_clip(src, dst, sx, sy, dx, dy, w, h), 1);
  EXPECT_EQ(sx, 0);
  EXPECT_EQ(dx, 7);
  EXPECT_EQ(w, 3);

  // A source rectangle starting at the source width, or beyond, copies nothing.
  sx = 10, sy = 0, dx = 0, dy = 0, w = 4, h = 4;
  EXPECT_EQ(vell_clip(src, dst, sx, sy, dx, dy, w, h), 0);
  sx = 11, h = 4;
  EXPECT_EQ(vell_clip(src, dst, sx, sy, dx, dy, w, h), 0);
  EXPECT_EQ(h, 0);

  // The destination clip, not the bitmap, limits the copy.
  vell_set_clip(dst, 2, 2, 6, 5);
  sx = 0, sy = 0, dx = 0, dy = 0, w = 10, h = 10;
  EXPECT_EQ(vell_clip(src, dst, sx, sy, dx, dy, w, h), 1);
  EXPECT_EQ(sx, 2);
  EXPECT_EQ(sy, 2);
  EXPECT_EQ(dx, 2);
  EXPECT_EQ(dy, 2);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 3);
  sx = 0, sy = 0, dx = 6, dy = 2, w = 3, h = 3;  // starts at the clip's right edge
  EXPECT_EQ(vell_clip(src, dst, sx, sy, dx, dy, w, h), 0);

  // Extreme sizes and positions neither wrap around nor copy anything wrong.
  vell_reset_clip(dst);
  sx = -2147483647, sy = 0, dx = 0, dy = 0, w = -2147483647, h = 4;
  EXPECT_EQ(vell_clip(src, dst, sx, sy, dx, dy, w, h), 0);
  sx = 0, sy = 0, dx = -2147483647, dy = 0, w = 2147483647, h = 4;
  EXPECT_EQ(vell_clip(src, dst, sx, sy, dx, dy, w, h), 0);
  vell_destroy_bitmap(src);
  vell_destroy_bitmap(dst);
}

TEST(EngineBitmap, BlitCopiesRowsAndWidensThroughThePalette) {
  vell_bitmap *src = vell_create_bitmap(10, 10, 8);
  fill_numbered(src);
  vell_bitmap *dst = vell_create_bitmap(10, 10, 8);
  vell_blit(src, dst, 0, 0, -5, -5, 10, 10);
  for (int32_t y = 0; y < 10; y++)
    for (int32_t x = 0; x < 10; x++) {
      const int expected = x < 5 && y < 5 ? (y + 5) * 10 + (x + 5) + 1 : 0;
      EXPECT_EQ(dst->line[y][x], expected) << "at " << x << "," << y;
    }

  // 8-bit to 32-bit goes through the engine palette and is opaque.
  uint8_t saved[768];
  memcpy(saved, vell_engine_palette(), 768);
  uint8_t pal[768] = {};
  pal[3 * 7] = 0x12, pal[3 * 7 + 1] = 0x34, pal[3 * 7 + 2] = 0x56;
  vell_set_engine_palette(pal);
  vell_bitmap *wide = vell_create_bitmap(4, 1, 32);
  vell_bitmap *one = vell_create_bitmap(2, 1, 8);
  one->line[0][0] = 7;
  vell_blit(one, wide, 0, 0, 1, 0, 2, 1);
  EXPECT_EQ(px32(wide, 0, 0), 0u);
  EXPECT_EQ(px32(wide, 1, 0), 0xff123456u);
  EXPECT_EQ(px32(wide, 2, 0), 0xff000000u);
  vell_set_engine_palette(saved);

  // A destination of lower depth than the source receives nothing.
  one->line[0][0] = 3;
  reinterpret_cast<uint32_t *>(wide->line[0])[0] = 0xffffffffu;
  vell_blit(wide, one, 0, 0, 0, 0, 2, 1);
  EXPECT_EQ(one->line[0][0], 3);

  // Copying within one bitmap downwards does not smear rows.
  vell_bitmap *self = vell_create_bitmap(3, 6, 8);
  fill_numbered(self);
  vell_blit(self, self, 0, 0, 0, 2, 3, 4);
  for (int32_t y = 2; y < 6; y++)
    for (int32_t x = 0; x < 3; x++) EXPECT_EQ(self->line[y][x], (y - 2) * 3 + x + 1) << "at " << x << "," << y;
  vell_destroy_bitmap(self);
  vell_destroy_bitmap(src);
  vell_destroy_bitmap(dst);
  vell_destroy_bitmap(wide);
  vell_destroy_bitmap(one);
}

TEST(EngineBitmap, DrawSpriteSkipsZeroAndBlendsByAlpha) {
  vell_bitmap *src = vell_create_bitmap(3, 1, 8);
  vell_bitmap *dst = vell_create_bitmap(3, 1, 8);
  src->line[0][0] = 4, src->line[0][1] = 0, src->line[0][2] = 9;
  memset(dst->line[0], 2, 3);
  vell_draw_sprite(src, dst, 0, 0, 0, 0, 3, 1);
  EXPECT_EQ(dst->line[0][0], 4);
  EXPECT_EQ(dst->line[0][1], 2);
  EXPECT_EQ(dst->line[0][2], 9);

  vell_bitmap *s32 = vell_create_bitmap(3, 1, 32);
  vell_bitmap *d32 = vell_create_bitmap(3, 1, 32);
  uint32_t *s = reinterpret_cast<uint32_t *>(s32->line[0]);
  uint32_t *d = reinterpret_cast<uint32_t *>(d32->line[0]);
  s[0] = 0x80ff0000u, s[1] = 0x00ffffffu, s[2] = 0xff00ff00u;
  d[0] = d[1] = d[2] = 0x400000ffu;
  vell_draw_sprite(s32, d32, 0, 0, 0, 0, 3, 1);
  // alpha 128: red 255*128/255 = 128, blue 255*127/255 = 127; the
  // destination keeps its alpha 0x40.
  EXPECT_EQ(d[0], 0x4080007fu);
  EXPECT_EQ(d[1], 0x400000ffu);  // alpha 0 leaves the destination
  EXPECT_EQ(d[2], 0x4000ff00u);  // alpha 255 replaces the colour

  // Mixed depths draw nothing.
  vell_draw_sprite(src, d32, 0, 0, 0, 0, 3, 1);
  EXPECT_EQ(d[0], 0x4080007fu);
  vell_destroy_bitmap(src);
  vell_destroy_bitmap(dst);
  vell_destroy_bitmap(s32);
  vell_destroy_bitmap(d32);
}

TEST(EngineBitmap, DrawSpriteColMirrorsAndClipsFromTheRightSide) {
  // Source row: ink in columns 0 and 1 only.
  vell_bitmap *src = vell_create_bitmap(4, 1, 8);
  src->line[0][0] = 1, src->line[0][1] = 5;
  vell_bitmap *dst = vell_create_bitmap(16, 1, 8);
  auto row = [&]() {
    std::string r;
    for (int32_t x = 0; x < 16; x++) r += dst->line[0][x] ? char('0' + dst->line[0][x]) : '.';
    memset(dst->line[0], 0, 16);
    return r;
  };

  vell_draw_sprite_col(src, dst, 0, 0, 4, 0, 4, 1, 7, 0);
  EXPECT_EQ(row(), "....77..........");
  vell_draw_sprite_col(src, dst, 0, 0, 4, 0, 4, 1, 7, 1);
  EXPECT_EQ(row(), "......77........");

  // Cut by the destination's left edge: mirrored, the ink sits in the
  // sprite's right half, so it survives until the cut reaches it.
  vell_draw_sprite_col(src, dst, 0, 0, -2, 0, 4, 1, 7, 1);
  EXPECT_EQ(row(), "77..............");
  vell_draw_sprite_col(src, dst, 0, 0, -3, 0, 4, 1, 7, 1);
  EXPECT_EQ(row(), "7...............");
  // Cut by the destination's right edge: the ink stays where it belongs.
  vell_draw_sprite_col(src, dst, 0, 0, 13, 0, 4, 1, 7, 1);
  EXPECT_EQ(row(), "...............7");

  // A source rectangle hanging off the source's left edge: mirrored, the
  // missing columns are on the destination's right.
  vell_draw_sprite_col(src, dst, -2, 0, 8, 0, 4, 1, 7, 0);
  EXPECT_EQ(row(), "..........77....");
  vell_draw_sprite_col(src, dst, -2, 0, 8, 0, 4, 1, 7, 1);
  EXPECT_EQ(row(), "........77......");

  // A 32-bit target receives the colour as it is.
  vell_bitmap *d32 = vell_create_bitmap(4, 1, 32);
  vell_draw_sprite_col(src, d32, 0, 0, 0, 0, 4, 1, 0xff102030u, 1);
  EXPECT_EQ(px32(d32, 3, 0), 0xff102030u);
  EXPECT_EQ(px32(d32, 2, 0), 0xff102030u);
  EXPECT_EQ(px32(d32, 1, 0), 0u);
  vell_destroy_bitmap(d32);
  vell_destroy_bitmap(src);
  vell_destroy_bitmap(dst);
}
