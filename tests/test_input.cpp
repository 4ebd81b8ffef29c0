#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>

#include "platform/config.h"
#include "platform/input.h"
#include "platform/key_names.h"
#include "platform/system.h"
#include "shell/engine.h"
#include "shell/hooks.h"
#include "support/sdl_devices.h"
#include "support/temp_home.h"

namespace {

uint32_t g_now = 0;
uint32_t fake_clock() { return g_now; }

uint8_t g_keys[512];
const uint8_t *fake_keys(int *count) {
  *count = 512;
  return g_keys;
}

// A temporary home, the platform started without a window, an injected
// clock and keyboard, and no sleeping between polls.
struct input_rig {
  temp_home home;
  input_rig() {
    g_now = 1000;
    memset(g_keys, 0, sizeof g_keys);
    orrery_install_hooks();
    vell_set_time_func(fake_clock);
    vell_set_key_source(fake_keys);
    vell_config.foreground_sleep_ms = 0;
    vell_config.background_sleep_ms = 0;
    vell_system_init();
    vell_keys_init();
  }
  ~input_rig() {
    vell_set_key_source(nullptr);
    vell_set_time_func(nullptr);
    vell_system_exit();
  }
  // One loop iteration at time t.
  void poll_at(uint32_t t) {
    g_now = t;
    vell_handle_system_messages();
  }
};

constexpr int32_t k_z = 29, k_a = 4, k_lshift = 225, k_rshift = 229, k_lctrl = 224, k_caps = 57;

}  // namespace

TEST(KeyTables, HeldKeyPressesThenRepeatsAfter500MsEvery80Ms) {
  input_rig rig;
  rig.poll_at(1000);
  EXPECT_EQ(vell_get_key_state(k_z), 0);

  g_keys[k_z] = 1;  // pressed just before this poll
  rig.poll_at(1016);
  EXPECT_EQ(vell_get_key_state(k_z), 3) << "first poll with the key down";
  // The press was seen at the previous poll: the repeat delay starts here.
  rig.poll_at(1032);
  EXPECT_EQ(vell_get_key_state(k_z), 1);
  for (uint32_t t = 1048; t < 1532; t += 16) {
    rig.poll_at(t);
    EXPECT_EQ(vell_get_key_state(k_z), 1) << "no repeat yet at " << t;
  }
  rig.poll_at(1532);
  EXPECT_EQ(vell_get_key_state(k_z), 3) << "first repeat 500 ms after the press was seen";
  rig.poll_at(1548);
  EXPECT_EQ(vell_get_key_state(k_z), 1);
  rig.poll_at(1611);
  EXPECT_EQ(vell_get_key_state(k_z), 1);
  rig.poll_at(1612);
  EXPECT_EQ(vell_get_key_state(k_z), 3) << "then every 80 ms";
  rig.poll_at(1692);
  EXPECT_EQ(vell_get_key_state(k_z), 3);

  g_keys[k_z] = 0;
  rig.poll_at(1700);
  EXPECT_EQ(vell_get_key_state(k_z), 0);
}

TEST(KeyTables, SecondPressRestartsTheSharedRepeatDelay) {
  input_rig rig;
  g_keys[k_z] = 1;
  rig.poll_at(1000);
  rig.poll_at(1010);  // delay starts: repeat due at 1510
  rig.poll_at(1400);
  g_keys[k_a] = 1;
  rig.poll_at(1450);
  EXPECT_EQ(vell_get_key_state(k_a), 3);
  rig.poll_at(1460);  // the new press moves the deadline to 1960
  rig.poll_at(1520);
  EXPECT_EQ(vell_get_key_state(k_z), 1) << "held key waits for the new delay";
  rig.poll_at(1960);
  EXPECT_EQ(vell_get_key_state(k_z), 3);
  EXPECT_EQ(vell_get_key_state(k_a), 3);
}

TEST(KeyTables, PseudoKeysBlockingAndAnyKey) {
  input_rig rig;
  rig.poll_at(1000);
  EXPECT_EQ(vell_get_key_state(-6), 0);
  g_keys[k_rshift] = 1;
  g_keys[k_caps] = 1;
  rig.poll_at(1010);
  EXPECT_EQ(vell_get_key_state(-6), 3);
  rig.poll_at(1020);
  EXPECT_EQ(vell_get_key_state(-6), 1);
  EXPECT_EQ(vell_get_key_state(-4), 0);
  EXPECT_EQ(vell_get_any_key_down(), k_rshift) << "Caps Lock is not counted";
  g_keys[k_lctrl] = 1;  // modifiers are read as modifiers
  rig.poll_at(1030);
  EXPECT_EQ(vell_get_key_state(-5), 3);
  EXPECT_EQ(vell_get_key_state(k_lshift), 0);

  vell_block_key(k_rshift);
  rig.poll_at(1040);
  EXPECT_EQ(vell_get_key_state(k_rshift), 0) << "blocked while held";
  g_keys[k_rshift] = 0;
  rig.poll_at(1050);
  g_keys[k_rshift] = 1;
  rig.poll_at(1060);
  EXPECT_EQ(vell_get_key_state(k_rshift), 3) << "block ends with the release";
  EXPECT_EQ(vell_get_key_state(600), 0);
  EXPECT_EQ(vell_get_key_state(-9), 0);
}

TEST(KeyBuffer, KeyCodesTextAndShortcuts) {
  input_rig rig;
  rig.poll_at(1000);
  push_key_down(40);  // Return
  push_key_down(42);  // Backspace
  push_key_down(41);  // Escape
  push_key_down(k_a); // a letter alone has no code
  push_text_input("q");
  push_text_input("\xc3\xa9");  // more than one byte: not a key
  rig.poll_at(1100);             // well after activation, so Tab counts
  push_key_down(43);
  rig.poll_at(1110);
  ASSERT_EQ(vell_keypressed(), 1);
  const int32_t expected[] = {13, 8, 27, 'q', 9};
  for (int32_t code : expected) EXPECT_EQ(vell_readkey(), code);
  EXPECT_EQ(vell_keypressed(), 0);
  EXPECT_EQ(vell_readkey(), 0) << "no window: an empty buffer returns at once";

  g_keys[k_lctrl] = 1;
  rig.poll_at(1120);
  push_key_down(k_a);
  push_key_down(30);  // Ctrl+1 toggles the frame-rate display instead
  rig.poll_at(1130);
  EXPECT_EQ(vell_readkey(), 'a');
  EXPECT_EQ(vell_config.show_fps, 1);
  g_keys[k_lshift] = 1;  // with Shift, Ctrl+letter has no code
  rig.poll_at(1140);
  push_key_down(k_a);
  rig.poll_at(1150);
  EXPECT_EQ(vell_keypressed(), 0);
}

TEST(KeyBuffer, HoldsThirtyTwoAndReportsRepeatsAsMinusOne) {
  input_rig rig;
  rig.poll_at(1000);
  for (int i = 0; i < 40; i++) push_key_down(40);
  rig.poll_at(1010);
  int n = 0;
  while (vell_keypressed()) {
    EXPECT_EQ(vell_readkey(), 13);
    n++;
  }
  EXPECT_EQ(n, 32);

  // A held key without a code: nothing until it repeats, then -1 per repeat.
  g_keys[k_z] = 1;
  rig.poll_at(1020);
  rig.poll_at(1030);
  EXPECT_EQ(vell_keypressed(), 0);
  rig.poll_at(1530);
  ASSERT_EQ(vell_keypressed(), 1);
  EXPECT_EQ(vell_readkey(), -1);
  rig.poll_at(1540);
  EXPECT_EQ(vell_keypressed(), 0) << "held, not repeated";
}

TEST(SystemMessages, WindowCloseSetsQuitAndWheelAccumulates) {
  input_rig rig;
  push_mouse_wheel(0, 2);
  push_mouse_wheel(1, -5);
  push_window_close();
  rig.poll_at(1000);
  EXPECT_EQ(vell_state.quit, 1);
  EXPECT_NE(rig.home.log().find("window closed (7)"), std::string::npos);
  int32_t x, y;
  vell_take_mouse_wheel(&x, &y);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(y, -3);
  vell_take_mouse_wheel(&x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST(SystemMessages, QuitRequestAndAltF4EndTheProcessAfterTheExitSequence) {
  input_rig rig;
  vell_state.initialised = 1;  // so that the exit sequence runs and writes config.txt
  const std::string config = rig.home.path + "config.txt";
  EXPECT_EXIT(
      {
        push_quit();
        rig.poll_at(1000);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_NE(read_file(config).find("// Configuration for"), std::string::npos);
  unlink(config.c_str());
  g_keys[226] = 1;  // Left Alt
  EXPECT_EXIT(
      {
        rig.poll_at(1000);
        push_key_down(61);  // F4
        rig.poll_at(1010);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_NE(read_file(config).find("// Configuration for"), std::string::npos);
  vell_state.initialised = 0;
}

TEST(KeyNames, UpperCasePlatformNamesByScancode) {
  input_rig rig;
  EXPECT_STREQ(vell_get_key_name(4), "A");
  EXPECT_STREQ(vell_get_key_name(224), "LEFT CTRL");
  EXPECT_STREQ(vell_get_key_name(40), "RETURN");
  EXPECT_STREQ(vell_get_key_name(0), "");
  EXPECT_STREQ(vell_get_key_name(311), "");
  EXPECT_STREQ(vell_get_key_name(-1), "");
}
