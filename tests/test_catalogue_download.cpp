// The catalogue's download slot over real HTTP on 127.0.0.1, and the whole
// road from the catalogue kit through a static web server into the lists
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

bool no_part_files(const std::string &folder) { return part_bytes(folder) < 0; }

int32_t slot_state() { return orrery_state.download_state; }

// A temporary home, the test's clock and an idle slot.
struct slot_rig {
  temp_home home;
  slot_rig() {
    g_rig_now = 1000;
    vell_set_time_func(rig_clock);
    orrery_install_hooks();
    set_default_app_config();
    create_cartfind_lists();
  }
  ~slot_rig() {
    shutdown_downloads();
    vell_set_time_func(nullptr);
  }
};

}  // namespace

TEST(CatalogueDownload, AHangingServerHitsTheTimeOut) {
  slot_rig rig;
  http_server server;
  vell_config.timeout = 2;
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
  EXPECT_TRUE(wait_for([&] { return no_part_files(rig.home.path); }));
  EXPECT_FALSE(path_exists(target));
}

TEST(CatalogueDownload, ASecondDownloadIsIgnoredAndACancelledOneLeavesNoFileAndNeverReports) {
  slot_rig rig;
  http_server server;
  snprintf(orrery_config.catalogue_url, sizeof orrery_config.catalogue_url, "%s", server.url("").c_str());
  const std::string target = rig.home.path + bbs_cart_file("abc_1"), folder = rig.home.path + bbs_cart_folder("abc_1");
  ASSERT_EQ(download_file(server.url("/stall").c_str(), target.c_str()), DOWNLOAD_START_OK);
  EXPECT_EQ(download_file(server.url("/ok").c_str(), (rig.home.path + "b.txt").c_str()), DOWNLOAD_START_BUSY);
  EXPECT_EQ(download_list("new", "cat=7&sub=2", 0), DOWNLOAD_START_BUSY);
  EXPECT_EQ(download_bbs_cart("12345"), DOWNLOAD_START_BUSY);
  EXPECT_STREQ(download_target(), target.c_str());
  // Cancelled halfway through the body.
  ASSERT_TRUE(wait_for([&] { return part_bytes(folder) > 0; }));
  cancel_download();
  EXPECT_EQ(slot_state(), DOWNLOAD_IDLE);
  // A newer download starts before the cancelled worker has ended; the old
  // worker must not report into it.
  ASSERT_EQ(download_file(server.url("/silent").c_str(), (rig.home.path + "other.txt").c_str()), DOWNLOAD_START_OK);
  EXPECT_TRUE(wait_for([&] { return no_part_files(folder); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(slot_state(), DOWNLOAD_RUNNING);
  EXPECT_FALSE(path_exists(target)) << "no half-written cache file";
}

TEST(CatalogueDownload, AResultIsActedOnOnlyFrom500MsAfterTheStart) {
  slot_rig rig;
  http_server server;
  // A body that is not a picture fails the page check.
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
}

TEST(CatalogueDownload, WithoutAnAddressOrAValidIdNothingIsFetched) {
  slot_rig rig;
  const std::tuple<std::function<int()>, const char *> rows[] = {
      {[] { return download_list("new", "cat=7&sub=2", 0); }, "could not connect to bbs."},  // no address
      {[] { return download_bbs_cart("12345"); }, "could not connect to bbs."},
      {[] { return download_bbs_cart("a"); }, "download failed"},  // invalid ids
      {[] { return download_bbs_cart("../etc"); }, "download failed"}};
  for (const auto &[start, message] : rows) {
    pstate.busy_countdown = 30;
    orrery_state.message[0] = 0;
    EXPECT_EQ(start(), DOWNLOAD_START_NO_ADDRESS) << message;
    EXPECT_TRUE(message_bar_shows(message)) << orrery_state.message;
    EXPECT_EQ(slot_state(), DOWNLOAD_IDLE);
    EXPECT_EQ(pstate.busy_countdown, 0);
  }
  EXPECT_TRUE(no_part_files(rig.home.path));
}

namespace {

// A text cartridge with a striped label (row y in colour y / 8).
std::string cart_text(const std::string &title, const std::string &author, const std::string &code) {
  std::string text =
      "orrery cartridge\nversion 12\n__lua__\n-- " + title + "\n-- by " + author + "\n" + code + "\n__label__\n";
  for (int y = 0; y < 128; y++) text += std::string(128, "0123456789abcdef"[y / 8]) + "\n";
  return text;
}

// Starts a download, then polls like the browser does, frame by frame on
// the rig's clock, until the slot is idle again.
void download(console_rig &rig, int started) {
  ASSERT_EQ(started, DOWNLOAD_START_OK);
  ASSERT_TRUE(wait_for([] { return slot_state() != DOWNLOAD_RUNNING; }));
  for (int i = 0; i < 20 && slot_state() != DOWNLOAD_IDLE; i++) {
    rig.frame();
    update_cartfind_download();
  }
  ASSERT_EQ(slot_state(), DOWNLOAD_IDLE);
}

}  // namespace

TEST(CatalogueEndToEnd, KitPagesFromAStaticServerFillListsAndCartridgesWorkOffline) {
  temp_folder in, out;
  std::filesystem::create_directories(in / "wip");
  write_file(in / "Rocket Ride.q7", cart_text("Rocket Ride", "Ada L", "function _draw() cls(1) end"));
  write_file(in / "12345.q7", cart_text("numbered", "bo", "x = 42\nfunction _draw() cls(2) end"));
  for (int i = 0; i < 33; i++) write_file(in / ("wip/w" + std::to_string(i) + ".q7"), cart_text("w", "c", ""));
  const process_result kit = run_process({ORRERY_BUILD_DIR "/orrery-catalogue", in.path, out.path});
  ASSERT_EQ(kit.exit_code, 0) << kit.output;
  static_web_server server(out.path);
  ASSERT_TRUE(server.ready()) << "python3 -m http.server did not start";
  console_rig rig({"-catalogue_url", server.base_url() + "/"});
  const std::string home = rig.home.path;

  // The new list: header and two cartridges, labels and fields from the
  // cartridges; the page is kept in the cache.
  browser_list &fresh = cartfind_list(LIST_NEW);
  ASSERT_EQ(fresh.items.size(), 1u) << "no cache yet: only [update]";
  download(rig, download_list("new", fresh.request.c_str(), 0));
  ASSERT_EQ(fresh.items.size(), 3u) << orrery_state.message;
  std::string seen;
  for (const browser_item &item : fresh.items) {
    seen += item.lid + ":" + item.title + ":" + item.author + ":" + std::to_string(item.catsub) + " ";
    if (item.lid == "12345") {
      EXPECT_TRUE(item.label && item.label->w == 128 && item.label->h == 128);
      for (int i = 0; item.label && i < 128 * 128; i++) ASSERT_EQ(item.label->data[i], i / 1024) << i;
    }
  }
  EXPECT_NE(seen.find("rocket_ride:rocket ride:ada_l:2 "), std::string::npos) << seen;
  EXPECT_NE(seen.find("12345:numbered:bo:2 "), std::string::npos) << seen;
  EXPECT_TRUE(path_exists(home + "bbs/new.pip.png"));

  // The work-in-progress list has 33 entries: a full page, "[load more]",
  // and a further page with the last one, which is not kept.
  browser_list &wip = cartfind_list(LIST_WIP);
  download(rig, download_list("wip", wip.request.c_str(), 0));
  ASSERT_EQ(wip.items.size(), 34u);
  ASSERT_EQ(wip.items.back().kind, ITEM_LOAD_MORE);
  download(rig, download_list("wip", wip.request.c_str(), 32));
  EXPECT_EQ(wip.items.size(), 34u);
  EXPECT_EQ(wip.items.back().kind, ITEM_CART);
  EXPECT_FALSE(path_exists(home + "bbs/temp_wip__.pip.png"));

  // A cartridge: fetched into its cache file and made the working cartridge.
  download(rig, download_bbs_cart("12345"));
  EXPECT_EQ(take_downloaded_cart_ready(), 1) << orrery_state.message;
  ASSERT_TRUE(orrery_working_cart());
  EXPECT_NE(std::string(orrery_working_cart()->code).find("x = 42"), std::string::npos);

  // Offline: the cached page fills the list again and the cached cartridge
  // loads; a new request fails and leaves the list as it was.
  server.stop();
  create_cartfind_lists();
  load_cached_catalogue_lists();
  EXPECT_EQ(cartfind_list(LIST_NEW).items.size(), 3u);
  cart_ptr cached(load_orrery_cart_png((home + "bbs/1/12345.q7.png").c_str()));
  ASSERT_TRUE(cached);
  EXPECT_NE(std::string(cached->code).find("x = 42"), std::string::npos);
  download(rig, download_list("new", cartfind_list(LIST_NEW).request.c_str(), 0));
  EXPECT_TRUE(message_bar_shows("could not connect to bbs.")) << orrery_state.message;
  EXPECT_EQ(cartfind_list(LIST_NEW).items.size(), 3u);

  // The downloaded cartridge runs.
  pstate.pending_request = REQ_RUN;
  rig.frame();
  rig.frame();
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
  EXPECT_EQ(orrery_runner.error_shown, 0);
}
