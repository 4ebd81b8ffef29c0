// The boot sequence frame by frame with an injected clock, the splash
// picture, a resource file without a head cartridge, and the reset glitch.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/bitmap.h"
#include "api/text.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/video.h"
#include "shell/boot.h"
#include "shell/console.h"
#include "shell/resources.h"
#include "shell/rng.h"
#include "support/cart_support.h"
#include "support/console_rig.h"

namespace {

// Runs logical frames until the boot sequence has handled frame c.
void run_boot_to(console_rig &rig, int32_t c) {
  while (pstate.frame_counter <= c) rig.frame();
}

uint8_t px(int32_t x, int32_t y) { return pstate.screen->line[y][x]; }

std::vector<uint8_t> bytes(const vell_bitmap *b) { return std::vector<uint8_t>(b->data, b->data + b->w * b->h); }

// Rows y..y+5 of the screen hold exactly text drawn at (0, y) in colour c.
void expect_line(const char *text, int32_t y, uint32_t c) {
  vell_bitmap *expected = vell_create_bitmap(128, 128, 8);
  vell_draw_text_ex(expected, text, pstate.font, 0, y, k_text_colour | k_text_wrap, c);
  int wrong = 0;
  for (int32_t i = y * 128; i < (y + 6) * 128; i++) wrong += expected->data[i] != pstate.screen->data[i];
  EXPECT_EQ(wrong, 0) << "line \"" << text << "\" at " << y;
  vell_destroy_bitmap(expected);
}

}  // namespace

TEST(Boot, FramesDrawNoiseThenClearThenLogoAndTextAndFrame90BootsTheHeadCartridge) {
  console_rig rig;
  ASSERT_EQ(pstate.frame_counter, -15);
  run_boot_to(rig, 11);
  // Frame 11: noise of four values rising with the row, every 8th column from 2.
  int distinct[4] = {};
  for (int32_t i = 0; i < 128 * 128; i++) {
    const int32_t x = i % 128, y = i / 128, v = px(x, y);
    if (x % 8 != 2 || x > 122) {
      ASSERT_EQ(v, 0) << x << "," << y;
    } else {
      ASSERT_TRUE(v >= y / 32 && v <= y / 32 + 3) << x << "," << y;
      distinct[v - y / 32]++;
    }
  }
  for (int d : distinct) EXPECT_GT(d, 300) << "noise uses all four values";
  run_boot_to(rig, 14);
  for (int32_t y = 0; y < 128; y += 2)
    for (int32_t x = 0; x <= 124; x += 4) ASSERT_EQ(px(x, y), (x + y) / 8 % 8 + 6) << x << "," << y;
  run_boot_to(rig, 25);
  EXPECT_EQ(bytes(pstate.screen), std::vector<uint8_t>(128 * 128, 0));
  run_boot_to(rig, 40);
  const vell_bitmap *logo = orrery_resource_bitmap(k_res_logo);
  for (int32_t i = 0; i < 400; i++) ASSERT_EQ(px(1 + i % 40, 1 + i / 40), vell_getpixel(logo, i % 40, i / 40)) << i;
  run_boot_to(rig, 50);
  expect_line("orrery 0.1.11c", 18, 6);
  expect_line(k_boot_notice, 24, 13);
  expect_line("booting cartridge..", 36, 6);
  EXPECT_EQ(pstate.cursor_y, 48);
  // The window shows the screen through the identity palette.
  rig.iterate(0);
  EXPECT_EQ(bytes(vell_back_page()), bytes(pstate.screen));
  run_boot_to(rig, 89);
  EXPECT_EQ(pstate.mode, MODE_BOOT);
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_CONSOLE);
  EXPECT_EQ(pstate.pending_request, REQ_RUN);
  const orrery_cart *head = orrery_working_cart();
  ASSERT_NE(head, orrery_state.blank_cart);
  EXPECT_EQ(head->version, 12);
  EXPECT_GT(strlen(head->code), 0u);
}

TEST(Boot, SameClockAndSeedGiveTheSamePixelsAndKeysChangeNothing) {
  console_rig rig;
  auto run = [&rig](bool hold_keys) {
    std::vector<std::vector<uint8_t>> frames;
    for (int32_t sc : {29, 27, 80, 40, 41}) rig.key(sc, hold_keys);
    for (rig.frame(); pstate.frame_counter < 60; rig.frame()) frames.push_back(bytes(vell_back_page()));
    return frames;
  };
  const auto first = run(false);
  pstate.pending_request = REQ_REBOOT;
  orrery_state.frame_acc = 0;  // the second run starts without backlog, as the first did
  rig.iterate(1);
  ASSERT_EQ(pstate.frame_counter, -15);
  vell_srand(0);
  EXPECT_TRUE(first == run(true));
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

TEST(Boot, SplashPictureShowsInConsoleColoursUntilAKeyIsPressed) {
  temp_folder program;
  pod_without_carts(program);
  // A 200x100 picture: left half pure red, right half transparent.
  std::vector<uint8_t> rgba(200 * 100 * 4, 0);
  for (int i = 0; i < 200 * 100; i++) rgba[i * 4] = rgba[i * 4 + 3] = i % 200 < 100 ? 255 : 0;
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = 200;
  image.height = 100;
  image.format = PNG_FORMAT_RGBA;
  ASSERT_TRUE(png_image_write_to_file(&image, (program / "splash.png").c_str(), 0, rgba.data(), 0, nullptr));
  console_rig rig({}, program.path);
  for (int i = 0; i < 20; i++) rig.frame();
  ASSERT_EQ(pstate.mode, MODE_SPLASH);
  const vell_bitmap *page = vell_back_page();
  ASSERT_EQ(page->w * 1000 + page->h, 200100);
  EXPECT_GT(vell_engine_palette()[vell_getpixel(page, 10, 10) * 3], 150) << "the nearest console colour to red";
  EXPECT_EQ(vell_getpixel(page, 150, 50), 0u) << "transparent pixels become colour 0";
  rig.key(44, true);  // space
  rig.frame();
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_BOOT);
  rig.key(44, false);
  rig.frame();
  EXPECT_EQ(vell_back_page()->w, 128);
}

TEST(ResetGlitch, ScribblesOnceKeepsTheGuardedByteAndThenRestartsTheCartridge) {
  console_rig rig;
  for (int i = 0; i < 110; i++) rig.frame();
  pstate.mode = MODE_RUNNING;
  pstate.program_started = 1;
  pstate.pending_request = REQ_NONE;
  orrery_poke(&pstate, pstate.cart, 0x5f2e, 1);
  const std::vector<uint8_t> ram(pstate.ram, pstate.ram + k_mem_size);
  const int32_t cdata0 = pstate.cdata[0];
  start_reset_glitch();
  std::vector<int32_t> states;
  for (int i = 0; i < 5; i++) {
    rig.frame();
    states.push_back(pstate.reset_glitch);
    if (pstate.reset_glitch != 2) continue;
    int changed = 0;
    for (int32_t a = 0; a < k_mem_size; a++) changed += pstate.ram[a] != ram[a];
    EXPECT_GT(changed, 10) << "memory scribbled";
    EXPECT_EQ(orrery_peek(&pstate, pstate.cart, 0x5f2e), 1);
    EXPECT_EQ(pstate.cdata[0], cdata0) << "persistent data untouched";
  }
  EXPECT_EQ(states, (std::vector<int32_t>{2, 3, 4, 0, 0}));
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
  EXPECT_EQ(pstate.pending_request, REQ_NONE) << "the run request posted at the glitch's end was carried out";
}
