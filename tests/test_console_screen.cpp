// The console's text screen outside exec mode: from a program's end or
// error it leads back to the browser, and over an error Ctrl+R runs the
// edited file again.
#include "support/test.h"

namespace {

constexpr int32_t k_ctrl = 224, k_r = 21, k_x = 27, k_esc = 41, k_return = 40;

void ctrl_r(console_rig &rig) {
  rig.key(k_ctrl, true);
  rig.frame();
  push_key_down(k_r);
  rig.frame(3);  // the key arrives, the request is posted, then carried out
  rig.key(k_ctrl, false);
}

}  // namespace

TEST(ConsoleScreen, ABrokenCartridgeReloadsOnCtrlRAndEveryEndLeadsBackToTheBrowser) {
  temp_folder dir;
  const std::string game = dir / "game.q7";
  write_file(game, cart_file("function _update( end"));
  runner_rig rig({game});
  for (int i = 0; i < 130 && console_screen_state().shown == 0; i++) rig.frame();
  ASSERT_EQ(console_screen_state().error, 1) << "the syntax error is on the screen";
  rig.tap({k_x});
  EXPECT_EQ(pstate.sub_screen, SUB_NONE) << "a button does not wipe an error away";

  // Fixed in the editor, the file runs on Ctrl+R; a runtime error later
  // leaves with Escape.
  write_file(game, cart_file("t = 0 function _update() t += 1 if t == 10 then x = nil + 1 end end"));
  ctrl_r(rig);
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
  EXPECT_GE(rig.num("t"), 1);
  for (int i = 0; i < 20 && pstate.mode == MODE_RUNNING; i++) rig.frame();
  ASSERT_EQ(console_screen_state().shown * 10 + console_screen_state().error, 11);
  EXPECT_TRUE(screen_line_is("esc or enter: back to cartfind", pstate.cursor_y - 6, 13));
  push_key_down(k_esc);
  rig.frame(2);
  EXPECT_EQ(pstate.sub_screen, SUB_BROWSER);

  // A program that just ends: any button, Escape or Enter goes back.
  for (int32_t key : {k_x, k_esc, k_return}) {
    runner_rig plain;
    plain.run("print('done')");
    plain.frame(2);
    ASSERT_EQ(console_screen_state().shown * 10 + console_screen_state().error, 10) << key;
    EXPECT_TRUE(screen_line_is("to return to cartfind", pstate.cursor_y - 6, 13));
    if (key == k_x) {
      plain.tap({key});
    } else {
      push_key_down(key);
      plain.frame(2);
    }
    EXPECT_EQ(pstate.sub_screen, SUB_BROWSER) << key;
  }
}
