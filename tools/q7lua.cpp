// q7lua: runs a Lua file on the console's interpreter (16.16 numbers, the
// console's library functions) with a `print` to standard output added.
// Used by tests and benchmarks to run plain programs outside a cartridge.
//
//   q7lua FILE        run FILE
//   q7lua -e TEXT     run TEXT
//
// Besides the console's library functions (sub, pairs, type, assert,
// setmetatable, getmetatable, cocreate, coresume, costatus, trace) it
// defines `print` and `yield` (which, unlike the console's, passes values
// through to coresume). Exit status: 0 on success, 1 on a load or runtime
// error (reported on standard error with its line), 2 on bad usage.
#include <cstdio>
#include <string>

#include "lauxlib.h"
#include "lualib.h"
#include "script/interp.h"

static int print(lua_State *L) {
  int n = lua_gettop(L);
  for (int i = 1; i <= n; i++) {
    size_t len;
    const char *s = luaL_tolstring(L, i, &len);
    if (i > 1) std::fputc('\t', stdout);
    std::fwrite(s, 1, len, stdout);
    lua_pop(L, 1);
  }
  std::fputc('\n', stdout);
  return 0;
}

static int yield(lua_State *L) { return lua_yield(L, lua_gettop(L)); }

static bool read_file(const char *path, std::string *text) {
  FILE *f = std::fopen(path, "rb");
  if (!f) return false;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

int main(int argc, char **argv) {
  std::string text, name;
  if (argc == 3 && std::string(argv[1]) == "-e") {
    text = argv[2];
    name = "=(command line)";
  } else if (argc == 2 && argv[1][0] != '-') {
    if (!read_file(argv[1], &text)) {
      std::fprintf(stderr, "q7lua: cannot read %s\n", argv[1]);
      return 1;
    }
    name = std::string("@") + argv[1];
  } else {
    std::fprintf(stderr, "usage: q7lua FILE | q7lua -e TEXT\n");
    return 2;
  }

  lua_State *L = orrery_lua_open();
  if (!L) {
    std::fprintf(stderr, "q7lua: cannot create the interpreter\n");
    return 1;
  }
  luaL_openlibs(L);
  for (const orrery_library_function &f : orrery_library) {
    lua_pushcfunction(L, f.func);
    lua_setglobal(L, f.name);
  }
  lua_pushcfunction(L, print);
  lua_setglobal(L, "print");
  lua_pushcfunction(L, yield);
  lua_setglobal(L, "yield");

  int status = luaL_loadbuffer(L, text.data(), text.size(), name.c_str());
  if (status == LUA_OK) {
    status = lua_pcall(L, 0, 0, 0);
    if (status != LUA_OK) std::fprintf(stderr, "q7lua: runtime error line %d: ", orrery_runtime_line(L));
  } else {
    std::fprintf(stderr, "q7lua: syntax error: ");
  }
  if (status != LUA_OK) {
    const char *msg = lua_tostring(L, -1);
    std::fprintf(stderr, "%s\n", msg ? msg : "(error object is not a string)");
  }
  std::fflush(stdout);
  orrery_lua_close(L);
  return status == LUA_OK ? 0 : 1;
}
