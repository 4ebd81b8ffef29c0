// The console commands, the online-service stubs and the system queries of
// the mouse and the calendar.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/hooks.h"
#include "machine/pstate.h"
#include "platform/input.h"
#include "shell/console.h"
#include "shell/engine.h"
#include "shell/message_bar.h"
#include "support/runner_rig.h"
#include "support/sdl_devices.h"

TEST(ConsoleApi, StopEndsAnExecRunAndRunStartsTheProgramAgain) {
  temp_folder home;
  // A game loop that stops itself: exec mode ends with code 0. (Without
  // stop the run would never end, and the test would fail on its time-out.)
  exec_result r = exec_cart(home, "t=0 function _update() t+=1 if t>3 then stop() end end");
  EXPECT_EQ(r.exit_code, 0);

  runner_rig rig;
  rig.run("camera(5,7) function _update() stop('bye', 40, 60, 12) end");
  rig.frame();
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_CONSOLE) << "stop suspends the program";
  EXPECT_EQ(pstate.camera_x, 0);
  EXPECT_EQ(pstate.camera_y, 0);
  int32_t ink = 0;
  for (int32_t y = 60; y < 65; y++)
    for (int32_t x = 40; x < 52; x++) ink += vell_getpixel(pstate.screen, x, y) == 12;
  EXPECT_GT(ink, 5) << "the message is drawn where print would draw it";

  // run() starts the cartridge afresh; user memory above the cartridge
  // image survives the restart and counts the starts.
  rig.run("n = peek(0x4300) + 1 poke(0x4300, n) if n < 3 then run() end function _update() end");
  for (int i = 0; i < 10; i++) rig.frame();
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
  EXPECT_EQ(pstate.ram[0x4300], 3);
}

TEST(ConsoleApi, RebootAndShutdownDoNothingWhileACartridgeRuns) {
  runner_rig rig;
  rig.run("reboot() shutdown() exit() done=1 while true do flip() end");
  rig.frame();
  EXPECT_EQ(rig.num("done"), 1);
  EXPECT_EQ(vell_state.quit, 0);
  EXPECT_NE(pstate.pending_request, REQ_REBOOT);
}

namespace {

struct printed_line {
  std::string text;
  int32_t colour;
};
std::vector<printed_line> g_printed;
void record_line(const char *text, int32_t colour) { g_printed.push_back({text, colour}); }

}  // namespace

TEST(ConsoleApi, HelpAtTheConsoleAndTheOnlineStubs) {
  runner_rig rig;
  rig.run("function _update() end");
  rig.frame();
  orrery_machine_hooks hooks = {};
  hooks.print_col = record_line;
  orrery_set_machine_hooks(hooks);
  EXPECT_EQ(rig_eval("help()"), "");
  EXPECT_TRUE(g_printed.empty()) << "nothing while a cartridge program runs";

  pstate.program_started = 0;  // as at a console that has run no cartridge
  rig_eval("help()");
  ASSERT_EQ(g_printed.size(), 18u);
  const printed_line expected[] = {{"commands", 12}, {"cartfind     to explore cartridges", 14}, {"", 14},
                                   {"see orrery.txt for more info", 12}};
  const size_t at[] = {1, 10, 11, 16};
  for (size_t i = 0; i < 4; i++) {
    EXPECT_EQ(g_printed[at[i]].text, expected[i].text) << "line " << at[i] + 1;
    EXPECT_EQ(g_printed[at[i]].colour, expected[i].colour) << "line " << at[i] + 1;
  }
  EXPECT_EQ(g_printed[3].text, "load <filename>  save <filename>");
  EXPECT_EQ(g_printed[17].text, "");

  g_printed.clear();
  EXPECT_EQ(rig_eval("return login()"), "nil");
  ASSERT_EQ(g_printed.size(), 2u);
  EXPECT_EQ(g_printed[0].text, "login unavailable.");
  EXPECT_EQ(g_printed[1].text, "please update orrery!");
  EXPECT_EQ(g_printed[1].colour, 6);
  EXPECT_EQ(rig_eval("return logout(), bbsreq('x', 1), scoresub(5, 'a')"), "nil,nil,nil,0");
  EXPECT_EQ(rig_eval("printh('x') return extcmd('label')"), "");
}

TEST(SystemApi, MouseStatsNeedTheEnableByteAndADevelopedCartridgeShowsTheNotice) {
  for (bool developed : {false, true}) {
    SCOPED_TRACE(developed ? "with cartridge data" : "plain cartridge");
    runner_rig rig;
    rig.run(std::string(developed ? "cartdata('mouse_test') " : "") + "function _update() end");
    rig.frame();
    vell_set_mouse(40, 50);
    push_mouse_wheel(1, -2);
    rig.frame();  // the event arrives after this frame's button read
    rig.frame();  // and is taken by this one's
    EXPECT_EQ(rig_eval("return stat(32), stat(33), stat(35), stat(36)"), "0,0,0,0") << "mouse not enabled";
    EXPECT_FALSE(message_bar_shows("devkit mouse enabled"));
    rig_eval("poke(0x5f2d, 1)");
    EXPECT_EQ(rig_eval("return stat(32), stat(33), stat(34), stat(35), stat(36)"), "40,50,0,1,-2");
    EXPECT_EQ(message_bar_shows("devkit mouse enabled") != 0, developed);
    orrery_state.message[0] = 0;
    rig_eval("stat(32)");
    EXPECT_FALSE(message_bar_shows("devkit mouse enabled")) << "once a run";
  }
}

TEST(SystemApi, DateStatsGiveUtcAndLocalTime) {
  setenv("TZ", "UTC+3", 1);
  tzset();
  runner_rig rig;
  rig.run("function _update() end");
  rig.frame();
  const time_t now = time(nullptr);
  struct tm utc;
  gmtime_r(&now, &utc);
  const std::string got = rig_eval("return stat(80), stat(81), stat(90), stat(83), stat(93), stat(84), stat(94)");
  int year, month, local_year, hour, local_hour, minute, local_minute;
  ASSERT_EQ(sscanf(got.c_str(), "%d,%d,%d,%d,%d,%d,%d", &year, &month, &local_year, &hour, &local_hour, &minute,
                   &local_minute), 7) << got;
  EXPECT_EQ(year, utc.tm_year + 1900);
  EXPECT_EQ(month, utc.tm_mon + 1);
  EXPECT_EQ((hour + 21) % 24, local_hour) << "local time is three hours behind";
  EXPECT_EQ(minute, local_minute);
}
