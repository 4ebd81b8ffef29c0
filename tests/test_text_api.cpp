// print, cursor, tostr and tonum through the script API, drawn with the
// console font from the resource file.
#include <gtest/gtest.h>

#include <string>

#include "machine/pstate.h"
#include "support/api_support.h"

using TextApi = ApiMachine;

namespace {

// The console font's glyphs a and x in colour 6, each in a 4x6 cell.
const char *k_a = "0000\n0660\n6060\n6060\n0660\n0000\n";
const char *k_x = "0000\n6060\n0600\n0600\n6060\n0000\n";

}  // namespace

TEST_F(TextApi, PrintStepsTheCursorDownOneLineAtATime) {
  run("print('a') print('a')");
  EXPECT_EQ(picture(0, 0, 4, 6), k_a);
  EXPECT_EQ(picture(0, 6, 4, 6), k_a) << "the second line 6 pixels below, same x";
  EXPECT_EQ(num("peek(0x5f26)"), 0);
  EXPECT_EQ(num("peek(0x5f27)"), 12);

  run("cls() print('hi', 10, 10) print('x')");
  EXPECT_EQ(picture(10, 10, 4, 6), "6000\n6660\n6660\n6660\n6060\n0000\n") << "x over the h";
  EXPECT_EQ(num("peek(0x5f27)"), 16) << "print with a position leaves the cursor there";
  run("cls() cursor(20, 30) print('x', 50)");
  EXPECT_EQ(picture(20, 30, 4, 6), k_x) << "two arguments: drawn at the cursor";
  EXPECT_EQ(num("peek(0x5f27)"), 30) << "and the cursor stays";

  run("cls() print('a\\na\\na')");
  EXPECT_EQ(picture(0, 12, 4, 6), k_a);
  EXPECT_EQ(num("peek(0x5f27)"), 18) << "one step per line";

  run("cls() cursor(5.5, 7.9)");
  EXPECT_EQ(num("peek(0x5f26)"), 5);
  EXPECT_EQ(num("peek(0x5f27)"), 7);
  run("cursor()");
  EXPECT_EQ(num("peek(0x5f27)"), 0);

  // The camera moves the text, not the cursor.
  run("cls() camera(-10, -2) print('x') camera()");
  EXPECT_EQ(picture(10, 2, 4, 6), k_x);
  EXPECT_EQ(num("peek(0x5f27)"), 6);
}

TEST_F(TextApi, PrintAtTheBottomScrollsTheScreen) {
  run("cursor(0, 116) print('a')");
  EXPECT_EQ(num("peek(0x5f27)"), 122);
  run("cls() cursor(0, 120) print('x')");
  EXPECT_EQ(picture(0, 114, 4, 6), k_x) << "drawn at 120, then scrolled up by 6";
  EXPECT_EQ(picture(0, 120, 4, 8), "0000\n0000\n0000\n0000\n0000\n0000\n0000\n0000\n");
  EXPECT_EQ(num("peek(0x5f27)"), 120) << "the cursor stays";
  run("print('a')");
  EXPECT_EQ(picture(0, 108, 4, 6), k_x);
  EXPECT_EQ(picture(0, 114, 4, 6), k_a) << "the next line again at 120, scrolled";

  // The scroll stays inside the clip rectangle.
  fill_screen(5);
  run("clip(0, 0, 64, 128) cursor(0, 122) print('')");
  EXPECT_EQ(pixel(10, 121), 5);
  EXPECT_EQ(pixel(10, 122), 0);
  EXPECT_EQ(pixel(63, 127), 0);
  EXPECT_EQ(pixel(64, 127), 5);

  EXPECT_EQ(spent_by("cursor(0, 122) print('ab')"), 8 * 2 + 2 + 65536);
  EXPECT_EQ(spent_by("cursor(0, 0) print('ab')"), 8 * 2 + 2);

  // A text of many lines scrolls the clip rectangle blank; scrolls past
  // that point change nothing, yet every one of the 41 is charged.
  fill_screen(5);
  run("lines = '' for i = 1, 40 do lines = lines .. '\\n' end");
  const int64_t cycles = spent_by("clip() cursor(0, 122) print(lines)");
  EXPECT_EQ(lit_pixels(), std::string(128 * 128, '0'));
  EXPECT_EQ(cycles, spent_by("clip() cursor(0, 0)") + 8 * 40 + 2 + 41 * 65536);
}

TEST_F(TextApi, PrintShowsEveryKindOfValue) {
  auto same_as = [&](const std::string &value, const std::string &text) {
    run("cls() print(" + value + ", 0, 0)");
    const std::string a = picture(0, 0, 40, 6);
    run("cls() print('" + text + "', 0, 0)");
    EXPECT_EQ(a, picture(0, 0, 40, 6)) << value << " as " << text;
    EXPECT_NE(a, picture(80, 0, 40, 6)) << text << " draws something";
  };
  same_as("true", "true");
  same_as("false", "false");
  same_as("{}", "[table]");
  same_as("nil", "[nil]");
  same_as("print", "[function]");
  same_as("12.5", "12.5");
  same_as("-1/3", "-0.3333");
  same_as("'a\\127b'", "a");

  run("cls() print() print(cls())");
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 20; x++) ASSERT_EQ(pixel(x, y), 0);
  EXPECT_EQ(num("peek(0x5f27)"), 0) << "no argument: no step";

  EXPECT_EQ(spent_by("print('hello')"), 8 * 5 + 2);
  EXPECT_EQ(spent_by("print(12.5, 0, 0)"), 8 * 4 + 2);
  int k = 0;
  EXPECT_EQ(spent_by("print()", &k), 0);
  EXPECT_EQ(k, 0);
}

TEST_F(TextApi, PrintColourGoesThroughThePaletteWithoutPattern) {
  run("print('x', 0, 0, 8)");
  EXPECT_EQ(num("peek(0x5f25)"), 8);
  EXPECT_EQ(pixel(0, 1), 8);
  run("pal(8, 12) print('x', 0, 10) pal()");
  EXPECT_EQ(pixel(0, 11), 12);
  run("color(0x18) fillp(0xffff) print('x', 0, 20)");
  EXPECT_EQ(pixel(0, 21), 8) << "primary colour only";
  EXPECT_EQ(pixel(2, 21), 8);

  // While the console is stopped, text wraps at the clip's right edge.
  pstate.text_wrap = 1;
  run("cls() color(6) clip(0, 0, 20, 128) print('aaaaaaaa')");
  EXPECT_EQ(picture(16, 0, 4, 6), k_a) << "five glyphs on the first line";
  EXPECT_EQ(picture(8, 6, 4, 6), k_a) << "three on the second";
  EXPECT_EQ(picture(12, 6, 4, 6), "0000\n0000\n0000\n0000\n0000\n0000\n");
  EXPECT_EQ(num("peek(0x5f27)"), 12);
  pstate.text_wrap = 0;
  run("cls() print('aaaaaaaa')");
  EXPECT_EQ(picture(8, 6, 4, 6), "0000\n0000\n0000\n0000\n0000\n0000\n");
}

TEST_F(TextApi, TostrAndTonum) {
  EXPECT_EQ(str("tostr(1.5, true)"), "0x0001.8000");
  EXPECT_EQ(str("tostr(-1, true)"), "0xffff.0000");
  EXPECT_EQ(str("tostr(1.5, false)"), "1.5");
  EXPECT_EQ(str("tostr(1.5, nil)"), "1.5");
  EXPECT_EQ(str("tostr(1/3)"), "0.3333");
  EXPECT_EQ(str("tostr(nil)"), "[nil]");
  EXPECT_EQ(str("tostr()"), "[no value]");
  EXPECT_EQ(str("tostr(true)"), "true");
  EXPECT_EQ(str("tostr({})"), "[table]");
  EXPECT_EQ(str("tostr('a', true)"), "a");
  EXPECT_TRUE(truth("tostr(tostr) == '[function]'"));

  EXPECT_EQ(raw("tonum('0x10')"), 16 << 16);
  EXPECT_EQ(raw("tonum('-0x10')"), -16 * 65536);
  EXPECT_EQ(raw("tonum('-5')"), -5 * 65536);
  EXPECT_EQ(raw("tonum('12.5')"), 0xc8000);
  EXPECT_EQ(raw("tonum('0b101')"), 5 << 16);
  EXPECT_EQ(raw("tonum(' 7 ')"), 7 << 16);
  EXPECT_EQ(raw("tonum(-2.5)"), -0x28000);
  EXPECT_EQ(count("tonum('abc')"), 0);
  EXPECT_TRUE(truth("tonum('abc') == nil"));
  EXPECT_EQ(count("tonum({})"), 0);
  EXPECT_EQ(count("tonum(true)"), 0);
  EXPECT_EQ(count("tonum()"), 0);
}
