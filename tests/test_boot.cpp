// The boot sequence frame by frame with an injected clock, the splash
// picture, a resource file without a head cartridge, and the reset glitch.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/text.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/rng.h"
#include "platform/video.h"
#include "shell/boot.h"
#include "shell/console.h"
#include "shell/pod.h"
#include "shell/resources.h"
#include "support/cart_support.h"
#include "support/console_rig.h"

namespace {

// Runs logical frames until the boot sequence has handled frame c.
void run_boot_to(console_rig &rig, int32_t c) {
  while (pstate.frame_counter <= c) rig.frame();
}

uint8_t px(int32_t x, int32_t y) { return pstate.screen->line[y][x]; }

std::vector<uint8_t> screen_bytes() { return std::vector<uint8_t>(pstate.screen->data, pstate.screen->data + 128 * 128); }

// Rows y..y+5 of the screen hold exactly text drawn at (0, y) in colour c.
void expect_line(const char *text, int32_t y, uint32_t c) {
  vell_bitmap *expected = vell_create_bitmap(128, 128, 8);
  vell_draw_text_ex(expected, text, pstate.font, 0, y, k_text_colour | k_text_wrap, c);
  int wrong = 0;
  for (int32_t r = y; r < y + 6; r++)
    for (int32_t x = 0; x < 128; x++) wrong += expected->line[r][x] != px(x, r);
  EXPECT_EQ(wrong, 0) << "line \"" << text << "\" at " << y;
  vell_destroy_bitmap(expected);
}

}  // namespace

TEST(Boot, FramesElevenToFiftyDrawNoiseStripesLogoAndText) {
  console_rig rig;
  ASSERT_EQ(pstate.mode, MODE_BOOT);
  ASSERT_EQ(pstate.frame_counter, -15);

  run_boot_to(rig, 11);
  int distinct[4] = {};
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++) {
      const int32_t v = px(x, y);
      if (x % 8 == 2 && x <= 122) {
        EXPECT_GE(v, y / 32);
        EXPECT_LE(v, y / 32 + 3);
        distinct[v - y / 32]++;
      } else {
        ASSERT_EQ(v, 0) << x << "," << y;
      }
    }
  for (int d : distinct) EXPECT_GT(d, 300) << "noise uses all four values";

  run_boot_to(rig, 14);
  for (int32_t y = 0; y < 128; y += 2)
    for (int32_t x = 0; x <= 124; x += 4) ASSERT_EQ(px(x, y), (x + y) / 8 % 8 + 6) << x << "," << y;

  run_boot_to(rig, 17);
  for (int32_t y = 0; y <= 126; y += 3)
    for (int32_t x = 2; x <= 126; x += 4) {
      ASSERT_GE(px(x, y), 10);
      ASSERT_LE(px(x, y), 13);
    }
  const std::vector<uint8_t> before_shift = screen_bytes();
  run_boot_to(rig, 19);
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 1; x <= 125; x += 2) ASSERT_EQ(px(x, y), before_shift[y * 128 + x + 1]);

  run_boot_to(rig, 22);
  int32_t kept = 0;
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++) {
      if (y % 4) ASSERT_EQ(px(x, y), 0) << x << "," << y;
      else kept += px(x, y) != 0;
    }
  EXPECT_GT(kept, 0);
  run_boot_to(rig, 25);
  for (uint8_t v : screen_bytes()) ASSERT_EQ(v, 0);

  run_boot_to(rig, 40);
  const vell_bitmap *logo = orrery_resource_bitmap(k_res_logo);
  ASSERT_NE(logo, nullptr);
  for (int32_t y = 0; y < 10; y++)
    for (int32_t x = 0; x < 40; x++) ASSERT_EQ(px(1 + x, 1 + y), vell_getpixel(logo, x, y));
  EXPECT_EQ(pstate.cursor_y, 18) << "one line from the boot's start, two at frame 40";
  EXPECT_EQ(pstate.pen, 6);

  run_boot_to(rig, 50);
  expect_line("orrery 0.1.11c", 18, 6);
  expect_line(k_boot_notice, 24, 13);
  expect_line("", 30, 6);
  expect_line("booting cartridge..", 36, 6);
  EXPECT_EQ(pstate.cursor_y, 48);
  EXPECT_LE(strlen(k_boot_notice), 32u) << "the notice fits one line";

  // What the window shows is the screen through the identity palette.
  rig.iterate(0);
  const vell_bitmap *page = vell_back_page();
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++) ASSERT_EQ(vell_getpixel(page, x, y), px(x, y));

  // Frame 90 boots the head cartridge: console mode with a run request.
  run_boot_to(rig, 89);
  EXPECT_EQ(pstate.mode, MODE_BOOT);
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_CONSOLE);
  EXPECT_EQ(pstate.pending_request, REQ_RUN);
  const orrery_cart *head = orrery_working_cart();
  ASSERT_NE(head, nullptr);
  EXPECT_NE(head, orrery_state.blank_cart);
  EXPECT_EQ(head->version, 12);
  EXPECT_GT(strlen(head->code), 0u);
  EXPECT_EQ(vell_getpixel(orrery_state.blank_cart->gfx, 2, 2), 7u) << "the blank cartridge's mark";
  EXPECT_EQ(vell_getpixel(orrery_state.blank_cart->gfx, 5, 2), 7u);
  // Its code came out of the resource file compressed; it runs.
  for (int i = 0; i < 10; i++) rig.frame();
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
}

TEST(Boot, SameClockAndSeedGiveTheSamePixelsAndKeysChangeNothing) {
  console_rig rig;
  auto run = [&rig](bool hold_keys) {
    std::vector<std::vector<uint8_t>> frames;
    for (int32_t sc : {29, 27, 80, 40, 41}) rig.key(sc, hold_keys);
    while (pstate.frame_counter < 60) {
      rig.frame();
      frames.push_back(std::vector<uint8_t>(vell_back_page()->data, vell_back_page()->data + 128 * 128));
    }
    return frames;
  };
  const auto first = run(false);
  pstate.pending_request = REQ_REBOOT;
  orrery_state.frame_acc = 0;  // the second run starts without backlog, as the first did
  rig.iterate(1);
  ASSERT_EQ(pstate.frame_counter, -15);
  vell_srand(0);
  const auto second = run(true);
  ASSERT_EQ(first.size(), second.size());
  for (size_t i = 0; i < first.size(); i++) EXPECT_TRUE(first[i] == second[i]) << "frame " << i;
}

TEST(Boot, WithoutAHeadCartridgeTheScreenStaysAtBootingCartridge) {
  temp_folder program;
  console_rig rig({}, pod_without_carts(program));
  run_boot_to(rig, 60);
  const std::vector<uint8_t> booted = screen_bytes();
  testing::internal::CaptureStdout();
  run_boot_to(rig, 120);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "head cart not found\n");
  EXPECT_EQ(pstate.mode, MODE_BOOT);
  EXPECT_EQ(pstate.pending_request, REQ_NONE);
  EXPECT_TRUE(screen_bytes() == booted);
}

TEST(Boot, SplashPictureShowsUntilAKeyIsPressed) {
  temp_folder program;
  pod_without_carts(program);
  // A 200x100 picture: left half pure red, right half transparent.
  std::vector<uint8_t> rgba(200 * 100 * 4, 0);
  for (int i = 0; i < 200 * 100; i++)
    if (i % 200 < 100) {
      rgba[i * 4] = 255;
      rgba[i * 4 + 3] = 255;
    }
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = 200;
  image.height = 100;
  image.format = PNG_FORMAT_RGBA;
  ASSERT_TRUE(png_image_write_to_file(&image, (program / "splash.png").c_str(), 0, rgba.data(), 0, nullptr));

  console_rig rig({}, program.path);
  ASSERT_EQ(pstate.mode, MODE_SPLASH);
  for (int i = 0; i < 20; i++) rig.frame();
  ASSERT_EQ(pstate.mode, MODE_SPLASH);
  const vell_bitmap *page = vell_back_page();
  ASSERT_EQ(page->w, 200);
  ASSERT_EQ(page->h, 100);
  const uint8_t *pal = vell_engine_palette();
  const uint32_t red = vell_getpixel(page, 10, 10);
  EXPECT_NE(red, 0u);
  EXPECT_GT(pal[red * 3], 150) << "the nearest console colour to red";
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
    if (pstate.reset_glitch == 2) {
      int changed = 0;
      for (int32_t a = 0; a < k_mem_size; a++) changed += pstate.ram[a] != ram[a];
      EXPECT_GT(changed, 10) << "memory scribbled";
      EXPECT_EQ(orrery_peek(&pstate, pstate.cart, 0x5f2e), 1);
      EXPECT_EQ(pstate.cdata[0], cdata0) << "persistent data untouched";
    }
  }
  EXPECT_EQ(states, (std::vector<int32_t>{2, 3, 4, 0, 0}));
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
  // The run request posted when the glitch ended was carried out at the next update.
  EXPECT_EQ(pstate.pending_request, REQ_NONE);
}
