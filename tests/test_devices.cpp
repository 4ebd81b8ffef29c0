#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/audio_device.h"
#include "platform/clipboard.h"
#include "platform/config.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"
#include "support/sdl_devices.h"
#include "support/temp_home.h"

namespace {

// The platform started in a temporary home, stopped at the end.
struct platform_rig {
  temp_home home;
  platform_rig() {
    vell_config.foreground_sleep_ms = 0;
    vell_config.background_sleep_ms = 0;
    vell_system_init();
    vell_keys_init();
  }
  ~platform_rig() {
    vell_joystick_exit();
    vell_sound_exit_plat();
    vell_system_exit();
  }
};

}  // namespace

TEST(Controllers, MappingFilesAreReadAndTheHomeFileIsCreated) {
  platform_rig rig;
  // A valid mapping line, a comment and a broken line.
  write_file(rig.home.path + "sdl_controllers.txt",
             "// my pads\n"
             "03000000aaaa0000bbbb000000000000,Test Pad,a:b0,b:b1,x:b2,y:b3,start:b6,leftx:a0,lefty:a1,\n"
             "\n"
             "nonsense\n");
  vell_joystick_init();
  const std::string log = rig.home.log();
  EXPECT_NE(log.find(" added controller mapping: 03000000aaaa0000bbbb000000000000,Test Pad"), std::string::npos);
  EXPECT_NE(log.find(" failed to add controller mapping: nonsense"), std::string::npos);
  EXPECT_EQ(log.find("my pads"), std::string::npos);
  EXPECT_NE(log.find("searching for joysticks\n"), std::string::npos);
  EXPECT_NE(log.find("found 0 joysticks\n"), std::string::npos);
  EXPECT_EQ(vell_count_joysticks(), 0);
  int32_t x = 5, y = 5;
  uint32_t b = 5;
  EXPECT_EQ(vell_get_joystick(0, &x, &y, &b), 1);
  EXPECT_EQ(x | y | static_cast<int32_t>(b), 0);
  vell_get_joystick(0, &x, &y, &b);
  const std::string after = rig.home.log();
  const size_t first = after.find("** could not read joystick 0 (not attached)");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(after.find("** could not read joystick 0", first + 1), std::string::npos) << "reported once";
}

TEST(Controllers, HomeMappingFileIsCreatedWithItsCommentLine) {
  platform_rig rig;
  vell_joystick_init();
  EXPECT_EQ(read_file(rig.home.path + "sdl_controllers.txt"), "// add SDL2 game controller mappings to this file\n");
}

TEST(Controllers, ReadingsWaitForReleaseAndCentreAndHotPlugWorks) {
  platform_rig rig;
  const int device = attach_virtual_controller();
  ASSERT_GE(device, 0);
  // The stick rests fully right and A is held when the console starts.
  set_virtual_axis(0, 32767);
  set_virtual_axis(1, -32768);
  set_virtual_button(0, true);
  set_virtual_button(1, false);
  vell_joystick_init();
  ASSERT_EQ(vell_count_joysticks(), 1);
  EXPECT_EQ(vell_count_joystick_buttons(0), 21);
  EXPECT_NE(rig.home.log().find("Controller 0: "), std::string::npos);

  int32_t x, y;
  uint32_t b;
  EXPECT_EQ(vell_get_joystick(0, &x, &y, &b), 0);
  EXPECT_EQ(x, 0) << "not yet seen centred";
  EXPECT_EQ(y, 0);
  EXPECT_EQ(b, 0u) << "A not yet seen released";
  set_virtual_button(1, true);
  vell_get_joystick(0, &x, &y, &b);
  EXPECT_EQ(b, 2u) << "B was seen released before it was pressed";
  const std::string log = rig.home.log();
  EXPECT_NE(log.find("** x axis 0 not validated on joystick 0"), std::string::npos);
  EXPECT_NE(log.find("** y axis 1 not validated on joystick 0"), std::string::npos);
  EXPECT_NE(log.find("** button 0 not validated on joystick 0"), std::string::npos);

  set_virtual_axis(0, 100);
  set_virtual_button(0, false);
  vell_get_joystick(0, &x, &y, &b);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 0) << "y still waits for the centre";
  set_virtual_axis(0, 32767);
  set_virtual_button(0, true);
  vell_get_joystick(0, &x, &y, &b);
  EXPECT_EQ(x, 32767);
  EXPECT_EQ(b, 3u);

  // Plugged in while running: picked up by event handling; unplugged: gone.
  const int second = attach_virtual_controller();
  ASSERT_GE(second, 0);
  vell_handle_system_messages();
  EXPECT_EQ(vell_count_joysticks(), 2);
  detach_virtual_controller(second);
  vell_handle_system_messages();
  EXPECT_EQ(vell_count_joysticks(), 1);
}

namespace {

std::atomic<int> g_calls{0};
std::atomic<int> g_last_count{0};
void counting_mixer(int16_t *samples, int count) {
  for (int i = 0; i < count; i++) samples[i] = 0;
  g_last_count = count;
  g_calls++;
}

bool wait_for_calls(int more_than) {
  for (int i = 0; i < 500; i++) {
    if (g_calls.load() > more_than) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace

TEST(AudioDevice, OpensForSixteenVoicesAndRunsTheMixerOutsideTheLock) {
  platform_rig rig;
  vell_config.mix_buffer_size = 512;
  vell_sound_init_plat(4);
  EXPECT_EQ(vell_sound_running(), 0) << "only the 16-voice sound system opens the device";
  vell_set_audio_callback(counting_mixer);
  vell_sound_init_plat(16);
  ASSERT_EQ(vell_sound_running(), 1);
  const std::string log = rig.home.log();
  EXPECT_NE(log.find("vell_sound_init\nSDL_INIT_AUDIO ok\nSDL_OpenAudio ok\n"), std::string::npos) << log;
  ASSERT_TRUE(wait_for_calls(0));
  EXPECT_EQ(g_last_count.load(), 512);

  // Counted lock: the callback stays out until the last unlock.
  vell_lock_audio_plat();
  vell_lock_audio_plat();
  const int before = g_calls.load();
  vell_unlock_audio_plat();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(g_calls.load(), before) << "still locked once";
  vell_unlock_audio_plat();
  EXPECT_TRUE(wait_for_calls(before));
  vell_unlock_audio_plat();  // an extra unlock is ignored
  vell_set_audio_callback(nullptr);
}

TEST(AudioDevice, HeadlessOpensNoDevice) {
  platform_rig rig;
  vell_config.headless = 1;
  vell_sound_init_plat(16);
  EXPECT_EQ(vell_sound_running(), 0);
  vell_lock_audio_plat();
  vell_unlock_audio_plat();
  EXPECT_EQ(rig.home.log().find("SDL_INIT_AUDIO"), std::string::npos);
}

TEST(Clipboard, TextRoundTripsThroughFilesWithoutADisplay) {
  platform_rig rig;
  EXPECT_EQ(vell_has_clipboard_text(), 0);
  EXPECT_EQ(vell_save_clipboard_to_file((rig.home.path + "clip.txt").c_str()), 1) << "no text";
  vell_set_clipboard_text("line one\nline two");
  EXPECT_EQ(vell_has_clipboard_text(), 1);
  EXPECT_EQ(vell_get_clipboard_text(), "line one\nline two");
  EXPECT_EQ(vell_save_clipboard_to_file((rig.home.path + "clip.txt").c_str()), 0);
  EXPECT_EQ(read_file(rig.home.path + "clip.txt"), "line one\nline two");
  EXPECT_EQ(vell_save_clipboard_to_file((rig.home.path + "no/such/clip.txt").c_str()), 1);

  write_file(rig.home.path + "in.txt", "from a file");
  EXPECT_EQ(vell_load_clipboard_from_file((rig.home.path + "in.txt").c_str()), 0);
  EXPECT_EQ(vell_get_clipboard_text(), "from a file");
  EXPECT_EQ(vell_load_clipboard_from_file((rig.home.path + "none.txt").c_str()), 1);
  EXPECT_EQ(vell_get_clipboard_text(), "from a file");

  write_file(rig.home.path + "big.txt", std::string(k_vell_clipboard_file_max + 100, 'x'));
  EXPECT_EQ(vell_load_clipboard_from_file((rig.home.path + "big.txt").c_str()), 0);
  EXPECT_EQ(vell_get_clipboard_text().size(), k_vell_clipboard_file_max);
}
