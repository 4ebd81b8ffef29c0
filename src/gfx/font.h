// Font objects (lists of glyph bitmaps) and the engine's two built-in fonts.
#pragma once

#include <cstdint>
#include <vector>

struct vell_bitmap;

// A list of glyph bitmaps. When the low byte of the glyph count is not 0 the
// font covers 96 codes from 32, else 256 codes from 0. The list may hold
// several complete sets one after another (an 8-bit set, then a 32-bit set);
// the renderer picks the set whose depth matches its target.
struct vell_font {
  std::vector<vell_bitmap *> glyph;  // the glyph bitmaps; a null entry draws nothing
  int32_t owns_glyphs;               // 1: vell_destroy_font frees the bitmaps as well
};

// Number of glyphs in the font's list (0 for no font).
int32_t vell_font_count(const vell_font *font);
// Frees the font and, when it owns them, its glyph bitmaps; null is ignored.
void vell_destroy_font(vell_font *font);

// The engine's fonts, built by vell_text_init: 5x5 glyphs (vell_font1) and
// the same glyphs 6x5 with every ink pixel widened to two (vell_font2). Each
// holds 256 8-bit glyphs followed by 256 32-bit glyphs.
vell_font *vell_font1();
vell_font *vell_font2();

// Rows of the engine glyphs for codes 32..127, five bytes a glyph (top row
// first); bit 4 of a row is the leftmost column, bit 0 the rightmost.
extern const uint8_t vell_font1_dat[96 * 5];
