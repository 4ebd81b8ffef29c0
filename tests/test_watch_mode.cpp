// Watch mode in-process, on real files: a new version of the watched
// cartridge restarts it from whatever the console shows.
#include "platform/desktop/desktop.h"
#include "shell/browser_entry.h"
#include "support/test.h"

TEST(WatchMode, ANewVersionRunsFromEveryScreenAndWaitsForTheKeyConfigurationScreen) {
  vell_file_watch_use(vell_desktop_watch());
  temp_folder dir;
  const std::string game = dir / "game.q7";
  auto version = [](int v) { return cart_file("v = " + std::to_string(v) + " function _draw() cls(v) end"); };
  write_file(game, version(1));
  runner_rig rig({"-watch", game});
  for (int i = 0; i < 150 && pstate.mode != MODE_RUNNING; i++) rig.frame();
  ASSERT_EQ(rig.num("v"), 1);
  ASSERT_EQ(orrery_watch().path, game);

  struct row {
    const char *state;
    std::function<void()> enter;
    bool waits;  // the change is taken only once the screen is left
  };
  const std::vector<row> rows = {
      {"running", [] {}, false},
      {"pause menu open", [] { open_paused_menu(); }, false},
      {"console showing a syntax error",
       [&] {
         write_file(game, cart_file("function _draw( end"));
         rig.frame(6);
       },
       false},
      {"cartridge browser",
       [] {
         suspend_program();
         enter_browser_from_console();
       },
       false},
      {"key configuration over the game", [] { keyconfig_open(); }, true},
  };
  int v = 1;
  for (const row &r : rows) {
    r.enter();
    write_file(game, version(++v));
    rig.frame(6);
    if (r.waits) {
      EXPECT_EQ(rig.num("v"), v - 1) << r.state << ": the game stands still under the screen";
      push_key_down(41);
      rig.frame(6);
    }
    EXPECT_EQ(pstate.mode, MODE_RUNNING) << r.state;
    EXPECT_EQ(rig.num("v"), v) << r.state;
    EXPECT_EQ(paused_menu_open(), 0) << r.state;
    EXPECT_EQ(pstate.sub_screen, SUB_NONE) << r.state;
  }
  vell_file_watch_use(nullptr);
}
