// Web fetching against a server on 127.0.0.1, and handing targets to the
// system's opener.
#include "support/test.h"

namespace {

// The file's contents once it exists (waiting up to 5 s).
std::string wait_for_file(const std::string &path) {
  for (int i = 0; i < 500 && access(path.c_str(), F_OK) != 0; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return access(path.c_str(), F_OK) == 0 ? read_file(path) : "(never written)";
}

}  // namespace

TEST(WebFetch, WritesTheBodyWhateverTheStatusReportsEveryFailureAndGivesUpOrIsCancelled) {
  temp_home home;
  http_server server;
  const std::string out = home.path + "page.txt";
  // The address, the result, and the file afterwards ("" when not checked).
  const std::tuple<std::string, int, std::string> cases[] = {
      {server.url("/ok"), k_wget_ok, "hello from the test server"},
      {server.url("/missing"), k_wget_ok, "no such page"},  // a 404 body is written, the file replaced
      {server.url("/moved"), k_wget_ok, "hello from the test server"},
      {server.url("/loop"), k_wget_no_url, ""},  // endless redirects end
      {"http://127.0.0.1:" + std::to_string(closed_port()) + "/x", k_wget_no_url, ""},
      {"not an address", k_wget_no_url, ""}};
  for (const auto &[url, result, body] : cases) {
    EXPECT_EQ(vell_wget(url.c_str(), out.c_str()), result) << url;
    EXPECT_EQ(body.empty() ? "" : read_file(out), body) << url;
  }
  EXPECT_EQ(vell_wget(("file://" + home.path + "log.txt").c_str(), out.c_str()), k_wget_no_url);
  EXPECT_EQ(read_file(out).find("vell_wget"), std::string::npos) << "only web addresses are fetched";
  EXPECT_NE(home.log().find("vell_wget failed: UrlHandle == 0\n"), std::string::npos);
  EXPECT_EQ(vell_wget(server.url("/big").c_str(), out.c_str()), k_wget_ok);
  const std::string body = read_file(out);
  ASSERT_EQ(body.size(), 100000u);
  EXPECT_EQ(body[99999], static_cast<char>('a' + 99999 % 26));
  // A body without end stops at the bound, with no more than the bound written.
  EXPECT_EQ(vell_wget(server.url("/endless").c_str(), out.c_str()), k_wget_too_large);
  EXPECT_LE(static_cast<int64_t>(std::filesystem::file_size(out)), k_wget_max_bytes);
  const std::string nowhere = home.path + "no/such/folder/f";
  EXPECT_EQ(vell_wget("http://127.0.0.1:1/x", nowhere.c_str()), k_wget_no_file);
  EXPECT_NE(home.log().find("vell_wget failed: could not open outfile: " + nowhere + "\n"), std::string::npos);

  // A server that never answers: the time-out, then a cancel.
  vell_config_set(&vell_config_t::timeout, 1);
  EXPECT_EQ(vell_wget(server.url("/silent").c_str(), out.c_str()), k_wget_no_url);
  vell_config_set(&vell_config_t::timeout, 60);
  int result = -1;
  const int held = server.requests();  // requests the server has had so far
  std::thread worker([&] { result = vell_wget(server.url("/silent").c_str(), out.c_str()); });
  // Cancel once the request has reached the server (it then waits for an answer).
  for (int i = 0; i < 500 && server.requests() <= held; i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  vell_wget_cancel();
  worker.join();
  EXPECT_EQ(result, k_wget_cancelled);
  EXPECT_EQ(vell_wget(server.url("/ok").c_str(), out.c_str()), k_wget_ok) << "a cancel affects only running fetches";
}

TEST(LaunchHtml, HandsTheTargetToTheOpenerAsOneArgument) {
  temp_home home;
  // A stand-in opener that writes its argument count and arguments, one a line.
  const std::string script = home.path + "opener.sh", opened = home.path + "opened.txt";
  write_file(script, "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; } > \"" + opened +
                         ".tmp\"\nmv \"" + opened + ".tmp\" \"" + opened + "\"\n");
  chmod(script.c_str(), 0755);
  vell_set_launch_program(script.c_str());
  // A leading '-' cannot be taken for an option of the opener.
  for (const std::string target : {"/tmp/a folder/it's \"quoted\"; rm -rf $HOME `id` |x", "--help"}) {
    unlink(opened.c_str());
    EXPECT_EQ(vell_launch_html(target.c_str()), 0);
    EXPECT_EQ(wait_for_file(opened), "1\n[" + (target[0] == '-' ? "./" + target : target) + "]\n");
  }
  vell_set_launch_program((home.path + "no-such-opener").c_str());
  EXPECT_EQ(vell_launch_html("https://example.invalid/"), 1);
  EXPECT_NE(home.log().find("vell_launch_html: could not start"), std::string::npos);
  vell_set_launch_program(nullptr);
}
