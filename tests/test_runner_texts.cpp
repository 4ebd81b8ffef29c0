// The runner's header and main-loop programs: the Lua files in the source
// tree are what the runner compiles around a program, and each is Lua.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "lauxlib.h"
#include "script/interp.h"
#include "script/runner.h"

namespace {

std::string source_file(const std::string &name) {
  std::ifstream in(std::string(ORRERY_SOURCE_DIR) + "/src/script/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST(RunnerTexts, ChunkIsTheHeaderFileTheProgramAndTheMainLoopFile) {
  const std::string header = source_file("runner_header.lua");
  const std::string mainloop = source_file("runner_mainloop.lua");
  ASSERT_EQ(header.compare(0, 17, "-- orrery header\n"), 0);
  ASSERT_NE(mainloop.find("_mainloop()"), std::string::npos);
  std::string chunk;
  ASSERT_EQ(program_chunk("x = 1", &chunk), RUN_OK);
  EXPECT_EQ(chunk, header + "x = 1" + mainloop);

  lua_State *L = orrery_lua_open();
  for (const std::string *text : {&header, &mainloop}) {
    EXPECT_EQ(luaL_loadstring(L, text->c_str()), LUA_OK) << lua_tostring(L, -1);
    lua_settop(L, 0);
  }
  orrery_lua_close(L);
}
