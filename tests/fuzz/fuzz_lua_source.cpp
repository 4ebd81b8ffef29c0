// Fuzzes the interpreter with arbitrary program text: compile it and run it
// with the console's library under an instruction limit. Errors are fine;
// traps, sanitizer reports and hangs are not.
#include "fuzz_support.h"

static int hook_calls;

// Shared by every thread (new coroutines inherit the hook), so the limit
// counts all instructions the input runs.
static void limit_hook(lua_State *L, lua_Debug *) {
  if (++hook_calls > 300) luaL_error(L, "instruction limit");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  hook_calls = 0;
  lua_State *L = orrery_lua_open();
  luaL_openlibs(L);
  for (const orrery_library_function &f : orrery_library) {
    lua_pushcfunction(L, f.func);
    lua_setglobal(L, f.name);
  }
  lua_sethook(L, limit_hook, LUA_MASKCOUNT, 1000);
  if (luaL_loadbuffer(L, (const char *)data, size, "=fuzz") == LUA_OK) lua_pcall(L, 0, 0, 0);
  if (orrery_lua_close(L) != 0) __builtin_trap();  // every charge is given back
  return 0;
}
