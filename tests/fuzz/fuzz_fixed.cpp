// Fuzzes numeral parsing, number text and every fixed-point operation on
// arbitrary raw values: none may trap, hang or overflow a buffer.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  int32_t parsed;
  if (fixed_parse((const char *)data, size, &parsed)) {
    char text[FIXED_TEXT_SIZE];
    int len = fixed_to_string(text, parsed);
    if (len <= 0 || (size_t)len >= sizeof text || std::strlen(text) != (size_t)len) __builtin_trap();
    int32_t again;
    if (!fixed_parse(text, (size_t)len, &again)) __builtin_trap();  // every text form is a numeral
  }
  if (size >= 8) {
    int32_t a, b;
    std::memcpy(&a, data, 4);
    std::memcpy(&b, data + 4, 4);
    volatile int32_t sink;
    for (int32_t r : {fixed_mul(a, b), fixed_div(a, b), fixed_div_sat(a, b), fixed_mod(a, b), fixed_pow(a, b, nullptr), fixed_sqrt(a, nullptr), fixed_sin(a),
                      fixed_cos(b), fixed_atan2(a, b)})
      sink = r;
    if (b != 0 && fixed_mod(a, b) < 0) __builtin_trap();  // remainders lie in [0, |b|)
    char text[FIXED_TEXT_SIZE];
    int len = fixed_to_string(text, a);
    if (len <= 0 || (size_t)len >= sizeof text) __builtin_trap();
    int32_t back;
    if (!fixed_parse(text, (size_t)len, &back)) __builtin_trap();
    (void)sink;
  }
  return 0;
}
