// The draw state through the script API: argument conventions, camera,
// clip, colour, palettes, fill pattern and cls.
#include <gtest/gtest.h>

#include "gfx/bitmap.h"
#include "machine/pstate.h"
#include "support/api_support.h"

using DrawState = ApiMachine;

TEST_F(DrawState, ArgumentsReadAsNumbersRoundDownAndCountWhenNil) {
  run("cls(5)");
  run("pset('12', 3, 8)");
  EXPECT_EQ(pixel(12, 3), 8) << "a string of digits is that number";
  run("pset('ab', 4, 9)");
  EXPECT_EQ(pixel(0, 4), 9) << "a string of letters is 0";
  run("pset(1.9, 5.99, 7)");
  EXPECT_EQ(pixel(1, 5), 7);
  run("camera(-2, 0) pset(-0.5, 0, 10) camera()");
  EXPECT_EQ(pixel(1, 0), 10) << "-0.5 rounds down to -1";
  run("pset(20, 20, {})");
  EXPECT_EQ(pixel(20, 20), 0) << "a table reads as 0";

  // A colour that is given becomes the current colour, even as nil.
  run("color(6) pset(30, 30, nil) pset(31, 30)");
  EXPECT_EQ(pixel(30, 30), 0);
  EXPECT_EQ(pixel(31, 30), 0);
  run("pset(40, 40) pset(41, 40, 8) pset(42, 40)");
  EXPECT_EQ(picture(40, 40, 3, 1), "088\n");
  EXPECT_EQ(num("peek(0x5f25)"), 8);
  run("pset(50, 50, 0x1f8)");
  EXPECT_EQ(num("peek(0x5f25)"), 0xf8) << "masked to 8 bits";

  // Functions that produce nothing return no results.
  EXPECT_EQ(count("cls()"), 0);
  EXPECT_EQ(count("pset(1, 1)"), 0);
  EXPECT_EQ(type("cls()"), "nil");
  // Optional arguments are decided by count: circ with nil is radius 0.
  run("cls() circ(64, 64, nil, 7)");
  EXPECT_EQ(picture(63, 63, 3, 3), "000\n070\n000\n");
  run("cls() color(7) circ(64, 64)");
  EXPECT_EQ(pixel(68, 64), 7);
  EXPECT_EQ(pixel(69, 64), 0);
}

TEST_F(DrawState, CameraShiftsDrawingButNotTheClip) {
  run("camera(10, 0) pset(10, 0, 7)");
  EXPECT_EQ(pixel(0, 0), 7);
  EXPECT_EQ(num("pget(10, 0)"), 7);
  EXPECT_EQ(num("peek(0x5f28)"), 10);

  run("camera(-1, 0)");
  EXPECT_EQ(num("peek(0x5f28)"), 0xff);
  EXPECT_EQ(num("peek(0x5f29)"), 0xff);
  EXPECT_EQ(pstate.camera_x, -1);
  run("pset(0, 5, 9)");
  EXPECT_EQ(pixel(1, 5), 9);

  // The clip rectangle stays in screen pixels.
  run("camera(5, 5) clip(0, 0, 10, 10) pset(12, 12, 3) pset(15, 5, 4)");
  EXPECT_EQ(pixel(7, 7), 3);
  EXPECT_EQ(pixel(10, 0), 0) << "screen x 10 is outside the clip";
  run("camera() clip()");
  EXPECT_EQ(pstate.camera_x, 0);
  EXPECT_EQ(pstate.camera_y, 0);
  // Values wrap to 16 bits as a poke would.
  run("camera(0x7fff, -0x8000)");
  EXPECT_EQ(pstate.camera_x, 0x7fff);
  EXPECT_EQ(pstate.camera_y, -0x8000);
}

TEST_F(DrawState, ClipIsClampedAndANegativeSizeIsEmpty) {
  run("clip(10, 10, -5, 5) rectfill(0, 0, 127, 127, 8) pset(12, 12, 8)");
  EXPECT_EQ(lit_pixels(), std::string(128 * 128, '0'));
  run("clip() pset(12, 12, 8)");
  EXPECT_EQ(pixel(12, 12), 8);

  run("cls() clip(-5, 120, 20, 20)");
  EXPECT_EQ(num("peek(0x5f20)"), 0);
  EXPECT_EQ(num("peek(0x5f21)"), 120);
  EXPECT_EQ(num("peek(0x5f22)"), 15);
  EXPECT_EQ(num("peek(0x5f23)"), 128);
  run("rectfill(0, 0, 127, 127, 2)");
  EXPECT_EQ(pixel(14, 127), 2);
  EXPECT_EQ(pixel(15, 127), 0);
  EXPECT_EQ(pixel(14, 119), 0);
  EXPECT_EQ(pixel(0, 120), 2);

  // A register write changes the clip of the next drawing call.
  run("clip() poke(0x5f20, 100) rectfill(0, 0, 127, 0, 3)");
  EXPECT_EQ(pixel(99, 0), 0);
  EXPECT_EQ(pixel(100, 0), 3);
  // cls resets it.
  run("cls() pset(0, 0, 4)");
  EXPECT_EQ(pixel(0, 0), 4);

  take_charges();
  run("clip(1, 2, 3, 4)");
  EXPECT_EQ(take_charges(), (std::vector<api_charge>{{16, false}}));
}

TEST_F(DrawState, ColorPalAndPalt) {
  run("color(0x18)");
  EXPECT_EQ(num("peek(0x5f25)"), 0x18);
  run("color(300)");
  EXPECT_EQ(num("peek(0x5f25)"), 300 & 255);
  run("color()");
  EXPECT_EQ(num("peek(0x5f25)"), 0);

  run("pal(1, 8) pset(0, 0, 1)");
  EXPECT_EQ(pixel(0, 0), 8);
  EXPECT_EQ(num("peek(0x5f01)"), 8);
  run("pal()");
  EXPECT_EQ(num("peek(0x5f01)"), 1);
  EXPECT_EQ(num("peek(0x5f00)"), 16) << "colour 0 is transparent again";
  run("pal(1, 8, 1) pset(1, 0, 1)");
  EXPECT_EQ(num("peek(0x5f11)"), 8);
  EXPECT_EQ(num("peek(0x5f01)"), 1);
  EXPECT_EQ(pixel(1, 0), 1) << "the screen palette changes only what is shown";
  run("pal(0x21, 0x3c)");
  EXPECT_EQ(num("peek(0x5f01)"), 12) << "both colours are masked to 4 bits";
  run("pal(0, 5)");
  EXPECT_EQ(num("peek(0x5f00)"), 16 + 5) << "the transparency bit is kept";
  run("pal()");
  EXPECT_EQ(num("peek(0x5f11)"), 1);

  run("palt(7, 0)");
  EXPECT_EQ(num("peek(0x5f07)"), 0x17) << "0 is true";
  run("palt(7, false)");
  EXPECT_EQ(num("peek(0x5f07)"), 7);
  run("palt(3, true) palt(0, nil)");
  EXPECT_EQ(num("peek(0x5f03)"), 0x13);
  EXPECT_EQ(num("peek(0x5f00)"), 0);
  run("palt()");
  EXPECT_EQ(num("peek(0x5f03)"), 3);
  EXPECT_EQ(num("peek(0x5f00)"), 16);

  // Primitives ignore transparency: colour 0 draws black.
  fill_screen(5);
  run("rectfill(0, 0, 1, 1, 0)");
  EXPECT_EQ(picture(0, 0, 3, 2), "005\n005\n");
}

TEST_F(DrawState, FillPatternAndItsTransparency) {
  run("fillp(0x5a5a.8)");
  EXPECT_EQ(num("peek(0x5f31)"), 0x5a);
  EXPECT_EQ(num("peek(0x5f32)"), 0x5a);
  EXPECT_EQ(num("peek(0x5f33)"), 1);
  run("fillp(-1)");
  EXPECT_EQ(num("peek(0x5f31)"), 0xff);
  EXPECT_EQ(num("peek(0x5f32)"), 0xff);
  EXPECT_EQ(num("peek(0x5f33)"), 0);
  run("fillp()");
  EXPECT_EQ(pstate.fill_pattern, 0);

  fill_screen(5);
  run("color(0x18) fillp(1) rectfill(0, 0, 3, 3)");
  EXPECT_EQ(picture(0, 0, 4, 4), "8888\n8888\n8888\n8881\n");
  fill_screen(5);
  run("fillp(1.5) rectfill(0, 0, 3, 3)");
  EXPECT_EQ(picture(0, 0, 4, 4), "8888\n8888\n8888\n8885\n");
  fill_screen(5);
  run("fillp(0x0800) rectfill(0, 0, 3, 3)");
  EXPECT_EQ(picture(0, 0, 4, 4), "8888\n1888\n8888\n8888\n");
  // The pattern repeats every 4 pixels and applies to pset and lines.
  fill_screen(5);
  run("fillp(0x8000) rectfill(0, 0, 7, 0) pset(4, 4) line(0, 8, 5, 8)");
  EXPECT_EQ(picture(0, 0, 8, 1), "18881888\n");
  EXPECT_EQ(pixel(4, 4), 1);
  EXPECT_EQ(picture(0, 8, 6, 1), "188818\n");
  // Anchored to the screen, not the camera; the secondary colour goes
  // through the draw palette.
  fill_screen(5);
  run("camera(1, 0) pal(1, 12) rectfill(1, 0, 4, 0) camera() pal()");
  EXPECT_EQ(picture(0, 0, 5, 1), "c8885\n");
  // Circles follow the pattern too.
  fill_screen(5);
  run("fillp(0xffff.8) circfill(64, 64, 3) circ(20, 20, 3)");
  EXPECT_EQ(pixel(64, 64), 5);
  EXPECT_EQ(pixel(23, 20), 5);
}

TEST_F(DrawState, ClsClearsWithoutPaletteAndResetsCursorAndClip) {
  run("pal(3, 9) camera(5, 5) color(12) fillp(0x5a5a) cursor(40, 50) clip(10, 10, 10, 10) cls(3)");
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 128; x++) ASSERT_EQ(pixel(x, y), 3) << x << "," << y;
  EXPECT_EQ(num("peek(0x5f26)"), 0);
  EXPECT_EQ(num("peek(0x5f27)"), 0);
  EXPECT_EQ(num("peek(0x5f22)"), 128);
  EXPECT_EQ(pstate.screen->cl, 0);
  EXPECT_EQ(pstate.screen->cb, 128);
  // Camera, colour, palettes and pattern are kept.
  EXPECT_EQ(pstate.camera_x, 5);
  EXPECT_EQ(num("peek(0x5f25)"), 12);
  EXPECT_EQ(num("peek(0x5f03)"), 9);
  EXPECT_EQ(pstate.fill_pattern, 0x5a5a);

  run("cls(16)");
  EXPECT_EQ(pixel(100, 100), 0);
  run("cls(1.5)");
  EXPECT_EQ(pixel(100, 100), 1);
  run("cls()");
  EXPECT_EQ(pixel(0, 0), 0);
  take_charges();
  run("cls()");
  EXPECT_EQ(take_charges(), (std::vector<api_charge>{{1024, false}}));
}
