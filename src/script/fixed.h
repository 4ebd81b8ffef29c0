// The 16.16 fixed-point number: arithmetic, roots, trigonometry and text forms.
#pragma once

#include <cstddef>
#include <cstdint>

// A number is a signed 32-bit value whose low 16 bits are the fraction:
// raw 0x00010000 is 1.0, raw 0x80000000 is -32768.0, raw 0x7fffffff is
// 32767.99998. Sums, differences and products wrap silently.

constexpr int32_t FIXED_ONE = 0x10000;        // 1.0
constexpr int32_t FIXED_MAX = 0x7fffffff;     // 32767.99998
constexpr int32_t FIXED_NEG_MAX = -0x7fffffff;  // -32767.99998, the negative result of a division by zero

// Room for any number's text form and its terminator ("-32767.9999").
constexpr size_t FIXED_TEXT_SIZE = 16;

// An integer as a number (wraps outside -32768 ... 32767).
inline int32_t fixed_from_int(int64_t n) { return (int32_t)((uint32_t)n << 16); }
// The integer part of a number, rounded toward negative infinity.
inline int32_t fixed_floor(int32_t v) { return v >> 16; }

inline int32_t fixed_add(int32_t a, int32_t b) { return (int32_t)((uint32_t)a + (uint32_t)b); }
inline int32_t fixed_sub(int32_t a, int32_t b) { return (int32_t)((uint32_t)a - (uint32_t)b); }
inline int32_t fixed_neg(int32_t a) { return (int32_t)(0u - (uint32_t)a); }

// Product: the exact 64-bit product shifted right by 16, low 32 bits kept.
inline int32_t fixed_mul(int32_t a, int32_t b) { return (int32_t)(uint32_t)(((int64_t)a * b) >> 16); }

// Quotient of the `/` operator: a division by zero gives FIXED_MAX for
// a >= 0 and FIXED_NEG_MAX otherwise; a quotient that does not fit in 32
// bits wraps (1 divided by raw 1 gives 0).
inline int32_t fixed_div(int32_t a, int32_t b) {
  if (b == 0) return a >= 0 ? FIXED_MAX : FIXED_NEG_MAX;
  return (int32_t)(uint32_t)(((int64_t)a * 65536) / b);
}

// Quotient clamped to FIXED_NEG_MAX ... FIXED_MAX instead of wrapping.
int32_t fixed_div_sat(int32_t a, int32_t b);

// Remainder of the `%` operator, in [0, |b|): the sign of b is ignored and
// negative a wraps upward (-5 % 3 = 1, 5 % -3 = 2); a % 0 is a.
inline int32_t fixed_mod(int32_t a, int32_t b) {
  if (b == 0) return a;
  uint32_t m = b < 0 ? 0u - (uint32_t)b : (uint32_t)b;
  if (a >= 0) return (int32_t)((uint32_t)a % m);
  uint32_t r = (0u - (uint32_t)a) % m;
  return (int32_t)((m - r) % m);
}

// The root and the power cost virtual cycles. The functions stay free of
// any budget: they add their cost to *cycles (which may be null), and the
// caller charges it to the program that asked.

// Power of the `^` operator: square-and-multiply for the integer part of
// the exponent, one square root per binary digit of its fraction. Costs 8
// cycles, plus 8 per square root (nothing for an exponent of 0).
int32_t fixed_pow(int32_t a, int32_t b, int32_t *cycles);

// Square root: integer root by linear search, one refinement step. Costs 8
// cycles except for 0 and for values above 32760.99998 (which give 181).
int32_t fixed_sqrt(int32_t x, int32_t *cycles);

// Angles are in turns (1.0 is a full circle); only their fraction matters.
// fixed_sin is the negated mathematical sine, for a y axis pointing down:
// fixed_sin(0.25) is -1.
int32_t fixed_sin(int32_t a);
int32_t fixed_cos(int32_t a);
// Direction of (dx, dy) in turns, in [0, 1), y axis pointing down:
// fixed_atan2(1, 0) = 0, fixed_atan2(0, -1) = 0.25, fixed_atan2(0, 0) = 0.25.
int32_t fixed_atan2(int32_t dx, int32_t dy);

// Entry i of the quarter-wave cosine table (0 ... 4096) and of the arc
// tangent table (0 ... 2048), exposed for tests.
int32_t fixed_cos_table(int i);
int32_t fixed_atan_table(int i);

// Writes the decimal text of v into buffer (at least FIXED_TEXT_SIZE bytes)
// and returns its length: at most four decimals, trailing zeros and a bare
// point removed, values a hair below a whole number shown as that number.
int fixed_to_string(char *buffer, int32_t v);

// Reads text[0 .. len) as a numeral: decimal (with point and exponent),
// 0x hexadecimal or 0b binary with optional fraction digits, surrounded by
// optional white space. Returns true and stores the number in *result when
// the whole text is one numeral; false when it is not a number.
bool fixed_parse(const char *text, size_t len, int32_t *result);
