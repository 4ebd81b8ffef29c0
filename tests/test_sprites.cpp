// Sprites, sprite flags and the map through the script API.
#include <gtest/gtest.h>

#include "machine/pstate.h"
#include "support/api_support.h"
#include "support/cases.h"

namespace {

const char *k_sprite0[8] = {"12345670", "89abcdef", "00000007", "70000000",
                            "11110000", "22220000", "33330000", "4444000f"};
const char *k_stripes[8] = {"07070707", "07070707", "07070707", "07070707",
                            "07070707", "07070707", "07070707", "07070707"};
const char *k_solid9[8] = {"99999999", "99999999", "99999999", "99999999",
                           "99999999", "99999999", "99999999", "99999999"};

// Sprite 0 and 15 as above, 1 and 2 striped and solid; the screen in colour 5.
class Sprites : public ApiMachine {
 protected:
  void SetUp() override {
    ApiMachine::SetUp();
    set_sprite(0, k_sprite0);
    set_sprite(1, k_stripes);
    set_sprite(2, k_solid9);
    set_sprite(15, k_solid9);
  }
  // Runs each row's code on a screen of colour 5 and compares a rectangle.
  void expect_pictures(std::initializer_list<std::tuple<const char *, int, int, int, int, const char *>> rows) {
    for (const auto &[code, x, y, w, h, pic] : rows) {
      fill_screen(5);
      run(code);
      EXPECT_EQ(picture(x, y, w, h), pic) << code;
    }
  }
};

}  // namespace

TEST_F(Sprites, SprDrawsThroughThePalettesFlippedCutOrPastTheSheet) {
  expect_pictures({
      {"spr(1, 0, 0)", 0, 0, 9, 1, "575757575\n"},  // colour 0 is transparent by default
      {"palt(0, false) spr(1, 0, 0)", 0, 0, 9, 1, "070707075\n"},
      {"pal(7, 8) spr(1, 0, 0) pal()", 0, 0, 9, 1, "080808085\n"},
      {"spr(1, 0, 0)", 0, 0, 9, 1, "575757575\n"},  // pal() made colour 0 transparent again
      {"palt(0, false) spr(0, 0, 0, 1, 1, true)", 0, 0, 8, 2, "07654321\nfedcba98\n"},
      {"palt(0, false) spr(0, 0, 0, 1, 1, false, true)", 0, 0, 8, 2, "4444000f\n33330000\n"},
      {"palt(0, false) spr(0, 0, 0, 1, 1, 1, 1)", 0, 0, 8, 1, "f0004444\n"},
      {"spr(0, 0, 0, 0.5, 0.5)", 0, 0, 5, 5, "12345\n89ab5\n00005\n70005\n55555\n"},
      {"spr(0, 0, 0, 1.5, 0.25)", 0, 0, 13, 3, "1234567007075\n89abcdef07075\n5555555555555\n"},
      {"palt() spr(15, 0, 0, 2, 1)", 0, 7, 17, 2, "99999999000000005\n55555555555555555\n"},  // past the sheet: colour 0
      // Nothing for a size below one pixel, h missing (0), or a number outside 0-255.
      {"spr(15, 0, 0, 2) spr(256, 0, 0) spr(-1, 0, 0) spr(15, 0, 0, 0.1, 1)", 0, 0, 16, 1, "5555555555555555\n"},
      {"camera(-10, -10) spr(15, 0, 0) camera()", 9, 9, 10, 2, "5555555555\n5999999995\n"},
      {"spr(15, 100, 100, 1000, 1000)", 127, 127, 1, 1, "0\n"},  // huge sizes are capped at the sheet
  });
  int k = 0;
  expect_rows({ROW(spent_by("spr(0, 0, 0)"), 64), ROW(spent_by("spr(0, 124, 0)"), 32),
               ROW(spent_by("spr(0, 0, 0, 2, 2)"), 256), ROW(spent_by("spr(0, 200, 0)", &k), 0), ROW(k, 1),
               ROW(spent_by("spr(300, 0, 0)", &k) + k, 0)});
}

TEST_F(Sprites, SsprStretchesMirrorsAndSkipsClippedRowsAndColumns) {
  run("palt(0, false)");
  expect_pictures({
      {"sspr(0, 0, 8, 8, 64, 64, -16, 16)", 47, 64, 18, 2, "500776655443322115\n500776655443322115\n"},
      {"sspr(0, 0, 8, 8, 0, 0, 16, 16)", 0, 1, 16, 2, "1122334455667700\n8899aabbccddeeff\n"},
      {"sspr(0, 0, 16, 16, 0, 0, 8, 8)", 0, 0, 8, 2, "9bdf7777\n00007777\n"},  // samples at 1, 3, 5, ...
      {"sspr(0, 0, 8, 8, 0, 8, 8, -8)", 0, 0, 8, 2, "4444000f\n33330000\n"},   // a negative height mirrors upward
      {"sspr(-4, 0, 8, 8, 0, 0)", 0, 0, 9, 1, "000012345\n"},                  // the uncovered part is colour 0
      {"sspr(4, 0, 8, 8, 0, 0, 8, 8, true)", 0, 0, 8, 1, "70700765\n"},
      // Nothing unless 1 <= sw, sh <= 128 and dw, dh are not 0 (missing with seven arguments).
      {"sspr(0, 0, 0, 8, 0, 0) sspr(0, 0, 8, 129, 0, 0) sspr(0, 0, 8, 8, 0, 0, 0, 8) sspr(0, 0, 8, 8, 0, 0, 8)", 0, 0,
       4, 1, "5555\n"},
  });
  // Clipped rows and columns are skipped with the sampling unchanged.
  fill_screen(5);
  run("sspr(0, 0, 8, 8, -5, -3, 13, 11) sspr(0, 0, 8, 8, 40, 40, 13, 11)");
  EXPECT_EQ(picture(0, 0, 8, 8), picture(45, 43, 8, 8));
  run("clip(100, 100, 10, 10) sspr(0, 0, 8, 8, 95, 97, 13, 11) clip()");
  EXPECT_EQ(picture(100, 100, 8, 8), picture(45, 43, 8, 8));
  expect_rows({ROW(spent_by("sspr(0, 0, 8, 8, 120, 0, 16, 16)"), 8 * 16),
               ROW(spent_by("sspr(0, 0, 8, 8, 64, 64, -16, 16)"), 256),
               ROW(spent_by("sspr(0, 0, 8, 8, -30000, 0, 32000, 4)"), 128 * 4)});
}

TEST_F(Sprites, SheetMapAndFlagsShareTheirMemory) {
  expect_after({
      {"sset(0, 64, 9)", "mget(0, 32)", 9}, {"sset(1, 64, 3)", "peek(0x1000)", 0x39}, {"", "mget(0, 32)", 0x39},
      {"sset(2, 2, 0x1f) color(12) sset(3, 2)", "sget(2, 2)", 15}, {"", "sget(3, 2)", 0},  // missing colour is 0
      {"", "peek(0x5f25)", 12}, {"sset(-1, 0, 5) sset(128, 0, 5) sset(0, 128, 5)", "sget(-1, 0) + sget(0, 128)", 0},
      {"mset(1, 32, 0x21)", "sget(2, 64) * 16 + sget(3, 64)", 0x12}, {"mset(3, 4, 200)", "peek(0x2000 + 4 * 128 + 3)", 200},
      {"mset(5, 5, 300) mset(128, 0, 1) mset(0, 64, 1) mset(-1, 0, 1)", "mget(5, 5)", 44},
      {"", "mget(-1, 0) + mget(0, 64) + mget(127, 63)", 0},
      // Flag bytes and bits: 0 is true, bits outside 0-7 and sprites outside 0-255 are ignored.
      {"fset(3, 0x85)", "peek(0x3003)", 0x85}, {"fset(3, 1, 0)", "fget(3)", 0x87},
      {"fset(3, 7, false) fset(3, 0, nil)", "fget(3)", 0x06}, {"fset(3, 9, true) fset(300, 1) fset(-1, 1) fset(3)", "fget(3)", 6},
      {"fset(4, 0x1ff)", "fget(4)", 0xff}, {"", "fget(256)", 0},
  });
  EXPECT_EQ(str("type(fget(3, 1))"), "boolean");
  EXPECT_EQ(num("(fget(3, 1) and not fget(3, 0) and not fget(3, 8) and not fget(3, -1) and not fget(256, 0)) and 1 or 0"), 1);
  EXPECT_EQ(count("fget()"), 0);
}

TEST_F(Sprites, MapDrawsCellsByLayerSkippingClippedOnes) {
  run("mset(0, 0, 1) mset(1, 0, 2) mset(3, 0, 1) fset(2, 1, true) mset(0, 32, 1)");
  expect_pictures({
      {"map(0, 0, 0, 0, 16, 16, 2)", 0, 0, 17, 1, "55555555999999995\n"},  // only sprites with flag 1
      // Cell 0 leaves the screen as it was; colour 0 is transparent.
      {"map()", 0, 0, 33, 1, "575757579999999955555555575757575\n"},
      {"pal(7, 8) palt(0, false) map(0, 0, 0, 0) pal()", 0, 0, 9, 1, "080808089\n"},
      {"map(0, 0, 0, 0, 4)", 0, 0, 10, 1, "5555555555\n"},  // five arguments draw nothing
      {"map(0, 0, -4, 0, 2, 1)", 0, 0, 13, 1, "5757999999995\n"},
      {"camera(20, 0) map(0, 0, 0, 0, 4, 1) camera()", 0, 0, 13, 1, "5555575757575\n"},
      {"map(0, 32, 0, 0, 1, 1)", 0, 0, 9, 1, "575757575\n"},  // map rows 32-63 are the sheet's lower half
  });
  expect_rows({ROW(spent_by("map(0, 0, -4, 0, 2, 1)"), 32 + 64), ROW(spent_by("map()"), 3 * 64),
               ROW(spent_by("map(0, 0, 124, 0)"), 4 * 8), ROW(spent_by("map(0, 0, 0, 0, 16, 16, 2)"), 64)});
}
