// The fixed-point library on its own: exact raw results of every operation.
#include "support/test.h"

namespace {

constexpr int32_t ONE = 0x10000, MIN = INT32_MIN, MAX = INT32_MAX;

int32_t fix(double v) { return static_cast<int32_t>(std::lround(v * 65536.0)); }

// The raw value a numeral parses to, or -1 when it is not a number.
int64_t parsed(const std::string &text) {
  int32_t v = 0;
  return fixed_parse(text.data(), text.size(), &v) ? v : -1;
}

// Root and power without their cost.
int32_t root(int32_t x) { return fixed_sqrt(x, nullptr); }
int32_t power(int32_t a, int32_t b) { return fixed_pow(a, b, nullptr); }

std::string text_of(int32_t v) {
  char buf[FIXED_TEXT_SIZE];
  fixed_to_string(buf, v);
  return buf;
}

}  // namespace

TEST(Fixed, OperationsGiveTheirExactRawValues) {
  expect_rows(
      {ROW(fixed_add(32767 * ONE, ONE), MIN), ROW(fixed_sub(MIN, 1), MAX), ROW(fixed_neg(MIN), MIN),
       ROW(fixed_mul(256 * ONE, 256 * ONE), 0), ROW(fixed_mul(3 * ONE, -ONE / 2), -3 * ONE / 2), ROW(fixed_mul(-1, 1), -1),
       ROW(fixed_floor(fix(-0.5)), -1), ROW(fixed_from_int(-3), -3 * ONE),
       // Division by zero saturates, 2^32 wraps, quotients truncate toward zero.
       ROW(fixed_div(ONE, 0), MAX), ROW(fixed_div(-ONE, 0), MIN + 1), ROW(fixed_div(0, 0), MAX), ROW(fixed_div(ONE, 1), 0),
       ROW(fixed_div(ONE, 6), 0x2aaaaaaa), ROW(fixed_div(ONE, 3 * ONE), 0x5555), ROW(fixed_div(-ONE, 3 * ONE), -0x5555),
       ROW(fixed_div(MIN, -ONE), MIN),
       // The saturating form clamps instead of wrapping.
       ROW(fixed_div_sat(ONE, 1), MAX), ROW(fixed_div_sat(-ONE, 1), MIN + 1), ROW(fixed_div_sat(MIN, -ONE), MAX), ROW(fixed_div_sat(ONE, 4 * ONE), ONE / 4),
       // -32768 % 3 is 1; a divisor of -32768 acts as 32768.
       ROW(fixed_mod(-5 * ONE, 3 * ONE), ONE), ROW(fixed_mod(5 * ONE, -3 * ONE), 2 * ONE),
       ROW(fixed_mod(7 * ONE, 0), 7 * ONE), ROW(fixed_mod(-ONE / 2, ONE), ONE / 2),
       ROW(fixed_mod(fix(5.5), 2 * ONE), fix(1.5)), ROW(fixed_mod(MIN, 3 * ONE), ONE), ROW(fixed_mod(-1, MIN), MAX),
       ROW(fixed_mod(5 * ONE, MIN), 5 * ONE), ROW(fixed_mod(MIN, MIN), 0),
       // Roots: zero and values from 32761 on give 0 and 181. Powers multiply
       // whole steps and one root per fraction bit.
       ROW(root(4 * ONE), 2 * ONE), ROW(root(ONE / 4), ONE / 2), ROW(root(2 * ONE), 0x16aab),
       ROW(root(ONE / 2), 0xb4b4), ROW(root(0), 0), ROW(root(32761 * ONE), 181 * ONE), ROW(root(MAX), 181 * ONE),
       ROW(power(2 * ONE, 3 * ONE), 8 * ONE), ROW(power(2 * ONE, ONE / 2), 0x16aab),
       ROW(power(2 * ONE, fix(0.75)), fixed_mul(root(2 * ONE), root(root(2 * ONE)))), ROW(power(0, 0), ONE),
       ROW(power(ONE / 2, -2 * ONE), 4 * ONE), ROW(power(-2 * ONE, 3 * ONE), -8 * ONE),
       ROW(power(2 * ONE, 16 * ONE), 0), ROW(power(0, -ONE), MAX), ROW(power(2 * ONE, MIN), 0),
       ROW(power(4 * ONE, fix(1.5)), 8 * ONE)});
  // Just below the limit the root search ends at 180 and refines upward;
  // values without a meaningful root still return.
  EXPECT_GT(root(0x7ff8ffff), 180 * ONE);
  EXPECT_LE(root(0x7ff8ffff), 181 * ONE);
  for (int32_t x : {1, 3, -1, -ONE, MIN, MIN + 1}) root(x);
  // Costs added to the caller's count: 8 per root taken (none for 0 or a
  // saturated root), 8 per power with an exponent, plus its roots.
  auto root_cost = [](int32_t x) { int32_t c = 0; return fixed_sqrt(x, &c), c; };
  auto power_cost = [](int32_t a, int32_t b) { int32_t c = 0; return fixed_pow(a, b, &c), c; };
  expect_rows({ROW(root_cost(2 * ONE), 8), ROW(root_cost(0), 0), ROW(root_cost(MAX), 0), ROW(power_cost(2 * ONE, 0), 0),
               ROW(power_cost(2 * ONE, 3 * ONE), 8), ROW(power_cost(2 * ONE, fix(0.75)), 24),
               ROW(power_cost(0, ONE / 2), 8)});
}

TEST(Fixed, TrigonometryUsesItsTablesAndKeepsAnglesInRange) {
  const long double two_pi = 2.0L * std::acos(-1.0L);
  for (int i = 0; i <= 4096; i++)
    ASSERT_EQ(fixed_cos_table(i), std::llroundl(65536.0L * std::cos(two_pi * i / 16384.0L))) << i;
  for (int i = 0; i <= 2048; i++)
    ASSERT_EQ(fixed_atan_table(i), std::llroundl(65536.0L * std::atan(i / 2048.0L) / two_pi)) << i;
  const int32_t c45 = fixed_cos_table(2048);
  expect_rows({// Sines and cosines at the quarters and eighths of a turn.
               ROW(fixed_sin(0), 0), ROW(fixed_sin(ONE / 4), -ONE), ROW(fixed_sin(3 * ONE / 4), ONE), ROW(fixed_sin(ONE / 2), 0),
               ROW(fixed_cos(0), ONE), ROW(fixed_cos(ONE / 2), -ONE), ROW(fixed_cos(ONE / 4), 0), ROW(fixed_cos(5 * ONE / 4), 0),
               ROW(fixed_cos(-ONE / 2), -ONE), ROW(fixed_cos(ONE / 8), c45), ROW(fixed_sin(ONE / 8), -c45),
               ROW(fixed_cos(3 * ONE / 8), -c45), ROW(fixed_cos(MAX), ONE),
               // Directions; in the last row -dy wraps back to -32768.
               ROW(fixed_atan2(ONE, 0), 0), ROW(fixed_atan2(0, -ONE), ONE / 4), ROW(fixed_atan2(-ONE, 0), ONE / 2),
               ROW(fixed_atan2(0, ONE), 3 * ONE / 4), ROW(fixed_atan2(ONE, -ONE), ONE / 8), ROW(fixed_atan2(ONE, ONE), 7 * ONE / 8),
               ROW(fixed_atan2(0, 0), ONE / 4), ROW(fixed_atan2(-ONE, -ONE), 3 * ONE / 8), ROW(fixed_atan2(-ONE, ONE), 5 * ONE / 8),
               ROW(fixed_atan2(1, MIN), 3 * ONE / 4)});
  for (int32_t dx : {1, -1, MAX, MIN})
    for (int32_t dy : {1, -1, MAX, MIN}) {
      EXPECT_GE(fixed_atan2(dx, dy), 0);
      EXPECT_LT(fixed_atan2(dx, dy), ONE);
    }
}

// The text rule written the way it reads: printf at five decimals, then at
// three or four, then trailing zeros and point removed.
static std::string reference_text(int32_t v) {
  const double d = v / 65536.0;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%0.5f", d);
  std::snprintf(buf, sizeof buf, (strstr(buf, ".9999") || strstr(buf, ".0000")) ? "%0.3f" : "%0.4f", d);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

TEST(Fixed, TextFormMatchesPrintfForEveryFraction) {
  // Three examples; the reference gives all the others.
  EXPECT_EQ(text_of(0x2aaaaaaa) + " " + text_of(MAX) + " " + text_of(-1), "10922.6667 32768 -0");
  for (int whole : {0, 1, 2, 99, 10922, 16383, 32766, 32767, -1, -2, -100, -32767, -32768})
    for (int32_t frac = 0; frac < 0x10000; frac++) {
      const int32_t v = static_cast<int32_t>((static_cast<uint32_t>(whole) << 16) + frac);
      ASSERT_EQ(text_of(v), reference_text(v)) << "raw 0x" << std::hex << v;
    }
}

TEST(Fixed, ParsingNumerals) {
  // Numeral and raw value. The sign of a 0x numeral is ignored; digits past
  // the 16th fraction bit are dropped.
  const std::pair<std::string, int64_t> rows[] = {{"0.1", 0x1999},      {"0x.8", 0x8000},      {"0b.1", 0x8000},
                                                  {"0x10.4", 0x104000}, {"0b101.1", 0x58000},  {"40000", MIN},
                                                  {"1e5", MIN},         {"65535", MIN},        {"1e999", MIN},
                                                  {"32767.99999", MAX}, {"-32768", MIN},       {"-0x10", 0x100000},
                                                  {"+0x10", 0x100000},  {"0xffff", -ONE},      {"0x10000", 0},
                                                  {"0x7fff.ffff", MAX}, {"0x1.0001", 0x10001}, {"0x1.00019", 0x10001},
                                                  {"0B11", 3 * ONE},    {"0XaB", 0xab * ONE},  {"  12 \t\n", 12 * ONE},
                                                  {".5", ONE / 2},      {"5.", 5 * ONE},       {"1.5e1", 15 * ONE},
                                                  {"-1", -ONE},         {"-0.1", -0x1999},     {"-2.5", -0x28000}};
  for (const auto &[text, want] : rows) EXPECT_EQ(parsed(text), want) << '"' << text << '"';
  expect_rows({ROW(parsed("0b1.00000000000000011"), 0x10001), ROW(parsed("0." + std::string(100, '0') + "1"), 0),
               ROW(parsed(std::string(100, '0') + "7"), 7 * ONE)});
  for (const char *bad : {"0x1p4", "inf", "nan", "", " ", "0x", "0x.", "0b", "0b2", "1 2", "1e", "abc", "12a", "0x1g",
                          "1x", "0y5", "- 1", "1..2", "0b1.1.1"})
    EXPECT_EQ(parsed(bad), -1) << '"' << bad << '"';
  // The length bounds the text: what follows is not read, an embedded zero ends it.
  int32_t v;
  EXPECT_TRUE(fixed_parse("12345", 2, &v));
  EXPECT_EQ(v, 12 * ONE);
  EXPECT_FALSE(fixed_parse("1\0002", 3, &v));
}

// The generator as the rule states it, written independently of the library.
static uint32_t reference_step(uint64_t &hi, uint64_t &lo) {
  hi = ((hi << 16) | (hi >> 16)) & 0xffffffffu;
  hi = (hi + lo) & 0xffffffffu;
  lo = (lo + hi) & 0xffffffffu;
  return static_cast<uint32_t>(hi);
}

TEST(Fixed, RandomSequenceFollowsTheGeneratorRule) {
  for (uint32_t seed : {0u, 1u, 0x7fffffffu, 12345u}) {
    uint64_t hi = seed ? seed ^ 0xbead29bau : 0x60009755u, lo = seed ? seed : 0xdeadbeefu;
    for (int i = 0; i < 32; i++) reference_step(hi, lo);
    orrery_srand(seed);
    for (int i = 0; i < 200; i++) {
      const uint32_t n = 1 + static_cast<uint32_t>(i) * 977u;
      ASSERT_EQ(orrery_random(n), reference_step(hi, lo) % n) << "seed " << seed << " step " << i;
    }
  }
  // A bound of 0 gives 0 and leaves the state alone.
  orrery_srand(1);
  EXPECT_EQ(orrery_random(0), 0u);
  EXPECT_EQ(orrery_random(0xffffffffu), 0x294c1b11u);
}
