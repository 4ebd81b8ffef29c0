// The script API's text, math, bit and memory functions on raw 16.16
// values, their charges and refunds, and the installed API table; text is
// drawn with the console font from the resource file.
#include "support/test.h"

using ScriptApi = ApiMachine;

namespace {

// The console font's glyphs a and x in colour 6, each in a 4x6 cell.
const std::string k_a = "0000\n0660\n6060\n6060\n0660\n0000\n", k_x = "0000\n6060\n0600\n0600\n6060\n0000\n",
                  k_blank = "0000\n0000\n0000\n0000\n0000\n0000\n";

}  // namespace

TEST_F(ScriptApi, PrintStepsTheCursorAndScrollsAtTheBottom) {
  // Each row: code after cls(), a 4x6 cell that must hold a glyph, and the cursor row after.
  const std::tuple<const char *, int, int, std::string, int> cases[] = {
      {"print('a') print('a')", 0, 6, k_a, 12},
      {"print('hi', 10, 10) print('x')", 10, 10, "6000\n6660\n6660\n6660\n6060\n0000\n", 16},  // x over the h
      {"cursor(20, 30) print('x', 50)", 20, 30, k_x, 30},  // two arguments: at the cursor, which stays
      {"print('a\\na\\na')", 0, 12, k_a, 18},
      {"camera(-10, -2) print('x') camera()", 10, 2, k_x, 6},      // the camera moves the text, not the cursor
      {"cursor(0, 120) print('x')", 0, 114, k_x, 120},             // drawn at 120, then scrolled up by 6
      {"cursor(0, 120) print('x') print('a')", 0, 114, k_a, 120},  // the next line again at 120, scrolled
      {"print() print(cls())", 0, 0, k_blank, 0}                   // no argument: no step
  };
  for (const auto &[code, x, y, cell, row] : cases) {
    run(std::string("cls() ") + code);
    EXPECT_EQ(picture(x, y, 4, 6), cell) << code;
    EXPECT_EQ(num("peek(0x5f27)"), row) << code;
  }
  expect_after(
      {{"cursor(5.5, 7.9)", "peek(0x5f26) * 256 + peek(0x5f27)", 5 * 256 + 7}, {"cursor()", "peek(0x5f27)", 0}});
  // The scroll stays inside the clip rectangle.
  fill_screen(5);
  run("clip(0, 0, 64, 128) cursor(0, 122) print('') clip()");
  EXPECT_EQ(pixel(10, 121) * 4096 + pixel(10, 122) * 256 + pixel(63, 127) * 16 + pixel(64, 127), 0x5005);
  // A scroll costs a whole frame; after 24 scrolls within one print the
  // clip rectangle is blank, so further scrolls change nothing, yet every
  // one of the 41 is charged.
  expect_rows({ROW(spent_by("cursor(0, 122) print('ab')"), 8 * 2 + 2 + 65536),
               ROW(spent_by("cursor(0, 0) print('ab')"), 8 * 2 + 2), ROW(spent_by("print('hello')"), 8 * 5 + 2),
               ROW(spent_by("print(12.5, 0, 0)"), 8 * 4 + 2), ROW(spent_by("print()"), 0)});
  fill_screen(5);
  run("lines = '' for i = 1, 40 do lines = lines .. '\\n' end");
  const int64_t cycles = spent_by("clip() cursor(0, 122) print(lines)");
  EXPECT_EQ(lit_pixels(), std::string(128 * 128, '0'));
  EXPECT_EQ(cycles, spent_by("clip() cursor(0, 0)") + 8 * 40 + 2 + 41 * 65536);
}

TEST_F(ScriptApi, TostrAndTonum) {
  const std::pair<const char *, const char *> texts[] = {
      {"tostr(1.5, true)", "0x0001.8000"}, {"tostr(-1, true)", "0xffff.0000"}, {"tostr(1/3)", "0.3333"},
      {"tostr()", "[no value]"},           {"tostr('a', true)", "a"},          {"tostr(tostr)", "[function]"}};
  for (const auto &[expr, text] : texts) EXPECT_EQ(str(expr), text) << expr;
  expect_rows({ROW(raw("tonum('0x10')"), 16 << 16), ROW(raw("tonum('-0x10')"), -16 * 65536),
               ROW(raw("tonum('12.5')"), 0xc8000), ROW(raw("tonum('0b101')"), 5 << 16),
               ROW(raw("tonum(' 7 ')"), 7 << 16), ROW(raw("tonum(-2.5)"), -0x28000), ROW(count("tonum('abc')"), 0),
               ROW(count("tonum({})"), 0), ROW(count("tonum(true)"), 0), ROW(count("tonum()"), 0)});
}

TEST_F(ScriptApi, MathAndBitFunctionsOnAll32Bits) {
  // A missing argument is 0; a shift by -1 shifts by 31.
  expect_rows({ROW(raw("flr(-0.5)"), -0x10000), ROW(raw("sgn(0)"), 0x10000), ROW(raw("sgn(-0.001)"), -0x10000),
               ROW(raw("abs(-32768)"), INT32_MIN), ROW(raw("min(3)"), 0), ROW(raw("max(-3)"), 0), ROW(raw("mid(5)"), 0),
               ROW(raw("mid(3, 1, 2)"), 2 << 16), ROW(raw("mid(2, 2, 1)"), 2 << 16), ROW(raw("sin(0.25)"), -0x10000),
               ROW(raw("atan2(1, -1)"), 0x2000), ROW(raw("sqrt(2)"), 0x16aab)});
  expect_rows({ROW(raw("band(bnot(0), 0.5)"), 0x8000), ROW(raw("band(-1, 0.5)"), 0),
               ROW(raw("bor(0x0f00, 0.25)"), 0x0f004000), ROW(raw("bxor(3, 1)"), 2 << 16), ROW(raw("bnot(-1)"), 0xffff),
               ROW(raw("shl(1, 1.9)"), 2 << 16), ROW(raw("shl(1, 32)"), 0), ROW(raw("shl(0x0.0001, -1)"), INT32_MIN),
               ROW(raw("shl(1, 16)"), 0), ROW(raw("shr(-1, 1)"), -0x8000), ROW(raw("shr(1, 16)"), 1),
               ROW(raw("shr(-1, 40)"), 0)});
  expect_rows({ROW(raw("shr(-1, 31)"), -1)});
  // rnd follows the seed, whose bit 31 is dropped; its bound is the raw value.
  run("srand(5) a = {rnd(10), rnd(10), rnd()} srand(5) b = {rnd(10), rnd(10), rnd()}");
  EXPECT_EQ(num("(a[1] == b[1] and a[2] == b[2] and a[3] == b[3]) and 1 or 0"), 1);
  orrery_srand(5 << 16);
  EXPECT_EQ(raw("a[1]"), static_cast<int32_t>(orrery_random(10 << 16)));
  run("srand(-1) a = rnd(1000) srand(32767) b = rnd(1000)");
  EXPECT_EQ(num("(a == b and rnd(0) == 0 and rnd(nil) == 0) and 1 or 0"), 1);
}

TEST_F(ScriptApi, ReloadAndCstoreUseTheWorkingCartridge) {
  cart_ptr working(vell_create_orrery_cart());
  orrery_set_working_cart(working.get());
  working->gfx->line[0][0] = 7;
  working->flags[5] = 3;
  expect_after({{"poke(0, 0) poke(0x3005, 0)", "reload()", 0x4300},
                {"", "sget(0, 0) * 16 + fget(5)", 0x73},
                {"", "reload(0x4300, 0x3004, 2)", 2},
                {"", "peek(0x4301)", 3},
                {"poke(0x4300, 1)", "reload(0x4300, 0x3005, 1, 'other.q7')", 0},
                {"", "peek(0x4300)", 1},
                {"poke(0x3006, 9)", "cstore()", 0x4300},
                {"poke(0x3006, 4)", "cstore(0x3007, 0x3006, 1)", 1},
                {"", "cstore(0, 0, 1, 'other.q7')", 1}});
  EXPECT_EQ(working->flags[6] * 16 + working->flags[7], 0x94);
}

TEST_F(ScriptApi, ChargesAndRefunds) {
  // Each snippet and the charges it records: negative refunds, positive spends.
  const std::pair<const char *, std::vector<api_charge>> cases[] = {
      {"flr(1) flr(1, 2) bnot(1) bnot()", {{-2, true}, {-2, true}}},
      {"band(1, 2) bor(1, 2) bxor(1, 2) shl(1, 2) shr(1, 2) band(1, 2, 3) shl(1)",
       std::vector<api_charge>(5, api_charge{-3, true})},
      {"sqrt(2) rnd() rnd(5) srand(1) min(1, 2) mid(1, 2, 3) sgn(1) abs(1) sin(1) atan2(1, 1)",
       {{16, false}, {4, false}, {4, false}}},
      {"peek(1) peek(1, 2) poke(0x4300, 1) poke(0x4300, 1, 2)", {{-2, true}, {-3, true}}},
      {"memcpy(0x4300, 0, 10) memset(0x4300, 0, 10) memset(0x4300, 0, 0) memcpy(0x4300, 0, 32767)",
       {{11, false}, {5, false}, {0, false}, {32768, false}}},
      {"reload() reload(0, 0, 16) reload(0, 0, 5000) reload(0, 0, 16, 'x')",
       {{32768, false}, {128, false}, {32768, false}, {128, false}}},
      {"cstore() cstore(0, 0, 16) cstore(0, 0, -5)", {{262144, false}, {1024, false}, {-320, false}}},
      {"clip(1, 2, 3, 4) cls()", {{16, false}, {1024, false}}}};
  take_charges();
  for (const auto &[code, charges] : cases) {
    run(code);
    EXPECT_EQ(take_charges(), charges) << code;
  }
}
