// The program runner: error reports in exec mode, the size limits, command
// shortcuts, code tabs, the memory check and the run chain.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/ctext.h"
#include "lua.h"
#include "machine/cart.h"
#include "machine/pstate.h"
#include "script/interp.h"
#include "script/runner.h"
#include "shell/args.h"
#include "shell/console.h"
#include "support/runner_rig.h"

namespace {

using lines = std::vector<std::string>;

// Runs text through run_program with console output going to standard
// output, as in exec mode; returns the status and fills out with the lines.
int run_program_captured(const std::string &text, std::string *out) {
  orrery_args.exec_mode = 1;
  pstate.mode = MODE_CONSOLE;
  testing::internal::CaptureStdout();
  const int status = run_program(text.c_str());
  *out = testing::internal::GetCapturedStdout();
  orrery_args.exec_mode = 0;
  return status;
}

// Calls of the recorded functions, as "name:argument".
std::vector<std::string> g_calls;

int record_call(lua_State *L) {
  const char *arg = lua_gettop(L) > 0 ? lua_tostring(L, 1) : nullptr;
  g_calls.push_back(std::string(lua_tostring(L, lua_upvalueindex(1))) + ":" + (arg ? arg : ""));
  return 0;
}

void record(const char *name) {
  lua_State *L = runner_lua_state();
  lua_pushstring(L, name);
  lua_pushcclosure(L, record_call, 1);
  lua_setglobal(L, name);
}

}  // namespace

TEST(ExecMode, FailedAssertionInATabReportsLineTabMessageAndTraceback) {
  temp_folder home;
  const std::string code =
      "function a() end\n-->8\n-- tab 1\n-->8\n-- tab 2\n-- two\n-- three\nfunction check()\n"
      "  assert(false, \"done\")\nend\nfunction _init() check() end";
  const exec_result r = exec_cart(home, code);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.lines, (lines{"runtime error line 5 tab 2", "  assert(false, \"done\")", "assertion failed", "done",
                            "done", "in check line 5 (tab 2)", "in _init line 7 (tab 2)"}));
}

TEST(ExecMode, RuntimeErrorsShowTheirMessageWithoutPosition) {
  temp_folder home;
  exec_result r = exec_cart(home, "x = 1\nlocal t\nt.y = 2");
  EXPECT_EQ(r.lines, (lines{"runtime error line 3 tab 0", "t.y = 2", "attempt to index local 't' (a nil value)"}));
  r = exec_cart(home, "\nx = sub()");
  EXPECT_EQ(r.lines, (lines{"runtime error line 2 tab 0", "x = sub()",
                            "bad argument #1 to 'sub' (string expected, got no value)"}));
  r = exec_cart(home, "assert(nil)");
  EXPECT_EQ(r.lines, (lines{"runtime error line 1 tab 0", "assert(nil)", "assertion failed"}));
}

TEST(ExecMode, SyntaxErrorsNameTheLineInItsTabAndTheReducedMessage) {
  temp_folder home;
  exec_result r = exec_cart(home, "x = 1\n-->8\ny = 2\nz = = 3");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.lines, (lines{"syntax error line 2 (tab 1)", "z = = 3", "unexpected symbol near '='"}));

  // Preprocessed notations and comments keep every line where it was.
  r = exec_cart(home, "a = 0\na += 1 -- more\nif (a != 1) b = 1\n--[[ two\nlines ]]\nc = = 2");
  EXPECT_EQ(r.lines, (lines{"syntax error line 6 (tab 0)", "c = = 2", "unexpected symbol near '='"}));

  // A colon in the message does not cut it short.
  r = exec_cart(home, "a = :");
  EXPECT_EQ(r.lines, (lines{"syntax error line 1 (tab 0)", "a = :", "unexpected symbol near ':'"}));

  r = exec_cart(home, "function f()\n  if x then\n    y = 1\n  end");
  EXPECT_EQ(r.lines, (lines{"syntax error line 4 (tab 0)", "<eof>", "unclosed function", ""}));

  r = exec_cart(home, "x =\nend");
  EXPECT_EQ(r.lines, (lines{"syntax error line 1 (tab 0)", "x =", "unexpected end of line"}));
  r = exec_cart(home, "x = end");
  EXPECT_EQ(r.lines, (lines{"syntax error line 1 (tab 0)", "x = end", "unexpected symbol near 'end'"}));
}

TEST(ExecMode, ProgramsThatEndOrLoopForeverEndTheProcessCleanly) {
  temp_folder home;
  exec_result r = exec_cart(home, "x = 1");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(r.lines.empty());
  // A program that never yields is still cut into frames, so the console
  // keeps handling its events and ends normally when told to.
  r = exec_cart(home, "while true do end", {}, 1500);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(r.lines.empty());
  r = exec_cart(home, "function _update() while true do end end", {}, 1500);
  EXPECT_EQ(r.exit_code, 0);
}

TEST(ExecMode, ParameterStringReadsAsExactly1024Bytes) {
  temp_folder home;
  exec_result r = exec_cart(home, "p = stat(6) assert(false, sub(p, 1, 5) .. #p .. (sub(p, 6, 6) == '\\0' and 'z' or '?'))",
                            {"-p", "hello"});
  ASSERT_GE(r.lines.size(), 4u);
  EXPECT_EQ(r.lines[3], "hello1024z");
  r = exec_cart(home, "assert(false, 'n' .. #stat(6))");
  ASSERT_GE(r.lines.size(), 4u);
  EXPECT_EQ(r.lines[3], "n1024");
}

TEST(ExecMode, MemoryLimitAppliesBeyondTheTokenAllowance) {
  temp_folder home;
  // Live data just under 2 MiB over the allowance: a program of about 7500
  // tokens (120000 bytes of allowance) is still within its limit although
  // its data plus the allowance passes 2 MiB (stat(0) above 1814 KB).
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
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.lines, (lines{"out of memory"}));
}

TEST(Runner, ProgramsOfTheLargestSizeRunAndOneMoreCharacterOrTokenDoesNot) {
  runner_rig rig;
  std::string out;
  const std::string base = "x = 1\n--";
  std::string text = base + std::string(k_program_max_chars - base.size(), 'c');
  EXPECT_EQ(run_program_captured(text, &out), RUN_OK);
  EXPECT_EQ(out, "");
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
  pstate.mode = MODE_CONSOLE;
  EXPECT_EQ(run_program_captured(text + "c", &out), RUN_TOO_LONG);
  EXPECT_EQ(out, "** program exceeds char limit\n** 65537 / 65536 chars\n\n");
  EXPECT_EQ(pstate.mode, MODE_CONSOLE);

  std::string tokens;
  for (int i = 0; i < 2730; i++) tokens += "a=1\n";  // 3 tokens each
  EXPECT_EQ(run_program_captured(tokens + "f()", &out), RUN_OK);
  EXPECT_EQ(orrery_lua_memory.allowance, 8192 * 16);
  pstate.mode = MODE_CONSOLE;
  EXPECT_EQ(run_program_captured(tokens + "f(1)", &out), RUN_TOO_LARGE);
  EXPECT_EQ(out, "** program too large\n** 8193 / 8192 tokens\n\n");
}

TEST(Runner, ConsoleCommandTextsBecomeCalls) {
  runner_rig rig;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"load foo", "load:foo"},   {"load \"foo\"", "load:foo"}, {"help", "help:"},
      {"cd carts/new", "cd:carts/new"}, {"s", "cartfind:"},    {"resume", "print:no _mainloop()"},
  };
  for (const auto &[text, call] : cases) {
    ASSERT_EQ(run_program(text.c_str()), RUN_OK) << text;
    for (const char *name : {"load", "help", "cd", "cartfind", "print"}) record(name);
    g_calls.clear();
    rig.frame();
    EXPECT_EQ(g_calls, std::vector<std::string>{call}) << text;
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
  for (int t = 0; t < 8; t++) EXPECT_EQ(orrery_runner.code_tab[t]->text, "t" + std::to_string(t));
  merge_code_from_tabs();
  EXPECT_EQ(std::string(cart->code), code.substr(0, code.rfind(k_tab_separator))) << "the ninth piece is dropped";

  // The program takes the tabs up to the last non-empty one, or up to the
  // current tab when that lies further on.
  snprintf(cart->code, k_cart_code_size, "a\nb\n-->8\n\n-->8\nc");
  split_code_to_tabs();
  EXPECT_EQ(program_text_from_tabs(), "a\nb\n-->8\n\n-->8\nc");
  orrery_runner.current_tab = 3;
  EXPECT_EQ(program_text_from_tabs(), "a\nb\n-->8\n\n-->8\nc\n-->8\n");
  orrery_runner.current_tab = 0;

  // Tab 0 covers program lines 0-2 (two lines and the separator), tab 1
  // lines 3-4, tab 2 line 5 on.
  const int32_t expect[][2] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {0, 2}};
  for (int32_t line = 0; line < 6; line++) {
    int32_t tab = -1;
    EXPECT_EQ(find_tab_line(line, &tab), expect[line][0]) << line;
    EXPECT_EQ(tab, expect[line][1]) << line;
  }
  int32_t tab = -1;
  EXPECT_EQ(find_tab_line(100, &tab), -1);
  EXPECT_EQ(tab, 0);

  EXPECT_EQ(get_nth_line("a\nbb\n", 1), "bb");
  EXPECT_EQ(get_nth_line("a\nbb\n", 2), "");
  EXPECT_EQ(get_nth_line("a\nbb\n", 3), "<eof>");
  EXPECT_EQ(get_lid_from_filename("/h/bbs/carts/star_dust-2.q7.png"), "star_dust-2");
  EXPECT_EQ(get_lid_from_filename("/h/bbs/carts/Big.Game.q7"), "ame");
  EXPECT_EQ(get_lid_from_filename("/h/bbs/carts/game.png"), "");
}

TEST(Runner, RunChainKeepsTheWayBackAndItsParameters) {
  reset_run_chain();
  EXPECT_EQ(get_run_chain_label(), nullptr);
  orrery_runner.param = "level=3";
  add_run_chain_item("menu.q7", std::string(40, 'b').c_str(), 0);
  EXPECT_STREQ(get_run_chain_filename(), "menu.q7");
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
  reset_run_chain();
  EXPECT_EQ(run_chain_length(), 0);
}
