// Primitive drawing through the script API: pixels, lines, rectangles,
// circles and their CPU charges, and the tinted rectangle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "api/draw.h"
#include "gfx/bitmap.h"
#include "machine/pstate.h"
#include "support/api_support.h"

using Primitives = ApiMachine;

namespace {

std::string line_call(int x0, int y0, int x1, int y1) {
  return "line(" + std::to_string(x0) + "," + std::to_string(y0) + "," + std::to_string(x1) + "," +
         std::to_string(y1) + ", 7)";
}

}  // namespace

TEST_F(Primitives, PsetAndPgetFollowTheClip) {
  run("pset(5, 5, 9)");
  EXPECT_EQ(num("pget(5, 5)"), 9);
  run("clip(0, 0, 4, 4)");
  EXPECT_EQ(num("pget(5, 5)"), 0) << "on screen but outside the clip";
  run("pset(6, 6, 9)");
  EXPECT_EQ(pixel(6, 6), 0);
  run("clip()");
  EXPECT_EQ(num("pget(5)"), 0) << "fewer than two arguments";
  EXPECT_EQ(num("pget(-1, 0)"), 0);
  EXPECT_EQ(num("pget(200, 0)"), 0);
  run("color(6) pset(3)");
  EXPECT_EQ(num("peek(0x5f25)"), 6) << "pset with one argument does nothing";
  // Off-screen coordinates at the far ends of the number range.
  run("pset(-32768, -32768, 1) pset(32767, 32767, 1) camera(-32768, -32768) pset(32767, 32767, 1)");
}

TEST_F(Primitives, LinesStepFromPixelCentres) {
  run("line(5, 5, 5, 5, 7)");
  EXPECT_EQ(picture(4, 4, 3, 3), "000\n070\n000\n");

  run("cls() line(0, 0, 4, 2, 7)");
  EXPECT_EQ(picture(0, 0, 5, 3), "70000\n07700\n00077\n");
  run("cls() line(4, 2, 0, 0, 7)");
  EXPECT_EQ(picture(0, 0, 5, 3), "70000\n07700\n00077\n") << "drawn from the upper end";
  run("cls() line(4, 0, 0, 2, 7)");
  EXPECT_EQ(picture(0, 0, 5, 3), "00007\n00770\n77000\n");
  run("cls() line(1, 0, 2, 4, 7)");
  EXPECT_EQ(picture(0, 0, 4, 5), "0700\n0700\n0070\n0070\n0070\n");

  run("cls() line(0, 0, 127, 0, 7)");
  for (int x = 0; x < 128; x++) ASSERT_EQ(pixel(x, 0), 7) << x;
  EXPECT_EQ(picture(0, 1, 4, 1), "0000\n");

  // Missing coordinates read as 0.
  run("cls() line(3, 0, 0)");
  EXPECT_EQ(picture(0, 0, 4, 1), "7777\n") << "in the colour of the last line";
}

TEST_F(Primitives, ClippedLinesDrawWhatEveryPointTestWouldDraw) {
  // Reference: every point of the line visited and tested against the clip.
  auto reference = [](int x0, int y0, int x1, int y1, int cl, int ct, int cr, int cb) {
    std::string pic(128 * 128, '0');
    if (y1 < y0) {
      std::swap(x0, x1);
      std::swap(y0, y1);
    }
    const int64_t dx = x1 - x0, dy = y1 - y0;
    int64_t n = std::max<int64_t>(std::abs(dx), dy);
    if (n == 0) n = 1;
    const int64_t xs = dx * 65536 / n, ys = dy * 65536 / n;
    for (int64_t i = 0; i <= n; i++) {
      const int64_t x = (int64_t(x0) * 65536 + 32768 + i * xs) >> 16;
      const int64_t y = (int64_t(y0) * 65536 + 32768 + i * ys) >> 16;
      if (x >= cl && x < cr && y >= ct && y < cb) pic[y * 128 + x] = '7';
    }
    return pic;
  };
  srand(7);
  int clipped = 0;
  for (int k = 0; k < 400; k++) {
    const int x0 = rand() % 400 - 136, y0 = rand() % 400 - 136, x1 = rand() % 400 - 136, y1 = rand() % 400 - 136;
    const int cl = rand() % 60, ct = rand() % 60, cw = rand() % 70 + 1, ch = rand() % 70 + 1;
    run("cls() clip(" + std::to_string(cl) + "," + std::to_string(ct) + "," + std::to_string(cw) + "," +
        std::to_string(ch) + ") " + line_call(x0, y0, x1, y1));
    ASSERT_EQ(lit_pixels(), reference(x0, y0, x1, y1, cl, ct, std::min(cl + cw, 128), std::min(ct + ch, 128)))
        << line_call(x0, y0, x1, y1) << " clip " << cl << "," << ct << " " << cw << "x" << ch;
    // Skipping shortens the walk: the charge stays within the unclipped one.
    const int n = std::max(std::max(std::abs(x1 - x0), std::abs(y1 - y0)), 1);
    const int64_t charge = spent_by(line_call(x0, y0, x1, y1));
    ASSERT_LE(charge, n / 2 + 1);
    if (charge < n / 2 + 1) clipped++;
  }
  EXPECT_GT(clipped, 100) << "runs outside the clip are skipped, not walked";
}

TEST_F(Primitives, LineChargesHalfItsStepsPlusOne) {
  EXPECT_EQ(spent_by("line(0, 0, 127, 0)"), 127 / 2 + 1);
  EXPECT_EQ(spent_by("line(5, 5, 5, 5)"), 1);
  EXPECT_EQ(spent_by("line(-10, -10, -20, -5)"), 1) << "rejected at once: 0 steps";
  EXPECT_EQ(spent_by("line(0, 0, 0, 40)"), 40 / 2 + 1);
  // A line far longer than the screen is charged for the part walked.
  EXPECT_LE(spent_by("line(-30000, 64, 30000, 64)"), 70);
}

TEST_F(Primitives, RectanglesAndTheirCharges) {
  run("rect(2, 2, 5, 4, 9)");
  EXPECT_EQ(picture(1, 1, 6, 5), "000000\n099990\n090090\n099990\n000000\n");
  run("cls() rect(5, 4, 2, 2, 9)");
  EXPECT_EQ(picture(1, 1, 6, 5), "000000\n099990\n090090\n099990\n000000\n") << "corners in any order";
  run("cls() rectfill(3, 3, 1, 1, 4)");
  EXPECT_EQ(picture(0, 0, 5, 5), "00000\n04440\n04440\n04440\n00000\n");
  run("cls() rectfill(-5, 126, 1, 200, 2)");
  EXPECT_EQ(picture(0, 125, 3, 3), "000\n220\n220\n");

  // rect: the edges that lie in the clip rectangle, clamped to it.
  int k = 0;
  EXPECT_EQ(spent_by("rect(0, 0, 127, 127)", &k), 32 + 32 + 63 + 63);
  EXPECT_EQ(spent_by("rect(-10, 10, 20, 20)"), 5 + 5 + 4);
  EXPECT_EQ(spent_by("rect(200, 0, 300, 10)", &k), 0);
  EXPECT_EQ(k, 0) << "a rectangle that misses the clip costs nothing";
  EXPECT_EQ(spent_by("rect(3, 3, 3, 3)", &k), 0);
  EXPECT_EQ(k, 1) << "an edge shorter than four pixels is charged 0, which counts as 1";
  // rectfill: a sixteenth of the clipped area.
  EXPECT_EQ(spent_by("rectfill(0, 0, 127, 127)"), 1024);
  EXPECT_EQ(spent_by("rectfill(-10, -10, 3, 3)"), 1);
  EXPECT_EQ(spent_by("rectfill(0, 0, 6, 6)"), 49 / 16);
  EXPECT_EQ(spent_by("clip(0, 0, 8, 8) rectfill(0, 0, 127, 127)"), 16 + 64 / 16);
}

TEST_F(Primitives, CirclesFollowTheMidpointWalk) {
  run("circ(64, 64, 0, 7)");
  EXPECT_EQ(picture(63, 63, 3, 3), "000\n070\n000\n");
  run("cls() circ(64, 64, 2, 7)");
  EXPECT_EQ(picture(62, 62, 5, 5), "07770\n70007\n70007\n70007\n07770\n");
  run("cls() circfill(64, 64, 2, 7)");
  EXPECT_EQ(picture(62, 62, 5, 5), "07770\n77777\n77777\n77777\n07770\n");
  run("cls() circ(64, 64, 4, 7)");
  EXPECT_EQ(picture(59, 59, 11, 11),
            "00000000000\n"
            "00007770000\n"
            "00770007700\n"
            "00700000700\n"
            "07000000070\n"
            "07000000070\n"
            "07000000070\n"
            "00700000700\n"
            "00770007700\n"
            "00007770000\n"
            "00000000000\n");

  // The colour of circ is taken before a negative radius is refused; circfill
  // refuses first.
  run("cls() color(6) circ(64, 64, -1, 9)");
  EXPECT_EQ(num("peek(0x5f25)"), 9);
  run("color(6) circfill(64, 64, -1, 9)");
  EXPECT_EQ(num("peek(0x5f25)"), 6);
  run("circ(64) circfill(64)");
  EXPECT_EQ(lit_pixels(), std::string(128 * 128, '0'));

  // A circle far larger than the screen draws nothing on it.
  run("circ(64, 64, 1000, 7) circ(64, 64, 32767, 7) camera(-32768, -32768) circ(32767, 32767, 32767, 7) camera()");
  EXPECT_EQ(lit_pixels(), std::string(128 * 128, '0'));
  // ...but one through the screen does.
  run("circ(64, 1064, 1000, 7)");
  EXPECT_EQ(pixel(64, 64), 7);
}

TEST_F(Primitives, CirclesOfAnySizeDrawWhatThePlainWalkDraws) {
  // Reference: the midpoint walk over the whole octant, every point tested.
  auto reference = [](int cx, int cy, int r, int cl, int ct, int cr, int cb) {
    std::string pic(128 * 128, '0');
    auto plot = [&](int64_t x, int64_t y) {
      if (x >= cl && x < cr && y >= ct && y < cb) pic[y * 128 + x] = '7';
    };
    int64_t x = r, y = 0, d = 1 - r;
    while (x >= y) {
      plot(cx + x, cy + y), plot(cx - x, cy + y), plot(cx + x, cy - y), plot(cx - x, cy - y);
      plot(cx + y, cy + x), plot(cx - y, cy + x), plot(cx + y, cy - x), plot(cx - y, cy - x);
      y++;
      if (d < 0) {
        d += 2 * y + 1;
      } else {
        x--;
        d += 2 * (y - x) + 1;
      }
    }
    return pic;
  };
  srand(11);
  for (int k = 0; k < 300; k++) {
    const int scale = k % 3 == 0 ? 40 : k % 3 == 1 ? 400 : 30000;
    const int r = rand() % scale, cx = rand() % (2 * scale + 128) - scale, cy = rand() % (2 * scale + 128) - scale;
    const int cl = rand() % 60, ct = rand() % 60, cw = rand() % 80 + 1, ch = rand() % 80 + 1;
    const std::string call = "circ(" + std::to_string(cx) + "," + std::to_string(cy) + "," + std::to_string(r) + ",7)";
    run("cls() clip(" + std::to_string(cl) + "," + std::to_string(ct) + "," + std::to_string(cw) + "," +
        std::to_string(ch) + ") " + call);
    ASSERT_EQ(lit_pixels(), reference(cx, cy, r, cl, ct, std::min(cl + cw, 128), std::min(ct + ch, 128)))
        << call << " clip " << cl << "," << ct << " " << cw << "x" << ch;
  }
}

TEST_F(Primitives, CircleCharges) {
  EXPECT_EQ(spent_by("circ(64, 64, 2)"), 2 * 4 + 2);
  EXPECT_EQ(spent_by("circ(64, 126, 5)"), 2 * (128 - 121) + 2);
  EXPECT_EQ(spent_by("circ(64, 64, 1000)"), 2 * 128 + 2);
  int k = 0;
  EXPECT_EQ(spent_by("circ(-100, -100, 5)", &k), 0);
  EXPECT_EQ(k, 0);
  EXPECT_EQ(spent_by("circfill(64, 64, 2)"), 4 + 25 / 16);
  EXPECT_EQ(spent_by("circfill(64, 64, 10)"), 20 + 441 / 16);
  EXPECT_EQ(spent_by("circfill(-100, -100, 5)"), 10);
  EXPECT_EQ(spent_by("circfill(64, 64)"), 8 + 81 / 16);
}

TEST_F(Primitives, TintedRectangleDarkensByTableOrByBrightness) {
  for (int c = 0; c < 16; c++) pstate.screen->line[0][c] = static_cast<uint8_t>(c);
  draw_tinted_rect_adaptive(pstate.screen, 0, 0, 15, 0, 0);
  EXPECT_EQ(picture(0, 0, 16, 1), "0011001515551115\n");

  // Three pixels, classes 15, 0 and 1: two thirds are below class 2, so the
  // brightest pixel stays lit as colour 1.
  pstate.screen->line[2][0] = 7;
  pstate.screen->line[2][1] = 0;
  pstate.screen->line[2][2] = 1;
  draw_tinted_rect_adaptive(pstate.screen, 2, 2, 0, 2, 1);
  EXPECT_EQ(picture(0, 2, 3, 1), "100\n");

  // A rectangle running off the bitmap is kept on it.
  fill_screen(7);
  draw_tinted_rect_adaptive(pstate.screen, -10, 120, 300, 400, 0);
  EXPECT_EQ(pixel(0, 127), 5);
  EXPECT_EQ(pixel(0, 119), 7);
}
