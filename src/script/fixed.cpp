#include "script/fixed.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

static inline void add_cost(int32_t *cycles, int32_t n) {
  if (cycles) *cycles += n;
}

// ---------------------------------------------------------------------------
// Division, roots and powers

// 2^32 / x with 64-bit signed division, low 32 bits kept; x != 0.
static int32_t reciprocal(int32_t x) {
  return (int32_t)(uint32_t)(((int64_t)1 << 32) / x);
}

// Fixed-point quotient with a 64-bit intermediate; division by zero gives
// FIXED_MAX, or FIXED_NEG_MAX for a negative dividend.
static int64_t wide_quotient(int32_t a, int32_t b) { return ((int64_t)a * 65536) / b; }

int32_t fixed_div_sat(int32_t a, int32_t b) {
  if (b == 0) return a >= 0 ? FIXED_MAX : FIXED_NEG_MAX;
  int64_t q = wide_quotient(a, b);
  if (q > FIXED_MAX) return FIXED_MAX;
  if (q < FIXED_NEG_MAX) return FIXED_NEG_MAX;
  return (int32_t)q;
}

static int32_t div_or_saturate(int32_t a, int32_t b) {
  if (b == 0) return a >= 0 ? FIXED_MAX : FIXED_NEG_MAX;
  return (int32_t)(uint32_t)wide_quotient(a, b);
}

// The root of x != 0, x <= 0x7ff8ffff. Values below 1.0 (negative ones
// included) are inverted first so that the integer search below always has
// an integer part to find; the result is inverted back.
static int32_t root(int32_t x) {
  bool invert = x <= 0xffff;
  if (invert) x = reciprocal(x);
  // Integer part by linear search. (n + 1)^2 stays below 2^31 for n <= 180,
  // which is as far as x <= 0x7ff8ffff lets the search go.
  int32_t n = 0;
  while (x >= fixed_mul(n + FIXED_ONE, n + FIXED_ONE)) n += FIXED_ONE;
  // One Bakhshali step: p = d / 2n, s = n + p, root = s - p^2 / 2s.
  int32_t d = fixed_sub(x, fixed_mul(n, n));
  int32_t p = div_or_saturate(d, fixed_add(n, n));
  int32_t s = fixed_add(n, p);
  int32_t r = fixed_sub(s, div_or_saturate(fixed_mul(p, p), fixed_add(s, s)));
  if (invert) r = r == 0 ? FIXED_MAX : reciprocal(r);
  return r;
}

int32_t fixed_sqrt(int32_t x, int32_t *cycles) {
  if (x == 0) return 0;
  if (x > 0x7ff8ffff) return 181 * FIXED_ONE;
  add_cost(cycles, 8);
  return root(x);
}

int32_t fixed_pow(int32_t a, int32_t b, int32_t *cycles) {
  if (b == 0) return FIXED_ONE;
  if (b < 0) {
    b = fixed_neg(b);  // -32768 stays -32768, read below as an unsigned 32768
    a = fixed_div_sat(FIXED_ONE, a);
  }
  int32_t r = FIXED_ONE;
  int32_t p = a;
  for (uint32_t whole = (uint32_t)b >> 16; whole != 0; whole >>= 1) {
    if (whole & 1) r = fixed_mul(r, p);
    p = fixed_mul(p, p);
  }
  // Each binary digit of the fraction halves the exponent of the base: walk
  // the digits from the top, taking one more square root per digit.
  uint32_t f = (uint32_t)b & 0xffff;
  while (f != 0) {
    while (f < (uint32_t)FIXED_ONE) {
      a = fixed_sqrt(a, cycles);
      f <<= 1;
    }
    r = fixed_mul(r, a);
    f -= FIXED_ONE;
  }
  add_cost(cycles, 8);
  return r;
}

// ---------------------------------------------------------------------------
// Trigonometry

namespace {
struct trig_tables {
  int32_t cosine[4097];  // indexed by angle in 1/16384 turns, a quarter wave
  int32_t atan[2049];    // indexed by tangent in 1/2048 steps up to 1.0; turns as 16.16
  trig_tables() {
    const double two_pi = 2.0 * std::acos(-1.0);
    for (int i = 0; i <= 4096; i++) cosine[i] = (int32_t)std::lround(65536.0 * std::cos(two_pi * i / 16384.0));
    for (int i = 0; i <= 2048; i++) atan[i] = (int32_t)std::lround(65536.0 * std::atan(i / 2048.0) / two_pi);
  }
};
}  // namespace

static const trig_tables &tables() {
  static const trig_tables t;
  return t;
}

int32_t fixed_cos_table(int i) { return i >= 0 && i <= 4096 ? tables().cosine[i] : 0; }
int32_t fixed_atan_table(int i) { return i >= 0 && i <= 2048 ? tables().atan[i] : 0; }

// Cosine from an index in 1/16384 turns (0 ... 16383), folded onto the
// quarter-wave table.
static int32_t cosine_at(uint32_t i) {
  if (i > 8191) i = 16384 - i;
  if (i > 4095) return -tables().cosine[8192 - i];
  return tables().cosine[i];
}

int32_t fixed_cos(int32_t a) { return cosine_at((((uint32_t)a + 2) & 0xffff) >> 2); }

int32_t fixed_sin(int32_t a) { return cosine_at((((uint32_t)a + 0x4002) & 0xffff) >> 2); }

int32_t fixed_atan2(int32_t dx, int32_t dy) {
  int32_t ny = fixed_neg(dy);
  if (dx == 0) return ny < 0 ? 0xc000 : 0x4000;
  int64_t q = ((int64_t)ny * 65536) / dx;
  int32_t sign = q < 0 ? -1 : 1;
  int64_t t = q < 0 ? -q : q;
  if (t > FIXED_MAX) t = FIXED_MAX;
  int32_t angle;
  if (t <= FIXED_ONE) {
    int64_t i = t >> 5;
    angle = tables().atan[i < 2048 ? i : 2048];
  } else {
    int64_t i = (((int64_t)1 << 32) / t) >> 5;
    angle = 0x4000 - tables().atan[i < 2048 ? i : 2048];
  }
  angle *= sign;
  if (dx < 0) angle += 0x8000;
  return angle & 0xffff;
}

// ---------------------------------------------------------------------------
// Number to text

// frac / 65536 scaled by `scale` and rounded to the nearest integer, ties to
// even: the same digits a correctly rounding printf gives for the exact
// value. May return `scale` itself when the fraction rounds up to a carry.
static uint32_t round_fraction(uint32_t frac, uint32_t scale) {
  uint64_t num = (uint64_t)frac * scale;
  uint64_t q = num >> 16, rem = num & 0xffff;
  if (rem > 0x8000 || (rem == 0x8000 && (q & 1))) q++;
  return (uint32_t)q;
}

int fixed_to_string(char *buffer, int32_t v) {
  uint32_t mag = v < 0 ? 0u - (uint32_t)v : (uint32_t)v;
  uint32_t whole = mag >> 16, frac = mag & 0xffff;
  // At five decimals a text whose first four decimals are 9999 or 0000 is
  // within a hair of a whole number: show three decimals then, else four.
  uint32_t five = round_fraction(frac, 100000);
  uint32_t first_four = five == 100000 ? 0 : five / 10;
  bool near_whole = first_four == 0 || first_four == 9999;
  uint32_t scale = near_whole ? 1000 : 10000;
  uint32_t decimals = round_fraction(frac, scale);
  if (decimals == scale) {
    whole++;
    decimals = 0;
  }
  // Digits are written by hand: this runs for every number a script turns
  // into text, and printf is several times slower.
  char *p = buffer;
  if (v < 0) *p++ = '-';  // kept even when the value rounds to 0, as printf does
  char digits_rev[8];
  int n = 0;
  do {
    digits_rev[n++] = (char)('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  while (n > 0) *p++ = digits_rev[--n];
  if (decimals != 0) {
    *p++ = '.';
    for (uint32_t place = scale / 10; place != 0 && decimals != 0; place /= 10) {
      *p++ = (char)('0' + decimals / place);
      decimals %= place;
    }
  }
  *p = '\0';
  return (int)(p - buffer);
}

// ---------------------------------------------------------------------------
// Text to number

static bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

static int digit_value(char c, int base) {
  int d;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  else return -1;
  return d < base ? d : -1;
}

// 0x / 0b numerals: integer digits, optional point and fraction digits. The
// fraction keeps its first 16 bits (4 hexadecimal or 16 binary digits); a
// sign is accepted and ignored.
static bool parse_radix(const char *p, const char *end, int bits, char letter, int32_t *result) {
  while (p < end && is_space(*p)) p++;
  if (p < end && (*p == '+' || *p == '-')) p++;
  if (end - p < 2 || p[0] != '0' || (p[1] | 0x20) != letter) return false;
  p += 2;
  const int base = 1 << bits, max_fraction_digits = 16 / bits;
  uint32_t whole = 0, fraction = 0;
  int digits = 0, fraction_digits = 0, d;
  for (; p < end && (d = digit_value(*p, base)) >= 0; p++, digits++) whole = (whole << bits) | (uint32_t)d;
  if (p < end && *p == '.') {
    for (p++; p < end && (d = digit_value(*p, base)) >= 0; p++, digits++) {
      if (fraction_digits < max_fraction_digits) {
        fraction = (fraction << bits) | (uint32_t)d;
        fraction_digits++;
      }
    }
  }
  if (digits == 0) return false;
  fraction <<= bits * (max_fraction_digits - fraction_digits);
  while (p < end && is_space(*p)) p++;
  if (p != end) return false;
  *result = (int32_t)((whole << 16) + fraction);
  return true;
}

static bool parse_decimal(const char *text, const char *end, int32_t *result) {
  char *stop;
  double d = std::strtod(text, &stop);
  if (stop == text) return false;
  while (stop < end && is_space(*stop)) stop++;
  if (stop != end) return false;
  // The small bias lifts values that decimal conversion left a hair below a
  // representable step (0.1 gives raw 0x1999). It is applied away from zero
  // so that negative texts mirror positive ones ("-1" is exactly -1).
  const double bias = 7.6293945e-6f;
  double r = d * 65536.0;
  r = r < 0 ? r - bias : r + bias;
  if (!(r > -2147483649.0 && r < 2147483648.0)) {
    *result = INT32_MIN;
    return true;
  }
  *result = (int32_t)r;
  return true;
}

bool fixed_parse(const char *text, size_t len, int32_t *result) {
  bool hex = false, binary = false;
  for (size_t i = 0; i < len; i++) {
    char c = text[i];
    if (c == '\0' || c == 'n' || c == 'N') return false;  // 'inf', 'nan' and cut texts
    if (c == 'x' || c == 'X') hex = true;
    if (c == 'b' || c == 'B') binary = true;
  }
  const char *end = text + len;
  if (hex) return parse_radix(text, end, 4, 'x', result);
  if (binary) return parse_radix(text, end, 1, 'b', result);
  // strtod needs a terminated text.
  char small[64];
  if (len < sizeof small) {
    std::memcpy(small, text, len);
    small[len] = '\0';
    return parse_decimal(small, small + len, result);
  }
  std::string copy(text, len);
  return parse_decimal(copy.c_str(), copy.c_str() + len, result);
}
