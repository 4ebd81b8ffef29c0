// The console's loop with an injected clock: the boot sequence frame by
// frame, the frame accumulator,
// requests, shortcut keys, the audio pause counter, the message bar, and how
// the screen is presented (draw modes, the extended-palette unlock).
#include "support/test.h"

namespace {

constexpr int32_t k_lctrl = 224, k_lalt = 226, k_m = 16, k_q = 20, k_6 = 35, k_escape = 41, k_f1 = 58, k_f3 = 60,
                  k_f9 = 66;

// Runs iterations as a 60 Hz display would (whole milliseconds, 1000/60
// apart on average); returns for each the logical frames it ran, as digits.
std::string frames_at_60hz(console_rig &rig, int iterations) {
  const uint32_t start = rig.now;
  std::string ran;
  for (int i = 1; i <= iterations; i++) {
    const int32_t before = pstate.frame_counter;
    rig.iterate(start + static_cast<uint32_t>(i * 1000 / 60) - rig.now);
    ran += static_cast<char>('0' + pstate.frame_counter - before);
  }
  return ran;
}

void enter_running(int32_t fps) {
  pstate.mode = MODE_RUNNING, pstate.program_started = 1, pstate.target_fps = fps;
}

// Frames that update the buttons, counted down on the shared repeat counter
// (nothing is pressed, so nothing else sets it).
int32_t button_frames(int32_t from) { return from - buttons_state().repeat; }

// Runs logical frames until the boot sequence has handled frame c.
void run_boot_to(console_rig &rig, int32_t c) {
  while (pstate.frame_counter <= c) rig.frame();
}

uint8_t px(int32_t x, int32_t y) { return pstate.screen->line[y][x]; }

std::vector<uint8_t> bytes(const vell_bitmap *b) { return std::vector<uint8_t>(b->data, b->data + b->w * b->h); }

}  // namespace

TEST(FrameAccumulator, ThirtyAndSixtyFpsOnASixtyHertzDisplayAndAtMostFourCatchUpFrames) {
  console_rig rig;
  const std::string at30 = frames_at_60hz(rig, 120);
  const size_t first = at30.find('1');
  ASSERT_LT(first, 3u);
  std::string alternating;
  while (alternating.size() < 120 - first) alternating += "10";
  EXPECT_EQ(at30.substr(first), alternating.substr(0, 120 - first)) << "every second iteration";
  enter_running(60);
  const std::string at60 = frames_at_60hz(rig, 120);
  EXPECT_LE(std::count(at60.begin(), at60.end(), '0'), 1) << "whole milliseconds lose a little against 1000/60";
  EXPECT_EQ(at60.find('2'), std::string::npos);
  enter_running(30);
  for (uint32_t stall : {10000u, 1800000u}) {
    rig.frame();
    rig.iterate(stall);
    EXPECT_EQ(orrery_state.frame_acc, 3 * 0x10000) << "capped at 4.0 before the frame ran, stall " << stall;
    const int32_t before = pstate.frame_counter;
    for (int i = 0; i < 6; i++) rig.iterate(0);
    EXPECT_EQ(pstate.frame_counter - before, 3) << "stall " << stall;
  }
  // A clock that steps back gives no frame, and the backlog is dropped.
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
  ASSERT_EQ(paused_menu_open(), 1);
  buttons_set_repeat(100000);
  EXPECT_EQ(frames_at_60hz(rig, 120), std::string(120, '0')) << "nothing but the menu advances";
  EXPECT_NEAR(button_frames(100000), 60, 1);
  rig.press({k_escape});
  buttons_set_repeat(100000);
  frames_at_60hz(rig, 120);
  EXPECT_GE(button_frames(100000), 119);
  // Leaving running mode closes the menu and brings the rate back to 30;
  // at the console Escape opens nothing.
  rig.press({k_escape});
  pstate.mode = MODE_CONSOLE;
  rig.iterate(1);
  EXPECT_EQ(paused_menu_open() * 100 + pstate.target_fps, 30);
  rig.press({k_escape});
  EXPECT_EQ(paused_menu_open(), 0);
}

TEST(Requests, ErrorSuspendsAndPrintsRebootRestartsTheBootAndTheGlitchSilencesErrors) {
  console_rig rig;
  for (int i = 0; i < 110; i++) rig.frame();
  enter_running(30);
  pstate.reset_glitch = 3;
  orrery_runtime_error("ignored while glitching");
  EXPECT_EQ(pstate.pending_request, REQ_NONE);
  pstate.reset_glitch = 0;
  // Suspending puts the console's cursor at the program's cursor row: an
  // empty line, then the error.
  pstate.cursor_y = 30;
  orrery_runtime_error("attempt to call a nil value");
  EXPECT_EQ(pstate.pending_request, REQ_SUSPEND_ERROR);
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_CONSOLE);
  EXPECT_TRUE(screen_line_is("attempt to call a nil value", 36) &&
              screen_line_is("ctrl+r: reload the cart and run", 48, 13))
      << "the error, then the ways on";
  pstate.pending_request = REQ_REBOOT;
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_BOOT);
  EXPECT_EQ(pstate.frame_counter, -14) << "the boot restarts at -15 and this update ran its first frame";
}

TEST(ShortcutKeys, MuteCaptureAndQuitHintShowTheirMessages) {
  // A desktop folder that cannot be written, so that captures fail.
  console_rig rig({"-desktop", "/proc/orrery-no-desktop/"});
  // Keys held (Ctrl or Alt first), then the message shown and how long it lasts.
  const std::tuple<std::vector<int32_t>, const char *, uint32_t> cases[] = {
      {{k_lctrl, k_m}, "sound off", 1800},         {{k_lctrl, k_m}, "sound on", 1800},
      {{k_lctrl, k_q}, "alt-f4 to fastquit", 0},   {{k_lctrl, k_6}, "** failed to save screenshot", 2300},
      {{k_f3}, "set video starting point", 0},     {{k_f9}, "** failed to save video", 0},
      {{k_f1}, "** failed to save screenshot", 0}, {{k_lalt, k_f1}, "marker", 0}  // no capture while Alt is held
  };
  for (const auto &[keys, message, lasts] : cases) {
    show_message("marker", 1000);
    if (keys.size() == 2) rig.key(keys[0], true);
    rig.press({keys.back()});
    if (keys.size() == 2) rig.key(keys[0], false);
    // The recording is written by a worker; its outcome shows once it ends.
    for (int i = 0; keys.back() == k_f9 && i < 2000 && strcmp(message_bar_state().text, message) != 0; i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      rig.iterate(1);
    }
    EXPECT_STREQ(message_bar_state().text, message);
    EXPECT_EQ(lasts ? message_bar_state().end - message_bar_state().start : 0, lasts) << message;
    EXPECT_EQ(buttons_down(BTN_X, 0), 0) << "Ctrl+M does not press X";
  }
  EXPECT_EQ(vell_config().sound_volume + vell_config().music_volume, 512);
}

TEST(AudioPause, CounterFollowsTheControlByteAndTheMenuWithFourUpdatesOfTail) {
  console_rig rig;
  enter_running(30);
  // Before each iteration: the control byte and the menu; after: the counter.
  const std::tuple<int32_t, int32_t, int32_t> steps[] = {
      {1, 0, 1}, {0, 0, 2}, {0, 0, 3}, {0, 0, 4}, {0, 0, 5}, {0, 0, 0}, {0, 0, 0}, {0, 1, 1},  // the menu pauses audio
      {2, 1, 2}                                                                                // unless the byte is 2
  };
  for (const auto &[byte, menu, counter] : steps) {
    orrery_poke(&pstate, pstate.cart, 0x5f2f, byte);
    if (menu && !paused_menu_open()) open_paused_menu();
    if (!menu && paused_menu_open()) close_paused_menu();
    rig.iterate(1);
    EXPECT_EQ(vell_audio_pause_count(), counter) << byte << " " << menu;
  }
  orrery_poke(&pstate, pstate.cart, 0x5f2f, 1);
  pstate.mode = MODE_CONSOLE;
  for (int i = 0; i < 5; i++) rig.iterate(1);
  EXPECT_EQ(vell_audio_pause_count(), 0) << "outside running mode the byte does not count";
}

TEST(Presentation, DrawModesAndTheExtendedPaletteUnlockShapeWhatARunningProgramShows) {
  ASSERT_EQ(orrery_create_machine(), 0);
  orrery_state.presented = vell_create_bitmap(128, 128, 8);
  // Where mode m takes the pixel shown at x (or y) from.
  auto from = [](int32_t m, int32_t v, bool y) {
    if (m == (y ? 2 : 1) || m == 3) return v / 2;
    if (m == (y ? 6 : 5) || m == 7) return v < 64 ? v : 127 - v;
    return v;
  };
  for (int32_t m : {0, 1, 2, 3, 4, 5, 6, 7, 8, 255})
    for (bool rows : {false, true}) {
      // Each pixel holds its own x (or y) coordinate.
      for (int32_t i = 0; i < 128 * 128; i++)
        pstate.screen->line[i / 128][i % 128] = static_cast<uint8_t>(rows ? i / 128 : i % 128);
      apply_draw_mode(pstate.screen, m);
      int wrong = 0;
      for (int32_t i = 0; i < 128 * 128; i++)
        wrong += pstate.screen->line[i / 128][i % 128] != from(m, rows ? i / 128 : i % 128, rows);
      EXPECT_EQ(wrong, 0) << "mode " << m << (rows ? " rows" : " columns");
    }
  // Screen palette entry 0x8c shows colour 140 only with the unlock value in place.
  enter_running(30);
  vell_putpixel(pstate.screen, 0, 0, 3);
  vell_putpixel(pstate.screen, 1, 0, 4);
  orrery_poke(&pstate, pstate.cart, 0x5f13, 0x8c);
  orrery_poke(&pstate, pstate.cart, 0x5f14, 0x75);
  for (int i = 0; i < 4; i++) orrery_poke(&pstate, pstate.cart, 0x5f60 + i, k_extended_palette_code[i]);
  // The unlock byte off by one bit, then right again: the entry was reduced
  // and stored back, so bit 7 stays lost.
  const std::tuple<int32_t, uint32_t, int32_t> cases[] = {{k_extended_palette_code[3], 140, 0x8c},
                                                          {k_extended_palette_code[3] ^ 1, 12, 0x0c},
                                                          {k_extended_palette_code[3], 12, 0x0c}};
  for (const auto &[unlock, shown, stored] : cases) {
    orrery_poke(&pstate, pstate.cart, 0x5f63, unlock);
    blit_orrery_back_page_to_orrery_screen();
    EXPECT_EQ(vell_getpixel(orrery_state.presented, 0, 0), shown);
    EXPECT_EQ(orrery_peek(&pstate, pstate.cart, 0x5f13), stored);
    EXPECT_EQ(vell_getpixel(orrery_state.presented, 1, 0), 5u) << "bits 4-6 are dropped either way";
  }
  vell_destroy_bitmap(orrery_state.presented);
  orrery_state.presented = nullptr;
  orrery_clear_machine();
}

TEST(Boot, FramesDrawNoiseThenClearThenLogoAndTextAndFrame90BootsTheHeadCartridge) {
  console_rig rig;
  ASSERT_EQ(pstate.frame_counter, -15);
  run_boot_to(rig, 11);
  // Frame 11: noise of four values rising with the row, every 8th column from 2.
  for (int32_t i = 0; i < 128 * 128; i++) {
    const int32_t x = i % 128, y = i / 128, v = px(x, y);
    ASSERT_TRUE(x % 8 != 2 || x > 122 ? v == 0 : v >= y / 32 && v <= y / 32 + 3) << x << "," << y;
  }
  run_boot_to(rig, 25);
  EXPECT_EQ(bytes(pstate.screen), std::vector<uint8_t>(128 * 128, 0));
  run_boot_to(rig, 40);
  const vell_bitmap *logo = orrery_resource_bitmap(k_res_logo);
  for (int32_t i = 0; i < 400; i++) ASSERT_EQ(px(1 + i % 40, 1 + i / 40), vell_getpixel(logo, i % 40, i / 40)) << i;
  run_boot_to(rig, 50);
  EXPECT_TRUE(screen_line_is("orrery 0.1.11c", 18) && screen_line_is(k_boot_notice, 24, 13) &&
              screen_line_is("booting cartridge..", 36));
  EXPECT_EQ(pstate.cursor_y, 48);
  run_boot_to(rig, 89);
  EXPECT_EQ(pstate.mode, MODE_BOOT);
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_CONSOLE);
  EXPECT_EQ(pstate.pending_request, REQ_RUN);
  ASSERT_NE(orrery_working_cart(), orrery_state.blank_cart);
  // Its code came out of the resource file compressed; it runs.
  for (int i = 0; i < 10; i++) rig.frame();
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
}

TEST(Boot, WithoutAHeadCartridgeTheScreenStaysAtBootingCartridge) {
  temp_folder program;
  console_rig rig({}, pod_without_carts(program));
  run_boot_to(rig, 60);
  const std::vector<uint8_t> booted = bytes(pstate.screen);
  testing::internal::CaptureStdout();
  run_boot_to(rig, 120);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "head cart not found\n");
  EXPECT_EQ(pstate.mode, MODE_BOOT);
  EXPECT_EQ(pstate.pending_request, REQ_NONE);
  EXPECT_TRUE(bytes(pstate.screen) == booted);
}
