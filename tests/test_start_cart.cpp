// A cartridge named on the command line: run in exec mode (text or
// picture, prepared like every load, saving into the root folder), and
// loaded at start without -x, ending the boot at the console or running in
// place of the head cartridge.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "machine/cart.h"
#include "machine/cart_load.h"
#include "machine/hooks.h"
#include "machine/pstate.h"
#include "script/runner.h"
#include "support/cart_support.h"
#include "support/runner_rig.h"

namespace {

bool has_line(const exec_result &r, const std::string &text) {
  return std::find(r.lines.begin(), r.lines.end(), text) != r.lines.end();
}

std::vector<std::string> g_printed;

}  // namespace

TEST(StartCart, ExecModeSavesIntoTheRootFolderAndRunsPictureCartridges) {
  temp_folder home;
  const std::string code = "-- saver\nsave(\"a.q7.png\") save(\"b.q7\") assert(false, \"ran\")";
  exec_result r = exec_cart(home, code);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(has_line(r, "ran"));
  cart_ptr text(load_cart_file(home / "carts/b.q7"));
  cart_ptr picture(load_cart_file(home / "carts/a.q7.png"));
  ASSERT_TRUE(text);
  ASSERT_TRUE(picture);
  EXPECT_EQ(std::string(text->code), code);
  EXPECT_EQ(std::string(picture->code), code);

  // The picture runs by its name in the root folder, with or without the
  // extension; nothing else could have printed "ran" now.
  std::filesystem::remove(home / "game.q7");
  std::filesystem::remove(home / "carts/b.q7");
  for (const char *name : {"a.q7.png", "a"}) {
    const process_result p = run_process({ORRERY_BINARY, "-home", home.path, "-x", name});
    EXPECT_EQ(p.exit_code, 0) << name;
    EXPECT_NE(p.output.find("** ran\n"), std::string::npos) << name << ": " << p.output;
  }
}

TEST(StartCart, ExecModePreparesTheCartridgeLikeEveryLoad) {
  temp_folder home;
  // Map rows 32-63 share memory with the lower sprite sheet: a row stored
  // in the map section is what the program reads.
  std::string map = "__map__\n";
  for (int y = 0; y < 33; y++) map += (y == 32 ? "21" : "00") + std::string(254, '0') + "\n";
  write_file(home / "map.q7", cart_file("assert(false, 'cell ' .. mget(0, 32) .. ' ' .. sget(0, 64))") + map);
  process_result p = run_process({ORRERY_BINARY, "-home", home.path, "-x", home / "map.q7"});
  EXPECT_NE(p.output.find("** cell 33 1\n"), std::string::npos) << p.output;

  // Data stored with cstore() is there at the next run of the cartridge.
  const std::string code =
      "if fget(1) == 42 then assert(false, 'found') end fset(1, 42) cstore() assert(false, 'stored')";
  exec_result first = exec_cart(home, code);
  exec_result second = exec_cart(home, code);
  EXPECT_TRUE(has_line(first, "stored"));
  EXPECT_TRUE(has_line(second, "found"));
}

TEST(StartCart, ANamedCartridgeWithoutExecIsLoadedAtStart) {
  temp_folder dir;
  write_file(dir / "game.q7", cart_file("game = 1 function _update() end"));
  struct row {
    std::vector<std::string> args;
    int32_t mode;
    bool game_is_working, game_runs, says_could_not_load;
  };
  const row rows[] = {
      {{"-windowed", "1", dir / "game.q7", "-run"}, MODE_RUNNING, true, true, false},
      {{dir / "game"}, MODE_CONSOLE, true, false, false},
      {{dir / "missing.q7", "-run"}, MODE_RUNNING, false, false, true},
  };
  for (const row &r : rows) {
    runner_rig rig(r.args);
    g_printed.clear();
    orrery_machine_hooks hooks = {};
    hooks.print_col = [](const char *text, int32_t) { g_printed.push_back(text); };
    hooks.working_cart_loaded = split_code_to_tabs;
    orrery_set_machine_hooks(hooks);
    for (int i = 0; i < 130; i++) rig.frame();
    const std::string what = r.args[r.args.size() > 2 ? 2 : 0];
    EXPECT_EQ(pstate.mode, r.mode) << what;
    const std::string code = orrery_working_cart()->code;
    EXPECT_EQ(code.find("game = 1") == 0, r.game_is_working) << what;
    if (!r.game_is_working) {
      EXPECT_NE(code.find("head cartridge"), std::string::npos) << "the head cartridge boots";
    }
    EXPECT_EQ(pstate.program_started != 0 && rig.num("game") == 1, r.game_runs) << what;
    EXPECT_EQ(std::count(g_printed.begin(), g_printed.end(), "could not load"), r.says_could_not_load ? 1 : 0) << what;
    if (r.mode == MODE_CONSOLE) {
      // A reboot boots the head cartridge, as a start without a name.
      pstate.pending_request = REQ_REBOOT;
      for (int i = 0; i < 130; i++) rig.frame();
      EXPECT_EQ(pstate.mode, MODE_RUNNING);
      EXPECT_NE(std::string(orrery_working_cart()->code).find("head cartridge"), std::string::npos);
    }
    orrery_set_machine_hooks(orrery_machine_hooks{});
  }
}
