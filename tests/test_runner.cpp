// The program runner: exec-mode runs and their error reports, the size and
// memory limits, command shortcuts, code tabs, the run chain, and the
// commands that start, stop and end programs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/bitmap.h"
#include "api/ctext.h"
#include "lua.h"
#include "machine/cart.h"
#include "machine/pstate.h"
#include "script/interp.h"
#include "script/runner.h"
#include "shell/args.h"
#include "shell/console.h"
#include "shell/engine.h"
#include "support/runner_rig.h"

namespace {

using lines = std::vector<std::string>;

// Calls of the recorded functions, as "name:argument".
std::vector<std::string> g_calls;

}  // namespace

TEST(ExecMode, ErrorsReportTheirLineTabSourceAndMessage) {
  temp_folder home;
  const std::pair<std::string, lines> cases[] = {
      {"function a() end\n-->8\n-- tab 1\n-->8\n-- tab 2\n-- two\n-- three\nfunction check()\n"
       "  assert(false, \"done\")\nend\nfunction _init() check() end",
       {"runtime error line 5 tab 2", "  assert(false, \"done\")", "assertion failed", "done", "done",
        "in check line 5 (tab 2)", "in _init line 7 (tab 2)"}},
      // Runtime errors show their message without a position.
      {"x = 1\nlocal t\nt.y = 2", {"runtime error line 3 tab 0", "t.y = 2", "attempt to index local 't' (a nil value)"}},
      {"\nx = sub()", {"runtime error line 2 tab 0", "x = sub()", "bad argument #1 to 'sub' (string expected, got no value)"}},
      {"assert(nil)", {"runtime error line 1 tab 0", "assert(nil)", "assertion failed"}},
      // Syntax errors name the line in its tab and the reduced message;
      // preprocessed notations and comments keep every line in place.
      {"x = 1\n-->8\ny = 2\nz = = 3", {"syntax error line 2 (tab 1)", "z = = 3", "unexpected symbol near '='"}},
      {"a = 0\na += 1 -- more\nif (a != 1) b = 1\n--[[ two\nlines ]]\nc = = 2",
       {"syntax error line 6 (tab 0)", "c = = 2", "unexpected symbol near '='"}},
      {"a = :", {"syntax error line 1 (tab 0)", "a = :", "unexpected symbol near ':'"}},  // the colon does not cut it
      {"function f()\n  if x then\n    y = 1\n  end", {"syntax error line 4 (tab 0)", "<eof>", "unclosed function", ""}},
      {"x =\nend", {"syntax error line 1 (tab 0)", "x =", "unexpected end of line"}},
      // Ending, stopping and the parameter string end the run with code 0.
      {"x = 1", {}},
      {"t=0 function _update() t+=1 if t>3 then stop() end end", {}},
      {"assert(false, 'n' .. #stat(6))",
       {"runtime error line 1 tab 0", "assert(false, 'n' .. #stat(6))", "assertion failed", "n1024", "n1024"}},
      {"x = dget(0)", {"", "** dget called before cartdata()"}},
  };
  for (const auto &[code, expected] : cases) {
    const exec_result r = exec_cart(home, code);
    EXPECT_EQ(r.exit_code, 0) << code;
    EXPECT_EQ(r.lines, expected) << code;
  }
  exec_result r = exec_cart(home, "p = stat(6) assert(false, sub(p, 1, 5) .. #p .. (sub(p, 6, 6) == '\\0' and 'z' or '?'))",
                            {"-p", "hello"});
  ASSERT_GE(r.lines.size(), 4u);
  EXPECT_EQ(r.lines[3], "hello1024z") << "the parameter string reads as exactly 1024 bytes";
}

TEST(ExecMode, ProgramsThatNeverYieldAreStillCutIntoFramesAndEndWhenTold) {
  temp_folder home;
  for (const char *code : {"while true do end", "function _update() while true do end end"}) {
    const exec_result r = exec_cart(home, code, {}, 1500);
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
  exec_result r = exec_cart(home, padding + grow + "while stat(0) < 2040 do n += 1 add(t, s .. n) end\n"
                                                   "frames = 0\nfunction _update() frames += 1 if frames == 5 then "
                                                   "assert(false, 'kept ' .. stat(0)) end end");
  ASSERT_GE(r.lines.size(), 4u);
  EXPECT_EQ(r.lines[3].substr(0, 5), "kept ") << r.lines[3];
  EXPECT_GT(atoi(r.lines[3].c_str() + 5), 1850);
  r = exec_cart(home, grow + "while true do n += 1 add(t, s .. n) end");
  EXPECT_EQ(r.lines, (lines{"out of memory"}));
}

TEST(Runner, ProgramsOfTheLargestSizeRunAndOneMoreCharacterOrTokenDoesNot) {
  runner_rig rig;
  std::string tokens;
  for (int i = 0; i < 2730; i++) tokens += "a=1\n";  // 3 tokens each
  const std::string chars = "x = 1\n--" + std::string(k_program_max_chars - 8, 'c');
  const std::tuple<std::string, int, std::string> cases[] = {
      {chars, RUN_OK, ""},
      {chars + "c", RUN_TOO_LONG, "** program exceeds char limit\n** 65537 / 65536 chars\n\n"},
      {tokens + "f()", RUN_OK, ""},
      {tokens + "f(1)", RUN_TOO_LARGE, "** program too large\n** 8193 / 8192 tokens\n\n"},
  };
  orrery_args.exec_mode = 1;
  for (const auto &[text, status, output] : cases) {
    pstate.mode = MODE_CONSOLE;
    testing::internal::CaptureStdout();
    EXPECT_EQ(run_program(text.c_str()), status);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), output);
    EXPECT_EQ(pstate.mode, status == RUN_OK ? MODE_RUNNING : MODE_CONSOLE);
  }
  orrery_args.exec_mode = 0;
  EXPECT_EQ(orrery_lua_memory.allowance, 8192 * 16);
}

TEST(Runner, ConsoleCommandTextsBecomeCalls) {
  runner_rig rig;
  const std::pair<const char *, const char *> cases[] = {
      {"load foo", "load:foo"}, {"load \"foo\"", "load:foo"}, {"help", "help:"},
      {"cd carts/new", "cd:carts/new"}, {"s", "cartfind:"}, {"resume", "print:no _mainloop()"},
  };
  for (const auto &[text, call] : cases) {
    ASSERT_EQ(run_program(text), RUN_OK) << text;
    for (const char *name : {"load", "help", "cd", "cartfind", "print"}) {
      lua_State *L = runner_lua_state();
      lua_pushstring(L, name);
      lua_pushcclosure(L, [](lua_State *S) {
        const char *arg = lua_gettop(S) > 0 ? lua_tostring(S, 1) : nullptr;
        g_calls.push_back(std::string(lua_tostring(S, lua_upvalueindex(1))) + ":" + (arg ? arg : ""));
        return 0;
      }, 1);
      lua_setglobal(L, name);
    }
    g_calls.clear();
    rig.frame();
    EXPECT_EQ(g_calls, lines{call}) << text;
    EXPECT_EQ(pstate.mode, MODE_CONSOLE) << text << ": the call ends the program";
  }
}

TEST(Runner, CodeTabsSplitJoinAndMapLines) {
  runner_rig rig;
  orrery_cart *cart = orrery_working_cart();
  std::string code = "t0";
  for (int t = 1; t <= 8; t++) code += std::string(k_tab_separator) + "t" + std::to_string(t);
  snprintf(cart->code, k_cart_code_size, "%s", code.c_str());
  split_code_to_tabs();
  EXPECT_EQ(orrery_state.code_tab[7]->text, "t7");
  merge_code_from_tabs();
  EXPECT_EQ(std::string(cart->code), code.substr(0, code.rfind(k_tab_separator))) << "the ninth piece is dropped";
  // The program takes the tabs up to the last non-empty one, or up to the
  // current tab when that lies further on.
  snprintf(cart->code, k_cart_code_size, "a\nb\n-->8\n\n-->8\nc");
  split_code_to_tabs();
  EXPECT_EQ(program_text_from_tabs(), "a\nb\n-->8\n\n-->8\nc");
  orrery_state.current_tab = 3;
  EXPECT_EQ(program_text_from_tabs(), "a\nb\n-->8\n\n-->8\nc\n-->8\n");
  // Tab 0 covers program lines 0-2 (two lines and the separator), tab 1 lines 3-4, tab 2 line 5 on.
  const int32_t expect[][2] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {0, 2}, {-1, 0}};
  for (int32_t line = 0; line < 7; line++) {
    int32_t tab = -1;
    EXPECT_EQ(find_tab_line(line < 6 ? line : 100, &tab), expect[line][0]) << line;
    EXPECT_EQ(tab, expect[line][1]) << line;
  }
  EXPECT_EQ(get_nth_line("a\nbb\n", 1) + get_nth_line("a\nbb\n", 2) + get_nth_line("a\nbb\n", 3), "bb<eof>");
  EXPECT_EQ(get_lid_from_filename("/h/bbs/carts/star_dust-2.q7.png"), "star_dust-2");
  EXPECT_EQ(get_lid_from_filename("/h/bbs/carts/Big.Game.q7"), "ame");
  EXPECT_EQ(get_lid_from_filename("/h/bbs/carts/game.png"), "");
}

TEST(Runner, RunChainKeepsTheWayBackAndItsParameters) {
  reset_run_chain();
  EXPECT_EQ(get_run_chain_label(), nullptr);
  orrery_runner.param = "level=3";
  add_run_chain_item("menu.q7", std::string(40, 'b').c_str(), 0);
  EXPECT_EQ(std::string(get_run_chain_label()), std::string(32, 'b'));
  EXPECT_STREQ(get_run_chain_param_str(), "level=3");
  add_run_chain_item("download.q7", "dl", 1);
  run_chain_cancel_pending();
  EXPECT_STREQ(get_run_chain_filename(), "menu.q7") << "a pending item is dropped";
  add_run_chain_item("download.q7", "dl", 1);
  run_chain_confirm_pending();
  run_chain_cancel_pending();
  EXPECT_STREQ(get_run_chain_filename(), "download.q7") << "a confirmed item stays";
  pop_run_chain();
  EXPECT_STREQ(get_run_chain_filename(), "menu.q7");
  for (int i = 0; i < 3000; i++) add_run_chain_item("x.q7", "x", 0);
  EXPECT_EQ(run_chain_length(), k_run_chain_max);
}

TEST(Runner, StopSuspendsRunRestartsAndRebootOrShutdownDoNothingWhileRunning) {
  runner_rig rig;
  rig.run("camera(5,7) function _update() stop('bye', 40, 60, 12) end");
  rig.frame();
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_CONSOLE) << "stop suspends the program";
  EXPECT_EQ(pstate.camera_x, 0);
  int32_t ink = 0;
  for (int32_t y = 60; y < 65; y++)
    for (int32_t x = 40; x < 52; x++) ink += vell_getpixel(pstate.screen, x, y) == 12;
  EXPECT_GT(ink, 5) << "the message is drawn where print would draw it";
  // run() starts the cartridge afresh; user memory survives and counts the starts.
  rig.run("n = peek(0x4300) + 1 poke(0x4300, n) if n < 3 then run() end function _update() end");
  for (int i = 0; i < 10; i++) rig.frame();
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
  EXPECT_EQ(pstate.ram[0x4300], 3);
  // A headless console quits once a program ends; reboot and shutdown must not.
  vell_state.quit = 0;
  rig.run("reboot() shutdown() exit() done=1 while true do flip() end");
  rig.frame();
  EXPECT_EQ(rig.num("done"), 1);
  EXPECT_EQ(vell_state.quit, 0);
  EXPECT_NE(pstate.pending_request, REQ_REBOOT);
}
