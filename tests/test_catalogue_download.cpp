// The catalogue's download slot over real HTTP on 127.0.0.1, and the whole
// road from the catalogue kit through its loopback server into the lists
// and the working cartridge.
#include "support/test.h"

namespace {

// Waits (real time, at most ten seconds) until done() holds.
bool wait_for(const std::function<bool()> &done) {
  for (int i = 0; i < 1000 && !done(); i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

// Bytes in the temporary files of unfinished downloads under folder, or -1
// when there are none.
long long part_bytes(const std::string &folder) {
  long long bytes = -1;
  std::error_code ec;
  for (const auto &e : std::filesystem::recursive_directory_iterator(folder, ec))
    if (e.path().string().find(".part") != std::string::npos) bytes = std::max(bytes, 0ll) + e.file_size(ec);
  return bytes;
}

int32_t slot_state() { return orrery_state.download_state; }

// A temporary home, the test's clock and an idle slot.
struct slot_rig {
  temp_home home;
  slot_rig() {
    g_rig_now = 1000;
    use_test_clock(rig_clock);
    orrery_install_hooks();
    set_default_app_config();
    create_cartfind_lists();
  }
  ~slot_rig() {
    shutdown_downloads();
    use_test_clock(nullptr);
  }
};

}  // namespace

TEST(CatalogueDownload, TheSlotTimesOutActsFrom500MsIgnoresASecondDownloadAndCancelsWithoutAFile) {
  slot_rig rig;
  http_server server;
  vell_config_set(&vell_config_t::timeout, 2);
  pstate.busy_countdown = 30;
  const std::string target = rig.home.path + bbs_cart_file("12345");
  ASSERT_EQ(download_file(server.url("/silent").c_str(), target.c_str()), DOWNLOAD_START_OK);
  g_rig_now += 2000;
  update_cartfind_download();
  EXPECT_EQ(slot_state(), DOWNLOAD_RUNNING) << "2000 ms is not more than the time-out";
  g_rig_now += 1;
  update_cartfind_download();
  EXPECT_EQ(slot_state(), DOWNLOAD_IDLE);
  EXPECT_TRUE(message_bar_shows("timeout"));
  EXPECT_EQ(pstate.busy_countdown, 0);
  EXPECT_TRUE(wait_for([&] { return part_bytes(rig.home.path) < 0; }));
  EXPECT_FALSE(path_exists(target));

  // A body that is not a picture fails the page check, reported 500 ms
  // after the start however quickly it came.
  const std::string page = rig.home.path + list_download_file("new", 0);
  ASSERT_EQ(download_file(server.url("/ok").c_str(), page.c_str()), DOWNLOAD_START_OK);
  ASSERT_TRUE(wait_for([] { return slot_state() != DOWNLOAD_RUNNING; }));
  g_rig_now += 499;
  update_cartfind_download();
  EXPECT_EQ(slot_state(), DOWNLOAD_FAILED);
  EXPECT_FALSE(message_bar_shows("could not connect to bbs."));
  g_rig_now += 1;
  update_cartfind_download();
  EXPECT_EQ(slot_state(), DOWNLOAD_IDLE);
  EXPECT_TRUE(message_bar_shows("could not connect to bbs."));
  EXPECT_FALSE(path_exists(page)) << "a failed download leaves no file";

  // While one download runs a second is ignored; a cancelled one leaves no
  // file and never reports.
  vell_config_set(&vell_config_t::timeout, 60);
  orrery_config_set_text(&orrery_config_t::catalogue_url, server.url("").c_str());
  const std::string stalled = rig.home.path + bbs_cart_file("abc_1"), folder = rig.home.path + bbs_cart_folder("abc_1");
  ASSERT_EQ(download_file(server.url("/stall").c_str(), stalled.c_str()), DOWNLOAD_START_OK);
  EXPECT_EQ(download_file(server.url("/ok").c_str(), (rig.home.path + "b.txt").c_str()), DOWNLOAD_START_BUSY);
  EXPECT_EQ(download_list("new", "cat=7&sub=2", 0), DOWNLOAD_START_BUSY);
  EXPECT_EQ(download_bbs_cart("12345"), DOWNLOAD_START_BUSY);
  EXPECT_STREQ(download_target(), stalled.c_str());
  // Cancelled halfway through the body.
  ASSERT_TRUE(wait_for([&] { return part_bytes(folder) > 0; }));
  cancel_download();
  EXPECT_EQ(slot_state(), DOWNLOAD_IDLE);
  // A newer download starts before the cancelled worker has ended; the old
  // worker must not report into it.
  ASSERT_EQ(download_file(server.url("/silent").c_str(), (rig.home.path + "other.txt").c_str()), DOWNLOAD_START_OK);
  EXPECT_TRUE(wait_for([&] { return part_bytes(folder) < 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(slot_state(), DOWNLOAD_RUNNING);
  EXPECT_FALSE(path_exists(stalled)) << "no half-written cache file";
}

// Servers that send what the console must not take: each download fails
// with the worker's message and leaves neither its target nor a partial file.
TEST(CatalogueDownload, EndlessBodiesStopAtTheBoundAndHugePicturesAreRefusedUnread) {
  slot_rig rig;
  http_server server;
  vell_config_set(&vell_config_t::timeout, 30);
  const std::pair<const char *, std::string> rows[] = {
      {"/endless", bbs_cart_file("12345")},
      {"/huge.png", bbs_cart_file("12345")},
      {"/huge.png", list_download_file("new", 0)},
      {"/huge.png", "bbs/labels/x.png"},
  };
  for (const auto &[path, file] : rows) {
    SCOPED_TRACE(std::string(path) + " into " + file);
    const std::string target = rig.home.path + file;
    ASSERT_EQ(download_file(server.url(path).c_str(), target.c_str()), DOWNLOAD_START_OK);
    ASSERT_TRUE(wait_for([] { return slot_state() != DOWNLOAD_RUNNING; }));
    EXPECT_EQ(slot_state(), DOWNLOAD_FAILED);
    g_rig_now += 500;
    update_cartfind_download();
    EXPECT_TRUE(message_bar_shows("could not connect to bbs."));
    EXPECT_FALSE(path_exists(target));
    EXPECT_LT(part_bytes(rig.home.path), 0) << "the partial file is removed";
  }
}

TEST(CatalogueDownload, WithoutAnAddressOrAValidIdNothingIsFetched) {
  slot_rig rig;
  const std::tuple<std::function<int()>, const char *> rows[] = {
      {[] { return download_list("new", "cat=7&sub=2", 0); }, "no catalogue configured"},  // no address
      {[] { return download_bbs_cart("12345"); }, "no catalogue configured"},
      {[] { return download_bbs_cart("a"); }, "download failed"},  // invalid ids
      {[] { return download_bbs_cart("../etc"); }, "download failed"}};
  for (const auto &[start, message] : rows) {
    pstate.busy_countdown = 30;
    message_bar_reset();
    EXPECT_EQ(start(), DOWNLOAD_START_NO_ADDRESS) << message;
    EXPECT_TRUE(message_bar_shows(message)) << message_bar_state().text;
    EXPECT_EQ(slot_state(), DOWNLOAD_IDLE);
    EXPECT_EQ(pstate.busy_countdown, 0);
  }
  EXPECT_TRUE(part_bytes(rig.home.path) < 0);
}

namespace {

// The screen above the list's band shows the stripes of the test label.
bool screen_shows_stripes() {
  for (int i = 0; i < 72 * 128; i++)
    if (vell_getpixel(pstate.screen, i % 128, i / 128) != static_cast<uint32_t>(i / 1024)) return false;
  return true;
}

}  // namespace

// The catalogue kit makes pages of a folder of cartridges; its loopback
// server script serves them; the browser fetches a list, shows the labels,
// downloads a cartridge and runs it; then, with the server gone, the same
// home folder works from the cache.
TEST(CatalogueEndToEnd, KitPagesFromAStaticServerFillTheBrowserAndCartridgesRunOnlineAndOffline) {
  temp_folder in, out, home;
  std::filesystem::create_directories(in / "wip");
  write_file(in / "Rocket Ride.q7", browser_test_cart("Rocket Ride", "-- by Ada L\nfunction _draw() cls(9) end"));
  write_file(in / "second.q7", browser_test_cart("second", "function _draw() cls(11) end"));
  write_file(in / "12345.q7", browser_test_cart("numbered", "-- by bo\nfunction _draw() cls(4) end"));
  for (int i = 0; i < 33; i++) write_file(in / ("wip/w" + std::to_string(i) + ".q7"), browser_test_cart("w", ""));
  const process_result kit = run_process({ORRERY_BUILD_DIR "/orrery-catalogue", in.path, out.path});
  ASSERT_EQ(kit.exit_code, 0) << kit.output;
  std::filesystem::create_directories(out / "info");
  write_file(out / "info/second.nfo", "title = The Second One\nlid=second\n");
  write_file(out / "info/short.nfo", "lid=x\n");
  const int port = closed_port();
  static_web_server server({"python3", ORRERY_SOURCE_DIR "/tools/orrery-catalogue-serve.py", out.path, "{port}"}, port);
  ASSERT_TRUE(server.ready()) << "the catalogue's server script did not start";
  const std::string url = server.base_url();
  {
    console_rig rig({"-home", home.path, "-catalogue_url", url, "-cartfind"});
    ASSERT_TRUE(boot_into_browser(rig));
    rig.tap({SC_RIGHT});
    ASSERT_EQ(cartfind_state().current, LIST_NEW);
    ASSERT_EQ(current_list().items.size(), 1u) << "no page yet: only [update]";
    rig.tap({SC_O});
    ASSERT_EQ(slot_state(), DOWNLOAD_RUNNING);
    finish_download(rig);
    // The header and three cartridges, fields taken from the cartridges.
    ASSERT_EQ(current_list().items.size(), 4u) << message_bar_state().text;
    EXPECT_EQ(current_list().selection, 1) << "a fresh page selects its first cartridge";
    std::string seen;
    for (const browser_item &item : current_list().items)
      seen += item.lid + ":" + item.title + ":" + item.author + ":" + std::to_string(item.catsub) + " ";
    EXPECT_NE(seen.find("rocket_ride:rocket ride:ada_l:2 "), std::string::npos) << seen;
    EXPECT_NE(seen.find("12345:numbered:bo:2 "), std::string::npos) << seen;
    EXPECT_TRUE(path_exists(home / "bbs/new.pip.png"));

    // The work-in-progress list has 33 entries: a full page, "[load more]",
    // and a further page with the last one, which is not kept in the cache.
    browser_list &wip = cartfind_list(LIST_WIP);
    for (int further : {0, 32}) {
      ASSERT_EQ(download_list("wip", wip.request.c_str(), further), DOWNLOAD_START_OK);
      finish_download(rig);
      ASSERT_EQ(wip.items.size(), 34u);
      EXPECT_EQ(wip.items.back().kind, further ? ITEM_CART : ITEM_LOAD_MORE);
    }
    EXPECT_FALSE(path_exists(home / "bbs/temp_wip__.pip.png"));
    // A catalogue of files answers a search with no page, and the browser
    // says so rather than blaming the connection.
    ASSERT_EQ(download_list("search", "cat=7&search=ab&max=32", 0), DOWNLOAD_START_OK);
    finish_download(rig);
    EXPECT_TRUE(message_bar_shows("this catalogue has no search")) << message_bar_state().text;

    select_title(rig, "rocket ride");
    rig.frame();
    EXPECT_TRUE(screen_shows_stripes()) << "the selected entry's label fills the screen";
    // Not cached yet: O downloads it, and it runs once it has arrived.
    rig.tap({SC_O});
    finish_download(rig);
    EXPECT_TRUE(path_exists(home / "bbs/carts/rocket_ride.q7.png"));
    ASSERT_TRUE(frames_until(rig, [] { return vell_getpixel(pstate.screen, 64, 64) == 9u; }, 40))
        << message_bar_state().text;

    // A catalogue entry's information file, fetched while a cartridge runs,
    // names the cartridge to run next: fetched in a second step, then run.
    ASSERT_EQ(download_file((url + "/info/short.nfo").c_str(), (home / "bbs/carts/temp-x.nfo").c_str()),
              DOWNLOAD_START_OK);
    finish_download(rig);
    EXPECT_TRUE(message_bar_shows("could not find cart")) << message_bar_state().text;
    ASSERT_EQ(download_file((url + "/info/second.nfo").c_str(), (home / "bbs/carts/temp-second.nfo").c_str()),
              DOWNLOAD_START_OK);
    finish_download(rig);
    EXPECT_STREQ(downloaded_cart_title(), "the second one");
    finish_download(rig);
    ASSERT_TRUE(frames_until(rig, [] { return vell_getpixel(pstate.screen, 64, 64) == 11u; }, 40))
        << message_bar_state().text;
    EXPECT_EQ(pstate.mode, MODE_RUNNING);
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
  EXPECT_TRUE(message_bar_shows("could not connect to bbs.")) << message_bar_state().text;
  EXPECT_EQ(current_list().items.size(), 4u);
  select_title(rig, "rocket ride");
  rig.frame();
  EXPECT_TRUE(screen_shows_stripes());
  rig.tap({SC_O});
  EXPECT_EQ(slot_state(), DOWNLOAD_IDLE) << "a cached cartridge is not fetched again";
  ASSERT_TRUE(frames_until(rig, [] { return vell_getpixel(pstate.screen, 64, 64) == 9u; }, 40))
      << message_bar_state().text;
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
}
