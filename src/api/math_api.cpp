// The math and bit functions of the script API. Numbers are raw 16.16
// values; the bit functions work on all 32 bits.
#include "api/api.h"
#include "api/q7.h"
#include "script/cpu_budget.h"
#include "script/fixed.h"
#include "script/interp.h"
#include "script/random.h"

namespace {

// The cheapest functions give back part of the cost of their call, so that
// they cost about as much as an operator.
inline void refund_unary(lua_State *L) {
  if (api_nargs(L) == 1) refund_cpu(-2);
}
inline void refund_binary(lua_State *L) {
  if (api_nargs(L) == 2) refund_cpu(-3);
}

inline uint32_t bits(lua_State *L, int idx) { return static_cast<uint32_t>(api_num(L, idx)); }
inline int api_push_bits(lua_State *L, uint32_t v) { return api_push_num(L, static_cast<int32_t>(v)); }

}  // namespace

int q7_flr(lua_State *L) {
  refund_unary(L);
  return api_push_bits(L, bits(L, 1) & 0xffff0000u);
}

int q7_sgn(lua_State *L) { return api_push_int(L, api_num(L, 1) < 0 ? -1 : 1); }

int q7_abs(lua_State *L) {
  const int32_t x = api_num(L, 1);
  return api_push_num(L, x < 0 ? fixed_neg(x) : x);
}

int q7_min(lua_State *L) {
  const int32_t a = api_num(L, 1), b = api_num(L, 2);
  return api_push_num(L, a < b ? a : b);
}

int q7_max(lua_State *L) {
  const int32_t a = api_num(L, 1), b = api_num(L, 2);
  return api_push_num(L, a > b ? a : b);
}

int q7_mid(lua_State *L) {
  const int32_t a = api_num(L, 1), b = api_num(L, 2), c = api_num(L, 3);
  int32_t m;
  if (a < b && a < c) m = b < c ? b : c;
  else if (b < c && b < a) m = c < a ? c : a;
  else m = a < b ? a : b;
  return api_push_num(L, m);
}

int q7_cos(lua_State *L) { return api_push_num(L, fixed_cos(api_num(L, 1))); }
int q7_sin(lua_State *L) { return api_push_num(L, fixed_sin(api_num(L, 1))); }
int q7_atan2(lua_State *L) { return api_push_num(L, fixed_atan2(api_num(L, 1), api_num(L, 2))); }

int q7_sqrt(lua_State *L) {
  spend_cpu(16);
  int32_t cycles = 0;
  const int32_t root = fixed_sqrt(api_num(L, 1), &cycles);
  orrery_lua_spend(L, cycles);
  return api_push_num(L, root);
}

int q7_band(lua_State *L) {
  refund_binary(L);
  return api_push_bits(L, bits(L, 1) & bits(L, 2));
}

int q7_bor(lua_State *L) {
  refund_binary(L);
  return api_push_bits(L, bits(L, 1) | bits(L, 2));
}

int q7_bxor(lua_State *L) {
  refund_binary(L);
  return api_push_bits(L, bits(L, 1) ^ bits(L, 2));
}

int q7_bnot(lua_State *L) {
  refund_unary(L);
  return api_push_bits(L, ~bits(L, 1));
}

// Shift counts are integers; above 31 everything is shifted out, and the
// others count modulo 32, so that -1 shifts by 31.
int q7_shl(lua_State *L) {
  refund_binary(L);
  const int32_t n = api_int(L, 2);
  return api_push_bits(L, n > 31 ? 0 : bits(L, 1) << (n & 31));
}

int q7_shr(lua_State *L) {
  refund_binary(L);
  const int32_t n = api_int(L, 2);
  return api_push_num(L, n > 31 ? 0 : api_num(L, 1) >> (n & 31));
}

int q7_rnd(lua_State *L) {
  spend_cpu(4);
  const uint32_t bound = api_nargs(L) == 0 ? static_cast<uint32_t>(FIXED_ONE) : bits(L, 1);
  return api_push_bits(L, orrery_random(bound));
}

int q7_srand(lua_State *L) {
  orrery_srand(bits(L, 1) & 0x7fffffffu);
  return 0;
}
