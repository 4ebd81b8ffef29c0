// Keyboard tables with press, hold and repeat, pseudo-keys and blocking, the
// key buffer, window and quit messages, and key names, on an injected clock
// and keyboard.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/input.h"
#include "platform/key_names.h"
#include "platform/system.h"
#include "shell/config.h"
#include "shell/engine.h"
#include "support/console_rig.h"
#include "support/sdl_devices.h"
#include "support/temp_home.h"

namespace {

// A temporary home, the platform started without a window, the rig's clock
// and keyboard, and no sleeping between polls.
struct input_rig {
  temp_home home;
  input_rig() {
    g_rig_now = 1000;
    memset(g_rig_keys, 0, sizeof g_rig_keys);
    vell_set_time_func(rig_clock);
    vell_set_key_source(rig_keys);
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
  // One loop iteration at time t; returns the key's state after it.
  int32_t poll_at(uint32_t t, int32_t key = 0) {
    g_rig_now = t;
    vell_handle_system_messages();
    return vell_get_key_state(key);
  }
};

constexpr int32_t k_z = 29, k_a = 4, k_lshift = 225, k_rshift = 229, k_lctrl = 224, k_caps = 57;

}  // namespace

TEST(KeyTables, HeldKeyRepeatsAfter500MsThenEvery80MsAndANewPressRestartsTheDelay) {
  input_rig rig;
  EXPECT_EQ(rig.poll_at(1000, k_z), 0);
  g_rig_keys[k_z] = 1;
  // The press is seen at 1016; the repeat delay starts at the poll after it.
  std::vector<uint32_t> pressed;
  for (uint32_t t = 1016; t <= 1692; t += (t < 1600 ? 4 : 1))
    if (rig.poll_at(t, k_z) == 3) pressed.push_back(t);
  EXPECT_EQ(pressed, (std::vector<uint32_t>{1016, 1520, 1600, 1680}));
  g_rig_keys[k_z] = 0;
  EXPECT_EQ(rig.poll_at(1700, k_z), 0);
  // A second key's press moves the shared deadline.
  g_rig_keys[k_z] = 1;
  rig.poll_at(2000);
  rig.poll_at(2010);  // repeat due at 2510
  g_rig_keys[k_a] = 1;
  EXPECT_EQ(rig.poll_at(2450, k_a), 3);
  rig.poll_at(2460);  // now due at 2960
  EXPECT_EQ(rig.poll_at(2520, k_z), 1) << "the held key waits for the new delay";
  EXPECT_EQ(rig.poll_at(2960, k_z), 3);
  EXPECT_EQ(vell_get_key_state(k_a), 3);
}

TEST(KeyTables, PseudoKeysBlockingAndAnyKey) {
  input_rig rig;
  g_rig_keys[k_rshift] = 1;
  g_rig_keys[k_caps] = 1;
  EXPECT_EQ(rig.poll_at(1010, -6), 3);  // either shift
  EXPECT_EQ(rig.poll_at(1020, -6), 1);
  EXPECT_EQ(vell_get_key_state(-4), 0);
  EXPECT_EQ(vell_get_any_key_down(), k_rshift) << "Caps Lock is not counted";
  g_rig_keys[k_lctrl] = 1;  // modifiers are read as modifiers
  EXPECT_EQ(rig.poll_at(1030, -5), 3);
  EXPECT_EQ(vell_get_key_state(k_lshift), 0);
  vell_block_key(k_rshift);
  EXPECT_EQ(rig.poll_at(1040, k_rshift), 0) << "blocked while held";
  g_rig_keys[k_rshift] = 0;
  rig.poll_at(1050);
  g_rig_keys[k_rshift] = 1;
  EXPECT_EQ(rig.poll_at(1060, k_rshift), 3) << "the block ends with the release";
  EXPECT_EQ(vell_get_key_state(600) + vell_get_key_state(-9), 0);
  EXPECT_STREQ(vell_get_key_name(224), "LEFT CTRL");
  for (int32_t code : {0, 311, -1}) EXPECT_STREQ(vell_get_key_name(code), "") << code;
}

TEST(KeyBuffer, KeyCodesTextShortcutsAndItsLimit) {
  input_rig rig;
  rig.poll_at(1000);
  for (int32_t sc : {40, 42, 41, k_a}) push_key_down(sc);  // Return, Backspace, Escape; a letter alone has no code
  push_text_input("q");
  push_text_input("\xc3\xa9");  // more than one byte: not a key
  rig.poll_at(1100);           // well after activation, so Tab counts
  push_key_down(43);
  rig.poll_at(1110);
  std::vector<int32_t> codes;
  while (vell_keypressed()) codes.push_back(vell_readkey());
  EXPECT_EQ(codes, (std::vector<int32_t>{13, 8, 27, 'q', 9}));
  EXPECT_EQ(vell_readkey(), 0) << "no window: an empty buffer returns at once";
  g_rig_keys[k_lctrl] = 1;
  rig.poll_at(1120);
  push_key_down(k_a);
  push_key_down(30);  // Ctrl+1 toggles the frame-rate display instead
  rig.poll_at(1130);
  EXPECT_EQ(vell_readkey(), 'a');
  EXPECT_EQ(vell_config.show_fps, 1);
  g_rig_keys[k_lshift] = 1;  // with Shift, Ctrl+letter has no code
  rig.poll_at(1140);
  push_key_down(k_a);
  rig.poll_at(1150);
  EXPECT_EQ(vell_keypressed(), 0);
  g_rig_keys[k_lshift] = g_rig_keys[k_lctrl] = 0;
  // The buffer holds 32; a held key without a code gives -1 per repeat.
  for (int i = 0; i < 40; i++) push_key_down(40);
  rig.poll_at(1200);
  int n = 0;
  for (; vell_keypressed(); n++) vell_readkey();
  EXPECT_EQ(n, 32);
  g_rig_keys[k_z] = 1;
  rig.poll_at(1210);
  rig.poll_at(1220);
  EXPECT_EQ(vell_keypressed(), 0);
  rig.poll_at(1720);
  EXPECT_EQ(vell_readkey(), -1);
  rig.poll_at(1730);
  EXPECT_EQ(vell_keypressed(), 0) << "held, not repeated";
}

TEST(SystemMessages, WindowCloseWheelQuitAndAltF4) {
  input_rig rig;
  push_mouse_wheel(0, 2);
  push_mouse_wheel(1, -5);
  push_window_close();
  rig.poll_at(1000);
  EXPECT_EQ(vell_state.quit, 1);
  EXPECT_NE(rig.home.log().find("window closed (7)"), std::string::npos);
  int32_t x, y;
  vell_take_mouse_wheel(&x, &y);
  EXPECT_EQ((std::vector<int32_t>{x, y}), (std::vector<int32_t>{1, -3}));
  vell_take_mouse_wheel(&x, &y);
  EXPECT_EQ((std::vector<int32_t>{x, y}), (std::vector<int32_t>{0, 0}));
  // The quit request and Alt+F4 end the process after the exit sequence.
  vell_state.initialised = 1;  // so that the exit sequence runs and writes config.txt
  const std::string config = rig.home.path + "config.txt";
  for (bool alt_f4 : {false, true}) {
    unlink(config.c_str());
    g_rig_keys[226] = alt_f4;  // Left Alt
    EXPECT_EXIT(
        {
          rig.poll_at(1000);
          alt_f4 ? push_key_down(61) : push_quit();
          rig.poll_at(1010);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_NE(read_file(config).find("// Configuration for"), std::string::npos) << alt_f4;
  }
  vell_state.initialised = 0;
}
