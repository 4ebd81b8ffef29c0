// install_demos and install_games run by a cartridge in exec mode, checked
// from the files they leave in a fresh home folder.
#include <gtest/gtest.h>

#include <string>

#include "browser/favourites.h"
#include "browser/install_carts.h"
#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/cart_png.h"
#include "machine/cart_text.h"
#include "shell/resources.h"
#include "support/cart_support.h"
#include "support/process.h"

namespace {

process_result run_exec(const temp_folder &home, const std::string &code) {
  write_file(home / "setup.q7", "orrery cartridge\nversion 12\n__lua__\n" + code + "\n");
  return run_process({ORRERY_BINARY, "-home", home.path, "-x", home / "setup.q7"});
}

std::string asset(const std::string &name) { return read_file(ORRERY_SOURCE_DIR "/assets/carts/" + name); }

}  // namespace

TEST(InstallCarts, DemosGoToTheRootFolderUnderTheirNames) {
  temp_folder home;
  const process_result r = run_exec(home, "install_demos()");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  for (const char *name : k_demo_names) {
    const std::string file = std::string(name) + ".q7";
    EXPECT_EQ(read_file(home / ("carts/demos/" + file)), asset("demos/" + file)) << file;
  }
  orrery_release_resources();
}

TEST(InstallCarts, GamesGoToTheCatalogueCacheAndTheFirstIntoTheFavourites) {
  temp_folder home;
  const std::string mine = "|                     |                     |0      |                 |mine.q7              |mine\n";
  write_file(home / "favourites.txt", mine);
  // Twice: the second run neither duplicates the favourite nor loses one.
  for (int run = 0; run < 2; run++) {
    const process_result r = run_exec(home, "install_games()");
    ASSERT_EQ(r.exit_code, 0) << r.output;
  }
  const std::vector<browser_item> favourites = parse_favourites(read_file(home / "favourites.txt"));
  ASSERT_EQ(favourites.size(), 1u + k_game_count) << read_file(home / "favourites.txt");
  EXPECT_EQ(favourites[0].file_name, "mine.q7");
  for (int32_t i = 0; i < k_game_count; i++) EXPECT_EQ(favourites[1 + i].lid, k_game_ids[i]);
  EXPECT_EQ(favourites[1].title, "orbit hop");

  // Each game is a picture cartridge in the cache, holding the game; its
  // label is read through the console's palette.
  ASSERT_EQ(orrery_load_resources(ORRERY_BUILD_DIR "/data.pod"), 0);
  vell_set_engine_palette(orrery_resource_palette());
  for (const char *id : k_game_ids) {
    const std::string cached = home / ("bbs/carts/" + std::string(id) + ".q7.png");
    cart_ptr picture(load_orrery_cart_png(cached.c_str()));
    ASSERT_TRUE(picture) << cached;
    const std::string source = std::string(ORRERY_SOURCE_DIR "/assets/carts/games/") + id + ".q7";
    cart_ptr text(vell_load_orrery_cart(source.c_str()));
    ASSERT_TRUE(text);
    EXPECT_STREQ(picture->code, text->code) << id;
    ASSERT_TRUE(picture->label && text->label) << id;
    int32_t differ = 0;
    for (int y = 0; y < 128; y++)
      for (int x = 0; x < 128; x++) differ += picture->label->line[y][x] != text->label->line[y][x];
    EXPECT_EQ(differ, 0) << id << ": the label shows in the picture";
  }
  orrery_release_resources();
}
