// Buttons from the keyboard and a virtual controller: sampling, repeat,
// blocking, custom keys and the btn/btnp logic.
#include "support/test.h"

namespace {

constexpr int32_t k_z = 29, k_x = 27, k_m = 16, k_s = 22, k_a = 4, k_lctrl = 224, k_left = 80;

// The platform with the console's default settings and a target of fps frames per second.
struct button_rig : platform_rig {
  explicit button_rig(int32_t fps = 30) {
    set_default_app_config();
    buttons_reset();
    pstate.target_fps = fps;
  }
  // The sample a frame's flip takes: key tables refreshed, then buttons read.
  void sample() {
    poll_at(g_rig_now + 33);
    buttons_read();
  }
  // Frames 0..count-1 in the runner's order (edge update, the program reads
  // btnp, sample at flip); the frames on which btnp(b) held, one list per
  // button. `press` is pressed during frame `at`.
  std::vector<std::vector<int>> btnp_frames(std::vector<int32_t> buttons, int count, int at = -1, int32_t press = 0) {
    std::vector<std::vector<int>> frames(buttons.size());
    for (int f = 0; f < count; f++) {
      buttons_update();
      for (size_t b = 0; b < buttons.size(); b++)
        if (buttons_btnp(1, buttons[b], 0)) frames[b].push_back(f);
      if (f == at) g_rig_keys[press] = 1;
      sample();
    }
    return frames;
  }
};

}  // namespace

TEST(Buttons, HeldButtonsRepeatAtFrames0_15_19_23AndANewPressRestartsTheSharedDelay) {
  using frames = std::vector<std::vector<int>>;
  {
    button_rig rig(30);  // X pressed during frame 20 restarts the delay for O as well
    g_rig_keys[k_z] = 1;
    rig.sample();
    EXPECT_EQ(rig.btnp_frames({BTN_O, BTN_X}, 46, 20, k_x), (frames{{0, 15, 19, 36, 40, 44}, {21, 36, 40, 44}}));
  }
  button_rig rig(60);  // at 60 frames per second the delays double
  g_rig_keys[k_left] = 1;
  rig.sample();
  EXPECT_EQ(rig.btnp_frames({BTN_LEFT}, 47), (frames{{0, 30, 38, 46}}));
}

TEST(Buttons, ScriptReadsPackTwoPlayersAndKeysCanBeRebound) {
  button_rig rig;
  static int64_t charged = 0;
  watch_cpu_charges([](int32_t n, int) { charged += n; });
  g_rig_keys[k_z] = g_rig_keys[k_s] = 1;  // player 0 O, player 1 left
  rig.sample();
  // The menus test for fresh presses between the sample and the next edge update.
  expect_rows({ROW(buttons_pressed(BTN_O, 0), 1), ROW(buttons_pressed(8, 0) + buttons_pressed(BTN_O, 8), 0)});
  buttons_update();
  pstate.buttons_read = 0;
  expect_rows({ROW(buttons_btn(0, 0, 0), 0x110), ROW(buttons_btnp(0, 0, 0), 0x110), ROW(pstate.buttons_read, 1),
               ROW(charged, 0) /* the packed form is free */, ROW(buttons_btn(1, BTN_O, 99), 1) /* reads player 0 */,
               ROW(buttons_btn(2, BTN_LEFT, 1), 1), ROW(buttons_btn(2, BTN_O, 8), 0), ROW(buttons_btn(2, BTN_O, -1), 0),
               ROW(buttons_btn(2, -5, 1), 1) /* the button clamps to 0 */, ROW(buttons_btn(2, 40, 0), 0),
               ROW(charged, 6 * 4)});
  watch_cpu_charges(nullptr);
  rig.sample();
  EXPECT_EQ(buttons_pressed(BTN_O, 0), 0) << "held since the last edge update, no repeat tick";
  // A custom key replaces every default key of its button; Ctrl keeps M from pressing X.
  g_rig_keys[k_z] = g_rig_keys[k_s] = 0;
  orrery_config_set_button_key(4, k_a);  // player 0 O
  const std::tuple<std::vector<int32_t>, int32_t, int32_t, int32_t> cases[] = {
      {{k_z}, 0, BTN_O, 0},
      {{k_a}, 0, BTN_O, 1},
      {{k_a}, 1, BTN_X, 1} /* A is also player 1's X */,
      {{k_m}, 0, BTN_X, 1},
      {{k_m, k_lctrl}, 0, BTN_X, 0}};
  for (const auto &[keys, player, button, down] : cases) {
    for (int32_t k : keys) g_rig_keys[k] = 1;
    rig.sample();
    EXPECT_EQ(buttons_down(button, player), down) << keys[0] << " for player " << player;
    for (int32_t k : keys) g_rig_keys[k] = 0;
  }
  expect_rows({ROW(buttons_key_bound(k_a), 1), ROW(buttons_key_bound(k_z), 0), ROW(buttons_key(BTN_PAUSE, 1), 0)});
  orrery_config_set_button_key(4, 600);
  g_rig_keys[k_z] = 1;
  rig.sample();
  EXPECT_EQ(buttons_down(BTN_O, 0), 1) << "a key value outside 1-511 falls back to the default keys";
}
