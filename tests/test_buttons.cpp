// Buttons from the keyboard and a virtual controller: sampling, repeat,
// blocking, custom keys and the btn/btnp logic.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "machine/app_config.h"
#include "machine/pstate.h"
#include "platform/config.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"
#include "script/cpu_budget.h"
#include "shell/buttons.h"
#include "shell/console.h"
#include "shell/hooks.h"
#include "support/console_rig.h"
#include "support/sdl_devices.h"
#include "support/temp_home.h"

namespace {

constexpr int32_t k_z = 29, k_x = 27, k_m = 16, k_s = 22, k_a = 4, k_lctrl = 224, k_left = 80;

// The platform's keyboard fed from the rig's key array, with the console's
// default settings and a target of fps frames per second.
struct button_rig {
  temp_home home;
  explicit button_rig(int32_t fps = 30) {
    memset(g_rig_keys, 0, sizeof g_rig_keys);
    vell_set_time_func(rig_clock);
    vell_set_key_source(rig_keys);
    vell_config.foreground_sleep_ms = 0;
    vell_config.background_sleep_ms = 0;
    vell_system_init();
    vell_keys_init();
    set_default_app_config();
    orrery_install_hooks();
    orrery_reset_buttons();
    pstate.target_fps = fps;
  }
  ~button_rig() {
    vell_joystick_exit();
    vell_set_key_source(nullptr);
    vell_set_time_func(nullptr);
    vell_system_exit();
  }
  // The sample a frame's flip takes: key tables refreshed, then buttons read.
  void sample() {
    g_rig_now += 33;
    vell_handle_system_messages();
    read_buttons();
  }
  // Frames 0..count-1 in the runner's order (edge update, the program
  // reads btnp, sample at flip); returns the frames on which btnp(b) held.
  std::vector<int> btnp_frames(int32_t b, int count, int press_other_at = -1, int32_t other_key = 0) {
    std::vector<int> frames;
    for (int f = 0; f < count; f++) {
      update_buttons();
      if (orrery_btnp(1, b, 0)) frames.push_back(f);
      if (f == press_other_at) g_rig_keys[other_key] = 1;
      sample();
    }
    return frames;
  }
};

int64_t g_charged = 0;
void count_cycles(int32_t n, int) { g_charged += n; }

}  // namespace

TEST(Buttons, HeldButtonRepeatsAtFrames0_15_19_23AndANewPressRestartsTheDelay) {
  button_rig rig(30);
  g_rig_keys[k_z] = 1;
  rig.sample();
  EXPECT_EQ(rig.btnp_frames(BTN_O, 28), (std::vector<int>{0, 15, 19, 23, 27}));

  // X pressed during frame 20 restarts the shared delay for O as well.
  button_rig again(30);
  g_rig_keys[k_z] = 1;
  again.sample();
  std::vector<int> o_frames, x_frames;
  for (int f = 0; f < 46; f++) {
    update_buttons();
    if (orrery_btnp(1, BTN_O, 0)) o_frames.push_back(f);
    if (orrery_btnp(1, BTN_X, 0)) x_frames.push_back(f);
    if (f == 20) g_rig_keys[k_x] = 1;
    again.sample();
  }
  EXPECT_EQ(o_frames, (std::vector<int>{0, 15, 19, 36, 40, 44}));
  EXPECT_EQ(x_frames, (std::vector<int>{21, 36, 40, 44}));
}

TEST(Buttons, At60FramesPerSecondTheDelaysDouble) {
  button_rig rig(60);
  g_rig_keys[k_left] = 1;
  rig.sample();
  EXPECT_EQ(rig.btnp_frames(BTN_LEFT, 47), (std::vector<int>{0, 30, 38, 46}));
}

TEST(Buttons, BlockedButtonStaysInertUntilReleasedAndPressedAgain) {
  button_rig rig;
  g_rig_keys[k_z] = 1;
  rig.sample();
  update_buttons();
  EXPECT_EQ(orrery_btn(1, BTN_O, 0), 1);
  block_buttons();
  EXPECT_EQ(orrery_btn(1, BTN_O, 0), 0);
  for (int i = 0; i < 3; i++) {
    rig.sample();
    update_buttons();
    EXPECT_EQ(orrery_btn(1, BTN_O, 0), 0) << "still held after the block, sample " << i;
    EXPECT_EQ(orrery_btnp(1, BTN_O, 0), 0);
  }
  g_rig_keys[k_z] = 0;
  rig.sample();
  update_buttons();
  g_rig_keys[k_z] = 1;
  rig.sample();
  update_buttons();
  EXPECT_EQ(orrery_btn(1, BTN_O, 0), 1);
  EXPECT_EQ(orrery_btnp(1, BTN_O, 0), 1);

  clear_buttons();
  EXPECT_EQ(orrery_btn(0, 0, 0), 0);
}

TEST(Buttons, ScriptReadsPackTwoPlayersAndRejectPlayersOutsideZeroToSeven) {
  button_rig rig;
  orrery_set_cpu_observer(count_cycles);
  g_rig_keys[k_z] = 1;  // player 0 O
  g_rig_keys[k_s] = 1;  // player 1 left
  rig.sample();
  // The menus test for fresh presses between the sample and the next edge update.
  EXPECT_EQ(button_pressed(BTN_O, 0), 1);
  EXPECT_EQ(button_pressed(8, 0), 0);
  EXPECT_EQ(button_pressed(BTN_O, 8), 0);
  EXPECT_EQ(button_pressed(-1, 0), 0);
  update_buttons();
  pstate.buttons_read = 0;
  EXPECT_EQ(orrery_btn(0, 0, 0), 0x110);
  EXPECT_EQ(orrery_btnp(0, 0, 0), 0x110);
  EXPECT_EQ(pstate.buttons_read, 1);
  EXPECT_EQ(g_charged, 0) << "the packed form is free";

  EXPECT_EQ(orrery_btn(1, BTN_O, 99), 1) << "one argument reads player 0";
  EXPECT_EQ(orrery_btn(2, BTN_LEFT, 1), 1);
  EXPECT_EQ(orrery_btn(2, BTN_O, 8), 0);
  EXPECT_EQ(orrery_btn(2, BTN_O, -1), 0);
  EXPECT_EQ(orrery_btn(2, -5, 1), 1) << "button index clamps to 0 (left)";
  EXPECT_EQ(orrery_btn(2, 40, 0), 0) << "button index clamps to 7";
  EXPECT_EQ(g_charged, 6 * 4);
  orrery_set_cpu_observer(nullptr);
  rig.sample();
  EXPECT_EQ(button_pressed(BTN_O, 0), 0) << "held since the last edge update, no repeat tick";
}

TEST(Buttons, CustomKeyReplacesEveryDefaultKeyAndCtrlKeepsMFromPressingX) {
  button_rig rig;
  orrery_config.button_keys[4] = k_a;  // player 0 O
  g_rig_keys[k_z] = 1;
  rig.sample();
  EXPECT_EQ(orrery_buttons.down[0][BTN_O], 0) << "Z no longer presses O";
  EXPECT_EQ(is_key_bound(k_a), 1);
  EXPECT_EQ(is_key_bound(k_z), 0);
  g_rig_keys[k_z] = 0;
  g_rig_keys[k_a] = 1;
  rig.sample();
  EXPECT_EQ(orrery_buttons.down[0][BTN_O], 1);
  EXPECT_EQ(orrery_buttons.down[1][BTN_X], 1) << "A is also player 1's X";
  g_rig_keys[k_a] = 0;

  g_rig_keys[k_m] = 1;
  rig.sample();
  EXPECT_EQ(orrery_buttons.down[0][BTN_X], 1) << "M alone presses X";
  g_rig_keys[k_lctrl] = 1;
  rig.sample();
  EXPECT_EQ(orrery_buttons.down[0][BTN_X], 0) << "Ctrl+M is the mute key";
  EXPECT_EQ(player_key(BTN_PAUSE, 1), 0);
  EXPECT_EQ(player_key(BTN_O, 2), 0);
}

TEST(Buttons, ControllerDrivesItsPlayerOnlyPastHalfDeflectionAndAfterCentring) {
  button_rig rig;
  ASSERT_GE(attach_virtual_controller(), 0);
  set_virtual_axis(0, 32767);  // resting fully right at start
  vell_joystick_init();
  ASSERT_EQ(vell_count_joysticks(), 1);
  orrery_config.joystick_index = 1;  // the first controller is player 1
  EXPECT_EQ(player_button(BTN_RIGHT, 1), 0) << "not yet seen centred";
  set_virtual_axis(0, 0);
  EXPECT_EQ(player_button(BTN_RIGHT, 1), 0);
  set_virtual_axis(0, 32767);
  EXPECT_EQ(player_button(BTN_RIGHT, 1), 255);
  EXPECT_EQ(player_button(BTN_LEFT, 1), 0);
  EXPECT_EQ(player_button(BTN_RIGHT, 0), 0) << "player 0 has no controller";
  set_virtual_axis(0, 16000);
  EXPECT_EQ(player_button(BTN_RIGHT, 1), 0) << "below half deflection";
  set_virtual_axis(0, -20000);
  EXPECT_EQ(player_button(BTN_LEFT, 1), 156);
  rig.sample();
  EXPECT_EQ(orrery_buttons.down[1][BTN_LEFT], 1);
  set_virtual_axis(0, 0);

  // O through controller button 3 (Y); the keyboard's O does not count for
  // the controller-only test.
  set_virtual_button(3, false);
  player_button(BTN_O, 1);
  set_virtual_button(3, true);
  EXPECT_EQ(player_button(BTN_O, 1), 255);
  update_buttons();
  rig.sample();
  EXPECT_EQ(button_pressed_nok(BTN_O, 1), 1);
  set_virtual_button(3, false);
  g_rig_keys[k_lctrl] = 0;
  orrery_config.joystick_index = 0;
  g_rig_keys[k_z] = 1;
  update_buttons();
  rig.sample();
  EXPECT_EQ(button_pressed(BTN_O, 0), 1);
  EXPECT_EQ(button_pressed_nok(BTN_O, 0), 0) << "keyboard presses do not count";
}
