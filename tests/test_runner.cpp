// The program runner: exec-mode runs and their error reports, the virtual
// clock of -fast, printh outside exec mode, the size and memory limits; and
// programs frame by frame: the count hook that keeps them within their
// budget, the CPU figures, the frame-rate controller and the runner's own
// header and main-loop texts.
#include "support/test.h"

namespace {

using lines = std::vector<std::string>;

constexpr int32_t k_hook_cycles_at_30 = 137 * 1024;  // the first multiple of 1024 not below 139810

// Cycles the count hook charged this frame (API charges are the rest).
int32_t hook_cycles() { return cpu_budget().frame_cycles - cpu_budget().system_cycles; }

}  // namespace

TEST(ExecMode, ErrorsReportTheirLineTabSourceAndMessageAndEndlessProgramsEndWhenTold) {
  temp_folder home;
  const std::pair<std::string, lines> cases[] = {
      {"function a() end\n-->8\n-- tab 1\n-->8\n-- tab 2\n-- two\n-- three\nfunction check()\n"
       "  assert(false, \"done\")\nend\nfunction _init() check() end",
       {"runtime error line 5 tab 2", "  assert(false, \"done\")", "assertion failed", "done", "done",
        "in check line 5 (tab 2)", "in _init line 7 (tab 2)"}},
      // Runtime errors show their message without a position.
      {"x = 1\nlocal t\nt.y = 2",
       {"runtime error line 3 tab 0", "t.y = 2", "attempt to index local 't' (a nil value)"}},
      // Syntax errors name the line in its tab and the reduced message;
      // preprocessed notations and comments keep every line in place.
      {"x = 1\n-->8\ny = 2\nz = = 3", {"syntax error line 2 (tab 1)", "z = = 3", "unexpected symbol near '='"}},
      {"a = 0\na += 1 -- more\nif (a != 1) b = 1\n--[[ two\nlines ]]\nc = = 2",
       {"syntax error line 6 (tab 0)", "c = = 2", "unexpected symbol near '='"}},
      {"a = :", {"syntax error line 1 (tab 0)", "a = :", "unexpected symbol near ':'"}},  // the colon does not cut it
      {"function f()\n  if x then\n    y = 1\n  end",
       {"syntax error line 4 (tab 0)", "<eof>", "unclosed function", ""}},
      // Ending and stopping end the run with code 0.
      {"x = 1", {}},
      {"t=0 function _update() t+=1 if t>3 then stop() end end", {}},
      {"x = dget(0)", {"", "** dget called before cartdata()"}}};
  for (const auto &[code, expected] : cases) {
    const exec_result r = exec_cart(home, code);
    EXPECT_EQ(r.exit_code, 0) << code;
    EXPECT_EQ(r.lines, expected) << code;
  }
  exec_result r = exec_cart(
      home, "p = stat(6) assert(false, sub(p, 1, 5) .. #p .. (sub(p, 6, 6) == '\\0' and 'z' or '?'))", {"-p", "hello"});
  ASSERT_GE(r.lines.size(), 4u);
  EXPECT_EQ(r.lines[3], "hello1024z") << "the parameter string reads as exactly 1024 bytes";
  // Programs that never yield are still cut into frames and end when told.
  for (const char *code : {"while true do end", "function _update() while true do end end"}) {
    r = exec_cart(home, code, {}, 1500);
    EXPECT_EQ(r.exit_code, 0) << code;
    EXPECT_TRUE(r.lines.empty()) << code;
  }
}

TEST(ExecMode, MemoryLimitAppliesBeyondTheTokenAllowance) {
  temp_folder home;
  // A program of about 7500 tokens (120000 bytes of allowance) keeps live
  // data just under 2 MiB over its allowance: stat(0) passes 1814 KB and
  // the program still runs.
  std::string padding;
  for (int i = 0; i < 2500; i++) padding += "a=1\n";
  const std::string grow = "s = 'x' for i = 1, 10 do s = s .. s end\nt = {} n = 0\n";
  exec_result r = exec_cart(home, padding + grow +
                                      "while stat(0) < 2040 do n += 1 add(t, s .. n) end\n"
                                      "frames = 0\nfunction _update() frames += 1 if frames == 5 then "
                                      "assert(false, 'kept ' .. stat(0)) end end");
  ASSERT_GE(r.lines.size(), 4u);
  EXPECT_EQ(r.lines[3].substr(0, 5), "kept ") << r.lines[3];
  EXPECT_GT(atoi(r.lines[3].c_str() + 5), 1850);
  r = exec_cart(home, grow + "while true do n += 1 add(t, s .. n) end");
  EXPECT_EQ(r.lines, (lines{"out of memory"}));
}

TEST(ExecMode, FastClockMovesASixtiethOfASecondPerIterationAndPacesFramesAtTheRateInForce) {
  // Frames a second, then logical frames due in 600 iterations (ten seconds).
  const int rows[][2] = {{60, 600}, {30, 300}, {15, 150}, {45, 450}, {1, 10}, {0, 0}, {-5, 0}, {90, 600}};
  use_test_clock(rig_clock);
  for (const auto &[fps, due] : rows) {
    g_rig_now = 5000;
    set_default_app_config();
    orrery_config_set(&orrery_config_t::exec_mode, 1);
    orrery_config_set(&orrery_config_t::fast, 1);
    vell_config_set(&vell_config_t::foreground_sleep_ms, 5);
    orrery_fast_start();
    ASSERT_TRUE(orrery_fast_active());
    EXPECT_EQ(vell_config().foreground_sleep_ms, 0) << "the loop does not sleep";
    int frames = 0;
    for (int i = 1; i <= 600; i++) {
      frames += orrery_fast_frame_due(fps);
      // Whole iterations map to exact milliseconds, with no drift.
      if (i % 3 == 0) {
        ASSERT_EQ(vell_get_time(), 5000u + i / 3 * 50) << "iteration " << i;
      }
    }
    EXPECT_EQ(frames, due) << fps << " frames a second";
    orrery_fast_stop();
    EXPECT_EQ(vell_get_time(), 5000u) << "the test's clock is back";
  }
  orrery_config_set(&orrery_config_t::exec_mode, 0);
  orrery_fast_start();
  EXPECT_FALSE(orrery_fast_active()) << "only for exec mode";
  use_test_clock(nullptr);
}

TEST(Runner, ProgramsOfTheLargestSizeRunOneMoreCharacterOrTokenDoesNotAndPrinthIsForExecModeOnly) {
  runner_rig rig;
  std::string tokens;
  for (int i = 0; i < 2730; i++) tokens += "a=1\n";  // 3 tokens each
  const std::string chars = "x = 1\n--" + std::string(k_program_max_chars - 8, 'c');
  const std::tuple<std::string, int, std::string> cases[] = {
      {chars, RUN_OK, ""},
      {chars + "c", RUN_TOO_LONG, "** program exceeds char limit\n** 65537 / 65536 chars\n\n"},
      {tokens + "f()", RUN_OK, ""},
      {tokens + "f(1)", RUN_TOO_LARGE, "** program too large\n** 8193 / 8192 tokens\n\n"}};
  orrery_config_set(&orrery_config_t::exec_mode, 1);
  for (const auto &[text, status, output] : cases) {
    pstate.mode = MODE_CONSOLE;
    testing::internal::CaptureStdout();
    EXPECT_EQ(run_program(text.c_str()), status);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), output);
    EXPECT_EQ(pstate.mode, status == RUN_OK ? MODE_RUNNING : MODE_CONSOLE);
  }
  orrery_config_set(&orrery_config_t::exec_mode, 0);
  EXPECT_EQ(orrery_lua_memory(runner_lua_state()).allowance, 8192 * 16);
  // Outside exec mode printh writes nothing.
  testing::internal::CaptureStderr();
  rig.run("printh('hello', 1) function _update() printh('frame') end");
  for (int i = 0; i < 3; i++) rig.frame();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
}

TEST(CountHook, TightLoopsAreSuspendedAtThe137thHookCallEveryFrameWhereverTheyAre) {
  for (const char *code : {"while true do end", "function _init() while true do end end",
                           "function _update() while true do end end", "function _draw() while true do end end"}) {
    runner_rig rig;
    rig.run(code);
    for (int32_t frame = 1; frame <= 3; frame++) {
      rig.frame();
      ASSERT_EQ(pstate.mode, MODE_RUNNING) << code;
      EXPECT_EQ(hook_cycles(), frame * k_hook_cycles_at_30) << code << ", frame " << frame;
    }
    rig.press({41});  // the console still answers: Escape opens the pause menu
    EXPECT_EQ(paused_menu_open(), 1) << code;
  }
}

// (Loops in coroutines are held to the budget in the hostile cartridges' tests.)
TEST(CountHook, FinalizersPastTheBudgetSlowTheProgramDownAndOnesThatNeverEndStopIt) {
  // Finalizers run while the runner collects garbage between frames, where
  // nothing can be suspended. Four that need about 7 frames' budgets in all
  // (250000 instructions each) finish, and the frames after them pay the
  // cycles back.
  const char *updates = "n = 0 function _update() n += 1 end\n";
  const std::string work = "fin = 0 mt = {__gc = function() for i = 1, 250 do for j = 1, 1000 do end end fin += 1 end}\n"
                           "for k = 1, 4 do setmetatable({}, mt) end\n";
  double n[2];
  for (int with = 0; with < 2; with++) {
    runner_rig rig;
    rig.run((with ? work : std::string()) + updates);
    for (int i = 0; i < 30; i++) rig.frame();
    EXPECT_EQ(pstate.mode, MODE_RUNNING);
    EXPECT_EQ(rig.num("fin"), with ? 4 : 0);
    n[with] = rig.num("n");
  }
  EXPECT_NEAR(n[0] - n[1], 1000000.0 / 139810, 1.5) << "updates lost to the finalizers' work";

  // One that never returns stops the program within a frame, with the reason.
  runner_rig rig;
  rig.run(
      "setmetatable({}, {__gc = function() while true do end end})\nframes = 0\nfunction _update() frames += 1 end");
  for (int i = 0; i < 4; i++) rig.frame();
  EXPECT_EQ(pstate.mode, MODE_CONSOLE);
  EXPECT_LE(rig.num("frames"), 1);
}

TEST(CpuFigures, ChargesFillTheFrameAndStatOneIsItsShare) {
  runner_rig rig;
  rig.run(
      "function _update()\n  start = stat(1)\n  for j = 1, 3 do for i = 1, 23000 do end end\n  half = stat(1)\nend");
  for (int i = 0; i < 3; i++) rig.frame();
  EXPECT_LT(rig.num("start"), 0.05) << "restarts at flip";
  EXPECT_NEAR(rig.num("half"), 0.5, 0.05);
  // 30 frames per second: 139810 cycles a frame, 60: half as many.
  set_fps(30);
  EXPECT_EQ(cycles_2_frame_capacity(69905), 0x8000);
  set_fps(60);
  EXPECT_EQ(cycles_2_frame_capacity(frame_budget()), 0x10000);
  // The runtime charges 8 for a power and 8 per root step.
  static int32_t observed;
  watch_cpu_charges([](int32_t n, int) { observed += n; });
  for (const auto &[code, cycles] : {std::pair{"b = 2 x = b ^ 0.5", 16}, std::pair{"b = 2 x = b ^ 3", 8}}) {
    observed = 0;
    rig.run(code);
    rig.frame();
    EXPECT_EQ(observed, cycles) << code;
  }
  watch_cpu_charges(nullptr);
}

TEST(FrameRate, SixtyFpsOverrunsFallBackTo30WithTwoUpdatesPerDrawAndRecover) {
  runner_rig rig;
  rig.run(
      "u = 0 d = 0 old = 0\nfunction _update() old += 1 end\n"
      "function _update60() u += 1 for i = 1, 20000 do end for i = 1, 20000 do end end\n"
      "function _draw() d += 1 for i = 1, 20000 do end for i = 1, 15000 do end end");
  for (int i = 0; i < 24; i++) rig.iterate(17);
  EXPECT_EQ(pstate.target_fps, 30);
  const double u = rig.num("u"), d = rig.num("d");
  for (int i = 0; i < 40; i++) rig.iterate(17);
  EXPECT_EQ(rig.num("u") - u, 2 * (rig.num("d") - d));
  EXPECT_GE(rig.num("d") - d, 15);
  EXPECT_EQ(rig.num("old"), 0) << "_update is ignored beside _update60";
  EXPECT_EQ(rig_eval("return stat(7), stat(8)"), "30,60");
  EXPECT_EQ(rig_eval("_set_fps(500) local a = stat(8) _set_fps(-3) return a, stat(8)"), "60,1") << "rates are clamped";
  // A slow host lowers the rate only with host control on; cheap frames
  // (too quick for the clock to see) recover the wanted rate.
  rig.run("n = 0 function _update60() n += 1 end");
  orrery_config_set(&orrery_config_t::host_framerate_control, 0);
  for (int i = 0; i < 60; i++) rig.iterate(34);
  EXPECT_EQ(pstate.target_fps, 60);
  orrery_config_set(&orrery_config_t::host_framerate_control, 1);
  for (int i = 0; i < 10; i++) rig.iterate(34);
  EXPECT_EQ(pstate.target_fps, 30);
  for (int i = 0; i < 120; i++) rig.iterate(16);
  EXPECT_EQ(pstate.target_fps, 60);
}

// The runner's header and main-loop programs: the Lua files in the source
// tree are what the runner compiles around a program, and each is Lua.
TEST(RunnerTexts, ChunkIsTheHeaderFileTheProgramAndTheMainLoopFile) {
  const std::string header = read_file(ORRERY_SOURCE_DIR "/src/script/runner_header.lua"),
                    mainloop = read_file(ORRERY_SOURCE_DIR "/src/script/runner_mainloop.lua");
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

namespace {

// A second interpreter state beside the console's, running a program of its
// own: the console's library, print into `out` and flip() ending a frame;
// its count hook ends a frame after 20 intervals, and its spend hook adds
// up what `^` costs. Syntax errors cite lines 100 further on. As the runner
// does, it collects only between frames, with no soft yield pending.
struct side_state {
  lua_State *L;
  std::string out;
  int32_t cycles = 0;
  int intervals = 0;
  bool ended = false;

  static side_state &of(lua_State *S) {
    lua_getfield(S, LUA_REGISTRYINDEX, "side");
    auto *side = static_cast<side_state *>(lua_touserdata(S, -1));
    lua_pop(S, 1);
    return *side;
  }

  explicit side_state(const char *code) {
    orrery_interp_hooks hooks{};
    hooks.cite_line = [](lua_State *, int line) { return line + 100; };
    hooks.spend = [](lua_State *S, int32_t n) { of(S).cycles += n; };
    L = orrery_lua_open(hooks);
    // Every allocation is past the soft limit: memory pressure calls the
    // hook early, on this state's running thread only.
    orrery_lua_memory(L).allowance = -ORRERY_LUA_SOFT_LIMIT;
    lua_pushlightuserdata(L, this);
    lua_setfield(L, LUA_REGISTRYINDEX, "side");
    for (const orrery_library_function &f : orrery_library) lua_register(L, f.name, f.func);
    lua_register(L, "print", [](lua_State *S) {
      of(S).out += std::string(luaL_tolstring(S, 1, nullptr)) + "\n";
      return 0;
    });
    lua_register(L, "flip", [](lua_State *S) { return lua_yield(S, 0); });
    lua_sethook(
        L,
        [](lua_State *S, lua_Debug *) {
          side_state &s = of(S);
          if (orrery_take_soft_yield(S) == 0 && ++s.intervals % 20 == 0 && S == orrery_interp_of(S).main_thread)
            lua_yield(S, 0);
        },
        LUA_MASKCOUNT, 1000);
    EXPECT_EQ(luaL_loadstring(L, code), LUA_OK);
    lua_gc(L, LUA_GCSTOP, 0);
  }
  ~side_state() { orrery_lua_close(L); }

  void frame() {
    if (ended) return;
    orrery_set_running_thread(L);
    const int status = lua_resume(L, nullptr, 0);
    orrery_cancel_soft_yield(L);
    orrery_lua_memory(L).pressure = false;
    if (status == LUA_YIELD) {
      lua_gc(L, LUA_GCCOLLECT, 0);
      return;
    }
    ended = true;
    out += lua_isstring(L, -1) ? lua_tostring(L, -1) : "(ended)";
    // What the state's record holds at the end, and a syntax error cited
    // through its own hook.
    out += "\nline " + std::to_string(orrery_runtime_line(L)) + " assert '" + orrery_assert_text(L) + "' cycles " +
           std::to_string(cycles) + "\n";
    luaL_loadstring(L, "\n\nfunction f()\n  if x then\n");
    out += std::string(lua_tostring(L, -1)) + " last " + std::to_string(orrery_last_line_number(L)) + "\n";
  }
};

// A cartridge for the console whose screen shows its memory, its CPU share
// and what its powers add up to, and the second state's program: powers,
// garbage, a coroutine failing, and a failed assertion at the end.
constexpr char k_console_cart[] =
    "x = 0 t = {}\n"
    "function _draw() cls() for i = 1, 2500 do x = x + (i % 3) ^ 0.5 end\n"
    "  t[#t % 50 + 1] = {x} print(stat(0)) print(stat(1)) print(x) circfill(64, 64, x % 40, 8) end";
constexpr char k_side_program[] =
    "local keep = {}\n"
    "for frame = 1, 10 do\n"
    "  local s = 0 for i = 1, 3000 do s = s + (i % 5) ^ 0.5 end\n"
    "  keep[frame % 4] = {} for i = 1, 400 do keep[frame % 4][i] = 'x' .. i end\n"
    "  local ok, err = coresume(cocreate(function() local t = nil return t.x end))\n"
    "  print(frame .. ' ' .. s .. ' ' .. type(ok) .. ' ' .. err) flip()\n"
    "end\n"
    "assert(false, 'side done')";

uint64_t screen_hash() {
  uint64_t h = 1469598103934665603ull;
  for (int32_t y = 0; y < k_screen_size; y++)
    for (int32_t x = 0; x < k_screen_size; x++) h = (h ^ pstate.screen->line[y][x]) * 1099511628211ull;
  return h;
}

}  // namespace

TEST(Runner, TwoInterpretersSideBySideGiveWhatEachGivesAlone) {
  constexpr int k_frames = 40;
  // Each alone: the console's screens frame by frame, the side program's
  // output to its end.
  std::vector<uint64_t> screens_alone;
  {
    runner_rig rig;
    rig.run(k_console_cart);
    for (int i = 0; i < k_frames; i++) rig.frame(), screens_alone.push_back(screen_hash());
    EXPECT_EQ(pstate.mode, MODE_RUNNING);
  }
  EXPECT_GT(std::set<uint64_t>(screens_alone.begin(), screens_alone.end()).size(), 10u);
  std::string side_alone;
  {
    side_state side(k_side_program);
    while (!side.ended) side.frame();
    side_alone = side.out;
  }
  ASSERT_NE(side_alone.find("side done\nline 8 assert 'side done'"), std::string::npos) << side_alone;
  ASSERT_NE(side_alone.find("(to close 'if' at line 104) near <eof> last 4"), std::string::npos) << side_alone;

  // Side by side, their frames taking turns.
  runner_rig rig;
  rig.run(k_console_cart);
  side_state side(k_side_program);
  std::vector<uint64_t> screens;
  for (int i = 0; i < k_frames; i++) {
    rig.frame();
    screens.push_back(screen_hash());
    side.frame();
  }
  while (!side.ended) side.frame();
  EXPECT_EQ(screens, screens_alone);
  EXPECT_EQ(side.out, side_alone);
}

TEST(Runner, AReplacementThatDoesNotStartLeavesTheConsoleShowingWhyNotARunningModeWithoutAProgram) {
  runner_rig rig;
  std::string too_large;
  for (int i = 0; i < 2731; i++) too_large += "a=1\n";  // 8193 tokens
  for (const std::string &broken : {std::string("function _update( end"), too_large}) {
    rig.run("function _update() end function _draw() cls(8) end");
    rig.frame();
    ASSERT_EQ(pstate.mode, MODE_RUNNING);
    rig.run(broken);
    EXPECT_EQ(pstate.mode, MODE_CONSOLE) << broken.substr(0, 30);
    EXPECT_TRUE(orrery_runner().ended_in_error) << broken.substr(0, 30);
  }
}
