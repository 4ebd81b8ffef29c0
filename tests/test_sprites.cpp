// Sprites, sprite flags and the map through the script API.
#include <gtest/gtest.h>

#include "machine/pstate.h"
#include "support/api_support.h"

namespace {

const char *k_sprite0[8] = {"12345670", "89abcdef", "00000007", "70000000",
                            "11110000", "22220000", "33330000", "4444000f"};
const char *k_stripes[8] = {"07070707", "07070707", "07070707", "07070707",
                            "07070707", "07070707", "07070707", "07070707"};
const char *k_solid9[8] = {"99999999", "99999999", "99999999", "99999999",
                           "99999999", "99999999", "99999999", "99999999"};

class Sprites : public ApiMachine {
 protected:
  void SetUp() override {
    ApiMachine::SetUp();
    set_sprite(0, k_sprite0);
    set_sprite(1, k_stripes);
    set_sprite(15, k_solid9);
    fill_screen(5);
  }
};

}  // namespace

TEST_F(Sprites, SprDrawsThroughTheDrawPalette) {
  run("spr(1, 0, 0)");
  EXPECT_EQ(picture(0, 0, 9, 1), "575757575\n") << "colour 0 is transparent by default";
  run("palt(0, false) spr(1, 0, 8)");
  EXPECT_EQ(picture(0, 8, 9, 1), "070707075\n");
  run("pal(7, 8) spr(1, 0, 16) pal() spr(1, 0, 24)");
  EXPECT_EQ(picture(0, 16, 9, 1), "080808085\n");
  EXPECT_EQ(picture(0, 24, 9, 1), "575757575\n") << "pal() makes colour 0 transparent again";

  run("palt(0, false) spr(0, 20, 0, 1, 1, true)");
  EXPECT_EQ(picture(20, 0, 8, 2), "07654321\nfedcba98\n");
  run("spr(0, 30, 0, 1, 1, false, true)");
  EXPECT_EQ(picture(30, 0, 8, 2), "4444000f\n33330000\n");
  run("spr(0, 40, 0, 1, 1, 1, 1)");
  EXPECT_EQ(picture(40, 0, 8, 1), "f0004444\n");

  fill_screen(5);
  run("spr(0, 0, 0, 0.5, 0.5)");
  EXPECT_EQ(picture(0, 0, 5, 5), "12345\n89ab5\n00005\n70005\n55555\n");
  fill_screen(5);
  run("spr(0, 0, 0, 1.5, 0.25)");
  EXPECT_EQ(picture(0, 0, 13, 3), "1234567007075\n89abcdef07075\n5555555555555\n") << "12 wide, 2 high";
  run("palt()");
  // Past the sheet's right edge the picture is opaque colour 0.
  fill_screen(5);
  run("spr(15, 0, 0, 2, 1)");
  EXPECT_EQ(picture(0, 0, 17, 1), "99999999000000005\n");
  EXPECT_EQ(picture(0, 7, 17, 2), "99999999000000005\n55555555555555555\n");

  // Nothing is drawn for a size below one pixel (h missing reads 0) or a
  // sprite number outside 0-255.
  fill_screen(5);
  run("spr(15, 0, 0, 2) spr(256, 0, 0) spr(-1, 0, 0) spr(15, 0, 0, 0.1, 1)");
  std::string blank;
  for (int y = 0; y < 8; y++) blank += std::string(16, '5') + "\n";
  EXPECT_EQ(picture(0, 0, 16, 8), blank);
  // The camera applies; huge sizes are capped at the sheet.
  run("camera(-10, -10) spr(15, 0, 0) camera() spr(15, 100, 100, 1000, 1000)");
  EXPECT_EQ(picture(9, 9, 10, 1), "5555555555\n");
  EXPECT_EQ(picture(9, 10, 10, 1), "5999999995\n");
  EXPECT_EQ(pixel(127, 127), 0) << "a 128x128 picture mostly past the sheet";
}

TEST_F(Sprites, SsprStretchesAndMirrors) {
  run("palt(0, false)");
  run("sspr(0, 0, 8, 8, 64, 64, -16, 16)");
  EXPECT_EQ(picture(47, 64, 18, 1), "500776655443322115\n") << "mirrored about x 64, doubled";
  EXPECT_EQ(picture(48, 65, 16, 2), "0077665544332211\nffeeddccbbaa9988\n");
  EXPECT_EQ(picture(48, 79, 16, 2), "ff00000044444444\n5555555555555555\n");

  run("sspr(0, 0, 8, 8, 0, 0, 16, 16)");
  EXPECT_EQ(picture(0, 0, 16, 3), "1122334455667700\n1122334455667700\n8899aabbccddeeff\n");
  run("sspr(0, 0, 16, 16, 20, 0, 8, 8)");
  EXPECT_EQ(picture(20, 0, 8, 2), "9bdf7777\n00007777\n") << "samples at 1, 3, 5, ...";

  run("sspr(0, 0, 8, 8, 0, 40, 8, -8)");
  EXPECT_EQ(picture(0, 32, 8, 2), "4444000f\n33330000\n") << "a negative height mirrors upward";
  fill_screen(5);
  run("sspr(-4, 0, 8, 8, 0, 0)");
  EXPECT_EQ(picture(0, 0, 9, 1), "000012345\n") << "the uncovered part is opaque colour 0";
  run("sspr(4, 0, 8, 8, 0, 10, 8, 8, true)");
  EXPECT_EQ(picture(0, 10, 8, 1), "70700765\n");

  // Clipped rows and columns are skipped with the sampling unchanged.
  fill_screen(5);
  run("sspr(0, 0, 8, 8, -5, -3, 13, 11) sspr(0, 0, 8, 8, 40, 40, 13, 11)");
  EXPECT_EQ(picture(0, 0, 8, 8), picture(45, 43, 8, 8));
  run("clip(100, 100, 10, 10) sspr(0, 0, 8, 8, 95, 97, 13, 11) clip()");
  EXPECT_EQ(picture(100, 100, 8, 8), picture(45, 43, 8, 8));

  // Nothing unless 1 <= sw, sh <= 128 and dw, dh are not 0; with seven
  // arguments dh is missing.
  fill_screen(5);
  run("sspr(0, 0, 0, 8, 0, 0) sspr(0, 0, 8, 129, 0, 0) sspr(0, 0, 8, 8, 0, 0, 0, 8) sspr(0, 0, 8, 8, 0, 0, 8)");
  EXPECT_EQ(pixel(0, 0), 5);
  EXPECT_EQ(pixel(3, 3), 5);
}

TEST_F(Sprites, SpriteChargesCountClippedPixels) {
  EXPECT_EQ(spent_by("spr(0, 0, 0)"), 64);
  EXPECT_EQ(spent_by("spr(0, 124, 0)"), 32);
  EXPECT_EQ(spent_by("spr(0, 0, 0, 2, 2)"), 256);
  int k = 0;
  EXPECT_EQ(spent_by("spr(0, 200, 0)", &k), 0);
  EXPECT_EQ(k, 1);
  EXPECT_EQ(spent_by("spr(300, 0, 0)", &k), 0);
  EXPECT_EQ(k, 0);
  EXPECT_EQ(spent_by("sspr(0, 0, 8, 8, 120, 0, 16, 16)"), 8 * 16);
  EXPECT_EQ(spent_by("sspr(0, 0, 8, 8, 64, 64, -16, 16)"), 256);
  EXPECT_EQ(spent_by("sspr(0, 0, 8, 8, -30000, 0, 32000, 4)"), 128 * 4);
}

TEST_F(Sprites, SheetPixelsAndTheSharedMapQuarter) {
  run("sset(0, 64, 9)");
  EXPECT_EQ(num("mget(0, 32)"), 9);
  EXPECT_EQ(num("peek(0x1000)"), 9);
  EXPECT_EQ(num("sget(0, 64)"), 9);
  run("sset(1, 64, 3)");
  EXPECT_EQ(num("peek(0x1000)"), 0x39);
  EXPECT_EQ(num("mget(0, 32)"), 0x39);
  run("sset(2, 2, 0x1f) color(12) sset(3, 2)");
  EXPECT_EQ(num("sget(2, 2)"), 15);
  EXPECT_EQ(num("sget(3, 2)"), 0) << "a missing colour is 0, not the current one";
  EXPECT_EQ(num("peek(0x5f25)"), 12);
  run("sset(-1, 0, 5) sset(128, 0, 5) sset(0, 128, 5)");
  EXPECT_EQ(num("sget(-1, 0)"), 0);
  EXPECT_EQ(num("sget(0, 128)"), 0);
  EXPECT_EQ(num("sget(7, 0)"), 0);

  run("mset(1, 32, 0x21)");
  EXPECT_EQ(num("sget(2, 64)"), 1);
  EXPECT_EQ(num("sget(3, 64)"), 2);
  EXPECT_EQ(num("mget(1, 32)"), 0x21);
  run("mset(3, 4, 200) mset(5, 5, 300) mset(128, 0, 1) mset(0, 64, 1) mset(-1, 0, 1)");
  EXPECT_EQ(num("mget(3, 4)"), 200);
  EXPECT_EQ(num("peek(0x2000 + 4 * 128 + 3)"), 200);
  EXPECT_EQ(num("mget(5, 5)"), 44);
  EXPECT_EQ(num("mget(-1, 0)"), 0);
  EXPECT_EQ(num("mget(0, 64)"), 0);
  EXPECT_EQ(num("mget(127, 63)"), 0);
}

TEST_F(Sprites, FlagBytesAndBits) {
  run("fset(3, 0x85)");
  EXPECT_EQ(num("fget(3)"), 0x85);
  EXPECT_EQ(num("peek(0x3003)"), 0x85);
  EXPECT_TRUE(truth("fget(3, 0)"));
  EXPECT_TRUE(truth("fget(3, 7)"));
  EXPECT_EQ(type("fget(3, 1)"), "boolean");
  EXPECT_FALSE(truth("fget(3, 1)"));
  EXPECT_FALSE(truth("fget(3, 8)"));
  EXPECT_FALSE(truth("fget(3, -1)"));
  run("fset(3, 1, 0)");
  EXPECT_EQ(num("fget(3)"), 0x87) << "0 is true";
  run("fset(3, 7, false) fset(3, 0, nil)");
  EXPECT_EQ(num("fget(3)"), 0x06);
  run("fset(3, 9, true) fset(300, 1) fset(-1, 1) fset(3)");
  EXPECT_EQ(num("fget(3)"), 0x06);
  run("fset(4, 0x1ff)");
  EXPECT_EQ(num("fget(4)"), 0xff);
  EXPECT_EQ(count("fget()"), 0);
  EXPECT_EQ(num("fget(256)"), 0);
  EXPECT_FALSE(truth("fget(256, 0)"));
}

TEST_F(Sprites, MapDrawsCellsWithLayersAndSkipsClippedOnes) {
  set_sprite(2, k_solid9);
  run("mset(0, 0, 1) mset(1, 0, 2) mset(3, 0, 1) fset(2, 1, true)");
  run("map(0, 0, 0, 0, 16, 16, 2)");
  EXPECT_EQ(picture(0, 0, 17, 1), "55555555999999995\n") << "only cells whose sprite has flag 1";

  fill_screen(5);
  run("map()");
  EXPECT_EQ(picture(0, 0, 33, 1), "575757579999999955555555575757575\n")
      << "cell 0 leaves the screen as it was; colour 0 is transparent";
  run("pal(7, 8) palt(0, false) map(0, 0, 0, 8) pal()");
  EXPECT_EQ(picture(0, 8, 9, 1), "080808089\n");

  fill_screen(5);
  run("map(0, 0, 0, 0, 4)");
  EXPECT_EQ(pixel(9, 0), 5) << "five arguments draw nothing";
  run("map(0, 0, -4, 0, 2, 1)");
  EXPECT_EQ(picture(0, 0, 13, 1), "5757999999995\n");
  fill_screen(5);
  run("camera(20, 0) map(0, 0, 0, 0, 4, 1) camera()");
  EXPECT_EQ(picture(0, 0, 13, 1), "5555575757575\n") << "cells 2 and 3 at -4 and 4";
  // Map rows 32-63 are the lower half of the sheet.
  fill_screen(5);
  run("mset(0, 32, 1) map(0, 32, 0, 0, 1, 1)");
  EXPECT_EQ(picture(0, 0, 9, 1), "575757575\n");

  EXPECT_EQ(spent_by("map(0, 0, -4, 0, 2, 1)"), 32 + 64);
  EXPECT_EQ(spent_by("map()"), 3 * 64);
  EXPECT_EQ(spent_by("map(0, 0, 124, 0)"), 4 * 8) << "only the part left of the screen edge";
  EXPECT_EQ(spent_by("map(0, 0, 0, 0, 16, 16, 2)"), 64);
}
