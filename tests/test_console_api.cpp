// The console commands that start, stop and end programs.
#include <gtest/gtest.h>

#include "gfx/bitmap.h"
#include "machine/pstate.h"
#include "shell/engine.h"
#include "support/runner_rig.h"

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
