#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/config.h"
#include "platform/web.h"
#include "support/http_server.h"
#include "support/temp_home.h"

TEST(WebFetch, WritesTheBodyWhateverTheStatusAndFollowsRedirects) {
  temp_home home;
  http_server server;
  const std::string out = home.path + "page.txt";

  EXPECT_EQ(vell_wget(server.url("/ok").c_str(), out.c_str()), k_wget_ok);
  EXPECT_EQ(read_file(out), "hello from the test server");
  EXPECT_EQ(vell_wget(server.url("/missing").c_str(), out.c_str()), k_wget_ok);
  EXPECT_EQ(read_file(out), "no such page") << "a 404 body is written and the file replaced";
  EXPECT_EQ(vell_wget(server.url("/moved").c_str(), out.c_str()), k_wget_ok);
  EXPECT_EQ(read_file(out), "hello from the test server");

  EXPECT_EQ(vell_wget(server.url("/big").c_str(), out.c_str()), k_wget_ok);
  const std::string big = read_file(out);
  ASSERT_EQ(big.size(), 100000u);
  EXPECT_EQ(big[99999], static_cast<char>('a' + 99999 % 26));

  EXPECT_EQ(vell_wget(server.url("/loop").c_str(), out.c_str()), k_wget_no_url) << "endless redirects end";
}

TEST(WebFetch, FailuresReturnTheirCodesAndAreLogged) {
  temp_home home;
  const std::string out = home.path + "page.txt";
  const std::string refused = "http://127.0.0.1:" + std::to_string(closed_port()) + "/x";
  EXPECT_EQ(vell_wget(refused.c_str(), out.c_str()), k_wget_no_url);
  EXPECT_NE(home.log().find("vell_wget failed: UrlHandle == 0\n"), std::string::npos);

  EXPECT_EQ(vell_wget("http://127.0.0.1:1/x", (home.path + "no/such/folder/f").c_str()), k_wget_no_file);
  EXPECT_NE(home.log().find("vell_wget failed: could not open outfile: " + home.path + "no/such/folder/f\n"),
            std::string::npos);

  // Only web addresses are fetched.
  write_file(home.path + "secret.txt", "secret");
  EXPECT_EQ(vell_wget(("file://" + home.path + "secret.txt").c_str(), out.c_str()), k_wget_no_url);
  EXPECT_EQ(read_file(out), "");
  EXPECT_EQ(vell_wget("not an address", out.c_str()), k_wget_no_url);
}

TEST(WebFetch, GivesUpAfterTheTimeOutAndCanBeCancelled) {
  temp_home home;
  http_server server;
  const std::string out = home.path + "page.txt";
  vell_config.timeout = 1;
  EXPECT_EQ(vell_wget(server.url("/silent").c_str(), out.c_str()), k_wget_no_url);

  vell_config.timeout = 60;
  int result = -1;
  std::thread worker([&] { result = vell_wget(server.url("/silent").c_str(), out.c_str()); });
  // Cancel once the request has reached the server (it then waits for an answer).
  for (int i = 0; i < 500 && server.requests() < 2; i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  vell_wget_cancel();
  worker.join();
  EXPECT_EQ(result, k_wget_cancelled);
  // A cancel affects only fetches already running.
  EXPECT_EQ(vell_wget(server.url("/ok").c_str(), out.c_str()), k_wget_ok);
}

namespace {

// A stand-in opener that writes its argument count and arguments, one a
// line, to the file named in its first line.
std::string make_opener(const temp_home &home) {
  const std::string script = home.path + "opener.sh";
  write_file(script, "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; } > \"" + home.path +
                         "opened.tmp\"\nmv \"" + home.path + "opened.tmp\" \"" + home.path + "opened.txt\"\n");
  chmod(script.c_str(), 0755);
  return script;
}

std::string wait_for_file(const std::string &path) {
  for (int i = 0; i < 500; i++) {
    if (access(path.c_str(), F_OK) == 0) return read_file(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return "(never written)";
}

}  // namespace

TEST(LaunchHtml, HandsTheTargetToTheOpenerAsOneArgument) {
  temp_home home;
  vell_set_launch_program(make_opener(home).c_str());
  const char *target = "/tmp/a folder/it's \"quoted\"; rm -rf $HOME `id` |x";
  EXPECT_EQ(vell_launch_html(target), 0);
  EXPECT_EQ(wait_for_file(home.path + "opened.txt"), std::string("1\n[") + target + "]\n");

  // A leading '-' cannot be taken for an option of the opener.
  unlink((home.path + "opened.txt").c_str());
  EXPECT_EQ(vell_launch_html("--help"), 0);
  EXPECT_EQ(wait_for_file(home.path + "opened.txt"), "1\n[./--help]\n");

  vell_set_launch_program((home.path + "no-such-opener").c_str());
  EXPECT_EQ(vell_launch_html("https://example.invalid/"), 1);
  EXPECT_NE(home.log().find("vell_launch_html: could not start"), std::string::npos);
  vell_set_launch_program(nullptr);
}
