// The key configuration screen, opened by a program's keyconfig() and
// driven with the rig's keyboard and a virtual controller.
#include "support/test.h"

namespace {

constexpr int32_t k_a = 4, k_s = 22, k_z = 29, k_esc = 41, k_delete = 76, k_left = 80;

// The console with the key configuration screen: open() runs a program
// that calls keyconfig() with the keys held meanwhile, and lets it end.
struct keyconfig_rig : runner_rig {
  void open(const std::vector<int32_t> &held = {}) {
    for (int32_t sc : held) key(sc, true);
    frame();
    run("keyconfig()");
    frame(2);
  }
  int32_t slot(int32_t i) const { return orrery_config().button_keys[i]; }
};

// True when the screen shows text at (x, y) in colour c: every ink pixel
// of the console font's drawing in c and no other pixel of its box.
bool shows_text(const std::string &text, int32_t x, int32_t y, uint32_t c) {
  vell_bitmap *want = vell_create_bitmap(128, 128, 8);
  vell_draw_text_ex(want, text.c_str(), pstate.font, x, y, k_text_colour, 1);
  const int32_t w = vell_get_text_width(text.c_str(), pstate.font);
  bool same = w > 0;
  for (int32_t yy = y; yy < y + 6; yy++)
    for (int32_t xx = x; xx < x + w && xx < 128; xx++)
      same = same && (vell_getpixel(want, xx, yy) == 1) == (vell_getpixel(pstate.screen, xx, yy) == c);
  vell_destroy_bitmap(want);
  return same;
}

}  // namespace

TEST(KeyConfig, KeysHeldAtOpeningWaitKeysTogetherGoInOrderDeleteAndEscapeRestore) {
  {
    SCOPED_TRACE("a key held at opening is not taken until every key is released");
    keyconfig_rig rig;
    rig.open({k_a});
    ASSERT_EQ(pstate.sub_screen, SUB_KEYCONFIG);
    EXPECT_TRUE(shows_text("press key for:", 60, 12, 6) && shows_text("p1 left    ", 60, 19, 7) &&
                shows_text("p1 left     : left", 10, 44, 1) && shows_text("p2 button o : tab", 10, 104, 5));
    EXPECT_EQ(vell_getpixel(pstate.screen, 8, 43), 14u) << "the current row's bar";
    for (int i = 0; i < 5; i++) rig.frame();
    EXPECT_EQ(keyconfig_state().slot, 0);
    rig.key(k_a, false);
    rig.frame();
    rig.tap({k_s});
    EXPECT_EQ(rig.slot(0), k_s);
  }
  {
    SCOPED_TRACE("keys held together fill consecutive slots in scancode order; Escape puts the saved keys back");
    keyconfig_rig rig;
    orrery_config_set_button_key(1, 9);
    rig.open();
    rig.tap({k_s, k_a});
    EXPECT_EQ(rig.slot(0) * 100 + rig.slot(1), k_a * 100 + k_s);
    EXPECT_TRUE(shows_text("p1 right    : s", 10, 50, 5) && shows_text("p1 up       : up", 10, 56, 1));
    push_key_down(k_esc);
    rig.frame(2);
    EXPECT_EQ(pstate.sub_screen, SUB_NONE);
    EXPECT_EQ(rig.slot(0) * 100 + rig.slot(1), 9);
    EXPECT_TRUE(screen_line_is("to return to cartfind", 18)) << "back at the console, which says how to go on";
  }
  {
    SCOPED_TRACE("Delete gives p1 button o its default keys back");
    keyconfig_rig rig;
    orrery_config_set_button_key(4, 9);  // F
    rig.open();
    for (int32_t sc : {5, 6, 7, 8, k_delete}) rig.tap({sc});
    EXPECT_EQ(rig.slot(4), 0);
    EXPECT_TRUE(shows_text("p1 button o : z", 10, 68, 5));
    rig.key(k_z, true);
    rig.frame();
    EXPECT_NE(buttons_key(BTN_O, 0), 0) << "Z works for O again";
  }
}

TEST(KeyConfig, AfterTheLastSlotTheKeysAreSavedAndTheScreenStaysUntilAnotherKey) {
  keyconfig_rig rig;
  rig.open();
  for (int32_t sc = 4; sc < 16; sc++) rig.tap({sc});
  // The thirteenth key is held past the keyboard's repeat delay: it must
  // not also close the screen it completed.
  rig.key(16, true);
  for (int i = 0; i < 25; i++) rig.frame();
  rig.key(16, false);
  rig.frame(2);
  ASSERT_EQ(pstate.sub_screen, SUB_KEYCONFIG);
  EXPECT_TRUE(shows_text("saved config.", 60, 12, 11) && shows_text("any key to quit", 60, 22, 12) &&
              shows_text("pause       : m", 10, 116, 5));
  const std::string config = read_file(rig.home.path + "config.txt");
  EXPECT_NE(config.find("button_keys 4 5 6 7 8 9 10 11 12 13 14 15 16 \n"), std::string::npos)
      << "written at once: " << config;
  rig.tap({k_z});
  EXPECT_EQ(pstate.sub_screen, SUB_NONE);
  // The keys work at once: A is player 0's left now, the Left arrow is not.
  rig.key(k_a, true);
  rig.frame();
  EXPECT_NE(buttons_key(BTN_LEFT, 0), 0);
  rig.key(k_a, false);
  rig.key(k_left, true);
  rig.frame();
  EXPECT_EQ(buttons_key(BTN_LEFT, 0), 0);
}

TEST(KeyConfig, ControllerStartCancelsAndAnyButtonClosesTheFinishedScreen) {
  for (bool finish : {false, true}) {
    keyconfig_rig rig;
    ASSERT_GE(attach_virtual_controller(), 0);
    rig.open();
    for (int32_t sc = 4; sc < (finish ? 17 : 5); sc++) rig.tap({sc});
    // Start (6) cancels while slots remain; A (0) does nothing then.
    for (int b : {finish ? 1 : 0, 6}) {
      if (pstate.sub_screen != SUB_KEYCONFIG) break;
      set_virtual_button(b, true);
      rig.frame(2);
      set_virtual_button(b, false);
      rig.frame();
      EXPECT_EQ(pstate.sub_screen == SUB_KEYCONFIG, !finish && b == 0) << "button " << b;
    }
    EXPECT_EQ(rig.slot(0), finish ? k_a : 0);
  }
}

TEST(KeyConfig, ComesBackToThePauseMenuTheBrowserOrTheGameAndPointsOutAKeyBoundTwice) {
  constexpr int32_t k_down = 81, k_p = 19;
  const std::string game = "t = 0 function _update() t += 1 if t == 5 and ask then keyconfig() end end ";
  {
    SCOPED_TRACE("the pause menu's options page");
    keyconfig_rig rig;
    rig.run(game + "function _draw() cls(3) end");
    rig.frame(3);
    rig.tap({k_esc});
    // continue, reset cart, options: its page holds sound, key config, back.
    for (int32_t key : {k_down, k_down, k_z, k_down, k_z}) rig.tap({key});
    ASSERT_EQ(pstate.sub_screen * 10 + pstate.mode, SUB_KEYCONFIG * 10 + MODE_RUNNING);
    const double t = rig.num("t");
    rig.tap({k_a});
    EXPECT_STREQ(message_bar_state().text, "a is also p2 button x") << "A is player 2's X by default";
    EXPECT_EQ(rig.num("t"), t) << "the game stands still";
    EXPECT_EQ(vell_getpixel(vell_back_page(), 127, 3), 7u) << "the screen shows over the game";
    EXPECT_EQ(vell_getpixel(pstate.screen, 127, 3), 3u) << "without drawing into the game's screen";
    push_key_down(k_esc);
    rig.frame(2);
    EXPECT_EQ(pstate.sub_screen * 10 + paused_menu_open(), SUB_NONE * 10 + 1) << "Escape cancels only it";
    EXPECT_EQ(rig.slot(0), 0);
    EXPECT_STREQ(paused_menu_item(paused_menu_selection())->label, "key config");
  }
  {
    SCOPED_TRACE("the game's own keyconfig()");
    keyconfig_rig rig;
    rig.run("ask = true " + game);
    rig.frame(8);
    ASSERT_EQ(pstate.sub_screen, SUB_KEYCONFIG);
    for (int32_t sc = 4; sc < 17; sc++) rig.tap({sc});
    rig.tap({k_z});
    EXPECT_EQ(pstate.sub_screen * 10 + pstate.mode, SUB_NONE * 10 + MODE_RUNNING);
    const double t = rig.num("t");
    rig.frame(2);
    EXPECT_EQ(rig.num("t"), t + 2) << "the game goes on";
  }
  {
    SCOPED_TRACE("the browser's options menu");
    console_rig rig({"-cartfind"});
    write_file(rig.home.path + "carts/game.q7", cart_file("cls(1)"));
    ASSERT_TRUE(boot_into_browser(rig));
    go_to_list(rig, LIST_LOCAL);
    select_title(rig, "game");
    // The cartridge menu, its options, then their third item.
    for (int32_t key : {k_p, k_down, k_down, k_down, k_z, k_down, k_down, k_z}) rig.tap({key});
    ASSERT_EQ(pstate.sub_screen, SUB_KEYCONFIG);
    push_key_down(k_esc);
    rig.frame(2);
    EXPECT_EQ(pstate.sub_screen, SUB_BROWSER);
    EXPECT_EQ(cartfind_state().menu * 10 + cartfind_state().menu_selection, CART_MENU_OPTIONS * 10 + 2);
  }
}
