// The built data.pod: what the rest of the console takes from it is there,
// with the sizes and colours it relies on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "shell/resources.h"

namespace {

class Assets : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(orrery_load_resources(ORRERY_BUILD_DIR "/data.pod"), 0); }
  void TearDown() override { orrery_release_resources(); }
};

// The pixels of an 8-bit bitmap as a string, so that two glyphs or frames
// compare and a failure shows them.
std::string pixels(const vell_bitmap *b) {
  std::string s = std::to_string(b->w) + "x" + std::to_string(b->h) + ":";
  for (int32_t y = 0; y < b->h; y++)
    for (int32_t x = 0; x < b->w; x++) s += "0123456789abcdef"[vell_getpixel(b, x, y) & 15];
  return s;
}

bool has_ink(const vell_bitmap *b) {
  for (int32_t y = 0; y < b->h; y++)
    for (int32_t x = 0; x < b->w; x++)
      if (vell_getpixel(b, x, y)) return true;
  return false;
}

TEST_F(Assets, PaletteFixesBlackWhiteRedAndSetsAllConsoleAndExtendedColours) {
  const uint8_t *pal = orrery_resource_palette();
  ASSERT_NE(pal, nullptr);
  auto rgb = [&](int i) { return (pal[i * 3] << 16) | (pal[i * 3 + 1] << 8) | pal[i * 3 + 2]; };
  EXPECT_EQ(rgb(0), 0x000000);
  EXPECT_GE(pal[7 * 3 + 0], 0xe0);
  EXPECT_GE(pal[7 * 3 + 1], 0xe0);
  EXPECT_GE(pal[7 * 3 + 2], 0xe0);
  EXPECT_GE(pal[8 * 3], 0xc0) << "colour 8 is the message bar's red";
  EXPECT_LT(pal[8 * 3 + 1], 0x60);
  EXPECT_LT(pal[8 * 3 + 2], 0x60);
  std::set<int> seen;
  for (int i = 0; i < 16; i++) seen.insert(rgb(i));
  for (int i = 128; i < 144; i++) {
    seen.insert(rgb(i));
    EXPECT_NE(rgb(i), i * 0x010101) << "extended colour " << i << " was left on the grey ramp";
  }
  EXPECT_EQ(seen.size(), 32u) << "the 32 console and extended colours are all different";
}

TEST_F(Assets, ConsoleFontHas256GlyphsOfTheConsoleSizes) {
  const std::vector<vell_bitmap *> &g = orrery_resource_font_glyphs();
  ASSERT_EQ(g.size(), 256u);
  std::set<std::string> ascii, pictographs;
  for (int code = 0; code < 256; code++) {
    ASSERT_NE(g[code], nullptr) << "glyph " << code;
    EXPECT_EQ(g[code]->h, 5) << "glyph " << code;
    EXPECT_EQ(g[code]->w, code < 128 ? 3 : 7) << "glyph " << code;
    if (code > 32 && code < 127) {
      EXPECT_TRUE(has_ink(g[code])) << "printable character " << char(code) << " is blank";
      ascii.insert(pixels(g[code]));
    }
    if (code >= 128) {
      EXPECT_TRUE(has_ink(g[code])) << "pictograph " << code << " is blank";
      pictographs.insert(pixels(g[code]));
    }
  }
  EXPECT_FALSE(has_ink(g[' ']));
  EXPECT_EQ(ascii.size(), 94u) << "two printable characters share a glyph";
  EXPECT_EQ(pictographs.size(), 128u) << "two pictographs share a glyph";
  // Letters, digits and punctuation that are easily confused.
  EXPECT_NE(pixels(g['0']), pixels(g['O']));
  EXPECT_NE(pixels(g['o']), pixels(g['O']));
  EXPECT_NE(pixels(g['l']), pixels(g['1']));
}

TEST_F(Assets, PicturesArePresentWithTheirSizes) {
  struct want {
    int first, last, w, h, depth;
  };
  const want pictures[] = {
      {2, 2, 40, 10, 8},       // boot logo
      {6, 6, 32, 32, 32},      // window icon
      {8, 8, 160, 205, 32},    // cartridge picture template
      {168, 175, 48, 30, 8},   // key configuration
      {176, 182, 7, 5, 8},     // browser icons
      {183, 184, 3, 5, 8},     // list arrows
      {185, 185, 7, 5, 8},     // ".." icon
      {188, 188, 23, 20, 8},   // empty favourites
      {212, 223, 12, 12, 8},   // busy spinner
      {226, 226, 15, 15, 8},   // mouse icon
      {229, 244, 12, 12, 8},   // download animation
      {245, 245, 7, 7, 8},     // menu pointer
  };
  for (const want &p : pictures)
    for (int n = p.first; n <= p.last; n++) {
      const vell_bitmap *b = orrery_resource_bitmap(n);
      ASSERT_NE(b, nullptr) << "resource " << n;
      EXPECT_EQ(b->w, p.w) << "resource " << n;
      EXPECT_EQ(b->h, p.h) << "resource " << n;
      EXPECT_EQ(b->depth, p.depth) << "resource " << n;
      EXPECT_TRUE(has_ink(b)) << "resource " << n << " is empty";
      // 8-bit pictures are also drawn into screen memory, which keeps only
      // the console colours.
      if (b->depth == 8) {
        for (int32_t y = 0; y < b->h; y++)
          for (int32_t x = 0; x < b->w; x++) ASSERT_LT(vell_getpixel(b, x, y), 16u) << "resource " << n;
      }
    }
  // Each animation frame differs from the one before it.
  for (int n = 213; n <= 223; n++)
    EXPECT_NE(pixels(orrery_resource_bitmap(n)), pixels(orrery_resource_bitmap(n - 1))) << "spinner " << n;
  for (int n = 230; n <= 244; n++)
    EXPECT_NE(pixels(orrery_resource_bitmap(n)), pixels(orrery_resource_bitmap(n - 1))) << "download " << n;
  EXPECT_EQ(orrery_resource_text(k_res_title), "orrery");
}

TEST_F(Assets, CartridgeTemplateLeavesRoomForLabelAndReadableTitles) {
  const vell_bitmap *t = orrery_resource_bitmap(8);
  ASSERT_NE(t, nullptr);
  // The label window is opaque (a cartridge without a label still shows a
  // picture there) and the title lines at y 167 and 175 (near white) and the
  // text at 187 (grey) are written on a dark plate.
  for (int32_t y = 24; y < 152; y++)
    for (int32_t x = 16; x < 144; x++) ASSERT_EQ(vell_getpixel(t, x, y) >> 24, 0xffu) << x << "," << y;
  for (int32_t y = 166; y < 193; y++)
    for (int32_t x = 17; x < 130; x++) {
      uint32_t p = vell_getpixel(t, x, y);
      int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      ASSERT_EQ(p >> 24, 0xffu);
      ASSERT_LT(std::max({r, g, b}), 0x70) << "title plate too light at " << x << "," << y;
    }
}

TEST_F(Assets, SystemCartridgeHoldsAShortBootJingle) {
  std::string cart = orrery_resource_system_cart();
  ASSERT_EQ(cart.compare(0, 16, "orrery cartridge"), 0);
  size_t at = cart.find("\n__sfx__\n");
  ASSERT_NE(at, std::string::npos);
  std::string line = cart.substr(at + 9, cart.find('\n', at + 9) - at - 9);
  ASSERT_EQ(line.size(), 168u);
  int speed = std::stoi(line.substr(2, 2), nullptr, 16);
  int loop_start = std::stoi(line.substr(4, 2), nullptr, 16), loop_end = std::stoi(line.substr(6, 2), nullptr, 16);
  EXPECT_LE(loop_end, loop_start) << "the jingle must not loop";
  int last_sounding = -1, pitches = 0;
  std::set<int> distinct;
  for (int i = 0; i < 32; i++) {
    std::string n = line.substr(8 + 5 * i, 5);
    int volume = n[3] - '0';
    if (volume > 0) {
      last_sounding = i;
      distinct.insert(std::stoi(n.substr(0, 2), nullptr, 16));
      pitches++;
    }
  }
  ASSERT_GE(last_sounding, 0);
  // Notes last max(speed, 1) ticks of 183 samples at 22050 Hz.
  double seconds = (last_sounding + 1) * std::max(speed, 1) * 183 / 22050.0;
  EXPECT_GT(seconds, 0.6);
  EXPECT_LT(seconds, 1.6);
  EXPECT_GE(distinct.size(), 4u) << "a tune, not one note";
}

}  // namespace
