// The pause menu over a running cartridge, read back from the back page the
// console draws, and the shell's keys during a run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/bitmap.h"
#include "api/text.h"
#include "machine/cart_data.h"
#include "machine/pstate.h"
#include "platform/clipboard.h"
#include "platform/video.h"
#include "script/runner.h"
#include "shell/console.h"
#include "shell/engine.h"
#include "shell/pause_menu.h"
#include "shell/resources.h"
#include "support/runner_rig.h"
#include "support/sdl_devices.h"

namespace {

constexpr int32_t k_esc = 41, k_up = 82, k_down = 81, k_z = 29, k_x = 27, k_p = 19, k_lctrl = 224, k_r = 21,
                  k_v = 25;

// A program over a plain colour-12 screen, so that the darkened box and
// what is drawn in it stand out.
const std::string k_plain = "t = 0 function _update() t += 1 end function _draw() cls(12) end ";

// The menu's geometry for a number of rows.
struct menu_box {
  int32_t h;
  explicit menu_box(int32_t rows) : h((rows * 8 + 8) / 2) {}
  int32_t row_y(int32_t i) const { return 69 - h + 8 * i; }
};

uint32_t page_at(int32_t x, int32_t y) { return vell_getpixel(vell_back_page(), x, y); }

// Compares a row's text area with the label drawn by the console font at
// the position of a selected or plain row (the pointer area is left out).
void expect_row_label(const menu_box &box, int32_t row, const std::string &label, bool selected) {
  vell_bitmap *want = vell_create_bitmap(128, 128, 8);
  vell_draw_text_ex(want, label.c_str(), pstate.font, selected ? 35 : 34, box.row_y(row) + 1, k_text_colour, 7);
  int32_t wrong = 0;
  for (int32_t y = box.row_y(row) + 1; y <= box.row_y(row) + 6; y++)
    for (int32_t x = 33; x < 104; x++)
      wrong += (vell_getpixel(want, x, y) == 7) != (page_at(x, y) == 7);
  vell_destroy_bitmap(want);
  EXPECT_EQ(wrong, 0) << "row " << row << " should read \"" << label << "\"";
}

// The pointer sprite's pixels at (25, y) of the selected row.
bool pointer_at_row(const menu_box &box, int32_t row) {
  const vell_bitmap *icon = orrery_resource_bitmap(245);
  if (!icon) return false;
  int32_t lit = 0;
  for (int32_t y = 0; y < 7; y++)
    for (int32_t x = 0; x < 7; x++) {
      const uint32_t c = vell_getpixel(icon, x, y);
      if (c == 0) continue;
      lit++;
      if (page_at(25 + x, box.row_y(row) + y) != c) return false;
    }
  return lit > 0;
}

void open_with_escape(runner_rig &rig) {
  rig.tap({k_esc});
  ASSERT_EQ(orrery_state.pause_menu_open, 1);
}

}  // namespace

TEST(PauseMenu, DrawsTheBuiltItemsInOrderInATintedBoxOnTheBackPage) {
  struct row {
    const char *name;
    std::string items;                 // menuitem calls
    const char *chain;                 // run-chain breadcrumb, or null
    std::vector<std::string> labels;   // expected rows
  } rows[] = {
      {"no items", "", nullptr, {"continue", "reset cart", "quit"}},
      {"one item", "menuitem(2, 'sound on')", nullptr, {"continue", "sound on", "reset cart", "quit"}},
      {"five items and a chain",
       "for i = 5, 1, -1 do menuitem(i, 'item ' .. i) end",
       "back to the lobby!!",  // 19 characters: the menu shows 16
       {"continue", "item 1", "item 2", "item 3", "item 4", "item 5", "reset cart", "back to the lobb", "quit"}},
      {"chain alone", "", "title", {"continue", "reset cart", "title", "quit"}},
  };
  for (const row &r : rows) {
    SCOPED_TRACE(r.name);
    runner_rig rig;
    if (r.chain) add_run_chain_item("lobby.q7", r.chain, 0);
    rig.run(r.items + " " + k_plain);
    rig.frame();
    ASSERT_NO_FATAL_FAILURE(open_with_escape(rig));
    const int32_t n = static_cast<int32_t>(r.labels.size());
    const menu_box box(n);
    const int32_t top = 63 - box.h, bottom = 65 + box.h;
    // Outside the box the picture is untouched; inside it is darkened to 0.
    EXPECT_EQ(page_at(64, top - 1), 12u);
    EXPECT_EQ(page_at(64, top), 0u);
    EXPECT_EQ(page_at(64, bottom), 0u);
    EXPECT_EQ(page_at(64, bottom + 1), 12u);
    EXPECT_EQ(page_at(22, 64), 12u);
    EXPECT_EQ(page_at(23, 64), 0u);
    EXPECT_EQ(page_at(105, 64), 0u);
    EXPECT_EQ(page_at(106, 64), 12u);
    // The outline in colour 7.
    for (int32_t x = 24; x <= 104; x += 8) {
      EXPECT_EQ(page_at(x, top + 1), 7u) << x;
      EXPECT_EQ(page_at(x, bottom - 1), 7u) << x;
    }
    EXPECT_EQ(page_at(24, 64), 7u);
    EXPECT_EQ(page_at(104, 64), 7u);
    for (int32_t i = 0; i < n; i++) expect_row_label(box, i, r.labels[i], i == 0);
    EXPECT_TRUE(pointer_at_row(box, 0));
    if (n == 3) {
      EXPECT_EQ(top, 47);
      EXPECT_EQ(bottom, 81);
    }
  }
}

TEST(PauseMenu, UpFromTheFirstRowSelectsTheLastAndDownWrapsBack) {
  runner_rig rig;
  rig.run("menuitem(1, 'one') " + k_plain);
  rig.frame();
  ASSERT_NO_FATAL_FAILURE(open_with_escape(rig));
  const menu_box box(4);
  rig.tap({k_up});
  EXPECT_EQ(orrery_state.pause_menu_selection, 3);
  EXPECT_TRUE(pointer_at_row(box, 3));
  EXPECT_FALSE(pointer_at_row(box, 0));
  expect_row_label(box, 3, "quit", true);
  expect_row_label(box, 0, "continue", false);
  rig.tap({k_down});
  EXPECT_TRUE(pointer_at_row(box, 0));
}

TEST(PauseMenu, ProgramStandsStillWhileTheMenuIsOpenAndEscapeToggles) {
  runner_rig rig;
  rig.run(k_plain);
  for (int i = 0; i < 5; i++) rig.frame();
  ASSERT_NO_FATAL_FAILURE(open_with_escape(rig));
  const double t = rig.num("t");
  for (int i = 0; i < 10; i++) rig.frame();
  EXPECT_EQ(rig.num("t"), t) << "no update while the menu is open";
  EXPECT_EQ(orrery_runner.paused, 1);
  rig.tap({k_esc});
  EXPECT_EQ(orrery_state.pause_menu_open, 0);
  EXPECT_EQ(orrery_runner.paused, 0);
  EXPECT_GT(rig.num("t"), t);
}

TEST(PauseMenu, ChoosingACartridgeItemRunsItsCallbackOnceAndTheButtonDoesNotReachTheProgram) {
  runner_rig rig;
  rig.run("hits = 0 x_seen = 0 menuitem(1, 'bump', function() hits += 1 end) "
          "function _update() if btnp(5) or btn(5) then x_seen += 1 end end");
  rig.frame();
  ASSERT_NO_FATAL_FAILURE(open_with_escape(rig));
  rig.tap({k_down});
  rig.key(k_x, true);  // X chooses and stays held for a while
  for (int i = 0; i < 6; i++) rig.frame();
  EXPECT_EQ(orrery_state.pause_menu_open, 0);
  EXPECT_EQ(rig.num("hits"), 1);
  EXPECT_EQ(rig.num("x_seen"), 0) << "X held since the choice is blocked";
  rig.key(k_x, false);
  for (int i = 0; i < 10; i++) rig.frame();
  EXPECT_EQ(rig.num("hits"), 1) << "the mark is taken once";
  rig.tap({k_x});
  EXPECT_GT(rig.num("x_seen"), 0) << "a new press reaches the program";
}

TEST(PauseMenu, OneInAddress5f30SwallowsExactlyOnePressOfThePauseButton) {
  runner_rig rig;
  rig.run("seen = 0 poke(0x5f30, 1) function _update() if btn(6) or btnp(6) then seen += 1 end end");
  rig.frame();
  rig.tap({k_p});
  EXPECT_EQ(orrery_state.pause_menu_open, 0);
  EXPECT_EQ(pstate.ram[0x5f30], 0) << "the console takes the mark back";
  EXPECT_EQ(rig.num("seen"), 0) << "the swallowed press does not reach the program";
  rig.tap({k_p});
  EXPECT_EQ(orrery_state.pause_menu_open, 1) << "the next press opens the menu";
  rig.tap({k_p});
  EXPECT_EQ(orrery_state.pause_menu_open, 0) << "pause chooses continue";
  EXPECT_EQ(rig.num("seen"), 0);

  // Writing the mark every frame keeps the menu shut; Escape still opens it.
  runner_rig every;
  every.run("function _update() poke(0x5f30, 1) end");
  every.frame();
  every.tap({k_p});
  every.tap({k_p});
  EXPECT_EQ(orrery_state.pause_menu_open, 0);
  every.tap({k_esc});
  EXPECT_EQ(orrery_state.pause_menu_open, 1);
}

TEST(PauseMenu, ResetCartRestartsTheCartridge) {
  runner_rig rig;
  rig.run(k_plain);
  for (int i = 0; i < 30; i++) rig.frame();
  ASSERT_GE(rig.num("t"), 29);
  ASSERT_NO_FATAL_FAILURE(open_with_escape(rig));
  rig.tap({k_down});
  rig.tap({k_z});
  EXPECT_EQ(orrery_state.pause_menu_open, 0);
  for (int i = 0; i < 10; i++) rig.frame();
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
  EXPECT_LT(rig.num("t"), 10) << "a fresh run counts from 0 again";
}

TEST(PauseMenu, QuitEndsTheLoopAndTheExitWritesConfigurationAndCartridgeData) {
  runner_rig rig;
  rig.run("cartdata('quit_test') dset(0, 7) function _update() end");
  rig.frame();
  ASSERT_NO_FATAL_FAILURE(open_with_escape(rig));
  rig.tap({k_up});
  rig.tap({k_x});
  EXPECT_EQ(vell_state.quit, 1);
  vell_exit();
  EXPECT_NE(read_file(rig.home.path + "config.txt").find("button_keys "), std::string::npos);
  EXPECT_EQ(read_file(rig.home.path + "cdata/quit_test.q7d.txt").substr(0, 8), "00070000");
}

TEST(PauseMenu, ExitToCartfindShowsForACartridgeStartedFromTheBrowserAndStopsIt) {
  runner_rig rig;
  rig.run(k_plain);
  pstate.sub_screen = SUB_BROWSER;
  rig.frame();
  ASSERT_NO_FATAL_FAILURE(open_with_escape(rig));
  ASSERT_EQ(paused_menu_count(), 4);
  EXPECT_STREQ(paused_menu_item(3)->label, "exit to cartfind");
  rig.tap({k_up});
  rig.tap({k_z});
  EXPECT_EQ(pstate.mode, MODE_CONSOLE);
  EXPECT_EQ(pstate.sub_screen, SUB_BROWSER);
}

TEST(PauseMenu, RunChainItemNeedsALoadableCartridge) {
  // Loading by name belongs to the load workflow; a file it cannot load
  // leaves the menu open with a message and the chain as it was.
  runner_rig rig;
  add_run_chain_item("missing.q7", "back", 0);
  rig.run(k_plain);
  rig.frame();
  ASSERT_NO_FATAL_FAILURE(open_with_escape(rig));
  rig.tap({k_up});
  rig.tap({k_up});
  rig.tap({k_z});
  EXPECT_EQ(orrery_state.pause_menu_open, 1);
  EXPECT_STREQ(orrery_state.message, "could not load");
  EXPECT_EQ(run_chain_length(), 1);
}

TEST(PauseMenu, ProgramCanAskToBePausedAndTheMenuClearsTheRequest) {
  runner_rig rig;
  rig.run("function _update() if btnp(4) then _set_paused(1) end end");
  rig.frame();
  rig.tap({k_z});
  EXPECT_EQ(orrery_state.pause_menu_open, 1);
  rig.tap({k_z});  // continue
  EXPECT_EQ(orrery_state.pause_menu_open, 0);
  EXPECT_EQ(orrery_runner.paused, 0);
  for (int i = 0; i < 5; i++) rig.frame();
  EXPECT_EQ(orrery_state.pause_menu_open, 0) << "the choosing press did not ask again";
}

TEST(PauseMenu, CtrlKeysTakeTheClipboardAndResetAtMostTwiceASecond) {
  runner_rig rig;
  rig.run(k_plain);
  rig.frame();
  vell_set_clipboard_text("pasted");
  // A typed v without Ctrl is thrown away.
  push_text_input("v");
  rig.frame();
  rig.frame();
  EXPECT_EQ(orrery_state.clipboard, "");
  rig.key(k_lctrl, true);
  rig.frame();
  auto ctrl_key = [&](int32_t sc) {
    push_key_down(sc);
    rig.frame();  // the event is buffered at the end of this iteration
    rig.frame();  // and read by this one's logical frame
  };
  ctrl_key(k_v);
  EXPECT_EQ(orrery_state.clipboard, "pasted");
  ctrl_key(k_r);
  EXPECT_GT(pstate.reset_glitch, 0);
  for (int i = 0; i < 6; i++) rig.frame();
  ASSERT_EQ(pstate.reset_glitch, 0);
  ctrl_key(k_r);  // under 500 ms after the first
  EXPECT_EQ(pstate.reset_glitch, 0);
  for (int i = 0; i < 6; i++) rig.frame();
  ctrl_key(k_r);
  EXPECT_GT(pstate.reset_glitch, 0);
  rig.key(k_lctrl, false);
}

TEST(PauseMenu, ControllerAloneOpensTheMenuMovesAndChooses) {
  runner_rig rig;
  ASSERT_GE(attach_virtual_controller(), 0);
  rig.run("hits = 0 menuitem(1, 'bump', function() hits += 1 end) function _update() end");
  for (int i = 0; i < 3; i++) rig.frame();
  auto button = [&](int b) {
    set_virtual_button(b, true);
    rig.frame();
    rig.frame();
    set_virtual_button(b, false);
    rig.frame();
    rig.frame();
  };
  button(6);  // Start
  ASSERT_EQ(orrery_state.pause_menu_open, 1);
  set_virtual_axis(1, 32767);  // stick down
  rig.frame();
  rig.frame();
  set_virtual_axis(1, 0);
  rig.frame();
  EXPECT_EQ(orrery_state.pause_menu_selection, 1);
  button(0);  // A
  EXPECT_EQ(orrery_state.pause_menu_open, 0);
  for (int i = 0; i < 3; i++) rig.frame();
  EXPECT_EQ(rig.num("hits"), 1);
}
