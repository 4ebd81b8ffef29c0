// The interpreter with 16.16 numbers, driven through Lua's C API: numbers in
// scripts, table keys, errors and their lines, the count-hook entry points,
// the allocator's accounting, and programs compared with stock Lua 5.2.
#include "support/test.h"

namespace {

// What print wrote since the last output().
std::string g_out;

// Count-hook calls, each recording the value of the last mark(n).
std::vector<int> g_hook_marks;
int g_mark = 0;
void record_hook(lua_State *, lua_Debug *) { g_hook_marks.push_back(g_mark); }

// An interpreter state set up like the console's: the console's library
// functions, plus print into g_out, raw(x) (the raw 32 bits of a number as
// "0x%08x"), yield(), mark(n) and a count hook far away; spend_all(),
// spend_none(), soft() and soft2() (two soft yields then a spend of 0) reach
// the hook's entry points.
struct Interp {
  lua_State *L;

  Interp() {
    g_mark = 0;
    g_hook_marks.clear();
    L = orrery_lua_open();
    luaL_openlibs(L);
    for (const orrery_library_function &f : orrery_library) {
      lua_pushcfunction(L, f.func);
      lua_setglobal(L, f.name);
    }
    g_out.clear();
    const std::pair<const char *, lua_CFunction> functions[] = {
        {"print",
         [](lua_State *S) {
           for (int i = 1, n = lua_gettop(S); i <= n; i++, lua_pop(S, 1))
             g_out += (i > 1 ? "\t" : "") + std::string(luaL_tolstring(S, i, nullptr));
           g_out += '\n';
           return 0;
         }},
        {"raw",
         [](lua_State *S) {
           char buf[16];
           std::snprintf(buf, sizeof buf, "0x%08x", static_cast<unsigned>(lua_tonumber(S, 1)));
           lua_pushstring(S, buf);
           return 1;
         }},
        {"yield", [](lua_State *S) { return lua_yield(S, lua_gettop(S)); }},
        {"mark", [](lua_State *S) { return g_mark = static_cast<int>(luaL_checkinteger(S, 1)), 0; }},
        {"spend_all", [](lua_State *S) { return orrery_spend_count(S, 1 << 30), 0; }},
        {"spend_none", [](lua_State *S) { return orrery_spend_count(S, 0), 0; }},
        {"soft", [](lua_State *S) { return orrery_soft_yield(S), 0; }},
        {"soft2", [](lua_State *S) { return orrery_soft_yield(S), orrery_soft_yield(S), orrery_spend_count(S, 0), 0; }}};
    for (const auto &[name, f] : functions) lua_register(L, name, f);
    lua_sethook(L, record_hook, LUA_MASKCOUNT, 100000);
  }
  ~Interp() { orrery_lua_close(L); }

  // Compiles and runs code; returns "" or the error message.
  std::string run(const std::string &code) {
    int status = luaL_loadstring(L, code.c_str());
    if (status == LUA_OK) status = lua_pcall(L, 0, 0, 0);
    if (status == LUA_OK) return "";
    const std::string msg = lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
    lua_pop(L, 1);
    return msg;
  }
  // Runs code that must succeed and returns what it printed.
  std::string output(const std::string &code) {
    g_out.clear();
    EXPECT_EQ(run(code), "") << code;
    return g_out;
  }
};

}  // namespace

TEST(Interp, NumbersFollowTheFixedPointRules) {
  Interp I;
  const std::pair<const char *, const char *> cases[] = {
      {"32767 + 1, 1/0, -1/0, 0/0, 256*256, 1/0.0001, -5%3, 5%-3, 7%0, -0.5%1",
       "-32768\t32768\t-32768\t32768\t0\t10922.6667\t1\t2\t7\t0.5"},
      {"2^-1, 0^0, (-2)^3, 1/3, -7/2, -(-32768)", "0.5\t1\t-8\t0.3333\t-3.5\t-32768"},
      {"raw(2^0.5), raw(-32768 - 1), raw(0.1), raw(1/0), raw(-1/0), raw(0xffff)",
       "0x00016aab\t0x7fff0000\t0x00001999\t0x7fffffff\t0x80000001\t0xffff0000"},
      {"\"10\" + 5, \"0x10\" + 0, \"0b11\" * 1, \" 2 \" * 2, \"1e5\" + 0, \"-0x10\" + 0, \"-1.5\" + 0",
       "15\t16\t3\t4\t-32768\t16\t-1.5"},
      {"(1/3) .. '', 16383.75 .. '|' .. -1/16384/4, #'hello', raw(#'hello')", "0.3333\t16383.75|-0\t5\t0x00050000"},
      {"0b101.1, 0x10.4, 0x.8, 40000, 65535, 0x7fff.ffff", "5.5\t16.25\t0.5\t-32768\t-32768\t32768"},
      {"sub('hello', 2.9), sub('hello', -1.5), sub(12345, 2, 3)", "ello\tlo\t23"}};
  for (const auto &[exprs, printed] : cases)
    EXPECT_EQ(I.output(std::string("print(") + exprs + ")"), std::string(printed) + "\n");
  // A numeric for loop wraps at the top of the range.
  EXPECT_EQ(I.output("local s = '' for i = 32767, 32767.5, 0.5 do s = s .. i .. ' ' if i < 0 then break end end "
                     "for i = '1', '3' do s = s .. i end print(s)"),
            "32767 32767.5 -32768 123\n");
  // Constant folding gives what the virtual machine computes, division and
  // modulo by a constant 0 included.
  const char *pairs[][2] = {
      {"7.25 * -3.5", "a * b"}, {"7.25 ^ 2.5", "a ^ 2.5"}, {"7.25 + 32767", "a + 32767"}, {"7.25 / 0", "a / z"},
      {"7.25 % 0", "a % z"}};
  for (auto &p : pairs) {
    const std::string out =
        I.output(std::string("local a, b, z = 7.25, -3.5, 0 print(raw(") + p[0] + "), raw(" + p[1] + "))");
    EXPECT_EQ(out.substr(0, 10), out.substr(11, 10)) << p[0];
  }
}

TEST(Interp, TableKeysFollowTheIntegerRule) {
  Interp I;
  EXPECT_EQ(I.output("local t = {} t[1.5] = 'h' t[2] = 'a' t[2.0] = 'b' t[1] = 'x' print(t[1.5], t[2], #t, t[1.4])"),
            "h\tb\t2\tnil\n");
  // Keys come back from pairs as the numbers they were stored under.
  EXPECT_EQ(I.output("local t = {} for i = 1, 300 do t[i] = i end t[32767] = 1 t[-4] = 1 t[1/65536] = 1 "
                     "local n, s = 0, 0 for k in pairs(t) do n = n + 1 s = s + k end print(n, s, #t, t[32767.5])"),
            "303\t12377\t300\tnil\n");
  // C integers that no number can name are neither stored nor found.
  lua_newtable(I.L);
  lua_pushinteger(I.L, 7);
  lua_rawseti(I.L, -2, 40000);
  lua_rawgeti(I.L, -1, 40000);
  EXPECT_TRUE(lua_isnil(I.L, -1));
  lua_pop(I.L, 1);
  lua_setglobal(I.L, "api");
  EXPECT_EQ(I.output("local n = 0 for k in pairs(api) do n = n + 1 end print(n)"), "0\n");
}

TEST(Interp, ErrorsGiveTheirMessageAndRecordTheirLine) {
  Interp I;
  // Runtime errors carry no position but record their line; errors raised
  // by a library function carry the calling line's position.
  const std::tuple<const char *, const char *, int> runtime[] = {
      {"local a = 1\nlocal b = nil\nb()\n", "attempt to call local 'b' (a nil value)", 3},
      {"-- orrery header\nlocal s = sub()",
       "[string \"-- orrery header...\"]:2: bad argument #1 to 'sub' (string expected, got no value)", 2},
      {"-- orrery header\n\nassert(false, 'boom')", "[string \"-- orrery header...\"]:3: boom", 3},
  };
  for (const auto &[code, message, line] : runtime) {
    orrery_interp_of(I.L).runtime_line = 0;
    EXPECT_EQ(I.run(code), message);
    EXPECT_EQ(orrery_runtime_line(I.L), line) << code;
  }
  // assert leaves its message (cut to 254 characters) for the error report.
  I.run("assert(false, 'boom')");
  EXPECT_STREQ(orrery_assert_text(I.L), "boom");
  I.run("local s = 'x' for i = 1, 9 do s = s .. s end assert(false, s)");
  EXPECT_EQ(std::strlen(orrery_assert_text(I.L)), 254u);

  // Syntax errors cite lines through the mapping the runner installs (here:
  // two lines of header before the tab).
  orrery_interp_of(I.L).hooks.cite_line = [](lua_State *, int chunk_line) { return chunk_line - 2; };
  EXPECT_EQ(I.run("-- orrery header\n\nfunction f()\n  if x then\n    y = 1\n"),
            "[string \"-- orrery header...\"]:6: 'end' expected (to close 'if' at line 2) near <eof>");
  EXPECT_EQ(orrery_last_line_number(I.L), 5);
  EXPECT_NE(I.run("\n\n\ngoto nowhere").find("no visible label 'nowhere' for <goto> at line 2"), std::string::npos);
}

TEST(Interp, OnlyTheConsoleLibraryIsInstalledAndBinaryChunksAreRefused) {
  Interp I;
  EXPECT_EQ(
      I.output("print(ipairs, tostring, tonumber, error, pcall, string, math, io, os, coroutine, debug, "
               "require, load, next, rawget, select, unpack, collectgarbage, _G, bit32, package)"),
      "nil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\n");
  EXPECT_EQ(I.output("local co = cocreate(function(a) local b = yield(a + 1) return b * 2 end) "
                     "print(coresume(co, 1)) print(coresume(co, 10)) print(costatus(co), coresume(co))"),
            "true\t2\ntrue\t20\ndead\tfalse\tcannot resume dead coroutine\n");
  const char binary[] = "\x1bLua\x52\x00\x01\x04\x08\x04\x04\x00garbage";
  EXPECT_EQ(luaL_loadbuffer(I.L, binary, sizeof binary - 1, "=bin"), LUA_ERRSYNTAX) << "binary chunks are refused";
  EXPECT_STREQ(lua_tostring(I.L, -1), "attempt to load a binary chunk (mode is 't')");
}

TEST(Interp, SpendAndSoftYieldMoveTheCountHook) {
  // Each row runs in a fresh state: the hook calls seen, and the soft yield
  // count left. Spending more than remains runs the hook at the very next
  // instruction; a spend restores the count a soft yield saved, even after
  // a second soft yield.
  const std::tuple<const char *, std::vector<int>, bool> cases[] = {{"mark(1) spend_none() mark(2) mark(3)", {}, false},
                                                                    {"mark(1) spend_all() mark(2) mark(3)", {1}, false},
                                                                    {"mark(1) soft() mark(2) mark(3)", {1}, true},
                                                                    {"mark(1) soft2() mark(2) mark(3)", {}, false}};
  for (const auto &[code, marks, soft_left] : cases) {
    Interp I;
    EXPECT_EQ(I.run(code), "");
    EXPECT_EQ(g_hook_marks, marks) << code;
    EXPECT_EQ(orrery_interp_of(I.L).soft_yield_count != 0, soft_left) << code;
  }
}

TEST(Interp, ResetCallStateDiscardsASuspendedOrFailedRun) {
  Interp I;
  lua_State *L = I.L;
  ASSERT_EQ(luaL_loadstring(L, "local v = 5 g = function() return v end yield() print('not reached')"), LUA_OK);
  ASSERT_EQ(lua_resume(L, nullptr, 0), LUA_YIELD);
  orrery_reset_call_state(L);
  EXPECT_EQ(lua_status(L), LUA_OK);
  EXPECT_EQ(lua_gettop(L), 0);
  // The abandoned run's closure keeps its own value; the new run's local in
  // the same stack slot is not shared with it.
  ASSERT_EQ(luaL_loadstring(L, "local w = 7 print(g(), w)"), LUA_OK);
  EXPECT_EQ(lua_resume(L, nullptr, 0), LUA_OK);
  ASSERT_EQ(luaL_loadstring(L, "local t = nil print(t.x)"), LUA_OK);
  EXPECT_EQ(lua_resume(L, nullptr, 0), LUA_ERRRUN);
  orrery_reset_call_state(L);
  ASSERT_EQ(luaL_loadstring(L, "print('again')"), LUA_OK);
  EXPECT_EQ(lua_resume(L, nullptr, 0), LUA_OK);
  EXPECT_EQ(g_out, "5\t7\nagain\n");
}

TEST(Interp, AllocatorChargesByObjectKindAndWhileCompiling) {
  orrery_interp state;
  orrery_lua_memory_t &m = state.memory;
  auto charge_of_new = [&](long kind, bool compiling = false) {
    m.compiling = compiling;
    void *p = orrery_lua_alloc(&state, nullptr, static_cast<size_t>(kind), 100);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(std::max_align_t), 0u);
    std::memset(p, 0xab, 100);
    const int64_t charge = m.charged;
    orrery_lua_alloc(&state, p, 100, 0);
    EXPECT_EQ(m.charged, 0);
    m.compiling = false;
    return charge;
  };
  // A block is charged the size it has where pointers have 8 bytes. Plain
  // memory, strings, tables, functions and vectors of values (kind 20):
  // their size, which for a 100-byte block on a host with 4-byte pointers
  // is a string 8 bytes longer, a table of 56 bytes, a function or vector
  // twice as large. Userdata, threads, prototypes, upvalues and the rest up
  // to 19: 32. Light userdata's kind, negative kinds and kinds from 21:
  // nothing. While compiling, plain memory is free and other kinds are not.
  const bool small = sizeof(void *) == 4;
  const struct { long kind; int64_t charge, small_charge; } rows[] = {
      {0, 100, 100}, {1, 100, 100}, {3, 100, 100}, {4, 100, 108}, {5, 100, 56},  {6, 100, 200},
      {20, 100, 200}, {7, 32, 32},  {8, 32, 32},   {11, 32, 32},  {19, 32, 32},  {2, 0, 0},
      {21, 0, 0},     {100, 0, 0},  {-1, 0, 0},
  };
  for (const auto &r : rows) EXPECT_EQ(charge_of_new(r.kind), small ? r.small_charge : r.charge) << r.kind;
  EXPECT_EQ(charge_of_new(20, true), 0);
  EXPECT_EQ(charge_of_new(0, true) + charge_of_new(1, true), 100);
  // Resizing charges the new size, unless the block was charged nothing.
  m.compiling = true;
  void *code = orrery_lua_alloc(&state, nullptr, 0, 64);
  m.compiling = false;
  code = orrery_lua_alloc(&state, code, 64, 4096);
  void *p = orrery_lua_alloc(&state, orrery_lua_alloc(&state, nullptr, 0, 100), 100, 50);
  EXPECT_EQ(m.charged, 50);
  for (void *q : {p, code}) orrery_lua_alloc(&state, q, 1, 0);
}

TEST(Interp, MemoryLimitsRaisePressureAndRefuseGrowthButNotShrinking) {
  orrery_interp state;
  orrery_lua_memory_t &m = state.memory;
  // The request counts: a single block past the hard limit is refused.
  EXPECT_EQ(orrery_lua_alloc(&state, nullptr, 4, ORRERY_LUA_HARD_LIMIT + 1), nullptr);
  m = {};
  void *p = orrery_lua_alloc(&state, nullptr, 0, 1000);
  m.allowance = -ORRERY_LUA_SOFT_LIMIT;  // charged - allowance is now just above 2 MiB
  void *q = orrery_lua_alloc(&state, nullptr, 0, 10);
  EXPECT_TRUE(q && m.pressure && !m.exhausted);
  m.allowance = -ORRERY_LUA_HARD_LIMIT;
  EXPECT_EQ(orrery_lua_alloc(&state, nullptr, 4, 10), nullptr);
  EXPECT_TRUE(m.exhausted);
  EXPECT_EQ(orrery_lua_alloc(&state, p, 1000, 2000), nullptr);  // growth refused, block kept
  p = orrery_lua_alloc(&state, p, 1000, 500);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(m.charged, 510);
  orrery_lua_alloc(&state, p, 500, 0);
  orrery_lua_alloc(&state, q, 10, 0);

  // In a running program exhaustion surfaces as the memory error.
  Interp I;
  orrery_lua_memory(I.L).allowance = -ORRERY_LUA_HARD_LIMIT;
  EXPECT_EQ(I.run("local t = {} for i = 1, 100 do t[i] = {i} end"), "not enough memory");
  orrery_lua_memory(I.L).allowance = 0;
  orrery_lua_memory(I.L).exhausted = false;
  EXPECT_EQ(I.output("local t = {} for i = 1, 100 do t[i] = {i} end print(#t)"), "100\n");
}

// Programs whose numbers stay whole and in range print the same on
// build/q7lua and on the stock Lua 5.2 interpreter, which gets the console's
// names for the library functions.
class InterpDiff : public testing::TestWithParam<const char *> {};

TEST_P(InterpDiff, PrintsWhatStockLuaPrints) {
  const std::string stock = "/usr/bin/lua5.2";
  if (access(stock.c_str(), X_OK) != 0) GTEST_SKIP() << stock << " is not installed (scripts/setup.sh installs it)";
  const std::string program = std::string(ORRERY_TEST_DATA) + "/lua/" + GetParam() + ".lua";
  const process_result ours = run_process({ORRERY_BUILD_DIR "/q7lua", program});
  const process_result theirs =
      run_process({stock, "-e",
                   "cocreate=coroutine.create coresume=coroutine.resume costatus=coroutine.status "
                   "yield=coroutine.yield sub=string.sub trace=debug.traceback",
                   program});
  ASSERT_EQ(theirs.exit_code, 0) << "stock interpreter failed on " << program;
  ASSERT_EQ(ours.exit_code, 0);
  ASSERT_GE(std::count(theirs.output.begin(), theirs.output.end(), '\n'), 4);
  EXPECT_EQ(ours.output, theirs.output) << program;
}

INSTANTIATE_TEST_SUITE_P(Programs, InterpDiff,
                         testing::Values("closures", "coroutines", "metatables", "control", "recursion", "tables"));
