// print, cursor, tostr and tonum through the script API, drawn with the
// console font from the resource file.
#include <gtest/gtest.h>

#include <string>

#include "machine/pstate.h"
#include "support/api_support.h"
#include "support/cases.h"

using TextApi = ApiMachine;

namespace {

// The console font's glyphs a and x in colour 6, each in a 4x6 cell.
const std::string k_a = "0000\n0660\n6060\n6060\n0660\n0000\n", k_x = "0000\n6060\n0600\n0600\n6060\n0000\n",
                  k_blank = "0000\n0000\n0000\n0000\n0000\n0000\n";

}  // namespace

TEST_F(TextApi, PrintStepsTheCursorAndScrollsAtTheBottom) {
  // Each row: code after cls(), a 4x6 cell that must hold a glyph, and the cursor row after.
  const std::tuple<const char *, int, int, std::string, int> cases[] = {
      {"print('a') print('a')", 0, 6, k_a, 12},
      {"print('hi', 10, 10) print('x')", 10, 10, "6000\n6660\n6660\n6660\n6060\n0000\n", 16},  // x over the h
      {"cursor(20, 30) print('x', 50)", 20, 30, k_x, 30},  // two arguments: at the cursor, which stays
      {"print('a\\na\\na')", 0, 12, k_a, 18},
      {"camera(-10, -2) print('x') camera()", 10, 2, k_x, 6},  // the camera moves the text, not the cursor
      {"cursor(0, 120) print('x')", 0, 114, k_x, 120},  // drawn at 120, then scrolled up by 6
      {"cursor(0, 120) print('x') print('a')", 0, 114, k_a, 120},  // the next line again at 120, scrolled
      {"print() print(cls())", 0, 0, k_blank, 0},  // no argument: no step
  };
  for (const auto &[code, x, y, cell, row] : cases) {
    run(std::string("cls() ") + code);
    EXPECT_EQ(picture(x, y, 4, 6), cell) << code;
    EXPECT_EQ(num("peek(0x5f27)"), row) << code;
  }
  expect_after({{"cursor(5.5, 7.9)", "peek(0x5f26) * 256 + peek(0x5f27)", 5 * 256 + 7}, {"cursor()", "peek(0x5f27)", 0}});
  // The scroll stays inside the clip rectangle.
  fill_screen(5);
  run("clip(0, 0, 64, 128) cursor(0, 122) print('') clip()");
  EXPECT_EQ(pixel(10, 121) * 4096 + pixel(10, 122) * 256 + pixel(63, 127) * 16 + pixel(64, 127), 0x5005);
  // A scroll costs a whole frame; after 24 scrolls within one print the
  // clip rectangle is blank, so further scrolls are neither drawn nor charged.
  expect_rows({ROW(spent_by("cursor(0, 122) print('ab')"), 8 * 2 + 2 + 65536),
               ROW(spent_by("cursor(0, 0) print('ab')"), 8 * 2 + 2), ROW(spent_by("print('hello')"), 8 * 5 + 2),
               ROW(spent_by("print(12.5, 0, 0)"), 8 * 4 + 2), ROW(spent_by("print()"), 0)});
  fill_screen(5);
  const int64_t cycles = spent_by("lines = '' for i = 1, 40 do lines = lines .. '\\n' end cursor(0, 122) print(lines)");
  EXPECT_EQ(lit_pixels(), std::string(128 * 128, '0'));
  EXPECT_GE(cycles, 8 * 40 + 2 + 22 * 65536);
  EXPECT_LT(cycles, 8 * 40 + 2 + 41 * 65536);
}

TEST_F(TextApi, PrintShowsEveryKindOfValueInItsColourAndWrapsWhileStopped) {
  const std::pair<const char *, const char *> values[] = {
      {"true", "true"}, {"{}", "[table]"}, {"nil", "[nil]"}, {"print", "[function]"}, {"-1/3", "-0.3333"}, {"'a\\127b'", "a"}};
  for (const auto &[value, text] : values) {
    run(std::string("cls() print(") + value + ", 0, 0)");
    const std::string shown = picture(0, 0, 40, 6);
    run(std::string("cls() print('") + text + "', 0, 0)");
    EXPECT_EQ(shown, picture(0, 0, 40, 6)) << value << " as " << text;
  }
  // The colour goes through the draw palette, primary colour only.
  expect_after({{"cls() print('x', 0, 0, 8)", "peek(0x5f25) * 16 + pget(0, 1)", 0x88},
                {"pal(8, 12) print('x', 0, 10) pal()", "pget(0, 11)", 12},
                {"color(0x18) fillp(0xffff) print('x', 0, 20) fillp()", "pget(0, 21) * 16 + pget(2, 21)", 0x88}});
  // While the console is stopped, text wraps at the clip's right edge.
  pstate.text_wrap = 1;
  run("cls() color(6) clip(0, 0, 20, 128) print('aaaaaaaa')");
  EXPECT_EQ(picture(16, 0, 4, 6) + picture(8, 6, 4, 6) + picture(12, 6, 4, 6), k_a + k_a + k_blank);
  pstate.text_wrap = 0;
  run("cls() clip() print('aaaaaaaa')");
  EXPECT_EQ(picture(8, 6, 4, 6), k_blank);
}

TEST_F(TextApi, TostrAndTonum) {
  const std::pair<const char *, const char *> texts[] = {
      {"tostr(1.5, true)", "0x0001.8000"}, {"tostr(-1, true)", "0xffff.0000"}, {"tostr(1.5, nil)", "1.5"},
      {"tostr(1/3)", "0.3333"}, {"tostr(nil)", "[nil]"}, {"tostr()", "[no value]"}, {"tostr({})", "[table]"},
      {"tostr('a', true)", "a"}, {"tostr(tostr)", "[function]"}};
  for (const auto &[expr, text] : texts) EXPECT_EQ(str(expr), text) << expr;
  expect_rows({ROW(raw("tonum('0x10')"), 16 << 16), ROW(raw("tonum('-0x10')"), -16 * 65536),
               ROW(raw("tonum('12.5')"), 0xc8000), ROW(raw("tonum('0b101')"), 5 << 16), ROW(raw("tonum(' 7 ')"), 7 << 16),
               ROW(raw("tonum(-2.5)"), -0x28000), ROW(count("tonum('abc')"), 0), ROW(count("tonum({})"), 0),
               ROW(count("tonum(true)"), 0), ROW(count("tonum()"), 0)});
}
