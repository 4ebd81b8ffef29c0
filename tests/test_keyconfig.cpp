// The key configuration screen, opened by a program's keyconfig() and
// driven with the rig's keyboard and a virtual controller.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/bitmap.h"
#include "api/text.h"
#include "machine/pstate.h"
#include "shell/app_config.h"
#include "shell/buttons.h"
#include "shell/engine.h"
#include "shell/keyconfig.h"
#include "support/runner_rig.h"
#include "support/sdl_devices.h"

namespace {

constexpr int32_t k_a = 4, k_s = 22, k_z = 29, k_esc = 41, k_delete = 76;

// The console with the key configuration screen open (the program that
// called keyconfig() has ended).
struct keyconfig_rig : runner_rig {
  // Runs a program that calls keyconfig(), with the keys held meanwhile.
  void open(const std::vector<int32_t> &held = {}) {
    for (int32_t sc : held) key(sc, true);
    frame();
    run("keyconfig()");
    frame();
    frame();
  }
  int32_t slot(int32_t i) const { return orrery_config.button_keys[i]; }
};

// True when text drawn in the console font at (x, y) in colour c is what the
// screen shows there: every ink pixel in c and no other pixel of its box.
bool shows_text(const std::string &text, int32_t x, int32_t y, uint32_t c) {
  vell_bitmap *want = vell_create_bitmap(128, 128, 8);
  vell_draw_text_ex(want, text.c_str(), pstate.font, x, y, k_text_colour, 1);
  const int32_t w = vell_get_text_width(text.c_str(), pstate.font);
  bool same = w > 0;
  for (int32_t yy = y; yy < y + 6; yy++)
    for (int32_t xx = x; xx < x + w && xx < 128; xx++)
      if ((vell_getpixel(want, xx, yy) == 1) != (vell_getpixel(pstate.screen, xx, yy) == c)) same = false;
  vell_destroy_bitmap(want);
  return same;
}

std::string row_text(int32_t slot, const char *key) {
  static const char *const labels[] = {"p1 left    ", "p1 right   ", "p1 up      ", "p1 down    ", "p1 button o",
                                       "p1 button x", "p2 left    ", "p2 right   ", "p2 up      ", "p2 down    ",
                                       "p2 button o", "p2 button x", "pause      "};
  return std::string(labels[slot]) + " : " + key;
}

}  // namespace

TEST(KeyConfig, ScreenAsksForEachSlotAndListsTheDefaults) {
  keyconfig_rig rig;
  rig.open();
  ASSERT_EQ(pstate.mode, MODE_CONSOLE);
  ASSERT_EQ(pstate.sub_screen, SUB_KEYCONFIG);
  EXPECT_TRUE(shows_text("player key config", 6, 1, 12));
  EXPECT_TRUE(shows_text("press key for:", 60, 12, 6));
  EXPECT_TRUE(shows_text("p1 left    ", 60, 19, 7));
  EXPECT_TRUE(shows_text("esc to cancel", 60, 33, 13));
  EXPECT_EQ(vell_getpixel(pstate.screen, 8, 43), 14u) << "the current row's bar";
  EXPECT_TRUE(shows_text(row_text(0, "left"), 10, 44, 1));
  EXPECT_TRUE(shows_text(row_text(10, "tab"), 10, 104, 5));
  EXPECT_TRUE(shows_text(row_text(12, "p"), 10, 116, 5));
}

TEST(KeyConfig, EdgeCasesOfAssigningKeys) {
  {
    SCOPED_TRACE("a key held at opening is not taken until every key is released");
    keyconfig_rig rig;
    rig.open({k_a});
    for (int i = 0; i < 5; i++) rig.frame();
    EXPECT_EQ(rig.slot(0), 0);
    EXPECT_EQ(orrery_keyconfig.slot, 0);
    rig.key(k_a, false);
    rig.frame();
    rig.frame();
    rig.tap({k_s});
    EXPECT_EQ(rig.slot(0), k_s);
    EXPECT_EQ(orrery_keyconfig.slot, 1);
  }
  {
    SCOPED_TRACE("two keys held together fill consecutive slots in scancode order");
    keyconfig_rig rig;
    rig.open();
    rig.tap({k_s, k_a});
    EXPECT_EQ(rig.slot(0), k_a);
    EXPECT_EQ(rig.slot(1), k_s);
    EXPECT_EQ(orrery_keyconfig.slot, 2);
    EXPECT_TRUE(shows_text(row_text(1, "s"), 10, 50, 5));
    EXPECT_TRUE(shows_text(row_text(2, "up"), 10, 56, 1));
  }
  {
    SCOPED_TRACE("Delete gives p1 button o its default keys back");
    keyconfig_rig rig;
    orrery_config.button_keys[4] = 9;  // F
    rig.open();
    for (int32_t sc : {5, 6, 7, 8}) rig.tap({sc});
    ASSERT_EQ(orrery_keyconfig.slot, 4);
    rig.tap({k_delete});
    EXPECT_EQ(rig.slot(4), 0);
    EXPECT_TRUE(shows_text(row_text(4, "z"), 10, 68, 5));
    rig.key(k_z, true);
    rig.frame();
    EXPECT_NE(player_key(BTN_O, 0), 0) << "Z works for O again";
    rig.key(k_z, false);
  }
}

TEST(KeyConfig, AfterTheLastSlotTheScreenStaysUntilAnotherKeyAndTheKeysAreSaved) {
  keyconfig_rig rig;
  rig.open();
  for (int32_t sc = 4; sc < 16; sc++) rig.tap({sc});
  // The thirteenth key is held past the keyboard's repeat delay: it must
  // not close the screen it completed.
  rig.key(16, true);
  for (int i = 0; i < 25; i++) rig.frame();
  rig.key(16, false);
  rig.frame();
  rig.frame();
  ASSERT_EQ(pstate.sub_screen, SUB_KEYCONFIG);
  EXPECT_EQ(orrery_keyconfig.slot, 13);
  EXPECT_TRUE(shows_text("saved config.", 60, 12, 11));
  EXPECT_TRUE(shows_text("any key to quit", 60, 22, 12));
  EXPECT_TRUE(shows_text(row_text(12, "m"), 10, 116, 5));
  for (int32_t i = 0; i < 13; i++) EXPECT_EQ(rig.slot(i), 4 + i) << "slot " << i;
  rig.tap({k_z});
  EXPECT_EQ(pstate.sub_screen, SUB_NONE);
  EXPECT_EQ(pstate.cursor_y, 120);
  // The keys work at once: A is player 0's left now, the Left arrow is not.
  rig.key(k_a, true);
  rig.frame();
  EXPECT_NE(player_key(BTN_LEFT, 0), 0);
  rig.key(k_a, false);
  rig.key(80, true);
  rig.frame();
  EXPECT_EQ(player_key(BTN_LEFT, 0), 0);
  rig.key(80, false);
  vell_exit();
  const std::string config = read_file(rig.home.path + "config.txt");
  EXPECT_NE(config.find("button_keys 4 5 6 7 8 9 10 11 12 13 14 15 16 \n"), std::string::npos) << config;
}

TEST(KeyConfig, EscapePutsTheSavedKeysBackAndCloses) {
  keyconfig_rig rig;
  orrery_config.button_keys[1] = 9;
  const orrery_config_t before = orrery_config;
  rig.open();
  rig.tap({k_a});
  rig.tap({k_s});
  ASSERT_EQ(rig.slot(1), k_s);
  push_key_down(k_esc);
  rig.frame();
  rig.frame();
  EXPECT_EQ(pstate.sub_screen, SUB_NONE);
  EXPECT_EQ(memcmp(before.button_keys, orrery_config.button_keys, sizeof before.button_keys), 0);
  EXPECT_TRUE(shows_text(row_text(1, "f"), 10, 50, 5)) << "redrawn with the restored keys";
}

TEST(KeyConfig, ControllerStartCancelsAndAnyButtonClosesTheFinishedScreen) {
  auto button = [](keyconfig_rig &rig, int b) {
    set_virtual_button(b, true);
    rig.frame();
    rig.frame();
    set_virtual_button(b, false);
    rig.frame();
  };
  {
    keyconfig_rig rig;
    ASSERT_GE(attach_virtual_controller(), 0);
    rig.open();
    rig.tap({k_a});
    button(rig, 0);
    EXPECT_EQ(pstate.sub_screen, SUB_KEYCONFIG) << "only Start cancels while slots remain";
    button(rig, 6);
    EXPECT_EQ(pstate.sub_screen, SUB_NONE);
    EXPECT_EQ(rig.slot(0), 0);
  }
  {
    keyconfig_rig rig;
    ASSERT_GE(attach_virtual_controller(), 0);
    rig.open();
    for (int32_t sc = 4; sc < 17; sc++) rig.tap({sc});
    ASSERT_EQ(orrery_keyconfig.slot, 13);
    button(rig, 1);
    EXPECT_EQ(pstate.sub_screen, SUB_NONE);
  }
}
