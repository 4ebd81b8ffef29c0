// Realistic cartridge programs, once preprocessed, compile on the interpreter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lauxlib.h"
#include "script/interp.h"
#include "script/preprocess.h"
#include "support/process.h"

TEST(PreprocessCompile, FixtureProgramsCompileAfterRewriting) {
  for (const char *name : {"cave_flyer", "particles", "title_menu"}) {
    std::string source = read_file(std::string(ORRERY_TEST_DATA "/preprocess/") + name + ".code");
    ASSERT_FALSE(source.empty()) << name;
    std::vector<char> out(k_preprocess_buffer_size);
    ASSERT_EQ(orrery_preprocess(source.c_str(), out.data(), out.size()), PREPROCESS_OK) << name;
    lua_State *L = orrery_lua_open();
    int status = luaL_loadstring(L, out.data());
    EXPECT_EQ(status, LUA_OK) << name << ": " << (status ? lua_tostring(L, -1) : "");
    orrery_lua_close(L);
  }
}
