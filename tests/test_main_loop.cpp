// The loop with an injected clock: the frame accumulator, requests, the
// shortcut keys, the audio pause counter and the message bar.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "audio/channels.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/config.h"
#include "platform/video.h"
#include "shell/buttons.h"
#include "shell/console.h"
#include "shell/main_loop.h"
#include "shell/message_bar.h"
#include "support/console_rig.h"

namespace {

constexpr int32_t k_lctrl = 224, k_lalt = 226, k_m = 16, k_q = 20, k_6 = 35, k_escape = 41, k_f1 = 58,
                  k_f3 = 60, k_f9 = 66;

// Runs iterations as a 60 Hz display would (whole milliseconds, 1000/60
// apart on average); returns for each whether a logical frame ran.
std::vector<bool> run_at_60hz(console_rig &rig, int iterations) {
  std::vector<bool> ran;
  const uint32_t start = rig.now;
  for (int i = 1; i <= iterations; i++) {
    const int32_t before = pstate.frame_counter;
    rig.iterate(start + static_cast<uint32_t>(i * 1000 / 60) - rig.now);
    EXPECT_LE(pstate.frame_counter - before, 1) << "two frames in iteration " << i;
    ran.push_back(pstate.frame_counter != before);
  }
  return ran;
}

void enter_running(int32_t fps) {
  pstate.mode = MODE_RUNNING;
  pstate.program_started = 1;
  pstate.target_fps = fps;
}

// Frames that update the buttons, counted down on the shared repeat counter
// (nothing is pressed, so nothing else sets it).
struct button_frame_counter {
  button_frame_counter() { orrery_buttons.repeat = 100000; }
  int32_t frames() const { return 100000 - orrery_buttons.repeat; }
};

// The top row of the message bar on the back page (its box is colour 8 at
// the right end), or -1 when no bar is drawn.
int32_t bar_top() {
  const vell_bitmap *page = vell_back_page();
  for (int32_t y = 100; y < 128; y++)
    if (vell_getpixel(page, 127, y) == 8) return y;
  return -1;
}

// Number of pixels of colour c in rows y0..y1 of the back page.
int32_t count_colour(uint32_t c, int32_t y0, int32_t y1) {
  const vell_bitmap *page = vell_back_page();
  int32_t n = 0;
  for (int32_t y = y0; y <= y1; y++)
    for (int32_t x = 0; x < 128; x++) n += vell_getpixel(page, x, y) == c;
  return n;
}

void draw_at(uint32_t t) {
  g_rig_now = t;
  vell_main_draw();
}

}  // namespace

TEST(FrameAccumulator, SixtyHertzDisplayRunsThirtyFpsOnEverySecondIterationAndSixtyOnEvery) {
  console_rig rig;
  std::vector<bool> ran = run_at_60hz(rig, 120);
  size_t first = 0;
  while (first < ran.size() && !ran[first]) first++;
  ASSERT_LT(first, 3u);
  for (size_t i = first; i < ran.size(); i++) EXPECT_EQ(ran[i], (i - first) % 2 == 0) << "iteration " << i;

  enter_running(60);
  ran = run_at_60hz(rig, 120);
  int missed = 0;
  for (bool r : ran) missed += !r;
  EXPECT_LE(missed, 1) << "whole milliseconds lose a little against 1000/60";
  EXPECT_EQ(pstate.target_fps, 60);
}

TEST(FrameAccumulator, StallLeavesAtMostFourCatchUpFramesEvenAfterHalfAnHour) {
  console_rig rig;
  for (uint32_t stall : {10000u, 1800000u}) {
    rig.frame();
    rig.iterate(stall);
    EXPECT_EQ(orrery_state.frame_acc, 3 * 0x10000) << "capped at 4.0 before the frame ran, stall " << stall;
    int frames = 1;
    for (int i = 0; i < 6; i++) {
      const int32_t before = pstate.frame_counter;
      rig.iterate(0);
      frames += pstate.frame_counter != before;
    }
    EXPECT_EQ(frames, 4) << "stall " << stall;
  }
  // A clock that steps back gives a negative increment: no frame, and the
  // backlog is dropped.
  rig.iterate(50);
  const int32_t before = pstate.frame_counter;
  rig.iterate(static_cast<uint32_t>(-500));
  EXPECT_EQ(pstate.frame_counter, before);
  EXPECT_EQ(orrery_state.frame_acc, 0);
}

TEST(FrameAccumulator, PauseMenuRunsAtThirtyInASixtyFpsCartridgeAndFreezesTheFrameCounter) {
  console_rig rig;
  enter_running(60);
  rig.press({k_escape});
  ASSERT_EQ(orrery_state.pause_menu_open, 1);
  const int32_t frame_counter = pstate.frame_counter;
  button_frame_counter counter;
  run_at_60hz(rig, 120);
  EXPECT_NEAR(counter.frames(), 60, 1);
  EXPECT_EQ(pstate.frame_counter, frame_counter) << "nothing but the menu advances";

  rig.press({k_escape});
  ASSERT_EQ(orrery_state.pause_menu_open, 0);
  button_frame_counter running;
  run_at_60hz(rig, 120);
  EXPECT_GE(running.frames(), 119);

  // Leaving running mode closes the menu and brings the rate back to 30.
  rig.press({k_escape});
  ASSERT_EQ(orrery_state.pause_menu_open, 1);
  pstate.mode = MODE_CONSOLE;
  rig.iterate(1);
  EXPECT_EQ(orrery_state.pause_menu_open, 0);
  EXPECT_EQ(pstate.target_fps, 30);
  rig.press({k_escape});
  EXPECT_EQ(orrery_state.pause_menu_open, 0) << "Escape opens the menu only while running";
}

TEST(Requests, ErrorSuspendsAndPrintsRebootRestartsTheBootAndTheGlitchSilencesErrors) {
  console_rig rig;
  for (int i = 0; i < 110; i++) rig.frame();
  enter_running(30);
  // Suspending puts the console's cursor at the program's cursor row.
  pstate.cursor_y = 30;
  const int32_t y = pstate.cursor_y;
  orrery_runtime_error("attempt to call a nil value");
  EXPECT_EQ(pstate.pending_request, REQ_SUSPEND_ERROR);
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_CONSOLE);
  EXPECT_EQ(pstate.pending_request, REQ_NONE);
  EXPECT_EQ(pstate.cursor_y, y + 12) << "an empty line, then the error";
  int32_t ink = 0;
  for (int32_t x = 0; x < 128; x++) ink += vell_getpixel(pstate.screen, x, y + 7) == 6;
  EXPECT_GT(ink, 20) << "the error text in colour 6";

  enter_running(30);
  pstate.reset_glitch = 3;
  orrery_runtime_error("ignored while glitching");
  EXPECT_EQ(pstate.pending_request, REQ_NONE);
  pstate.reset_glitch = 0;

  pstate.pending_request = REQ_REBOOT;
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_BOOT);
  EXPECT_EQ(pstate.frame_counter, -14) << "the boot restarts at -15 and this update ran its first frame";
  EXPECT_EQ(pstate.program_started, 1) << "the runner clears it when it resets";
}

TEST(ShortcutKeys, MuteCaptureAndQuitHintShowTheirMessages) {
  // A desktop folder that cannot be written, so that captures fail.
  console_rig rig({"-desktop", "/proc/orrery-no-desktop/"});
  rig.key(k_lctrl, true);
  rig.press({k_m});
  EXPECT_EQ(vell_config.sound_volume, 0);
  EXPECT_EQ(vell_config.music_volume, 0);
  EXPECT_STREQ(orrery_state.message, "sound off");
  EXPECT_EQ(orrery_state.message_end - orrery_state.message_start, 1400u + 400u);
  EXPECT_EQ(orrery_buttons.down[0][BTN_X], 0);
  rig.press({k_m});
  EXPECT_EQ(vell_config.sound_volume, 256);
  EXPECT_EQ(vell_config.music_volume, 256);
  EXPECT_STREQ(orrery_state.message, "sound on");

  rig.press({k_q});
  EXPECT_STREQ(orrery_state.message, "alt-f4 to fastquit");
  rig.press({k_6});
  EXPECT_STREQ(orrery_state.message, "** failed to save screenshot");
  EXPECT_EQ(orrery_state.message_end - orrery_state.message_start, 1900u + 400u);
  rig.key(k_lctrl, false);

  rig.press({k_f3});
  EXPECT_STREQ(orrery_state.message, "set video starting point");
  rig.press({k_f9});
  // The recording is written by a worker; its outcome shows once it ends.
  for (int i = 0; i < 2000 && strcmp(orrery_state.message, "** failed to save video") != 0; i++) {
    usleep(5000);
    rig.iterate(1);
  }
  EXPECT_STREQ(orrery_state.message, "** failed to save video");
  rig.press({k_f1});
  EXPECT_STREQ(orrery_state.message, "** failed to save screenshot");

  show_message("marker", 1000);
  rig.key(k_lalt, true);
  rig.press({k_f1});
  EXPECT_STREQ(orrery_state.message, "marker") << "no capture while Alt is held";
}

TEST(AudioPause, CounterFollowsTheControlByteAndTheMenuWithFourUpdatesOfTail) {
  console_rig rig;
  enter_running(30);
  auto counter = [] { return orrery_audio.pause_counter.load(); };
  orrery_poke(&pstate, pstate.cart, 0x5f2f, 1);
  rig.iterate(1);
  EXPECT_EQ(counter(), 1);
  orrery_poke(&pstate, pstate.cart, 0x5f2f, 0);
  std::vector<int32_t> tail;
  for (int i = 0; i < 6; i++) {
    rig.iterate(1);
    tail.push_back(counter());
  }
  EXPECT_EQ(tail, (std::vector<int32_t>{2, 3, 4, 5, 0, 0}));

  orrery_state.pause_menu_open = 1;
  rig.iterate(1);
  EXPECT_EQ(counter(), 1) << "the menu pauses audio";
  orrery_poke(&pstate, pstate.cart, 0x5f2f, 2);
  rig.iterate(1);
  EXPECT_EQ(counter(), 2) << "unless the byte is 2";

  orrery_poke(&pstate, pstate.cart, 0x5f2f, 1);
  pstate.mode = MODE_CONSOLE;
  for (int i = 0; i < 5; i++) rig.iterate(1);
  EXPECT_EQ(counter(), 0) << "outside running mode the byte does not count";
}

TEST(MessageBar, SlidesInAndOutLastsItsTimePlus400MsAndAlternatesColours) {
  console_rig rig;
  const uint32_t t0 = rig.now;
  g_rig_now = t0;
  show_message("saved", 1000);
  EXPECT_EQ(orrery_state.message_end - orrery_state.message_start, 1400u);
  EXPECT_EQ(orrery_state.message_colour, 15);
  const std::vector<std::pair<uint32_t, int32_t>> expected = {
      {0, -1}, {100, 126}, {199, 121}, {200, 121}, {700, 121}, {1199, 121}, {1200, 121}, {1300, 126}, {1380, 121 + 9},
  };
  for (const auto &e : expected) {
    draw_at(t0 + e.first);
    const int32_t top = e.second > 127 ? -1 : e.second;
    EXPECT_EQ(bar_top(), top) << "at " << e.first << " ms";
  }
  draw_at(t0 + 1399);
  EXPECT_EQ(message_bar_shows("saved"), 1);
  draw_at(t0 + 1400);
  EXPECT_EQ(message_bar_shows("saved"), 0);
  EXPECT_EQ(bar_top(), -1);

  draw_at(t0 + 500);
  show_message("first", 1000);
  draw_at(t0 + 800);
  EXPECT_GT(count_colour(7, 122, 126), 0) << "15 was taken by the message before";
  EXPECT_EQ(count_colour(15, 122, 126), 0);
  show_message_2("%s %d", 1000, "second", 2);
  EXPECT_STREQ(orrery_state.message, "second 2");
  draw_at(t0 + 1100);
  EXPECT_GT(count_colour(15, 122, 126), 0);

  // Start 0: drawn in place from the first moment.
  show_message("still", 1000);
  orrery_state.message_start = 0;
  draw_at(t0 + 500);
  EXPECT_EQ(bar_top(), 121);

  g_rig_now = t0 + 2000;
  show_message("devkit mouse enabled", 2000);
  draw_at(t0 + 2500);
  const vell_bitmap *page = vell_back_page();
  EXPECT_EQ(vell_getpixel(page, 50, 120), 6u);
  EXPECT_EQ(vell_getpixel(page, 101, 123), 0u);
  EXPECT_EQ(vell_getpixel(page, 127, 123), 0u) << "the devkit box ends at x 101";
  EXPECT_GT(count_colour(1, 121, 125), 10) << "text in colour 1";
}
