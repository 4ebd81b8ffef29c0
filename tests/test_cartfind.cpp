// The cartridge browser driven by the keyboard's console buttons in the whole
// console started in-process: switching lists, folders, the search entry,
// favourites, the menus and dialog, running a cartridge and coming back.
#include "support/test.h"

TEST(Cartfind, ListsWrapTheSlideTakesTheShortWayAndTheSearchEntrySpellsAtMost21Characters) {
  console_rig rig({"-cartfind"});
  ASSERT_TRUE(boot_into_browser(rig));
  EXPECT_EQ(cartfind_state().current, LIST_FAV) << "the browser opens on the favourites";
  go_to_list(rig, LIST_SEARCH);
  rig.tap({SC_RIGHT});
  EXPECT_EQ(cartfind_state().current * 10 + cartfind_state().list_changed, LIST_LOCAL * 10 + 1) << "right on search wraps to local";
  // Sliding from list 7 to list 0 runs from -1 up to 0, not back over 6..1.
  EXPECT_TRUE(cartfind_state().list_position >= -k_one && cartfind_state().list_position <= 0) << cartfind_state().list_position;
  rig.tap({SC_LEFT});
  EXPECT_EQ(cartfind_state().current, LIST_SEARCH) << "left on local wraps to search";
  EXPECT_TRUE(cartfind_state().list_position >= LIST_SEARCH * k_one && cartfind_state().list_position <= k_browser_lists * k_one);
  EXPECT_TRUE(frames_until(rig, [] { return cartfind_state().list_position == LIST_SEARCH * k_one; }, 60));
  rig.tap({SC_DOWN});
  EXPECT_EQ(cartfind_state().list_changed, 0) << "another button dims the arrows again";
  // The slide and the menus ease by fixed steps: a position, its target,
  // the next position; a menu's openness, whether it opens, the next.
  for (const auto &[from, to, next] : {std::tuple<int64_t, int64_t, int64_t>{0, 7 * k_one, 7 * k_one / 8 + 4096},
                                       {7 * k_one, 0, 7 * 7 * k_one / 8 - 4096},
                                       {k_one - 100, k_one, k_one},  // the extra step does not pass the target
                                       {5, 5, 5}})
    EXPECT_EQ(ease_toward(from, to), next) << from << "->" << to;
  for (const auto &[from, open, next] : {std::tuple<int32_t, int, int32_t>{0, 1, 65536 / 3 + 2048},
                                         {63000, 1, 65536},  // (2v + 65536) / 3 = 63845 is past 63488
                                         {k_one, 0, 2 * k_one / 3 - 2048},
                                         {3000, 0, 0}})
    EXPECT_EQ(ease_menu(from, open), next) << from << " open " << open;

  // The search entry on the search list spells at most 21 characters.
  ASSERT_EQ(current_list().items.size(), 1u);
  EXPECT_EQ(current_list().items[0].kind, ITEM_SEARCH);
  rig.tap({SC_O});
  ASSERT_EQ(cartfind_state().entering, 1);
  // Right on the empty text adds a space and moves past it; up turns that
  // space into 'a'; down from 'a' goes back to the space, then wraps to 9;
  // left stops at 0, where up puts a new letter in front. Keys, then the
  // text and the cursor after them.
  const std::tuple<std::vector<int32_t>, const char *, int32_t> steps[] = {
      {{SC_RIGHT}, " ", 1},       {{SC_UP}, "a", 1},          {{SC_DOWN, SC_DOWN}, "9", 1},
      {{SC_LEFT, SC_LEFT, SC_UP}, "a9", 1}, {{SC_RIGHT, SC_RIGHT, SC_DOWN}, "a99", 3}};
  for (const auto &[keys, text, cursor] : steps) {
    for (int32_t key : keys) rig.tap({key});
    EXPECT_EQ(cartfind_state().search_text, text);
    EXPECT_EQ(cartfind_state().search_cursor, cursor) << text;
  }
  for (int i = 0; i < 25; i++) rig.tap({SC_RIGHT});
  rig.tap({SC_UP});
  EXPECT_EQ(cartfind_state().search_text, "a99" + std::string(17, ' ') + "a") << "21 characters at most";
  EXPECT_EQ(cartfind_state().search_cursor, 21);
  // O sends the search: the list's title and request follow the text. No
  // catalogue address is set, so nothing is fetched, and the message says why.
  rig.tap({SC_O});
  EXPECT_EQ(cartfind_state().entering, 0);
  EXPECT_EQ(current_list().title, cartfind_state().search_text);
  EXPECT_EQ(current_list().request, "cat=7&search=" + cartfind_state().search_text + "&max=32");
  EXPECT_TRUE(message_bar_shows("no catalogue configured")) << message_bar_state().text;
  // Pause cancels a new entry.
  rig.tap({SC_O});
  rig.tap({SC_P});
  EXPECT_EQ(cartfind_state().entering, 0);
  EXPECT_TRUE(message_bar_shows("cancelled"));
}

namespace {

// True when the text, drawn centred on x 64 at y in the colour, is on the
// screen already (drawing it again changes no pixel).
bool screen_shows_text(const std::string &text, int32_t y, int32_t colour) {
  vell_bitmap *copy = vell_create_bitmap(128, 128, 8);
  vell_blit(pstate.screen, copy, 0, 0, 0, 0, 128, 128);
  vell_draw_text_ex(copy, text.c_str(), pstate.font, 64, y, k_text_colour | k_text_centre, colour);
  bool same = true;
  for (int i = 0; i < 128 * 128 && same; i++) same = vell_getpixel(copy, i % 128, i / 128) == vell_getpixel(pstate.screen, i % 128, i / 128);
  vell_destroy_bitmap(copy);
  return same;
}

}  // namespace

TEST(Cartfind, AFirstStartWithoutACatalogueSaysOnScreenHowToGetCartridges) {
  console_rig rig({"-cartfind"});
  ASSERT_TRUE(boot_into_browser(rig));
  const std::string root = orrery_config().root_path;
  ASSERT_LE(root.size(), 32u) << "the test's folder fits on one line";
  // List, then a line, its y and colour: the empty favourites and the empty
  // local list say how to get cartridges and where to copy them; an online
  // list says that no catalogue is configured and how to configure one.
  const std::tuple<int32_t, const char *, int32_t, int32_t> rows[] = {
      {LIST_FAV, "to get cartridges, run", 50, 7},          {LIST_FAV, "install_games() or", 58, 6},
      {LIST_FAV, root.c_str(), 82, 6},                      {LIST_LOCAL, "to get cartridges, run", 16, 7},
      {LIST_LOCAL, root.c_str(), 48, 6},                    {LIST_NEW, "no catalogue configured.", 28, 7},
      {LIST_NEW, "set catalogue_url in config.txt", 36, 6}, {LIST_SEARCH, "no catalogue configured.", 28, 7}};
  for (const auto &[list, text, y, colour] : rows) {
    go_to_list(rig, list);
    rig.frame();
    EXPECT_TRUE(screen_shows_text(text, y, colour)) << list << ": " << text;
  }
  go_to_list(rig, LIST_NEW);
  rig.tap({SC_O});
  EXPECT_TRUE(message_bar_shows("no catalogue configured")) << message_bar_state().text;
  // With a catalogue the favourites point to its lists instead.
  orrery_config_set_text(&orrery_config_t::catalogue_url, "http://127.0.0.1:1");
  go_to_list(rig, LIST_FAV);
  rig.frame();
  EXPECT_TRUE(screen_shows_text("to see a list of bbs carts", 58, 6));
  EXPECT_FALSE(screen_shows_text("to get cartridges, run", 50, 7));
}

TEST(Cartfind, FoldersStayInsideTheRootAndALocalCartridgeShowsItsCommentsAndRuns) {
  console_rig rig({"-cartfind"});
  const std::string root = rig.home.path + "carts/";
  temp_folder outside;
  write_file(root + "b game.q7", browser_test_cart("a game", "-- by someone\ncls(8)", false));
  ASSERT_EQ(mkdir((root + "sub").c_str(), 0755), 0);
  write_file(root + "sub/inner.q7.png", "not really a picture");
  ASSERT_EQ(symlink(outside.path.c_str(), (root + "away").c_str()), 0);
  ASSERT_EQ(symlink((root + "sub").c_str(), (root + "alias").c_str()), 0);
  write_file(root + ".hidden.q7", "");
  write_file(root + "notes.txt", "");
  ASSERT_TRUE(boot_into_browser(rig));
  go_to_list(rig, LIST_LOCAL);
  const char *at_root = "alias|away|sub|b game|";
  EXPECT_EQ(titles(current_list()), at_root) << "no \"..\" at the root; folders first";
  // A folder link that leads out of the root does nothing.
  select_title(rig, "away");
  rig.tap({SC_O});
  EXPECT_STREQ(orrery_current_folder(), "");
  EXPECT_EQ(titles(current_list()), at_root);
  // A real folder, and back with "..".
  select_title(rig, "sub");
  rig.tap({SC_O});
  EXPECT_STREQ(orrery_current_folder(), "sub/");
  EXPECT_EQ(titles(current_list()), "..|inner|");
  EXPECT_EQ(current_list().items[1].file_name, "sub/inner.q7.png");
  EXPECT_EQ(item_icon(current_list().items[1]), k_icon_picture);
  rig.tap({SC_O});
  EXPECT_EQ(titles(current_list()), at_root);

  // A text cartridge's label: colour 5 with its opening comment lines in
  // colour 6 from y 22 on. It runs and shows the finished bar over its screen.
  select_title(rig, "b game");
  rig.frame();
  EXPECT_EQ(vell_getpixel(pstate.screen, 127, 0), 5u);
  int32_t ink = 0;
  for (int i = 0; i < 12 * 60; i++) ink += vell_getpixel(pstate.screen, i % 60, 22 + i / 60) == 6u;
  EXPECT_GT(ink, 20);
  rig.tap({SC_O});
  ASSERT_TRUE(frames_until(rig, [] { return cartfind_state().finished == 1; }, 60)) << message_bar_state().text;
  rig.frame();
  EXPECT_EQ(vell_getpixel(pstate.screen, 64, 64), 8u);
}

TEST(Cartfind, AFavouriteToggledTwiceLeavesTheFileAsItWasButKeepsItsLabel) {
  console_rig rig({"-cartfind"});
  const std::string home = rig.home.path;
  const std::string before = "|                     |                     |0      |                 |mine.q7              |mine\n";
  write_file(home + "favourites.txt", before);
  ASSERT_TRUE(boot_into_browser(rig));
  reload_favourites();
  fill_catalogue_list(LIST_NEW, {"abc_1", "zz_9"});
  go_to_list(rig, LIST_NEW);
  select_title(rig, "abc_1");
  rig.tap({SC_P});
  ASSERT_EQ(cartfind_state().menu, CART_MENU_CART);
  EXPECT_EQ(menu_item_text(CART_MENU_CART, 1), "favourite");
  rig.tap({SC_DOWN});
  rig.tap({SC_O});
  EXPECT_EQ(current_list().items[1].favourite, 1);
  EXPECT_EQ(cartfind_state().menu, CART_MENU_CART) << "outside the favourites the menu stays open";
  EXPECT_EQ(read_file(home + "favourites.txt"),
            before + "|abc_1                |abc_1                |2      |abc_1            |                     |abc_1\n");
  const std::string label_file = read_file(home + "bbs/labels/abc_1.png");
  ASSERT_FALSE(label_file.empty());
  rig.tap({SC_O});
  EXPECT_EQ(current_list().items[1].favourite, 0);
  EXPECT_EQ(read_file(home + "favourites.txt"), before);
  EXPECT_EQ(read_file(home + "bbs/labels/abc_1.png"), label_file) << "the label stays saved";
}

TEST(Cartfind, FavouritesFileKeepsOneEntryPerCartridgeWithCleanFields) {
  const std::vector<browser_item> items = parse_favourites(
      "not a favourite line\n"
      "|12345 |678 |2 |Some One! |  |My *Game*   \r\n"
      "|12345 |999 |3 |other |  |again\n"       // same lid: dropped
      "| | |0 | |games/a.q7 |a\n"
      "| | |0 | |games/a.q7 |a twin\n"            // same file: dropped
      "|abc_1 | |0 | |games/a.q7 |with lid\n"     // a lid, but the file is taken: dropped
      "| |55 |0 | |games/b.q7 |b\n"               // no lid but a mid: dropped
      "| | |0 | | |nameless\n"                    // no lid, no file: dropped
      "|xy_2|xy_2|-7|a|b.q7|c|d\n");
  std::string seen;
  for (const browser_item &i : items)
    seen += i.lid + "," + i.mid + "," + std::to_string(i.catsub) + "," + i.author + "," + i.file_name + "," + i.title +
            "|";
  EXPECT_EQ(seen, "12345,678,2,some_one_,,my *game*|,,0,,games/a.q7,a|xy_2,xy_2,-7,a,b.q7,c_d|");
}

TEST(Cartfind, RunsACartridgeShowsTheFinishedBarAndComesBackFromThePauseMenu) {
  console_rig rig({"-cartfind"});
  const std::string home = rig.home.path;
  ASSERT_TRUE(cache_cart(home, "short", browser_test_cart("short", "cls(2) print('bye', 0, 0, 7)")));
  // This one tries to open the browser itself: a cartridge may not.
  ASSERT_TRUE(cache_cart(home, "long", browser_test_cart("long", "function _update() if btnp(4) then cartfind() end end "
                                                                 "function _draw() cls(3) end")));
  ASSERT_TRUE(boot_into_browser(rig));
  fill_catalogue_list(LIST_NEW, {"short", "long"});
  go_to_list(rig, LIST_NEW);
  select_title(rig, "short");
  rig.frame();
  EXPECT_TRUE(striped_label(current_list().items[1].label.get())) << "the page's label";
  rig.tap({SC_O});
  ASSERT_TRUE(frames_until(rig, [] { return cartfind_state().finished == 1; }, 60)) << message_bar_state().text;
  EXPECT_EQ(pstate.sub_screen, SUB_BROWSER);
  EXPECT_EQ(cartfind_state().running_item.lid, "short");
  rig.frame();
  // The finished bar over what the cartridge left.
  EXPECT_EQ((std::vector<uint32_t>{vell_getpixel(pstate.screen, 64, 120), vell_getpixel(pstate.screen, 127, 127),
                                   vell_getpixel(pstate.screen, 64, 64)}),
            (std::vector<uint32_t>{0, 6, 2}));
  rig.tap({SC_DOWN});
  EXPECT_EQ(cartfind_state().finished, 0);
  EXPECT_EQ(current_list().selection, 1) << "the press that ends the bar does nothing else";

  select_title(rig, "long");
  rig.tap({SC_O});
  ASSERT_TRUE(frames_until(rig, [] { return pstate.mode == MODE_RUNNING; }, 60));
  rig.tap({SC_O});
  EXPECT_EQ(pstate.mode, MODE_RUNNING) << "cartfind() from a cartridge does nothing";
  rig.tap({SC_P});
  ASSERT_EQ(paused_menu_open(), 1);
  EXPECT_STREQ(paused_menu_item(paused_menu_count() - 1)->label, "exit to cartfind");
  rig.tap({SC_UP});
  rig.tap({SC_O});
  ASSERT_TRUE(frames_until(rig, [] { return pstate.mode == MODE_CONSOLE; }, 10));
  rig.frame();
  EXPECT_EQ(pstate.sub_screen, SUB_BROWSER);
  EXPECT_EQ(cartfind_state().finished, 0) << "straight back, no finished bar";
  EXPECT_EQ(cartfind_state().current, LIST_NEW);
}

TEST(Cartfind, TheExitDialogLeavesToTheConsoleOrQuits) {
  console_rig rig({"-cartfind"});
  ASSERT_TRUE(boot_into_browser(rig));
  // The favourites list is empty: with only the pad, O offers the way out.
  ASSERT_TRUE(cartfind_list(LIST_FAV).items.empty());
  rig.tap({SC_O});
  ASSERT_EQ(cartfind_state().exit_dialog, 1);
  rig.tap({SC_UP});
  EXPECT_EQ(cartfind_state().exit_choice, 2) << "up from the first choice wraps to cancel";
  rig.tap({SC_O});
  EXPECT_EQ(cartfind_state().exit_dialog * 10 + pstate.sub_screen, SUB_BROWSER);
  rig.tap({SC_ESC});
  ASSERT_EQ(cartfind_state().exit_dialog, 1);
  rig.tap({SC_DOWN});
  rig.tap({SC_X});
  EXPECT_EQ(pstate.sub_screen * 100 + pstate.pen * 10 + vell_state.quit, SUB_NONE * 100 + 60);
  EXPECT_TRUE(screen_line_is("press any button or esc", 12)) << "the console says how to go back";
  // Any button leads back; then the dialog's first choice ends the program.
  rig.tap({SC_X});
  EXPECT_EQ(pstate.sub_screen, SUB_BROWSER);
  rig.tap({SC_ESC});
  rig.tap({SC_P});
  EXPECT_EQ(vell_state.quit, 1);
}

TEST(Cartfind, OnlyTheHeadCartridgeOpensTheBrowser) {
  // The head cartridge of the resource file: any button opens the browser.
  temp_folder program;
  pod_with_head_cart(program, "function _update() if btnp(5) then cartfind() end end function _draw() cls(1) end");
  console_rig rig({}, program.path);
  ASSERT_TRUE(frames_until(rig, [] { return pstate.mode == MODE_RUNNING; }, 200));
  rig.tap({SC_X});
  ASSERT_TRUE(frames_until(rig, [] { return pstate.mode == MODE_CONSOLE; }, 5));
  EXPECT_EQ(pstate.sub_screen, SUB_BROWSER);
  EXPECT_EQ(cartfind_state().finished * 10 + cartfind_state().current, LIST_FAV);
}
