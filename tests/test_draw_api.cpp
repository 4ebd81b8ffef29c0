// Drawing through the script API: argument rules, camera, clip, palettes,
// fill pattern, cls, pixels, lines, rectangles, circles, sprites, flags and
// the map, with their CPU charges; and the tinted rectangle.
#include "support/test.h"

using DrawApi = ApiMachine;

namespace {

std::string args(std::initializer_list<int> v) {
  std::string s;
  for (int x : v) s += (s.empty() ? "" : ",") + std::to_string(x);
  return s;
}

// What a reference walk draws on a clear screen through the clip rectangle
// [cl, cr) x [ct, cb): walk(plot) visits every point of the figure.
template <class Walk>
std::string reference(int cl, int ct, int cr, int cb, Walk walk) {
  std::string pic(128 * 128, '0');
  walk([&](int64_t x, int64_t y) {
    if (x >= cl && x < cr && y >= ct && y < cb) pic[y * 128 + x] = '7';
  });
  return pic;
}

const char *k_sprite0[8] = {"12345670", "89abcdef", "00000007", "70000000",
                            "11110000", "22220000", "33330000", "4444000f"};
const char *k_stripes[8] = {"07070707", "07070707", "07070707", "07070707",
                            "07070707", "07070707", "07070707", "07070707"};
const char *k_solid9[8] = {"99999999", "99999999", "99999999", "99999999",
                           "99999999", "99999999", "99999999", "99999999"};

// Sprite 0 and 15 as above, 1 and 2 striped and solid.
class Sprites : public ApiMachine {
 protected:
  void SetUp() override {
    ApiMachine::SetUp();
    set_sprite(0, k_sprite0);
    set_sprite(1, k_stripes);
    set_sprite(2, k_solid9);
    set_sprite(15, k_solid9);
  }
};

}  // namespace

TEST_F(DrawApi, FillPatternAppliesToEveryPrimitiveWithItsTransparencyBit) {
  expect_after({{"fillp(0x5a5a.8)", "peek(0x5f31) + peek(0x5f32) * 256", 0x5a5a},
                {"", "peek(0x5f33)", 1},
                {"fillp(-1)", "peek(0x5f31) + peek(0x5f32)", 0x1fe},
                {"", "peek(0x5f33)", 0}});
  // The pattern repeats every 4 pixels and reaches pset, lines and circles;
  // it is anchored to the screen, and its second colour goes through the palette.
  expect_pictures(
      {{"color(0x18) fillp(1) rectfill(0, 0, 3, 3)", 0, 0, 4, 4, "8888\n8888\n8888\n8881\n"},
       {"fillp(0x8000) rectfill(0, 0, 7, 0) pset(4, 4) line(0, 8, 7, 8)", 0, 0, 8, 9,
        "18881888\n55555555\n55555555\n55555555\n55551555\n55555555\n55555555\n55555555\n18881888\n"},
       {"camera(1, 0) pal(1, 12) rectfill(1, 0, 4, 0) camera() pal()", 0, 0, 5, 1, "c8885\n"},
       {"fillp(0xffff.8) circfill(2, 2, 1) circ(2, 2, 2)", 0, 0, 5, 5, "55555\n55555\n55555\n55555\n55555\n"}});
  // cls ignores the palette, resets cursor and clip, keeps the rest.
  run("fillp(0x5a5a) pal(3, 9) camera(5, 5) color(12) cursor(40, 50) clip(10, 10, 10, 10) cls(3)");
  EXPECT_EQ(picture(0, 0, 2, 1) + picture(127, 127, 1, 1), "33\n3\n");
  EXPECT_EQ(num("peek(0x5f27) + peek(0x5f20) + peek(0x5f22) + peek(0x5f28)"), 128 + 5);
}

TEST_F(DrawApi, PixelsLinesAndRectanglesFollowTheClipAndChargeWhatTheyCover) {
  expect_after({{"pset(5, 5, 9) clip(0, 0, 4, 4)", "pget(5, 5)", 0},
                {"pset(6, 6, 9) clip()", "_pix(6, 6)", 0},
                {"", "pget(5) + pget(-1, 0) + pget(200, 0)", 0},
                {"color(6) pset(3)", "peek(0x5f25)", 6}});
  run("pset(-32768, -32768, 1) pset(32767, 32767, 1) camera(-32768, -32768) pset(32767, 32767, 1) camera()");
  // Lines step from pixel centres and are drawn from their upper end;
  // missing coordinates read as 0, in the last line's colour.
  expect_pictures({{"line(1, 1, 1, 1, 7)", 0, 0, 3, 3, "000\n070\n000\n"},
                   {"line(0, 0, 4, 2, 7)", 0, 0, 5, 3, "70000\n07700\n00077\n"},
                   {"line(4, 2, 0, 0, 7)", 0, 0, 5, 3, "70000\n07700\n00077\n"},
                   {"line(1, 0, 2, 4, 7)", 0, 0, 4, 5, "0700\n0700\n0070\n0070\n0070\n"},
                   {"line(3, 0, 0)", 0, 0, 4, 1, "7777\n"},
                   {"rect(4, 3, 1, 1, 9)", 0, 0, 6, 5, "000000\n099990\n090090\n099990\n000000\n"},
                   {"rectfill(3, 3, 1, 1, 4)", 0, 0, 5, 5, "00000\n04440\n04440\n04440\n00000\n"},
                   {"rectfill(-5, 126, 1, 200, 2)", 0, 125, 3, 3, "000\n220\n220\n"}},
                  0);
  // Half a line's walked steps plus one; a rectangle's edges within the
  // clip (an edge under four pixels is 0, counted as 1); a sixteenth of a
  // filled area; nothing for what misses the clip.
  int k = 0;
  expect_rows({ROW(spent_by("line(0, 0, 127, 0)"), 64), ROW(spent_by("line(5, 5, 5, 5)"), 1),
               ROW(spent_by("line(0, 0, 0, 40)"), 21), ROW(spent_by("line(-30000, 64, 30000, 64)") <= 70, 1),
               ROW(spent_by("rect(0, 0, 127, 127)"), 32 + 32 + 63 + 63),
               ROW(spent_by("rect(-10, 10, 20, 20)"), 5 + 5 + 4), ROW(spent_by("rect(200, 0, 300, 10)", &k) + k, 0),
               ROW(spent_by("rect(3, 3, 3, 3)", &k) + k, 1), ROW(spent_by("rectfill(0, 0, 127, 127)"), 1024),
               ROW(spent_by("rectfill(0, 0, 6, 6)"), 49 / 16),
               ROW(spent_by("clip(0, 0, 8, 8) rectfill(0, 0, 127, 127)"), 16 + 64 / 16)});
}

TEST_F(DrawApi, CirclesOfAnySizeDrawWhatThePlainWalkDrawsAndChargeWhatTheyCover) {
  srand(11);
  for (int k = 0; k < 300; k++) {
    const int scale = k % 3 == 0 ? 40 : k % 3 == 1 ? 400 : 30000;
    const int r = rand() % scale, cx = rand() % (2 * scale + 128) - scale, cy = rand() % (2 * scale + 128) - scale;
    const int cl = rand() % 60, ct = rand() % 60, cr = std::min(cl + rand() % 80 + 1, 128),
              cb = std::min(ct + rand() % 80 + 1, 128);
    const std::string call = "circ(" + args({cx, cy, r, 7}) + ")";
    run("cls() clip(" + args({cl, ct, cr - cl, cb - ct}) + ") " + call);
    ASSERT_EQ(lit_pixels(), reference(cl, ct, cr, cb,
                                      [&](auto plot) {
                                        // The midpoint walk over the whole octant.
                                        for (int64_t x = r, y = 0, d = 1 - r; x >= y;) {
                                          for (int64_t s : {-1, 1})
                                            for (int64_t t : {-1, 1}) {
                                              plot(cx + s * x, cy + t * y);
                                              plot(cx + s * y, cy + t * x);
                                            }
                                          y++;
                                          if (d < 0) {
                                            d += 2 * y + 1;
                                          } else {
                                            x--;
                                            d += 2 * (y - x) + 1;
                                          }
                                        }
                                      }))
        << call << " clip " << args({cl, ct, cr, cb});
  }
  run("cls() clip() circ(64, 64, 2, 7) circfill(70, 64, 2, 7)");
  EXPECT_EQ(picture(62, 62, 11, 5), "07770007770\n70007077777\n70007077777\n70007077777\n07770007770\n");
  // circ takes its colour before refusing a negative radius; circfill refuses first.
  expect_after(
      {{"color(6) circ(64, 64, -1, 9)", "peek(0x5f25)", 9}, {"color(6) circfill(64, 64, -1, 9)", "peek(0x5f25)", 6}});
  int k = 0;
  expect_rows({ROW(spent_by("circ(64, 64, 2)"), 2 * 4 + 2), ROW(spent_by("circ(64, 126, 5)"), 2 * 7 + 2),
               ROW(spent_by("circ(64, 64, 1000)"), 2 * 128 + 2), ROW(spent_by("circ(-100, -100, 5)", &k) + k, 0),
               ROW(spent_by("circfill(64, 64, 2)"), 4 + 25 / 16), ROW(spent_by("circfill(64, 64, 10)"), 20 + 441 / 16),
               ROW(spent_by("circfill(-100, -100, 5)"), 10), ROW(spent_by("circfill(64, 64)"), 8 + 81 / 16)});
}

TEST_F(DrawApi, TintedRectangleDarkensByTableOrByBrightnessAndStaysOnTheBitmap) {
  for (int c = 0; c < 16; c++) pstate.screen->line[0][c] = static_cast<uint8_t>(c);
  draw_tinted_rect_adaptive(pstate.screen, 0, 0, 15, 0, 0);
  EXPECT_EQ(picture(0, 0, 16, 1), "0011001515551115\n");
  // Classes 15, 0 and 1: two thirds are below class 2, so the brightest
  // pixel stays lit as colour 1.
  pstate.screen->line[2][0] = 7, pstate.screen->line[2][1] = 0, pstate.screen->line[2][2] = 1;
  draw_tinted_rect_adaptive(pstate.screen, 2, 2, 0, 2, 1);
  EXPECT_EQ(picture(0, 2, 3, 1), "100\n");
  fill_screen(7);
  draw_tinted_rect_adaptive(pstate.screen, -10, 120, 300, 400, 0);
  EXPECT_EQ(pixel(0, 127) * 16 + pixel(0, 119), 0x57);
}

TEST_F(Sprites, SsprStretchesMirrorsAndSkipsClippedRowsAndColumns) {
  run("palt(0, false)");
  expect_pictures(
      {{"sspr(0, 0, 8, 8, 64, 64, -16, 16)", 47, 64, 18, 2, "500776655443322115\n500776655443322115\n"},
       {"sspr(0, 0, 8, 8, 0, 0, 16, 16)", 0, 1, 16, 2, "1122334455667700\n8899aabbccddeeff\n"},
       {"sspr(0, 0, 16, 16, 0, 0, 8, 8)", 0, 0, 8, 2, "9bdf7777\n00007777\n"},  // samples at 1, 3, 5, ...
       {"sspr(0, 0, 8, 8, 0, 8, 8, -8)", 0, 0, 8, 2, "4444000f\n33330000\n"},   // a negative height mirrors upward
       {"sspr(-4, 0, 8, 8, 0, 0)", 0, 0, 9, 1, "000012345\n"},                  // the uncovered part is colour 0
       // Nothing unless 1 <= sw, sh <= 128 and dw, dh are not 0 (missing with seven arguments).
       {"sspr(0, 0, 0, 8, 0, 0) sspr(0, 0, 8, 129, 0, 0) sspr(0, 0, 8, 8, 0, 0, 0, 8) sspr(0, 0, 8, 8, 0, 0, 8)", 0, 0,
        4, 1, "5555\n"}});
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
