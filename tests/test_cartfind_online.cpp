// The browser in front of a real catalogue: pages made by the catalogue kit
// from a folder of cartridges, served by a static web server on 127.0.0.1,
// fetched, shown, downloaded and run with the buttons; then the same home
// folder offline.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "browser/browser_list.h"
#include "browser/cartfind_state.h"
#include "browser/catalogue.h"
#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/pstate.h"
#include "shell/console.h"
#include "shell/message_bar.h"
#include "shell/pause_menu.h"
#include "support/browser_rig.h"
#include "support/http_server.h"
#include "support/process.h"

namespace {

// The screen above the list's band shows the stripes of the test label.
bool screen_shows_stripes() {
  for (int y = 0; y < 72; y++)
    for (int x = 0; x < 128; x++)
      if (vell_getpixel(pstate.screen, x, y) != static_cast<uint32_t>(y / 8)) return false;
  return true;
}

bool working_code_has(const char *text) {
  return orrery_working_cart() && std::string(orrery_working_cart()->code).find(text) != std::string::npos;
}

// A catalogue site made by the kit from three cartridges.
struct site {
  temp_folder in, out;
  site() {
    write_file(in / "rocket.q7", browser_test_cart("rocket", "function _draw() cls(9) end"));
    write_file(in / "second.q7", browser_test_cart("second", "function _draw() cls(11) end"));
    write_file(in / "12345.q7", browser_test_cart("numbered", "function _draw() cls(4) end", false));
    const process_result kit = run_process({ORRERY_BUILD_DIR "/orrery-catalogue", in.path, out.path});
    EXPECT_EQ(kit.exit_code, 0) << kit.output;
    std::filesystem::create_directories(out / "info");
    write_file(out / "info/second.nfo", "title = The Second One\nlid=second\n");
    write_file(out / "info/short.nfo", "lid=x\n");
  }
};

}  // namespace

TEST(CartfindOnline, FetchesAListShowsLabelsDownloadsAndRunsThenWorksOffline) {
  site catalogue;
  temp_folder home;
  static_web_server server(catalogue.out.path);
  ASSERT_TRUE(server.ready()) << "python3 -m http.server did not start";
  const std::string url = server.base_url();
  {
    console_rig rig({"-home", home.path, "-catalogue_url", url, "-cartfind"});
    ASSERT_TRUE(boot_into_browser(rig));
    rig.tap({SC_RIGHT});
    ASSERT_EQ(cartfind_state().current, LIST_NEW);
    ASSERT_EQ(current_list().items.size(), 1u) << "no page yet: only [update]";

    rig.tap({SC_O});
    ASSERT_EQ(orrery_state.download_state, DOWNLOAD_RUNNING);
    finish_download(rig);
    ASSERT_EQ(current_list().items.size(), 4u) << orrery_state.message;
    EXPECT_EQ(current_list().selection, 1) << "a fresh page selects its first cartridge";
    EXPECT_TRUE(std::filesystem::exists(home / "bbs/new.pip.png"));

    select_title(rig, "rocket");
    rig.frame();
    EXPECT_TRUE(screen_shows_stripes()) << "the selected entry's label fills the screen";

    // Not cached yet: O downloads it, and it runs once it has arrived.
    rig.tap({SC_O});
    finish_download(rig);
    EXPECT_TRUE(std::filesystem::exists(home / "bbs/carts/rocket.q7.png"));
    ASSERT_TRUE(frames_until(rig, [] { return pstate.mode == MODE_RUNNING; }, 40)) << orrery_state.message;
    rig.frame();
    EXPECT_EQ(vell_getpixel(pstate.screen, 64, 64), 9u);

    // A catalogue entry's information file, fetched while a cartridge runs,
    // names the cartridge to run next: fetched in a second step, then run.
    ASSERT_EQ(download_file((url + "/info/short.nfo").c_str(), (home / "bbs/carts/temp-x.nfo").c_str()),
              DOWNLOAD_START_OK);
    finish_download(rig);
    EXPECT_TRUE(message_bar_shows("could not find cart")) << orrery_state.message;
    ASSERT_EQ(download_file((url + "/info/second.nfo").c_str(), (home / "bbs/carts/temp-second.nfo").c_str()),
              DOWNLOAD_START_OK);
    finish_download(rig);
    EXPECT_STREQ(downloaded_cart_title(), "the second one");
    finish_download(rig);
    ASSERT_TRUE(frames_until(rig, [] { return working_code_has("cls(11)"); }, 40)) << orrery_state.message;
    ASSERT_TRUE(frames_until(rig, [] { return vell_getpixel(pstate.screen, 64, 64) == 11u; }, 40));
    EXPECT_EQ(pstate.mode, MODE_RUNNING);

    // Back to the browser through the pause menu.
    rig.tap({SC_P});
    ASSERT_EQ(orrery_state.pause_menu_open, 1);
    rig.tap({SC_UP});
    rig.tap({SC_O});
    ASSERT_TRUE(frames_until(rig, [] { return pstate.mode == MODE_CONSOLE && pstate.sub_screen == SUB_BROWSER; }, 10));
  }
  server.stop();

  // A new run without the server: the cached page fills the list and the
  // cached cartridge runs; asking for the page again fails and keeps it.
  console_rig rig({"-home", home.path, "-catalogue_url", url, "-cartfind"});
  ASSERT_TRUE(boot_into_browser(rig));
  rig.tap({SC_RIGHT});
  ASSERT_EQ(current_list().items.size(), 4u);
  select_title(rig, "[update]");
  rig.tap({SC_O});
  finish_download(rig);
  EXPECT_TRUE(message_bar_shows("could not connect to bbs.")) << orrery_state.message;
  EXPECT_EQ(current_list().items.size(), 4u);
  select_title(rig, "rocket");
  rig.frame();
  EXPECT_TRUE(screen_shows_stripes());
  rig.tap({SC_O});
  EXPECT_EQ(orrery_state.download_state, DOWNLOAD_IDLE) << "a cached cartridge is not fetched again";
  ASSERT_TRUE(frames_until(rig, [] { return pstate.mode == MODE_RUNNING; }, 40)) << orrery_state.message;
  rig.frame();
  EXPECT_EQ(vell_getpixel(pstate.screen, 64, 64), 9u);
}
