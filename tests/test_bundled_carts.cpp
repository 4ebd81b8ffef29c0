// The cartridges that come with the console: each one loads, stays within
// the token limit, and plays for twenty seconds (600 frames at 30 a second)
// of scripted button presses without an error, a blank screen or going over
// its CPU budget, getting past its title or opening screen on the way; and
// the commands that install them, run by a cartridge in exec mode.
#include "support/test.h"

namespace {

struct bundled {
  const char *path;     // below assets/carts/
  const char *buttons;  // what the script may press: l r u d o x for player 0, L R U D O X for player 1
  const char *moved_on; // plain Lua, true once the cartridge shows something past its opening screen
};

// The sixty demo's x button adds work on purpose until the frame rate
// drops, so the script leaves it alone there.
const char *const k_past_title = "state ~= 'title'";
const bundled k_carts[] = {
    {"demos/shapes.q7", "lrudox", "page ~= 1"},
    {"demos/sprites.q7", "lrudox", "px ~= 40 or py ~= 48"},
    {"demos/sounds.q7", "lrudox", "sel ~= 1 or playing"},
    {"demos/text.q7", "lrudox", "page ~= 1"},
    {"demos/palette.q7", "lrudox", "page ~= 1"},
    {"demos/sixty.q7", "lrudo", "not trails"},
    {"demos/saves.q7", "lrudox", "sel ~= 1"},
    {"demos/menu.q7", "lrudox", "clock > 0"},
    {"demos/coro.q7", "lrudox", "cat.x > 0"},
    {"demos/mouse.q7", "lrudox", "size ~= 2"},
    {"demos/duel.q7", "lrudoxLRUDOX", "countdown == 0"},
    {"demos/bounce.q7", "lrudox", "#balls ~= 6"},
    {"games/orbithop.q7", "ox", k_past_title},
    {"games/bricklight.q7", "lrox", k_past_title},
    {"games/cratekeep.q7", "lrudox", k_past_title},
    {"games/nightflight.q7", "lrudox", k_past_title},
    {"games/glowworm.q7", "lrudox", k_past_title},
};

// The key for a button the script presses.
int32_t scancode(char b) {
  static const std::string buttons = "lrudoxLRUDOX";
  static const int32_t keys[] = {80, 79, 82, 81, 29, 27, 22, 9, 8, 7, 225, 4};
  return keys[buttons.find(b)];
}

void PrintTo(const bundled &b, std::ostream *os) { *os << b.path; }

std::string name_of(const ::testing::TestParamInfo<bundled> &info) {
  std::string n = info.param.path;
  n = n.substr(n.find('/') + 1);
  return n.substr(0, n.find('.'));
}

class Bundled : public ::testing::TestWithParam<bundled> {};

}  // namespace

TEST_P(Bundled, LoadsWithALabelWithinTheTokenLimitAndPlaysPastItsTitleForTwentySecondsWithinItsBudget) {
  const std::string path = std::string(ORRERY_SOURCE_DIR "/assets/carts/") + GetParam().path;
  cart_ptr cart(load_q7_text(read_file(path)));
  ASSERT_NE(cart, nullptr) << path;
  EXPECT_NE(cart->label, nullptr) << "the browser shows a label for every bundled cartridge";
  EXPECT_GT(count_tokens(cart->code), 0);
  EXPECT_LE(count_tokens(cart->code), 8192);
  runner_rig rig({"-x", path});
  const std::string buttons = GetParam().buttons;
  // A fixed pseudo-random script: a button held for a few frames, a pause.
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  int32_t held = -1, hold_left = 0;
  int64_t load_sum = 0;
  bool moved_on = false;
  // Iterations of 17, 17 and 16 ms: sixty a second, for twenty seconds.
  for (int32_t i = 0; i < 1200; i++) {
    if (hold_left == 0) {
      if (held >= 0) rig.key(held, false);
      held = next(3) == 0 ? -1 : scancode(buttons[next(static_cast<uint32_t>(buttons.size()))]);
      if (held >= 0) rig.key(held, true);
      hold_left = 1 + static_cast<int32_t>(next(12));
    }
    hold_left--;
    rig.iterate(i % 3 == 2 ? 16 : 17);
    // (exec mode prints the error on standard output)
    ASSERT_EQ(pstate.mode, MODE_RUNNING) << "the program stopped after " << i << " iterations";
    load_sum += cpu_budget().current_load;
    // (from the second second on: before its first frame a cartridge has set nothing)
    const std::string check = std::string("return ") + GetParam().moved_on;
    if (i >= 60 && i % 10 == 0 && !moved_on) moved_on = rig_eval(check.c_str()) == "true";
  }
  EXPECT_TRUE(moved_on) << "never past its opening screen: " << GetParam().moved_on;
  const int32_t lit =
      128 * 128 - static_cast<int32_t>(std::count(pstate.screen->data, pstate.screen->data + 128 * 128, 0));
  EXPECT_GT(lit, 128) << "the screen is (nearly) blank";
  EXPECT_LT(load_sum / 1200, 0x10000) << "on average a frame needs more than its budget";
}

INSTANTIATE_TEST_SUITE_P(Carts, Bundled, ::testing::ValuesIn(k_carts), name_of);

TEST(InstallCarts, DemosGoToTheRootFolderGamesToTheCatalogueCacheAndTheFirstIntoTheFavourites) {
  temp_folder home;
  write_file(home / "favourites.txt", "| | |0 | |mine.q7 |mine\n");
  // Twice: the second run neither duplicates the favourite nor loses one.
  // What the commands print reaches standard output, ls's listing too.
  for (int run = 0; run < 2; run++) {
    const exec_result r = exec_cart(home, "install_demos() install_games() cd('demos') ls()");
    ASSERT_EQ(r.exit_code, 0);
    // (duel.q7 once as installed, once as listed)
    const std::pair<std::string, int> expected[] = {
        {"installing demo carts to /demos/", 1},
        {"installed sample games", 1},
        {"directory: /demos/", 1},
        {"duel.q7", 2}};
    for (const auto &[line, times] : expected)
      EXPECT_EQ(std::count(r.lines.begin(), r.lines.end(), line), times) << line;
  }
  for (const char *name : k_demo_names) {
    const std::string file = std::string(name) + ".q7";
    EXPECT_EQ(read_file(home / ("carts/demos/" + file)), read_file(ORRERY_SOURCE_DIR "/assets/carts/demos/" + file));
  }
  const std::vector<browser_item> favourites = parse_favourites(read_file(home / "favourites.txt"));
  ASSERT_EQ(favourites.size(), 1u + k_game_count) << read_file(home / "favourites.txt");
  EXPECT_EQ(favourites[0].file_name + "|" + favourites[1].title, "mine.q7|orbit hop");
  for (int32_t i = 0; i < k_game_count; i++) EXPECT_EQ(favourites[1 + i].lid, k_game_ids[i]);

  // Each game is a picture cartridge in the cache holding the game; its
  // label, read through the console's palette, shows in the picture.
  ASSERT_EQ(orrery_load_resources(ORRERY_BUILD_DIR "/data.pod"), 0);
  vell_set_engine_palette(orrery_resource_palette());
  for (const char *id : k_game_ids) {
    cart_ptr picture(load_orrery_cart_png((home / ("bbs/carts/" + std::string(id) + ".q7.png")).c_str()));
    cart_ptr text(vell_load_orrery_cart((std::string(ORRERY_SOURCE_DIR "/assets/carts/games/") + id + ".q7").c_str()));
    ASSERT_TRUE(picture && text && picture->label && text->label) << id;
    EXPECT_STREQ(picture->code, text->code) << id;
    EXPECT_EQ(memcmp(picture->label->data, text->label->data, 128 * 128), 0) << id;
  }
  orrery_release_resources();
}
