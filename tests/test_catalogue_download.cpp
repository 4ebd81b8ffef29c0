// The catalogue's download slot over real HTTP on 127.0.0.1: time-outs,
// failures, a busy slot, cancelling, and bodies it must not take.
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
