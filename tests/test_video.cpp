#include <gtest/gtest.h>

#include <cstdlib>

#include "gfx/bitmap.h"
#include "gfx/engine_font.h"
#include "platform/clipboard.h"
#include "platform/config.h"
#include "platform/input.h"
#include "platform/system.h"
#include "platform/video.h"
#include "support/temp_home.h"

namespace {

uint32_t g_now = 0;
uint32_t fake_clock() { return g_now; }

// The platform with a windowed 580x540 screen on SDL's dummy video driver.
struct window_rig {
  temp_home home;
  explicit window_rig(int software = 0) {
    vell_config.windowed = 1;
    vell_config.software_blit = software;
    vell_config.foreground_sleep_ms = 0;
    vell_system_init();
    vell_text_init();
    vell_video_init();
    vell_set_window_size(580, 540);
    vell_set_screen(128, 128, 8, 0x100);
  }
  ~window_rig() {
    vell_video_exit();
    vell_text_exit();
    vell_set_time_func(nullptr);
    vell_system_exit();
  }
};

}  // namespace

TEST(Screen, SetUpLogsAndLaysThePageOutInTheWindow) {
  window_rig rig;
  ASSERT_EQ(vell_has_window(), 1);
  EXPECT_EQ(vell_get_windowed(), 1);
  const std::string log = rig.home.log();
  EXPECT_NE(log.find("vell_set_screen 128 128 8 100\n set pixel_perfect 1\n window size: 580 540\n"),
            std::string::npos)
      << log;
  ASSERT_NE(vell_back_page(), nullptr);
  EXPECT_EQ(vell_back_page()->w, 128);
  int32_t w, h;
  vell_get_drawable_size(&w, &h);
  EXPECT_EQ(w, 580);
  EXPECT_EQ(h, 540);
  const vell_rect r = vell_get_dest_rect();
  EXPECT_EQ(r.x, 34);
  EXPECT_EQ(r.y, 14);
  EXPECT_EQ(r.w, 512);
  EXPECT_EQ(r.h, 512);

  // Presenting works on both paths, with the frame-rate overlay too.
  vell_config.show_fps = 1;
  vell_putpixel(vell_back_page(), 3, 3, 7);
  vell_blit_to_video_plat(vell_back_page());
  vell_blit_to_video_plat(vell_back_page());
  // A page of another size is laid out anew.
  vell_resize_back_page(64, 32);
  vell_blit_to_video_plat(vell_back_page());
  EXPECT_EQ(vell_get_dest_rect().w, 576);
  EXPECT_EQ(vell_get_dest_rect().y, 126);

  // With a display the platform's clipboard is used.
  vell_set_clipboard_text("through the platform");
  EXPECT_EQ(vell_get_clipboard_text(), "through the platform");

  // Full screen and back make the window anew.
  vell_toggle_fullscreen();
  EXPECT_EQ(vell_get_windowed(), 0);
  EXPECT_EQ(vell_has_window(), 1);
  vell_set_windowed(1);
  EXPECT_EQ(vell_get_windowed(), 1);
  vell_get_drawable_size(&w, &h);
  EXPECT_EQ(w, 580);
}

TEST(Screen, SoftwarePathPresents) {
  window_rig rig(1);
  vell_config.show_fps = 1;
  vell_blit_to_video_plat(vell_back_page());
  vell_blit_to_video_plat(vell_back_page());
  EXPECT_EQ(vell_get_dest_rect().x, 34);
  EXPECT_EQ(rig.home.log().find("could not create sdl_renderer"), std::string::npos);
}

TEST(Screen, MouseMapsThroughThePictureAndHonoursRequestedPositions) {
  window_rig rig;
  int32_t x, y, b;
  vell_warp_system_mouse(34, 14);
  vell_get_mouse(&x, &y, &b);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  vell_warp_system_mouse(545, 525);
  vell_get_mouse(&x, &y, &b);
  EXPECT_EQ(x, 127);
  EXPECT_EQ(y, 127);
  EXPECT_EQ(b, 0);

  vell_store_mouse_position();
  vell_warp_system_mouse(545 - 40, 525 - 8);
  int32_t dx, dy;
  vell_get_mouse_deltas(&dx, &dy);
  EXPECT_EQ(dx, -10);
  EXPECT_EQ(dy, -2);

  vell_set_mouse(64, 64);
  vell_get_mouse(&x, &y, &b);
  EXPECT_EQ(x, 64);
  EXPECT_EQ(y, 64);
  vell_warp_system_mouse(300, 517);  // moved on one axis only
  vell_get_mouse(&x, &y, &b);
  EXPECT_EQ(x, 64);
  EXPECT_EQ(y, 64);
  vell_warp_system_mouse(301, 300);  // now on both
  vell_get_mouse(&x, &y, &b);
  EXPECT_EQ(x, 66);
  EXPECT_EQ(y, 71);
}

TEST(Screen, HeadlessMakesNoWindowButKeepsThePage) {
  temp_home home;
  vell_config.headless = 1;
  vell_config.windowed = 1;
  vell_system_init();
  vell_video_init();
  vell_set_screen(128, 128, 8, 0x100);
  EXPECT_EQ(vell_has_window(), 0);
  ASSERT_NE(vell_back_page(), nullptr);
  vell_blit_to_video_plat(vell_back_page());
  int32_t x, y, b;
  vell_get_mouse(&x, &y, &b);
  EXPECT_EQ(x | y | b, 0);
  vell_set_mouse(10, 20);
  vell_get_mouse(&x, &y, &b);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  EXPECT_EQ(home.log().find("video driver:"), std::string::npos);
  vell_video_exit();
  vell_system_exit();
}

TEST(Screen, FrameRateIsSmoothedTowardTheMeasuredRate) {
  temp_home home;
  vell_config.headless = 1;
  vell_set_time_func(fake_clock);
  g_now = 1000;
  EXPECT_EQ(vell_get_fps(), 60);
  vell_blit_to_video_plat(nullptr);  // the first present only starts the clock
  EXPECT_EQ(vell_get_fps(), 60);
  // 33 ms frames: raw rate 1000 / 33 + 1 = 31. Each step goes 1/16 of the
  // way there and then 1/16 of a frame further.
  for (int i = 0; i < 200; i++) {
    g_now += 33;
    vell_blit_to_video_plat(nullptr);
  }
  EXPECT_EQ(vell_get_fps(), 31);
  // No time at all counts as 1 ms: raw 1001; one step from 31.0 gives
  // (15 * 31 + 1001) / 16 + 1/16 = 91.6875.
  vell_blit_to_video_plat(nullptr);
  EXPECT_EQ(vell_get_fps(), 91);
  vell_set_time_func(nullptr);
}

TEST(Screen, ExecModeRunsWithoutDisplayOrSoundDevice) {
  temp_home home;
  write_file(home.path + "cart.q7", "orrery cartridge // test\nversion 12\n__lua__\nx = 1\n");
  // No display and the platform's real drivers: nothing may try to use them.
  const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER '" +
                          std::string(ORRERY_BINARY) + "' -home '" + home.path + "' -x '" + home.path +
                          "cart.q7' >'" + home.path + "out.txt' 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << read_file(home.path + "out.txt");
  const std::string log = read_file(home.path + "log.txt");
  EXPECT_NE(log.find("vell_set_screen 128 128 8 100"), std::string::npos) << log;
  EXPECT_EQ(log.find("video driver:"), std::string::npos);
  EXPECT_EQ(log.find("SDL_INIT_AUDIO"), std::string::npos);
  EXPECT_EQ(log.find("FATAL"), std::string::npos);
  EXPECT_NE(log.find("vell_config_save"), std::string::npos);
}
