// Exec mode without the wall clock: the virtual clock of -fast and its
// frame pacing, and printh outside exec mode.
#include <gtest/gtest.h>

#include "machine/app_config.h"
#include "machine/pstate.h"
#include "platform/config.h"
#include "platform/system.h"
#include "shell/fast_run.h"
#include "support/runner_rig.h"

TEST(FastClock, MovesASixtiethOfASecondPerIterationAndPacesFramesAtTheRateInForce) {
  struct row {
    int32_t fps;
    int frames;  // logical frames due in 600 iterations (ten seconds)
  };
  const row rows[] = {{60, 600}, {30, 300}, {15, 150}, {45, 450}, {1, 10}, {0, 0}, {-5, 0}, {90, 600}};
  for (const row &r : rows) {
    g_rig_now = 5000;
    vell_set_time_func(rig_clock);
    orrery_args = orrery_args_t();
    orrery_args.exec_mode = 1;
    orrery_args.fast = 1;
    vell_config.foreground_sleep_ms = 5;
    orrery_fast_start();
    ASSERT_TRUE(orrery_fast_active());
    EXPECT_EQ(vell_config.foreground_sleep_ms, 0) << "the loop does not sleep";
    int frames = 0;
    for (int i = 1; i <= 600; i++) {
      frames += orrery_fast_frame_due(r.fps);
      // Whole iterations map to exact milliseconds, with no drift.
      if (i % 3 == 0) {
        ASSERT_EQ(vell_get_time(), 5000u + i / 3 * 50) << "iteration " << i;
      }
    }
    EXPECT_EQ(frames, r.frames) << "at " << r.fps << " frames a second";
    orrery_fast_stop();
    EXPECT_EQ(vell_get_time(), 5000u) << "the test's clock is back";
  }
  vell_set_time_func(nullptr);
}

TEST(FastClock, IsOnlyForExecMode) {
  orrery_args = orrery_args_t();
  orrery_args.fast = 1;
  orrery_fast_start();
  EXPECT_FALSE(orrery_fast_active());
}

TEST(Printh, WritesNothingOutsideExecMode) {
  runner_rig rig;
  testing::internal::CaptureStderr();
  rig.run("printh('hello', 1) function _update() printh('frame') end");
  for (int i = 0; i < 3; i++) rig.frame();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
}
