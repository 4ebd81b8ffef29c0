#include <gtest/gtest.h>

#include <string>

#include "gfx/bitmap.h"
#include "gfx/engine_font.h"
#include "gfx/font.h"
#include "gfx/text.h"

namespace {

// The engine fonts for one test, freed at its end.
struct fonts {
  fonts() {
    vell_text_init();
    vell_set_text_spacing(1);
  }
  ~fonts() { vell_text_exit(); }
};

// Rows of a bitmap's region as '#' (non-zero) and '.' text.
std::string picture(const vell_bitmap *b, int x0, int y0, int w, int h) {
  std::string s;
  for (int y = y0; y < y0 + h; y++) {
    for (int x = x0; x < x0 + w; x++) s += vell_getpixel(b, x, y) ? '#' : '.';
    s += '\n';
  }
  return s;
}

// Leftmost and rightmost inked columns (-1 when blank).
void ink_span(const vell_bitmap *b, int *left, int *right) {
  *left = *right = -1;
  for (int x = 0; x < b->w; x++)
    for (int y = 0; y < b->h; y++)
      if (vell_getpixel(b, x, y)) {
        if (*left < 0) *left = x;
        *right = x;
      }
}

}  // namespace

TEST(EngineFont, GlyphsFollowTheTableInBothDepthsAndFaces) {
  fonts f;
  ASSERT_EQ(vell_font_count(vell_font1), 512);
  ASSERT_EQ(vell_font_count(vell_font2), 512);
  const vell_bitmap *a8 = vell_font1->glyph['A'];
  const vell_bitmap *a32 = vell_font1->glyph[256 + 'A'];
  ASSERT_EQ(a8->depth, 8);
  ASSERT_EQ(a32->depth, 32);
  EXPECT_EQ(a8->w, 5);
  EXPECT_EQ(a8->h, 5);
  EXPECT_EQ(picture(a8, 0, 0, 5, 5), "#####\n#...#\n#####\n#...#\n#...#\n");
  EXPECT_EQ(vell_getpixel(a8, 0, 0), 255u);
  EXPECT_EQ(vell_getpixel(a32, 0, 0), 0xffc0c0c0u);
  EXPECT_EQ(vell_getpixel(a32, 1, 1), 0u);
  // Lower case repeats the upper-case shapes; control codes and codes above 127 are blank.
  EXPECT_EQ(picture(vell_font1->glyph['a'], 0, 0, 5, 5), picture(a8, 0, 0, 5, 5));
  EXPECT_EQ(picture(vell_font1->glyph[10], 0, 0, 5, 5), ".....\n.....\n.....\n.....\n.....\n");
  EXPECT_EQ(vell_font1->glyph[200]->w, 5);

  const vell_bitmap *b8 = vell_font2->glyph['!'];
  EXPECT_EQ(b8->w, 6);
  EXPECT_EQ(picture(b8, 0, 0, 6, 5), "..##..\n..##..\n..##..\n......\n..##..\n");
  EXPECT_EQ(vell_getpixel(vell_font2->glyph[256 + '!'], 2, 0), 0xffffffffu);
  EXPECT_EQ(picture(vell_font2->glyph['A'], 0, 0, 6, 5), "######\n##..##\n######\n##..##\n##..##\n");
}

TEST(TextRenderer, DrawsLinesInColourAndReturnsLastLineTop) {
  fonts f;
  vell_bitmap *b = vell_create_bitmap(64, 32, 8);
  EXPECT_EQ(vell_draw_text_ex(b, "I\nI", vell_font1, 2, 3, k_text_colour, 9), 9) << "5 high + spacing 1";
  EXPECT_EQ(vell_getpixel(b, 3, 3), 9u);   // top bar of the first I
  EXPECT_EQ(vell_getpixel(b, 4, 9), 9u);   // top bar of the second I
  EXPECT_EQ(vell_getpixel(b, 2, 4), 0u);

  // Without flags an 8-bit font on an 8-bit target copies its ink (255).
  vell_rectfill(b, 0, 0, 63, 31, 0);
  vell_draw_text(b, "A", vell_font1, 0, 0);
  EXPECT_EQ(vell_getpixel(b, 0, 0), 255u);

  // Byte 127 ends the text after its own glyph.
  vell_rectfill(b, 0, 0, 63, 31, 0);
  vell_draw_text_ex(b, "A\x7f" "A", vell_font1, 0, 0, k_text_colour, 1);
  int l, r;
  ink_span(b, &l, &r);
  EXPECT_EQ(r, 10) << "second glyph (127) drawn at x 6, the A after it not";

  // A line without drawable characters advances by the spacing alone (in a
  // 96-glyph font, control codes are not drawable).
  vell_font f96;
  f96.owns_glyphs = 0;
  f96.glyph.assign(vell_font1->glyph.begin() + 32, vell_font1->glyph.begin() + 128);
  vell_set_text_spacing(2);
  EXPECT_EQ(vell_draw_text_ex(b, "\x01\n", &f96, 0, 0, k_text_colour, 1), 2);
  EXPECT_EQ(vell_draw_text_ex(b, "\x01\n", vell_font1, 0, 0, k_text_colour, 1), 7) << "256-glyph font: code 10 is a glyph";
  EXPECT_EQ(vell_get_text_width("A\x01", &f96), 5);
  vell_set_text_spacing(-4);
  EXPECT_EQ(vell_get_text_spacing(), 0);
  vell_destroy_bitmap(b);
}

TEST(TextRenderer, MeasuresCentresAndEndsTexts) {
  fonts f;
  EXPECT_EQ(vell_get_text_width("AB", vell_font1), 11);
  EXPECT_EQ(vell_get_text_width("AB\n", vell_font1), 17) << "a 256-glyph font draws code 10 too";
  EXPECT_EQ(vell_get_text_width("", vell_font1), 0);
  EXPECT_EQ(vell_get_text_width("AB", vell_font2), 13);

  vell_bitmap *b = vell_create_bitmap(64, 8, 8);
  int l, r;
  vell_draw_text_ex(b, "AB", vell_font1, 32, 0, k_text_colour | k_text_centre, 1);
  ink_span(b, &l, &r);
  EXPECT_EQ(l, 27);  // 32 - 11 / 2
  EXPECT_EQ(r, 37);
  vell_rectfill(b, 0, 0, 63, 7, 0);
  vell_draw_text_ex(b, "AB", vell_font1, 32, 0, k_text_colour | k_text_end, 1);
  ink_span(b, &l, &r);
  EXPECT_EQ(l, 21);
  EXPECT_EQ(r, 31) << "the text ends just before x";
  vell_destroy_bitmap(b);
}

TEST(TextRenderer, WrapsAndFitsAtTheClipEdge) {
  fonts f;
  vell_bitmap *b = vell_create_bitmap(32, 32, 8);
  // 18 pixels of room: three glyphs of 6, then a new line.
  vell_set_clip(b, 0, 0, 18, 32);
  EXPECT_EQ(vell_draw_text_ex(b, "AAAAA", vell_font1, 0, 0, k_text_colour | k_text_wrap, 1), 6);
  EXPECT_NE(vell_getpixel(b, 12, 0), 0u);
  EXPECT_NE(vell_getpixel(b, 6, 6), 0u);
  EXPECT_EQ(vell_getpixel(b, 12, 6), 0u);

  // Fit: a text too long for the clip ends on its right edge, its start is
  // hidden behind the left 15 pixels, which get the two-dot mark.
  vell_reset_clip(b);
  vell_rectfill(b, 0, 0, 31, 31, 0);
  vell_draw_text_ex(b, "ABCDEFGH", vell_font1, 0, 20, k_text_colour | k_text_fit, 5);
  int l, r;
  ink_span(b, &l, &r);
  EXPECT_EQ(r, 31) << "the text's end meets the right edge";
  EXPECT_EQ(b->cl, 0) << "clip restored";
  EXPECT_EQ(vell_getpixel(b, 2, 24), 5u) << "first dot";
  EXPECT_EQ(vell_getpixel(b, 8, 24), 5u) << "second dot";
  for (int x = 10; x < 15; x++)
    for (int y = 20; y < 25; y++) EXPECT_EQ(vell_getpixel(b, x, y), 0u) << x << "," << y;
  // A text that fits is drawn where it is.
  vell_rectfill(b, 0, 0, 31, 31, 0);
  vell_draw_text_ex(b, "AB", vell_font1, 3, 0, k_text_colour | k_text_fit, 5);
  ink_span(b, &l, &r);
  EXPECT_EQ(l, 3);
  vell_destroy_bitmap(b);
}

TEST(TextRenderer, PhatOutlinesAndPicksTheSetOfTheTargetDepth) {
  fonts f;
  vell_bitmap *b = vell_create_bitmap(16, 16, 8);
  vell_draw_text_phat(b, "I", vell_font1, 4, 4, 0, 3, 7);
  EXPECT_EQ(vell_getpixel(b, 6, 5), 7u);  // the stem of the I
  EXPECT_EQ(vell_getpixel(b, 5, 5), 3u);  // outline beside the stem
  EXPECT_EQ(vell_getpixel(b, 4, 4), 3u);  // outline left of the bar
  EXPECT_EQ(vell_getpixel(b, 5, 10), 0u);
  vell_destroy_bitmap(b);

  // A 32-bit target takes the 32-bit glyphs as they are.
  vell_bitmap *t = vell_create_bitmap(8, 8, 32);
  vell_rectfill(t, 0, 0, 7, 7, 0xff000000u);
  vell_draw_text(t, "A", vell_font1, 0, 0);
  EXPECT_EQ(vell_getpixel(t, 0, 0), 0xffc0c0c0u);
  EXPECT_EQ(vell_getpixel(t, 1, 1), 0xff000000u);
  vell_destroy_bitmap(t);

  // A font with only an 8-bit set draws on a 32-bit target in the colour.
  vell_font only8;
  only8.owns_glyphs = 0;
  only8.glyph.assign(vell_font1->glyph.begin(), vell_font1->glyph.begin() + 256);
  t = vell_create_bitmap(8, 8, 32);
  vell_draw_text_ex(t, "A", &only8, 0, 0, 0, 0xff112233u);
  EXPECT_EQ(vell_getpixel(t, 0, 0), 0xff112233u);
  vell_destroy_bitmap(t);
}
