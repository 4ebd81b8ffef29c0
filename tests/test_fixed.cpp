// The fixed-point library on its own: exact raw results of every operation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "script/fixed.h"

namespace {

constexpr int32_t ONE = 0x10000;

int32_t fix(double v) { return (int32_t)std::lround(v * 65536.0); }

std::string text_of(int32_t v) {
  char buf[FIXED_TEXT_SIZE];
  int len = orrery_fixed_to_string(buf, v);
  EXPECT_EQ((size_t)len, std::strlen(buf));
  return buf;
}

// Parses text; returns the raw value, or the marker "none" when it is not a number.
std::string parsed(const std::string &text) {
  int32_t v = 0;
  if (!orrery_parse_number(text.data(), text.size(), &v)) return "none";
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", (unsigned)v);
  return buf;
}

int spent;
void count_spend(int cycles) { spent += cycles; }

struct SpendCounter {
  SpendCounter() {
    spent = 0;
    orrery_spend_cpu_hook = count_spend;
  }
  ~SpendCounter() { orrery_spend_cpu_hook = nullptr; }
  int take() {
    int s = spent;
    spent = 0;
    return s;
  }
};

}  // namespace

TEST(Fixed, AdditionWrapsAndMultiplicationKeepsLowBits) {
  EXPECT_EQ(fixed_add(32767 * ONE, ONE), (int32_t)0x80000000);
  EXPECT_EQ(fixed_sub((int32_t)0x80000000, 1), 0x7fffffff);  // less one step: 32767.99998
  EXPECT_EQ(fixed_sub((int32_t)0x80000000, ONE), 32767 * ONE);
  EXPECT_EQ(fixed_neg((int32_t)0x80000000), (int32_t)0x80000000);
  EXPECT_EQ(q7_fmul(256 * ONE, 256 * ONE), 0);
  EXPECT_EQ(q7_fmul(3 * ONE, -ONE / 2), -3 * ONE / 2);
  EXPECT_EQ(q7_fmul(-1, 1), -1);  // arithmetic shift: -1/2^32 floors to raw -1
  EXPECT_EQ(fixed_floor(fix(1.9)), 1);
  EXPECT_EQ(fixed_floor(fix(-0.5)), -1);
  EXPECT_EQ(fixed_from_int(-3), -3 * ONE);
}

TEST(Fixed, DivisionByZeroSaturatesAndOverflowWraps) {
  EXPECT_EQ(q7_fdiv(ONE, 0), 0x7fffffff);
  EXPECT_EQ(q7_fdiv(-ONE, 0), (int32_t)0x80000001);
  EXPECT_EQ(q7_fdiv(0, 0), 0x7fffffff);
  EXPECT_EQ(q7_fdiv(ONE, 1), 0);             // 2^32 wraps to 0
  EXPECT_EQ(q7_fdiv(ONE, 6), 0x2aaaaaaa);    // 1 / 0.0001
  EXPECT_EQ(q7_fdiv(-7 * ONE, 2 * ONE), -7 * ONE / 2);
  EXPECT_EQ(q7_fdiv(ONE, 3 * ONE), 0x5555);  // truncates toward zero
  EXPECT_EQ(q7_fdiv(-ONE, 3 * ONE), -0x5555);
  EXPECT_EQ(q7_fdiv((int32_t)0x80000000, -ONE), (int32_t)0x80000000);  // 32768 wraps
  // The saturating form clamps instead.
  EXPECT_EQ(fdiv(ONE, 1), 0x7fffffff);
  EXPECT_EQ(fdiv(-ONE, 1), (int32_t)0x80000001);
  EXPECT_EQ(fdiv((int32_t)0x80000000, -ONE), 0x7fffffff);
  EXPECT_EQ(fdiv(-ONE, 0), (int32_t)0x80000001);
  EXPECT_EQ(fdiv(ONE, 4 * ONE), ONE / 4);
}

TEST(Fixed, ModuloIgnoresTheSignOfTheDivisor) {
  EXPECT_EQ(q7_fmod(-5 * ONE, 3 * ONE), ONE);
  EXPECT_EQ(q7_fmod(5 * ONE, -3 * ONE), 2 * ONE);
  EXPECT_EQ(q7_fmod(7 * ONE, 0), 7 * ONE);
  EXPECT_EQ(q7_fmod(-ONE / 2, ONE), ONE / 2);
  EXPECT_EQ(q7_fmod(-6 * ONE, 3 * ONE), 0);
  EXPECT_EQ(q7_fmod(fix(5.5), 2 * ONE), fix(1.5));
  // The extremes: -32768 mod 3 is 1, and a divisor of -32768 acts as 32768.
  EXPECT_EQ(q7_fmod((int32_t)0x80000000, 3 * ONE), ONE);
  EXPECT_EQ(q7_fmod(-1, (int32_t)0x80000000), 0x7fffffff);
  EXPECT_EQ(q7_fmod(5 * ONE, (int32_t)0x80000000), 5 * ONE);
  EXPECT_EQ(q7_fmod((int32_t)0x80000000, (int32_t)0x80000000), 0);
}

TEST(Fixed, SquareRootsAndTheirCharges) {
  SpendCounter spend;
  EXPECT_EQ(fsqrt(4 * ONE), 2 * ONE);
  EXPECT_EQ(spend.take(), 8);
  EXPECT_EQ(fsqrt(ONE / 4), ONE / 2);
  EXPECT_EQ(fsqrt(2 * ONE), 0x16aab);
  EXPECT_EQ(fsqrt(ONE / 2), 0xb4b4);  // 0.70587
  EXPECT_EQ(fsqrt(9 * ONE), 3 * ONE);
  EXPECT_EQ(fsqrt(ONE), ONE);
  spend.take();
  // Zero and values of 32761 and above cost nothing and give 0 and 181.
  EXPECT_EQ(fsqrt(0), 0);
  EXPECT_EQ(fsqrt(32761 * ONE), 181 * ONE);
  EXPECT_EQ(fsqrt(0x7fffffff), 181 * ONE);
  EXPECT_EQ(spend.take(), 0);
  // Just below the limit the search ends at 180 and refines upward.
  int32_t top = fsqrt(0x7ff8ffff);
  EXPECT_GT(top, 180 * ONE);
  EXPECT_LE(top, 181 * ONE);
  // Values with no meaningful root must still return (no trap, no hang).
  for (int32_t x : {1, 2, 3, -1, -ONE, (int32_t)0x80000000, (int32_t)0x80000001}) fsqrt(x);
}

TEST(Fixed, PowersMultiplyRootsForFractionBits) {
  SpendCounter spend;
  EXPECT_EQ(q7_fpow(2 * ONE, 3 * ONE), 8 * ONE);
  EXPECT_EQ(spend.take(), 8);
  EXPECT_EQ(q7_fpow(2 * ONE, ONE / 2), fsqrt(2 * ONE));
  spend.take();
  EXPECT_EQ(q7_fpow(2 * ONE, ONE / 2), 0x16aab);
  EXPECT_EQ(spend.take(), 16);
  // 2^0.75 multiplies by the first and the second root.
  int32_t r1 = fsqrt(2 * ONE), r2 = fsqrt(r1);
  spend.take();
  EXPECT_EQ(q7_fpow(2 * ONE, fix(0.75)), fmul(fmul(ONE, r1), r2));
  EXPECT_EQ(spend.take(), 24);
  EXPECT_EQ(q7_fpow(0, 0), ONE);
  EXPECT_EQ(q7_fpow(5 * ONE, 0), ONE);
  EXPECT_EQ(spend.take(), 0);
  EXPECT_EQ(q7_fpow(2 * ONE, -ONE), ONE / 2);
  EXPECT_EQ(q7_fpow(ONE / 2, -2 * ONE), 4 * ONE);
  EXPECT_EQ(q7_fpow(-2 * ONE, 3 * ONE), -8 * ONE);
  EXPECT_EQ(q7_fpow(2 * ONE, 10 * ONE), 1024 * ONE);
  EXPECT_EQ(q7_fpow(2 * ONE, 16 * ONE), 0);  // wraps
  EXPECT_EQ(q7_fpow(0, -ONE), 0x7fffffff);   // 1/0 saturates
  // Exponent -32768: 0.5^32768 underflows to 0.
  EXPECT_EQ(q7_fpow(2 * ONE, (int32_t)0x80000000), 0);
  // 4^1.5 = 4 * 2.
  EXPECT_EQ(q7_fpow(4 * ONE, fix(1.5)), 8 * ONE);
}

TEST(Fixed, TrigonometryTablesAndLookups) {
  // The tables, recomputed here in long double.
  const long double two_pi = 2.0L * std::acos(-1.0L);
  for (int i = 0; i <= 4096; i++)
    ASSERT_EQ(fixed_cos_table(i), (int32_t)std::llroundl(65536.0L * std::cos(two_pi * i / 16384.0L))) << i;
  for (int i = 0; i <= 2048; i++)
    ASSERT_EQ(fixed_atan_table(i), (int32_t)std::llroundl(65536.0L * std::atan(i / 2048.0L) / two_pi)) << i;
  EXPECT_EQ(fixed_cos_table(0), 65536);
  EXPECT_EQ(fixed_cos_table(4096), 0);
  EXPECT_EQ(fixed_atan_table(2048), 8192);

  EXPECT_EQ(fsin(0), 0);
  EXPECT_EQ(fsin(ONE / 4), -ONE);
  EXPECT_EQ(fsin(3 * ONE / 4), ONE);
  EXPECT_EQ(fsin(ONE / 2), 0);
  EXPECT_EQ(fcos(0), ONE);
  EXPECT_EQ(fcos(ONE / 2), -ONE);
  EXPECT_EQ(fcos(ONE / 4), 0);
  EXPECT_EQ(fcos(5 * ONE / 4), 0);
  EXPECT_EQ(fcos(-ONE / 2), -ONE);
  EXPECT_EQ(fcos(ONE / 8), fixed_cos_table(2048));   // 0.7071
  EXPECT_EQ(fsin(ONE / 8), -fixed_cos_table(2048));  // negated sine
  EXPECT_EQ(fcos(3 * ONE / 8), -fixed_cos_table(2048));
  EXPECT_EQ(fcos(0x7fffffff), ONE);  // the index rounds to a whole turn

  EXPECT_EQ(fatan2(ONE, 0), 0);
  EXPECT_EQ(fatan2(0, -ONE), ONE / 4);
  EXPECT_EQ(fatan2(-ONE, 0), ONE / 2);
  EXPECT_EQ(fatan2(0, ONE), 3 * ONE / 4);
  EXPECT_EQ(fatan2(ONE, -ONE), ONE / 8);
  EXPECT_EQ(fatan2(ONE, ONE), 7 * ONE / 8);
  EXPECT_EQ(fatan2(0, 0), ONE / 4);
  EXPECT_EQ(fatan2(-ONE, -ONE), 3 * ONE / 8);
  EXPECT_EQ(fatan2(-ONE, ONE), 5 * ONE / 8);
  // Steep and extreme directions stay in range.
  EXPECT_EQ(fatan2(1, (int32_t)0x80000000), 3 * ONE / 4);  // -dy wraps back to -32768
  for (int32_t dx : {1, -1, 0x7fffffff, (int32_t)0x80000000})
    for (int32_t dy : {1, -1, 0x7fffffff, (int32_t)0x80000000}) {
      int32_t a = fatan2(dx, dy);
      EXPECT_GE(a, 0);
      EXPECT_LT(a, ONE);
    }
}

TEST(Fixed, TextFormExamples) {
  EXPECT_EQ(text_of(fix(0.1)), "0.1");
  EXPECT_EQ(text_of(q7_fdiv(ONE, 3 * ONE)), "0.3333");
  EXPECT_EQ(text_of(0xffff), "1");
  EXPECT_EQ(text_of(-1), "-0");
  EXPECT_EQ(text_of(fix(16383.75)), "16383.75");
  EXPECT_EQ(text_of(0x7fffffff), "32768");
  EXPECT_EQ(text_of((int32_t)0x80000000), "-32768");
  EXPECT_EQ(text_of((int32_t)0x80000001), "-32768");
  EXPECT_EQ(text_of(0x2aaaaaaa), "10922.6667");
  EXPECT_EQ(text_of(0), "0");
  EXPECT_EQ(text_of(ONE / 2), "0.5");
  EXPECT_EQ(text_of(-ONE / 2), "-0.5");
  EXPECT_EQ(text_of(1), "0");  // 0.0000153 shows three decimals, all zero
  EXPECT_EQ(text_of(7), "0.0001");
  EXPECT_EQ(text_of(12 * ONE), "12");
}

// The text rule written the way it reads: printf at five decimals, then at
// three or four, then trailing zeros and point removed.
static std::string reference_text(int32_t v) {
  double d = v / 65536.0;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%0.5f", d);
  const char *fmt = (std::strstr(buf, ".9999") || std::strstr(buf, ".0000")) ? "%0.3f" : "%0.4f";
  std::snprintf(buf, sizeof buf, fmt, d);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

TEST(Fixed, TextFormMatchesPrintfForEveryFraction) {
  for (int whole : {0, 1, 2, 99, 12345, 16383, 32766, 32767, -1, -2, -100, -32767, -32768}) {
    for (int32_t frac = 0; frac < 0x10000; frac++) {
      int32_t v = (int32_t)((uint32_t)whole << 16) + frac;
      ASSERT_EQ(text_of(v), reference_text(v)) << "raw 0x" << std::hex << v;
    }
  }
}

TEST(Fixed, ParsingNumerals) {
  EXPECT_EQ(parsed("0.1"), "0x00001999");
  EXPECT_EQ(parsed("0x.8"), "0x00008000");
  EXPECT_EQ(parsed("0b.1"), "0x00008000");
  EXPECT_EQ(parsed("0x10.4"), "0x00104000");
  EXPECT_EQ(parsed("0b101.1"), "0x00058000");
  EXPECT_EQ(parsed("40000"), "0x80000000");
  EXPECT_EQ(parsed("1e5"), "0x80000000");
  EXPECT_EQ(parsed("65535"), "0x80000000");
  EXPECT_EQ(parsed("32768"), "0x80000000");
  EXPECT_EQ(parsed("1e999"), "0x80000000");
  EXPECT_EQ(parsed("32767.99999"), "0x7fffffff");
  EXPECT_EQ(parsed("-32768"), "0x80000000");
  EXPECT_EQ(parsed("-0x10"), "0x00100000");  // the sign of a 0x numeral is ignored
  EXPECT_EQ(parsed("+0x10"), "0x00100000");
  EXPECT_EQ(parsed("0xffff"), "0xffff0000");
  EXPECT_EQ(parsed("0x10000"), "0x00000000");
  EXPECT_EQ(parsed("0x7fff.ffff"), "0x7fffffff");
  EXPECT_EQ(parsed("0x.1"), "0x00001000");
  EXPECT_EQ(parsed("0x1.0001"), "0x00010001");
  EXPECT_EQ(parsed("0x1.00019"), "0x00010001");  // digits past the 16th bit are dropped
  EXPECT_EQ(parsed("0b1.0000000000000001"), "0x00010001");
  EXPECT_EQ(parsed("0b1.00000000000000011"), "0x00010001");
  EXPECT_EQ(parsed("0B11"), "0x00030000");
  EXPECT_EQ(parsed("0XaB"), "0x00ab0000");
  EXPECT_EQ(parsed("  12 \t\n"), "0x000c0000");
  EXPECT_EQ(parsed(" 0x10 "), "0x00100000");
  EXPECT_EQ(parsed(".5"), "0x00008000");
  EXPECT_EQ(parsed("5."), "0x00050000");
  EXPECT_EQ(parsed("1.5e1"), "0x000f0000");
  EXPECT_EQ(parsed("-1"), "0xffff0000");
  EXPECT_EQ(parsed("-0.1"), "0xffffe667");  // the mirror of 0.1
  EXPECT_EQ(parsed("-2.5"), "0xfffd8000");
  for (const char *bad : {"0x1p4", "inf", "-inf", "nan", "NaN", "", " ", "0x", "0x.", "0b", "0b2", "1 2", "1e",
                          "abc", "12a", "0x1g", "1x", "0y5", "- 1", "1..2", "0b1.1.1"})
    EXPECT_EQ(parsed(bad), "none") << bad;
  // The length bounds the text: what follows is not read, an embedded zero ends it.
  int32_t v;
  EXPECT_TRUE(orrery_parse_number("12345", 2, &v));
  EXPECT_EQ(v, 12 * ONE);
  EXPECT_FALSE(orrery_parse_number("1\0" "2", 3, &v));
  std::string longtext = "0." + std::string(100, '0') + "1";
  EXPECT_EQ(parsed(longtext), "0x00000000");
  EXPECT_EQ(parsed(std::string(100, '0') + "7"), "0x00070000");
}

// The generator as the rule states it, written independently of the library.
static uint32_t reference_step(uint64_t &hi, uint64_t &lo) {
  hi = (((hi << 16) | (hi >> 16)) & 0xffffffffu);
  hi = (hi + lo) & 0xffffffffu;
  lo = (lo + hi) & 0xffffffffu;
  return (uint32_t)hi;
}

TEST(Fixed, RandomSequenceForSeedsZeroAndOne) {
  orrery_srand(0);
  EXPECT_EQ(orrery_random(0xffffffffu), 0x24b88474u);
  EXPECT_EQ(orrery_random(0xffffffffu), 0xebfc5724u);
  orrery_srand(1);
  EXPECT_EQ(orrery_random(0xffffffffu), 0x294c1b11u);
  EXPECT_EQ(orrery_random(0xffffffffu), 0x925a616cu);

  for (uint32_t seed : {0u, 1u, 0x7fffffffu, 12345u}) {
    uint64_t hi = seed ? seed ^ 0xbead29bau : 0x60009755u, lo = seed ? seed : 0xdeadbeefu;
    for (int i = 0; i < 32; i++) reference_step(hi, lo);
    orrery_srand(seed);
    for (int i = 0; i < 200; i++) {
      uint32_t n = 1 + (uint32_t)i * 977u;
      ASSERT_EQ(orrery_random(n), reference_step(hi, lo) % n) << "seed " << seed << " step " << i;
    }
  }
  // A bound of 0 gives 0 and leaves the state alone.
  orrery_srand(1);
  vell_rng_t before = orrery_rng;
  EXPECT_EQ(orrery_random(0), 0u);
  EXPECT_EQ(orrery_rng.a, before.a);
  EXPECT_EQ(orrery_rng.b, before.b);
  // rnd(1.0): 16 random fraction bits.
  for (int i = 0; i < 100; i++) EXPECT_LT(orrery_random(ONE), (uint32_t)ONE);
}
