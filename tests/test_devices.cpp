// Devices of the platform: game controllers with their mapping files, the
// audio device and its counted lock, and the clipboard without a display.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/audio_device.h"
#include "platform/clipboard.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"
#include "shell/config.h"
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

std::vector<uint32_t> reading(int32_t device) {
  int32_t x, y;
  uint32_t b;
  const int32_t status = vell_get_joystick(device, &x, &y, &b);
  return {static_cast<uint32_t>(status), static_cast<uint32_t>(x), static_cast<uint32_t>(y), b};
}

std::atomic<int> g_calls{0};

bool wait_for_calls(int more_than) {
  for (int i = 0; i < 500 && g_calls.load() <= more_than; i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return g_calls.load() > more_than;
}

}  // namespace

TEST(Controllers, MappingFilesAreReadAndTheHomeFileIsCreated) {
  platform_rig rig;
  vell_joystick_init();
  EXPECT_EQ(read_file(rig.home.path + "sdl_controllers.txt"), "// add SDL2 game controller mappings to this file\n");
  vell_joystick_exit();
  // A valid mapping line, a comment and a broken line.
  write_file(rig.home.path + "sdl_controllers.txt",
             "// my pads\n03000000aaaa0000bbbb000000000000,Test Pad,a:b0,b:b1,x:b2,y:b3,start:b6,leftx:a0,lefty:a1,\n"
             "\nnonsense\n");
  vell_joystick_init();
  const std::string log = rig.home.log();
  EXPECT_NE(log.find(" added controller mapping: 03000000aaaa0000bbbb000000000000,Test Pad"), std::string::npos);
  EXPECT_NE(log.find(" failed to add controller mapping: nonsense"), std::string::npos);
  EXPECT_EQ(log.find("my pads"), std::string::npos);
  EXPECT_EQ(vell_count_joysticks(), 0);
  EXPECT_EQ(reading(0), (std::vector<uint32_t>{1, 0, 0, 0}));
  reading(0);
  const std::string after = rig.home.log();
  const size_t first = after.find("** could not read joystick 0 (not attached)");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(after.find("** could not read joystick 0", first + 1), std::string::npos) << "reported once";
}

TEST(Controllers, ReadingsWaitForReleaseAndCentreAndHotPlugWorks) {
  platform_rig rig;
  ASSERT_GE(attach_virtual_controller(), 0);
  // The stick rests fully right and up, and A is held, when the console starts.
  set_virtual_axis(0, 32767);
  set_virtual_axis(1, -32768);
  set_virtual_button(0, true);
  vell_joystick_init();
  ASSERT_EQ(vell_count_joysticks(), 1);
  EXPECT_EQ(vell_count_joystick_buttons(0), 21);
  EXPECT_EQ(reading(0), (std::vector<uint32_t>{0, 0, 0, 0})) << "not yet seen centred or released";
  set_virtual_button(1, true);
  EXPECT_EQ(reading(0)[3], 2u) << "B was seen released before it was pressed";
  for (const char *line : {"x axis 0", "y axis 1", "button 0"})
    EXPECT_NE(rig.home.log().find(std::string("** ") + line + " not validated on joystick 0"), std::string::npos);
  set_virtual_axis(0, 100);
  set_virtual_button(0, false);
  EXPECT_EQ(reading(0), (std::vector<uint32_t>{0, 100, 0, 2})) << "y still waits for the centre";
  set_virtual_axis(0, 32767);
  set_virtual_button(0, true);
  EXPECT_EQ(reading(0), (std::vector<uint32_t>{0, 32767, 0, 3}));
  // Plugged in while running: picked up by event handling; unplugged: gone.
  const int second = attach_virtual_controller();
  vell_handle_system_messages();
  EXPECT_EQ(vell_count_joysticks(), 2);
  detach_virtual_controller(second);
  vell_handle_system_messages();
  EXPECT_EQ(vell_count_joysticks(), 1);
}

TEST(AudioDevice, OpensOnlyForSixteenVoicesWithAWindowAndRunsTheMixerOutsideTheLock) {
  platform_rig rig;
  vell_config.mix_buffer_size = 512;
  vell_config.headless = 1;
  vell_sound_init_plat(16);
  EXPECT_EQ(vell_sound_running(), 0) << "headless";
  vell_config.headless = 0;
  vell_sound_init_plat(4);
  EXPECT_EQ(vell_sound_running(), 0) << "only the 16-voice sound system opens the device";
  static std::atomic<int> last_count{0};
  vell_set_audio_callback([](int16_t *samples, int count) {
    std::fill(samples, samples + count, 0);
    last_count = count;
    g_calls++;
  });
  vell_sound_init_plat(16);
  ASSERT_EQ(vell_sound_running(), 1);
  EXPECT_NE(rig.home.log().find("vell_sound_init\nSDL_INIT_AUDIO ok\nSDL_OpenAudio ok\n"), std::string::npos);
  ASSERT_TRUE(wait_for_calls(0));
  EXPECT_EQ(last_count.load(), 512);
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

TEST(Clipboard, TextRoundTripsThroughFilesWithoutADisplay) {
  platform_rig rig;
  const std::string dir = rig.home.path;
  EXPECT_EQ(vell_save_clipboard_to_file((dir + "clip.txt").c_str()), 1) << "no text";
  vell_set_clipboard_text("line one\nline two");
  EXPECT_EQ(vell_save_clipboard_to_file((dir + "clip.txt").c_str()), 0);
  EXPECT_EQ(read_file(dir + "clip.txt"), "line one\nline two");
  EXPECT_EQ(vell_save_clipboard_to_file((dir + "no/such/clip.txt").c_str()), 1);
  write_file(dir + "in.txt", "from a file");
  EXPECT_EQ(vell_load_clipboard_from_file((dir + "in.txt").c_str()), 0);
  EXPECT_EQ(vell_load_clipboard_from_file((dir + "none.txt").c_str()), 1);
  EXPECT_EQ(vell_get_clipboard_text(), "from a file");
  write_file(dir + "big.txt", std::string(k_vell_clipboard_file_max + 100, 'x'));
  EXPECT_EQ(vell_load_clipboard_from_file((dir + "big.txt").c_str()), 0);
  EXPECT_EQ(vell_get_clipboard_text().size(), k_vell_clipboard_file_max);
}
