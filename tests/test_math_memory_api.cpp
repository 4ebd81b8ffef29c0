// The math, bit and memory functions of the script API on raw 16.16 values,
// their charges and refunds, and the installed API table.
#include <gtest/gtest.h>

#include "api/api.h"
#include "api/bitmap.h"
#include "lauxlib.h"
#include "machine/cart.h"
#include "machine/pstate.h"
#include "script/fixed.h"
#include "script/interp.h"
#include "script/tokenizer.h"
#include "support/api_support.h"
#include "support/cart_support.h"
#include "support/cases.h"

using ScriptApi = ApiMachine;

TEST_F(ScriptApi, MathAndBitFunctionsOnAll32Bits) {
  expect_rows({
      ROW(raw("flr(-0.5)"), -0x10000), ROW(raw("sgn(0)"), 0x10000), ROW(raw("sgn(-0.001)"), -0x10000),
      ROW(raw("abs(-32768)"), INT32_MIN), ROW(raw("min(3)"), 0) /* a missing argument is 0 */, ROW(raw("max(-3)"), 0),
      ROW(raw("mid(5)"), 0), ROW(raw("mid(3, 1, 2)"), 2 << 16), ROW(raw("mid(2, 2, 1)"), 2 << 16),
      ROW(raw("sin(0.25)"), -0x10000), ROW(raw("atan2(1, -1)"), 0x2000), ROW(raw("sqrt(2)"), 0x16aab),
      ROW(raw("band(bnot(0), 0.5)"), 0x8000), ROW(raw("band(-1, 0.5)"), 0), ROW(raw("bor(0x0f00, 0.25)"), 0x0f004000),
      ROW(raw("bxor(3, 1)"), 2 << 16), ROW(raw("bnot(-1)"), 0xffff), ROW(raw("shl(1, 1.9)"), 2 << 16),
      ROW(raw("shl(1, 32)"), 0), ROW(raw("shl(0x0.0001, -1)"), INT32_MIN) /* -1 shifts by 31 */,
      ROW(raw("shl(1, 16)"), 0), ROW(raw("shr(-1, 1)"), -0x8000), ROW(raw("shr(1, 16)"), 1), ROW(raw("shr(-1, 40)"), 0),
      ROW(raw("shr(-1, 31)"), -1),
  });
  // rnd follows the seed, whose bit 31 is dropped; its bound is the raw value.
  run("srand(5) a = {rnd(10), rnd(10), rnd()} srand(5) b = {rnd(10), rnd(10), rnd()}");
  EXPECT_EQ(num("(a[1] == b[1] and a[2] == b[2] and a[3] == b[3]) and 1 or 0"), 1);
  orrery_srand(5 << 16);
  EXPECT_EQ(raw("a[1]"), static_cast<int32_t>(orrery_random(10 << 16)));
  run("srand(-1) a = rnd(1000) srand(32767) b = rnd(1000)");
  EXPECT_EQ(num("(a == b and rnd(0) == 0 and rnd(nil) == 0) and 1 or 0"), 1);
}

TEST_F(ScriptApi, PeekPokeCopiesAndFillsReachEveryRegion) {
  expect_after({{"poke(0x1000, 0x21)", "sget(0, 64) * 16 + sget(1, 64)", 0x12}, {"", "mget(0, 32)", 0x21},
                {"poke(0x4400, 0x1ff)", "peek(0x4400)", 0xff}, {"poke(0x5f29, 1) poke(0x5f28, 0x80)", "peek()", 0},
                {"for i = 0, 9 do poke(0x4300 + i, i + 1) end memcpy(0x4301, 0x4300, 10)", "peek(0x4301)", 1},
                {"", "peek(0x430a)", 10}, {"memset(0x6000, 0x21, 8192)", "_pix(124, 127) * 16 + _pix(125, 127)", 0x12},
                {"memset(-2, 7, 4)", "peek(1)", 7}, {"", "peek(-1) + peek(32768)", 0}});
  EXPECT_EQ(pstate.camera_x, 384);
  EXPECT_EQ(take_memory_errors(), (std::vector<std::string>{"bad memory access", "bad memory access"}));
}

TEST_F(ScriptApi, ReloadAndCstoreUseTheWorkingCartridge) {
  cart_ptr working(vell_create_orrery_cart());
  orrery_set_working_cart(working.get());
  working->gfx->line[0][0] = 7;
  working->flags[5] = 3;
  expect_after({{"poke(0, 0) poke(0x3005, 0)", "reload()", 0x4300}, {"", "sget(0, 0) * 16 + fget(5)", 0x73},
                {"", "reload(0x4300, 0x3004, 2)", 2}, {"", "peek(0x4301)", 3},
                {"poke(0x4300, 1)", "reload(0x4300, 0x3005, 1, 'other.q7')", 0} /* no file form yet */,
                {"", "peek(0x4300)", 1}, {"poke(0x3006, 9)", "cstore()", 0x4300},
                {"poke(0x3006, 4)", "cstore(0x3007, 0x3006, 1)", 1}, {"", "cstore(0, 0, 1, 'other.q7')", 0}});
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
      {"clip(1, 2, 3, 4) cls()", {{16, false}, {1024, false}}},
  };
  take_charges();
  for (const auto &[code, charges] : cases) {
    run(code);
    EXPECT_EQ(take_charges(), charges) << code;
  }
}

TEST(ApiRegistry, InstallsEveryNameAndHandsThemToTheTokenizer) {
  lua_State *L = orrery_lua_open();
  add_c_functions(L);
  lua_pushinteger(L, 1);
  lua_setglobal(L, "flip");
  add_c_functions(L);  // installing again overwrites the same globals
  EXPECT_EQ(api_function_name_count(), k_api_function_count);
  for (int i = 0; i < k_api_function_count; i++) {
    lua_getglobal(L, api_function_name(i));
    EXPECT_TRUE(lua_iscfunction(L, -1)) << api_function_name(i);
    lua_pop(L, 1);
  }
  ASSERT_EQ(luaL_loadstring(L, "return ls == dir and map == mapdraw and shutdown == exit and menuitem == nil and "
                               "_menuitem ~= nil and io == nil and string == nil and sub('orrery', 2, 3) == 'rr'"),
            0);
  ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0);
  EXPECT_TRUE(lua_toboolean(L, -1));
  orrery_lua_close(L);
}
