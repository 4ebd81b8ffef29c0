// Installing the script API into an interpreter state.
#include <gtest/gtest.h>

#include "api/api.h"
#include "lauxlib.h"
#include "script/interp.h"
#include "script/tokenizer.h"

namespace {

// Runs a chunk and returns its first result as a boolean.
bool eval_bool(lua_State *L, const char *code) {
  EXPECT_EQ(luaL_loadstring(L, code), 0) << code;
  EXPECT_EQ(lua_pcall(L, 0, 1, 0), 0) << lua_tostring(L, -1);
  bool b = lua_toboolean(L, -1) != 0;
  lua_pop(L, 1);
  return b;
}

}  // namespace

TEST(ApiRegistry, InstallsEveryNameAndHandsThemToTheTokenizer) {
  lua_State *L = orrery_lua_open();
  add_c_functions(L);
  EXPECT_EQ(api_function_name_count(), k_api_function_count);
  for (int i = 0; i < k_api_function_count; i++) {
    lua_getglobal(L, api_function_name(i));
    EXPECT_TRUE(lua_iscfunction(L, -1)) << api_function_name(i);
    lua_pop(L, 1);
  }
  EXPECT_TRUE(eval_bool(L, "return ls == dir and map == mapdraw and shutdown == exit"));
  EXPECT_TRUE(eval_bool(L, "return menuitem == nil and _menuitem ~= nil"));
  EXPECT_TRUE(eval_bool(L, "return io == nil and os == nil and string == nil and math == nil"));
  EXPECT_TRUE(eval_bool(L, "return sub('orrery', 2, 3) == 'rr' and type(pairs) == 'function'"));
  EXPECT_TRUE(eval_bool(L, "return cls() == nil"));
  // Installing again overwrites the same globals.
  EXPECT_TRUE(eval_bool(L, "flip = 1 return flip == 1"));
  add_c_functions(L);
  EXPECT_TRUE(eval_bool(L, "return type(flip) == 'function'"));
  EXPECT_EQ(api_function_name_count(), k_api_function_count);
  orrery_lua_close(L);
}
