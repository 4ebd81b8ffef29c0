// The pause menu over a running cartridge, read back from the back page the
// console draws, and the shell's keys during a run.
#include "support/test.h"

namespace {

constexpr int32_t k_esc = 41, k_up = 82, k_down = 81, k_z = 29, k_x = 27, k_p = 19;

// A program over a plain colour-12 screen (which the box darkens to 0).
const std::string k_plain = "t = 0 function _update() t += 1 end function _draw() cls(12) end ";

uint32_t page_at(int32_t x, int32_t y) { return vell_getpixel(vell_back_page(), x, y); }

// Row i of a menu of n rows reads label in colour 7, drawn one pixel
// further right and with the pointer before it when selected.
void expect_row(int32_t n, int32_t i, const std::string &label, bool selected) {
  const int32_t y0 = 69 - (n * 8 + 8) / 2 + 8 * i;
  vell_bitmap *want = vell_create_bitmap(128, 128, 8);
  vell_draw_text_ex(want, label.c_str(), pstate.font, selected ? 35 : 34, y0 + 1, k_text_colour, 7);
  if (selected) vell_draw_sprite(orrery_resource_bitmap(245), want, 0, 0, 25, y0, 7, 7);
  int32_t wrong = 0;
  for (int32_t y = y0; y < y0 + 8; y++)
    for (int32_t x = 25; x < 104; x++) wrong += vell_getpixel(want, x, y) != page_at(x, y);
  vell_destroy_bitmap(want);
  EXPECT_EQ(wrong, 0) << "row " << i << " should read \"" << label << "\"" << (selected ? " selected" : "");
}

}  // namespace

TEST(PauseMenu, DrawsTheBuiltItemsInOrderInATintedBoxOnTheBackPage) {
  // Cartridge items, the run chain's label (null: none), the rows expected.
  const std::tuple<std::string, const char *, std::vector<std::string>> rows[] = {
      {"", nullptr, {"continue", "reset cart", "options", "quit"}},
      {"menuitem(2, 'sound on')", nullptr, {"continue", "sound on", "reset cart", "options", "quit"}},
      {"", "title", {"continue", "reset cart", "title", "options", "quit"}},
      {"for i = 5, 1, -1 do menuitem(i, 'item ' .. i) end", "back to the lobby!!",  // shows 16 characters
       {"continue", "item 1", "item 2", "item 3", "item 4", "item 5", "reset cart", "back to the lobb", "options",
        "quit"}}};
  for (const auto &[items, chain, labels] : rows) {
    SCOPED_TRACE(items + (chain ? chain : ""));
    runner_rig rig;
    if (chain) add_run_chain_item("lobby.q7", chain, 0);
    rig.run(items + " " + k_plain);
    rig.frame();
    rig.tap({k_esc});
    const int32_t n = static_cast<int32_t>(labels.size()), h = (n * 8 + 8) / 2;
    // Darkened box (23, 63 - h)-(105, 65 + h) with the outline one pixel in
    // (four rows span 43..85).
    std::string across, down;
    for (int32_t x : {22, 23, 24, 60, 104, 105, 106}) across += std::to_string(page_at(x, 64));
    for (int32_t y : {62 - h, 63 - h, 64 - h, 64 + h, 65 + h, 66 + h}) down += std::to_string(page_at(60, y));
    EXPECT_EQ(across + " " + down, "120707012 12077012");
    for (int32_t i = 0; i < n; i++) expect_row(n, i, labels[i], i == 0);
  }
}

TEST(PauseMenu, EscapeTogglesThePauseButtonHonours5f30OnceAndTheProgramCanAskForTheMenu) {
  runner_rig rig;
  rig.run(
      "seen = 0 poke(0x5f30, 1) function _update() t = (t or 0) + 1 "
      "if btn(6) then seen += 1 end if btn(4) then _set_paused(1) end end");
  rig.frame();
  // Keys tapped, then whether the menu is open after each.
  const std::pair<int32_t, int32_t> steps[] = {
      {k_p, 0} /* held back by 0x5f30 */, {k_p, 1}, {k_esc, 0}, {k_esc, 1}, {k_p, 0} /* continue */,
      {k_z, 1} /* _set_paused(1) */,      {k_z, 0}};
  for (const auto &[key, open] : steps) {
    rig.tap({key});
    EXPECT_EQ(paused_menu_open(), open) << key;
    if (key == k_p && open) {
      const double t = rig.num("t");
      for (int i = 0; i < 5; i++) rig.frame();
      EXPECT_EQ(rig.num("t"), t) << "the program stands still";
    }
  }
  EXPECT_EQ(pstate.ram[0x5f30], 0);
  EXPECT_EQ(rig.num("seen"), 0) << "no pause press reached the program";
  EXPECT_EQ(orrery_runner().paused, 0) << "closing the menu ends the paused state";
}

TEST(PauseMenu, InExecModeAPauseRequestGoesOnAtOnceAndIsNotedOnce) {
  temp_folder home;
  const exec_result r = exec_cart(home, "_set_paused(1) flip() flip() _set_paused(1) flip() assert(false, 'went on')",
                                  {}, 10000);
  const auto count = [&](const char *line) { return std::count(r.lines.begin(), r.lines.end(), line); };
  EXPECT_EQ(count("pause menu skipped in exec mode"), 1);
  EXPECT_GE(count("went on"), 1) << "the program went on past the pause";
}

TEST(PauseMenu, UpWrapsAndAChosenItemRunsOnceWithoutThePressReachingTheProgramAndResetRestarts) {
  runner_rig rig;
  rig.run(
      "hits = 0 x_seen = 0 menuitem(1, 'bump', function() hits += 1 end) "
      "function _update() t = (t or 0) + 1 if btn(5) then x_seen += 1 end end function _draw() cls(12) end");
  for (int i = 0; i < 30; i++) rig.frame();
  rig.tap({k_esc});
  rig.tap({k_up});
  expect_row(5, 4, "quit", true);
  expect_row(5, 0, "continue", false);
  rig.tap({k_down});
  rig.tap({k_down});
  expect_row(5, 1, "bump", true);
  rig.key(k_x, true);  // X chooses and stays held a while
  for (int i = 0; i < 6; i++) rig.frame();
  EXPECT_EQ(paused_menu_open(), 0);
  EXPECT_EQ(rig.num("x_seen"), 0) << "X held since the choice is blocked";
  rig.key(k_x, false);
  for (int i = 0; i < 10; i++) rig.frame();
  EXPECT_EQ(rig.num("hits"), 1) << "the mark is taken once";
  rig.tap({k_x});
  EXPECT_GT(rig.num("x_seen"), 0) << "a new press reaches the program";
  // "reset cart" starts the program afresh.
  for (int32_t key : {k_esc, k_down, k_down, k_z}) rig.tap({key});
  for (int i = 0; i < 10; i++) rig.frame();
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
  EXPECT_LT(rig.num("t"), 10) << "a fresh run counts from 0 again";
}

TEST(PauseMenu, ControllerAloneOpensTheMenuMovesAndChooses) {
  runner_rig rig;
  ASSERT_GE(attach_virtual_controller(), 0);
  rig.run("hits = 0 menuitem(1, 'bump', function() hits += 1 end) function _update() end");
  for (int i = 0; i < 3; i++) rig.frame();
  // Start, the stick down, A; each held two frames and released.
  for (int b : {6, -1, 0}) {
    b < 0 ? set_virtual_axis(1, 32767) : set_virtual_button(b, true);
    rig.frame(2);
    b < 0 ? set_virtual_axis(1, 0) : set_virtual_button(b, false);
    rig.frame();
    EXPECT_EQ(paused_menu_open(), b != 0);
    EXPECT_TRUE(b >= 0 || paused_menu_selection() == 1) << "the stick moves down a row";
  }
  rig.frame();
  EXPECT_EQ(rig.num("hits"), 1);
}
