// The interpreter with 16.16 numbers, driven through Lua's C API: numbers in
// scripts, table keys, errors and their lines, the count-hook entry points
// and the allocator's accounting.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lauxlib.h"
#include "lualib.h"
#include "script/interp.h"

namespace {

constexpr int32_t ONE = 0x10000;

int print_to_string(lua_State *L) {
  std::string *out = (std::string *)lua_touserdata(L, lua_upvalueindex(1));
  int n = lua_gettop(L);
  for (int i = 1; i <= n; i++) {
    if (i > 1) *out += '\t';
    *out += luaL_tolstring(L, i, nullptr);
    lua_pop(L, 1);
  }
  *out += '\n';
  return 0;
}

// raw(x): the raw 32-bit value of a number, as "0x%08x".
int raw_text(lua_State *L) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", (unsigned)lua_tonumber(L, 1));
  lua_pushstring(L, buf);
  return 1;
}

int yield_values(lua_State *L) { return lua_yield(L, lua_gettop(L)); }

// An interpreter state set up like the console's: no standard library,
// the console's library functions, plus print into `out` and raw().
struct Interp {
  lua_State *L;
  std::string out;

  Interp() {
    orrery_runtime_line = 0;
    orrery_last_line_number = -1;
    orrery_soft_yield_count = 0;
    orrery_cite_line_hook = nullptr;
    orrery_assert_message(nullptr);
    orrery_lua_memory = {};
    L = orrery_lua_open();
    luaL_openlibs(L);
    for (const orrery_library_function &f : orrery_library) {
      lua_pushcfunction(L, f.func);
      lua_setglobal(L, f.name);
    }
    lua_pushlightuserdata(L, &out);
    lua_pushcclosure(L, print_to_string, 1);
    lua_setglobal(L, "print");
    lua_register(L, "raw", raw_text);
    lua_register(L, "yield", yield_values);
  }
  ~Interp() { orrery_lua_close(L); }

  // Compiles and runs code; returns "" or the error message.
  std::string run(const std::string &code) {
    int status = luaL_loadstring(L, code.c_str());
    if (status == LUA_OK) status = lua_pcall(L, 0, 0, 0);
    if (status == LUA_OK) return "";
    std::string msg = lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
    lua_pop(L, 1);
    return msg;
  }
  // Runs code that must succeed and returns what it printed.
  std::string output(const std::string &code) {
    out.clear();
    std::string err = run(code);
    EXPECT_EQ(err, "") << code;
    return out;
  }
};

}  // namespace

TEST(Interp, ArithmeticUsesFixedPointOperations) {
  Interp I;
  EXPECT_EQ(I.output("print(32767 + 1, 1/0, -1/0, 0/0, 256*256, 1/0.0001, -5%3, 5%-3, 7%0, -0.5%1)"),
            "-32768\t32768\t-32768\t32768\t0\t10922.6667\t1\t2\t7\t0.5\n");
  EXPECT_EQ(I.output("print(2^-1, 0^0, 2^3, (-2)^3, 1/3, -7/2, -(-32768), 16383.75)"),
            "0.5\t1\t8\t-8\t0.3333\t-3.5\t-32768\t16383.75\n");
  EXPECT_EQ(I.output("print(raw(2^0.5), raw(-32768 - 1), raw(0.1), raw(1/0), raw(-1/0), raw(0xffff))"),
            "0x00016aab\t0x7fff0000\t0x00001999\t0x7fffffff\t0x80000001\t0xffff0000\n");
  EXPECT_EQ(I.output("print(-32768 < 32767, 0.5 <= 0.5, 1 == 1.0, 0xffff == -1, 32767.5 > -1, 2 ~= 2.0001, 2 == 2.00001)"),
            "true\ttrue\ttrue\ttrue\ttrue\ttrue\ttrue\n");
  // Constant folding gives what the virtual machine computes, division
  // and modulo by a constant 0 included.
  const char *pairs[][2] = {{"7.25 * -3.5", "a * b"}, {"7.25 / -3.5", "a / b"}, {"7.25 % -3.5", "a % b"},
                            {"7.25 ^ 2.5", "a ^ 2.5"}, {"7.25 + 32767", "a + 32767"}, {"-7.25", "-a"},
                            {"7.25 / 0", "a / z"},     {"7.25 % 0", "a % z"},     {"(-3.5) ^ -2", "b ^ -2"}};
  for (auto &p : pairs) {
    std::string code = std::string("local a, b, z = 7.25, -3.5, 0 print(raw(") + p[0] + "), raw(" + p[1] + "))";
    std::string out = I.output(code);
    ASSERT_EQ(out.size(), 22u) << code;
    EXPECT_EQ(out.substr(0, 10), out.substr(11, 10)) << code;
  }
}

TEST(Interp, StringsAndNumbersConvertByTheNumeralRules) {
  Interp I;
  EXPECT_EQ(I.output("print(\"10\" + 5, \"0x10\" + 0, \"0b11\" * 1, \" 2 \" * 2, \"1e5\" + 0, \"-0x10\" + 0, \"-1.5\" + 0)"),
            "15\t16\t3\t4\t-32768\t16\t-1.5\n");
  EXPECT_EQ(I.output("print(1 .. '', (1/3) .. '', 16383.75 .. '|' .. -1/16384/4, #'hello', raw(#'hello'))"),
            "1\t0.3333\t16383.75|-0\t5\t0x00050000\n");
  EXPECT_EQ(I.output("print(0b101.1, 0x10.4, 0x.8, 0b.1, 40000, 65535, 0x7fff.ffff)"),
            "5.5\t16.25\t0.5\t0.5\t-32768\t-32768\t32768\n");
  EXPECT_EQ(I.output("local s = '' for i = '1', '3' do s = s .. i end print(s)"), "123\n");
  EXPECT_EQ(I.run("local x = 'abc' + 1"), "attempt to perform arithmetic on a string value");
  EXPECT_NE(I.run("local x = 0x1p4").find("malformed number near '0x1p4'"), std::string::npos);
  EXPECT_NE(I.run("local x = 3..2").find("malformed number near '3..2'"), std::string::npos);
}

TEST(Interp, TableKeysFollowTheIntegerRule) {
  Interp I;
  EXPECT_EQ(I.output("local t = {} t[1.5] = 'h' t[2] = 'a' t[2.0] = 'b' t[1] = 'x' print(t[1.5], t[2], #t, t[1.4])"),
            "h\tb\t2\tnil\n");
  EXPECT_EQ(I.output("local u = {10, 20, 30} local s = 0 for k, v in pairs(u) do s = s + k * v end print(#u, raw(#u), s)"),
            "3\t0x00030000\t140\n");
  EXPECT_EQ(I.output("local w = {} w[0] = 'z' w[-1] = 'm' w[32767] = 'top' w[-32768] = 'bot' w[0.5] = 'half' "
                     "w[1/65536] = 'tiny' print(w[0], w[-1], w[32767], w[-32768], w[0.5], w[32767.5], w[1/65536], w[0x7fff.0001])"),
            "z\tm\ttop\tbot\thalf\tnil\ttiny\tnil\n");
  // Keys come back from pairs as the numbers they were stored under.
  EXPECT_EQ(I.output("local t = {} for i = 1, 300 do t[i] = i end t[1000] = 1 t[-4] = 1 t[2.5] = 1 "
                     "local n, s = 0, 0 for k in pairs(t) do n = n + 1 s = s + k end print(n, s, #t)"),
            "303\t-19387.5\t300\n");
  // C integers that no number can name are neither stored nor found.
  lua_newtable(I.L);
  lua_pushinteger(I.L, 7);
  lua_rawseti(I.L, -2, 40000);
  lua_rawgeti(I.L, -1, 40000);
  EXPECT_TRUE(lua_isnil(I.L, -1));
  lua_pop(I.L, 1);
  lua_pushinteger(I.L, 8);
  lua_rawseti(I.L, -2, 5);
  lua_setglobal(I.L, "api");
  EXPECT_EQ(I.output("local n = 0 for k, v in pairs(api) do n = n + 1 print(k, v) end print(n)"), "5\t8\n1\n");
  // A table built with more elements than any key reaches keeps the reachable ones.
  EXPECT_EQ(I.output("local function many(n, ...) if n == 0 then return ... end return many(n - 1, n, ...) end "
                     "local t = {many(400)} print(#t, t[1], t[400])"),
            "400\t1\t400\n");
}

TEST(Interp, SubFloorsItsPositions) {
  Interp I;
  EXPECT_EQ(I.output("print(sub('hello', 2.9), sub('hello', -1.5), sub('hello', 2, 3.99), sub('hello', '2', '3'), sub(12345, 2, 3))"),
            "ello\tlo\tel\tel\t23\n");
}

TEST(Interp, NumericForLoopWrapsAtTheTop) {
  Interp I;
  EXPECT_EQ(I.output("local n, s = 0, '' for i = 32767, 32767.5, 0.5 do n = n + 1 s = s .. i .. ' ' if n == 4 then break end end print(s)"),
            "32767 32767.5 -32768 -32767.5 \n");
  EXPECT_EQ(I.output("local s = '' for i = 0, 1, 0.25 do s = s .. i .. ' ' end for i = 3, 1, -1 do s = s .. i end print(s)"),
            "0 0.25 0.5 0.75 1 321\n");
}

TEST(Interp, RuntimeErrorsHaveNoPositionButRecordTheirLine) {
  Interp I;
  EXPECT_EQ(I.run("local a = 1\nlocal b = nil\nb()\n"), "attempt to call local 'b' (a nil value)");
  EXPECT_EQ(orrery_runtime_line, 3);
  EXPECT_EQ(I.run("\n\n\n\nlocal t = nil\nt.x = 1"), "attempt to index local 't' (a nil value)");
  EXPECT_EQ(orrery_runtime_line, 6);
  EXPECT_EQ(I.run("return 1 < 'x'"), "attempt to compare number with string");
  EXPECT_EQ(I.run("return {} .. 'x'"), "attempt to concatenate a table value");
  // Errors raised by a library function carry the position of the line that
  // called it, and record that line too.
  orrery_runtime_line = 0;
  std::string msg = I.run("-- orrery header\nlocal s = sub()");
  EXPECT_EQ(msg, "[string \"-- orrery header...\"]:2: bad argument #1 to 'sub' (string expected, got no value)");
  EXPECT_EQ(orrery_runtime_line, 2);
}

TEST(Interp, AssertLeavesItsMessage) {
  Interp I;
  EXPECT_EQ(I.run("-- orrery header\n\nassert(false, 'boom')"), "[string \"-- orrery header...\"]:3: boom");
  EXPECT_STREQ(orrery_assert_text, "boom");
  EXPECT_EQ(orrery_runtime_line, 3);
  EXPECT_EQ(I.run("assert(nil)"), "[string \"assert(nil)\"]:1: assertion failed!");
  EXPECT_STREQ(orrery_assert_text, "");
  EXPECT_EQ(I.run("assert(false, 42)"), "[string \"assert(false, 42)\"]:1: 42");
  EXPECT_STREQ(orrery_assert_text, "42");
  I.run("assert(false, string_rep)");  // nil message: the default
  EXPECT_STREQ(orrery_assert_text, "");
  I.run("local s = 'x' for i = 1, 9 do s = s .. s end assert(false, s)");  // 512 characters
  EXPECT_EQ(std::strlen(orrery_assert_text), 254u);
  EXPECT_EQ(I.output("print(assert(1, 2, 'x'))"), "1\t2\tx\n");
  EXPECT_NE(I.run("assert(false, {})").find("bad argument #2 to 'assert' (string expected, got table)"),
            std::string::npos);
  orrery_assert_message("");
  EXPECT_STREQ(orrery_assert_text, "");
}

static int tab_line(int chunk_line) { return chunk_line - 2; }

TEST(Interp, SyntaxErrorsCiteLinesThroughTheMapping) {
  Interp I;
  orrery_cite_line_hook = tab_line;
  EXPECT_EQ(I.run("-- orrery header\n\nfunction f()\n  if x then\n    y = 1\n"),
            "[string \"-- orrery header...\"]:6: 'end' expected (to close 'if' at line 2) near <eof>");
  EXPECT_EQ(orrery_last_line_number, 5);
  EXPECT_EQ(I.run("\n\nwhile true do\n  local a = 1\n\n  x = 2\nend )"),
            "[string \"...\"]:7: unexpected symbol near ')'");
  EXPECT_EQ(orrery_last_line_number, 7);
  EXPECT_NE(I.run("\n\n\ngoto nowhere").find("no visible label 'nowhere' for <goto> at line 2"), std::string::npos);
  EXPECT_NE(I.run("\n\nx = 1\nbreak").find("<break> at line 2 not inside a loop"), std::string::npos);
  EXPECT_NE(I.run("\n\n::a::\n::a::").find("label 'a' already defined on line 1"), std::string::npos);
  EXPECT_NE(I.run("\n\n\ngoto f\nlocal x\n::f::\nx = 1").find("<goto f> at line 2 jumps into the scope of local 'x'"),
            std::string::npos);
  std::string locals = "\n\nfunction g()\n";
  for (int i = 0; i < 210; i++) locals += "local v" + std::to_string(i) + "\n";
  EXPECT_NE(I.run(locals + "end").find("too many local variables (limit is 200) in function at line 1"),
            std::string::npos);
  orrery_cite_line_hook = nullptr;  // no mapping: the chunk's own line
  EXPECT_NE(I.run("function f()\n\n").find("(to close 'function' at line 1)"), std::string::npos);
}

TEST(Interp, OnlyTheConsoleLibraryIsInstalled) {
  Interp I;
  EXPECT_EQ(I.output("print(ipairs, tostring, tonumber, error, pcall, string, math, io, os, table, coroutine, debug, "
                     "require, load, next, rawget, select, unpack, collectgarbage, _G, _VERSION, bit32, package)"),
            "nil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\n");
  EXPECT_EQ(I.output("print(type(sub), type(pairs), type(type), type(assert), type(setmetatable), type(getmetatable), "
                     "type(cocreate), type(coresume), type(costatus), type(trace))"),
            "function\tfunction\tfunction\tfunction\tfunction\tfunction\tfunction\tfunction\tfunction\tfunction\n");
  // pairs honours __pairs; metatables; coroutines; trace.
  EXPECT_EQ(I.output("local t = setmetatable({}, {__pairs = function(t) return function(_, k) if not k then return 1, 'one' end end, t, nil end}) "
                     "for k, v in pairs(t) do print(k, v) end print(getmetatable(t) ~= nil, type(nil))"),
            "1\tone\ntrue\tnil\n");
  EXPECT_EQ(I.output("local co = cocreate(function(a) local b = yield(a + 1) return b * 2 end) "
                     "print(coresume(co, 1)) print(costatus(co)) print(coresume(co, 10)) print(costatus(co), coresume(co))"),
            "true\t2\nsuspended\ntrue\t20\ndead\tfalse\tcannot resume dead coroutine\n");
  EXPECT_EQ(I.output("print(sub(trace('msg'), 1, 20))"), "msg\nstack traceback:\n");
}

TEST(Interp, MessageFormattingAndIntegerConversions) {
  Interp I;
  lua_State *L = I.L;
  EXPECT_STREQ(lua_pushfstring(L, "%d %f %s %c %% %d", 40000, 0x8000, "s", 'c', -5), "40000 0.5 s c % -5");
  EXPECT_STREQ(lua_pushfstring(L, "%f|%f", 0x7fffffff, -1), "32768|-0");
  lua_settop(L, 0);

  int isnum = -1;
  lua_pushnumber(L, (lua_Number)0xfffe8000);  // -1.5
  EXPECT_EQ(lua_tointegerx(L, -1, &isnum), -2);
  EXPECT_EQ(isnum, 1);
  EXPECT_EQ(lua_tonumberx(L, -1, nullptr), (lua_Number)0xfffe8000);
  lua_pushnumber(L, -ONE);
  EXPECT_EQ(lua_tounsignedx(L, -1, nullptr), 0xffffffffu);
  lua_pushstring(L, "12.75");
  EXPECT_EQ(lua_tointegerx(L, -1, nullptr), 12);
  EXPECT_EQ(lua_tonumberx(L, -1, nullptr), 0xcc000);
  lua_pushstring(L, "0x10");
  EXPECT_EQ(lua_tonumberx(L, -1, nullptr), 0x100000);
  lua_pushstring(L, "abc");
  EXPECT_EQ(lua_tointegerx(L, -1, &isnum), 0);
  EXPECT_EQ(isnum, 0);
  lua_pushinteger(L, 3);
  EXPECT_EQ(lua_tonumber(L, -1), 3 * ONE);
  lua_pushinteger(L, 40000);  // wraps
  EXPECT_EQ(lua_tonumber(L, -1), (lua_Number)0x9c400000);
  lua_pushunsigned(L, 5);
  EXPECT_EQ(lua_tonumber(L, -1), 5 * ONE);
  lua_pushnumber(L, 7);
  EXPECT_EQ(lua_tonumber(L, -1), 7);
  size_t len;
  EXPECT_STREQ(lua_tolstring(L, -1, &len), "0.0001");
  lua_settop(L, 0);
  // Registering functions runs the library's version check, which must pass.
  static const luaL_Reg fns[] = {{"f", raw_text}, {nullptr, nullptr}};
  lua_pushcfunction(L, [](lua_State *S) {
    luaL_newlib(S, fns);
    return 1;
  });
  EXPECT_EQ(lua_pcall(L, 0, 1, 0), LUA_OK) << lua_tostring(L, -1);
}

namespace {
std::vector<int> hook_marks;
int mark_value;
void record_hook(lua_State *, lua_Debug *) { hook_marks.push_back(mark_value); }
int mark(lua_State *L) {
  mark_value = (int)luaL_checkinteger(L, 1);
  return 0;
}
int spend_all(lua_State *L) {
  lua_spend_cpu(L, 1 << 30);
  return 0;
}
int spend_none(lua_State *L) {
  lua_spend_cpu(L, 0);
  return 0;
}
int soft(lua_State *L) {
  lua_orrery_soft_yield(L);
  return 0;
}
int soft_twice_then_spend_none(lua_State *L) {
  lua_orrery_soft_yield(L);
  lua_orrery_soft_yield(L);
  lua_spend_cpu(L, 0);
  return 0;
}

struct HookedInterp : Interp {
  HookedInterp() {
    hook_marks.clear();
    mark_value = 0;
    lua_register(L, "mark", mark);
    lua_register(L, "spend_all", spend_all);
    lua_register(L, "spend_none", spend_none);
    lua_register(L, "soft", soft);
    lua_register(L, "soft_twice_then_spend_none", soft_twice_then_spend_none);
    lua_sethook(L, record_hook, LUA_MASKCOUNT, 100000);
  }
};
}  // namespace

TEST(Interp, SpendAndSoftYieldMoveTheCountHook) {
  {
    HookedInterp I;
    EXPECT_EQ(I.run("mark(1) spend_none() mark(2) mark(3)"), "");
    EXPECT_TRUE(hook_marks.empty());
    // Spending more than remains runs the hook at the very next instruction.
    EXPECT_EQ(I.run("mark(1) spend_all() mark(2) mark(3)"), "");
    EXPECT_EQ(hook_marks, std::vector<int>{1});
  }
  {
    HookedInterp I;
    EXPECT_EQ(I.run("mark(1) soft() mark(2) mark(3)"), "");
    EXPECT_EQ(hook_marks, std::vector<int>{1});
    EXPECT_NE(orrery_soft_yield_count, 0);
  }
  {
    // A spend restores the count a soft yield saved, even after a second
    // soft yield: the hook then does not run early.
    HookedInterp I;
    EXPECT_EQ(I.run("mark(1) soft_twice_then_spend_none() mark(2) mark(3)"), "");
    EXPECT_TRUE(hook_marks.empty());
    EXPECT_EQ(orrery_soft_yield_count, 0);
  }
}

TEST(Interp, ResetCallStateDiscardsASuspendedOrFailedRun) {
  Interp I;
  lua_State *L = I.L;
  ASSERT_EQ(luaL_loadstring(L, "local v = 5 g = function() return v end yield() print('not reached')"), LUA_OK);
  ASSERT_EQ(lua_resume(L, nullptr, 0), LUA_YIELD);
  lua_reset_call_state_orrery(L);
  EXPECT_EQ(lua_status(L), LUA_OK);
  EXPECT_EQ(lua_gettop(L), 0);
  // The abandoned run's closure keeps its own value; the new run's local in
  // the same stack slot is not shared with it.
  ASSERT_EQ(luaL_loadstring(L, "local w = 7 print(g(), w)"), LUA_OK);
  EXPECT_EQ(lua_resume(L, nullptr, 0), LUA_OK);
  EXPECT_EQ(I.out, "5\t7\n");

  ASSERT_EQ(luaL_loadstring(L, "local t = nil print(t.x)"), LUA_OK);
  EXPECT_EQ(lua_resume(L, nullptr, 0), LUA_ERRRUN);
  lua_reset_call_state_orrery(L);
  I.out.clear();
  ASSERT_EQ(luaL_loadstring(L, "print('again')"), LUA_OK);
  EXPECT_EQ(lua_resume(L, nullptr, 0), LUA_OK);
  EXPECT_EQ(I.out, "again\n");
}

TEST(Interp, AllocatorChargesByObjectKind) {
  orrery_lua_memory = {};
  orrery_lua_memory_t &m = orrery_lua_memory;
  auto charge_of_new = [&](long kind, size_t size) {
    int64_t before = m.charged;
    void *p = orrery_lua_alloc(nullptr, nullptr, (size_t)kind, size);
    EXPECT_NE(p, nullptr);
    EXPECT_EQ((uintptr_t)p % alignof(std::max_align_t), 0u);
    std::memset(p, 0xab, size);
    int64_t charge = m.charged - before;
    orrery_lua_alloc(nullptr, p, size, 0);
    EXPECT_EQ(m.charged, before);
    return charge;
  };
  // Plain memory, strings, tables, functions: their size.
  for (long kind : {0, 1, 3, 4, 5, 6}) EXPECT_EQ(charge_of_new(kind, 100), 100) << kind;
  // Userdata, threads, prototypes, upvalues and the rest up to 19: 32.
  for (long kind : {7, 8, 9, 10, 11, 19}) EXPECT_EQ(charge_of_new(kind, 1000), 32) << kind;
  // Light userdata's kind, negative kinds and kinds from 20: nothing.
  for (long kind : {2, 20, 21, 100, -1, -5}) EXPECT_EQ(charge_of_new(kind, 100), 0) << kind;
  // While compiling, plain memory is free; other kinds are not.
  m.compiling = true;
  EXPECT_EQ(charge_of_new(0, 100), 0);
  EXPECT_EQ(charge_of_new(4, 100), 100);
  m.compiling = false;

  // Resizing charges the new size, unless the block was charged nothing.
  void *p = orrery_lua_alloc(nullptr, nullptr, 4, 100);
  p = orrery_lua_alloc(nullptr, p, 100, 300);
  EXPECT_EQ(m.charged, 300);
  p = orrery_lua_alloc(nullptr, p, 300, 50);
  EXPECT_EQ(m.charged, 50);
  m.compiling = true;
  void *code = orrery_lua_alloc(nullptr, nullptr, 0, 64);
  m.compiling = false;
  code = orrery_lua_alloc(nullptr, code, 64, 4096);
  EXPECT_EQ(m.charged, 50);
  void *ud = orrery_lua_alloc(nullptr, nullptr, 7, 1000);
  EXPECT_EQ(m.charged, 82);
  ud = orrery_lua_alloc(nullptr, ud, 1000, 64);
  EXPECT_EQ(m.charged, 114);
  for (void *q : {p, code, ud}) orrery_lua_alloc(nullptr, q, 1, 0);
  EXPECT_EQ(m.charged, 0);
  EXPECT_EQ(orrery_lua_alloc(nullptr, nullptr, 0, 0), nullptr);
}

TEST(Interp, AllocatorChargesRealObjects) {
  Interp I;
  lua_State *L = I.L;
  int64_t &charged = orrery_lua_memory.charged;
  EXPECT_GT(charged, 0);
  int64_t before = charged;
  lua_newuserdata(L, 10000);
  EXPECT_EQ(charged - before, 32);
  before = charged;
  std::string a(1000, 'a'), b(10, 'b');
  lua_pushlstring(L, a.data(), a.size());
  int64_t long_string = charged - before;
  before = charged;
  lua_pushlstring(L, b.data(), b.size());
  EXPECT_EQ(long_string - (charged - before), 990);
  lua_settop(L, 0);
  // Compiled code counts only when compiled outside the compiling switch.
  std::string chunk = "local t = {}\n";
  for (int i = 0; i < 200; i++) chunk += "t[" + std::to_string(i + 1) + "] = " + std::to_string(i) + " * 3 + 1\n";
  lua_gc(L, LUA_GCCOLLECT, 0);
  before = charged;
  ASSERT_EQ(luaL_loadstring(L, chunk.c_str()), LUA_OK);
  int64_t plain = charged - before;
  lua_settop(L, 0);
  lua_gc(L, LUA_GCCOLLECT, 0);
  orrery_lua_memory.compiling = true;
  before = charged;
  ASSERT_EQ(luaL_loadstring(L, chunk.c_str()), LUA_OK);
  orrery_lua_memory.compiling = false;
  int64_t compiled = charged - before;
  EXPECT_LT(compiled + 200 * 4, plain);  // at least the 600 instructions' words went free
  EXPECT_EQ(lua_pcall(L, 0, 0, 0), LUA_OK);
  // Everything is given back when the state closes.
  lua_settop(L, 0);
}

TEST(Interp, MemoryLimitsRaisePressureAndRefuseGrowth) {
  orrery_lua_memory = {};
  orrery_lua_memory_t &m = orrery_lua_memory;
  // The request counts: a single block past the hard limit is refused.
  EXPECT_EQ(orrery_lua_alloc(nullptr, nullptr, 4, ORRERY_LUA_HARD_LIMIT + 1), nullptr);
  m = {};
  void *p = orrery_lua_alloc(nullptr, nullptr, 4, 1000);
  m.allowance = -ORRERY_LUA_SOFT_LIMIT;  // charged - allowance is now just above 2 MiB
  void *q = orrery_lua_alloc(nullptr, nullptr, 4, 10);
  EXPECT_NE(q, nullptr);
  EXPECT_TRUE(m.pressure);
  EXPECT_FALSE(m.exhausted);
  m.allowance = -ORRERY_LUA_HARD_LIMIT;
  EXPECT_EQ(orrery_lua_alloc(nullptr, nullptr, 4, 10), nullptr);
  EXPECT_TRUE(m.exhausted);
  EXPECT_EQ(orrery_lua_alloc(nullptr, p, 1000, 2000), nullptr);  // growth refused, block kept
  EXPECT_EQ(m.charged, 1010);
  p = orrery_lua_alloc(nullptr, p, 1000, 500);  // shrinking still works
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(m.charged, 510);
  orrery_lua_alloc(nullptr, p, 500, 0);
  orrery_lua_alloc(nullptr, q, 10, 0);
  EXPECT_EQ(m.charged, 0);

  // In a running program: pressure makes the count hook run at once, and
  // exhaustion surfaces as the published memory error.
  HookedInterp I;
  lua_gc(I.L, LUA_GCSTOP, 0);
  EXPECT_EQ(I.run("function f() mark(1) local t = {} mark(2) end f()"), "");  // call frames now exist
  hook_marks.clear();
  lua_getglobal(I.L, "f");
  orrery_lua_memory.allowance = -ORRERY_LUA_SOFT_LIMIT;
  EXPECT_EQ(lua_pcall(I.L, 0, 0, 0), LUA_OK);
  EXPECT_TRUE(orrery_lua_memory.pressure);
  ASSERT_FALSE(hook_marks.empty());
  EXPECT_EQ(hook_marks[0], 1);
  orrery_lua_memory.allowance = -ORRERY_LUA_HARD_LIMIT;
  EXPECT_EQ(I.run("local t = {} for i = 1, 100 do t[i] = {i} end"), "not enough memory");
  EXPECT_TRUE(orrery_lua_memory.exhausted);
  orrery_lua_memory.allowance = 0;
  orrery_lua_memory.exhausted = false;
  EXPECT_EQ(I.output("local t = {} for i = 1, 100 do t[i] = {i} end print(#t)"), "100\n");
}

TEST(Interp, BinaryChunksAreRefused) {
  Interp I;
  const char binary[] = "\x1bLua\x52\x00\x01\x04\x08\x04\x04\x00garbage";
  EXPECT_EQ(luaL_loadbuffer(I.L, binary, sizeof binary - 1, "=bin"), LUA_ERRSYNTAX);
  EXPECT_STREQ(lua_tostring(I.L, -1), "attempt to load a binary chunk (mode is 't')");
}
