// The catalogue on the wire: the browser against a loopback server that reads
// the requests as written (query parsed, pages chosen by its fields), and a
// catalogue made by the kit served by the shipped script and by real web
// servers with the shipped configuration lines.
#include "support/test.h"

#include <map>

namespace {

std::map<std::string, std::string> query_fields(const std::string &query) {
  std::map<std::string, std::string> fields;
  std::stringstream in(query);
  for (std::string pair; std::getline(in, pair, '&');) {
    const size_t eq = pair.find('=');
    if (eq != std::string::npos) fields[pair.substr(0, eq)] = pair.substr(eq + 1);
  }
  return fields;
}

std::string png_bytes(const vell_rgba_image &image) {
  std::string bytes;
  EXPECT_EQ(vell_png_encode(image, &bytes), VELL_PNG_OK);
  return bytes;
}

// Entries "<title> 1".."<title> n" with ids "<id>_1".., from start on: at
// most one page.
std::string page_of(const std::string &title, const std::string &id, int n, int start) {
  std::vector<catalogue_page_entry> entries;
  for (int i = start; i < n && i < start + k_page_entries; i++) {
    catalogue_page_entry e;
    e.a = e.b = i + 1;
    e.title = title + " " + std::to_string(i + 1);
    e.lid = id + "_" + std::to_string(i + 1);
    entries.push_back(e);
  }
  vell_rgba_image page;
  make_catalogue_page(entries, vell_engine_palette(), &page);
  return png_bytes(page);
}

// A catalogue server as specified: list pages by the fields of the query,
// cartridges by their path, anything else 404.
struct query_catalogue {
  std::atomic<bool> wrong_size{false};  // the jam list answers with a 1024x512 picture
  std::string cart;                     // the picture cartridge served for every id

  std::string answer(const std::string &target) {
    const size_t mark = target.find('?');
    const std::string path = target.substr(0, mark);
    std::map<std::string, std::string> q = query_fields(mark == std::string::npos ? "" : target.substr(mark + 1));
    if (path.compare(0, 12, "/bbs/cposts/") == 0 && path.size() > 16 && path.substr(path.size() - 7) == ".q7.png")
      return http_response(200, cart);
    if (path != "/bbs/cpost_lister3.php" || q["max"] != "32" || q["version"] != "000111cw" || q["cat"] != "7")
      return http_response(404, "no such page");
    const int start = atoi(q["start_index"].c_str());
    if (q.count("search")) return http_response(200, page_of("found " + q["search"], "found", 1, start));
    // sub-category and order: list title, id and length
    const std::map<std::string, std::tuple<const char *, const char *, int>> lists = {
        {"2", {"fresh", "new", 40}}, {"2rating", {"rated", "top", 2}}, {"3", {"draft", "wip", 3}},
        {"4", {"shared", "col", 4}}, {"8", {"jammed", "jam", 5}}};
    const auto it = lists.find(q["sub"] + q["orderby"]);
    if (it == lists.end()) return http_response(404, "no such list");
    if (q["sub"] == "8" && wrong_size) {
      vell_rgba_image narrow;
      narrow.width = 1024, narrow.height = 512;
      narrow.pixels.assign(1024u * 512u * 4u, 255);
      return http_response(200, png_bytes(narrow));
    }
    const auto &[title, id, n] = it->second;
    return http_response(200, page_of(title, id, n, start));
  }
};

}  // namespace

TEST(CatalogueWire, TheBrowserReadsEveryListSearchesAndDownloadsFromAServerThatParsesTheQuery) {
  temp_folder home;
  query_catalogue catalogue;
  {
    temp_folder dir;
    cart_ptr cart(load_q7_text(browser_test_cart("fetched", "function _draw() cls(12) end")));
    ASSERT_EQ(save_orrery_cart_png(cart.get(), (dir / "c.q7.png").c_str()), CART_PNG_SAVE_OK);
    catalogue.cart = read_file(dir / "c.q7.png");
  }
  http_server server([&](const std::string &target) { return catalogue.answer(target); });
  console_rig rig({"-home", home.path, "-catalogue_url", server.url(""), "-cartfind"});
  ASSERT_TRUE(boot_into_browser(rig));

  // A fresh page of "new", then the further page through "[load more]".
  go_to_list(rig, LIST_NEW);
  rig.tap({SC_O});
  finish_download(rig);
  ASSERT_EQ(server.targets().size(), 1u);
  EXPECT_EQ(server.targets()[0], "/bbs/cpost_lister3.php?max=32&start_index=0&cat=7&sub=2&version=000111cw");
  ASSERT_EQ(current_list().items.size(), 34u) << message_bar_state().text;
  EXPECT_EQ(current_list().items[1].title, "fresh 1");
  select_title(rig, "[load more]");
  rig.tap({SC_O});
  finish_download(rig);
  EXPECT_EQ(server.targets().back(), catalogue_list_request("cat=7&sub=2", 32));
  ASSERT_EQ(current_list().items.size(), 41u);
  EXPECT_EQ(current_list().items.back().title, "fresh 40");

  // Every other list asks with its own request and fills from its answer.
  const std::tuple<int32_t, const char *> others[] = {{LIST_TOP, "[update]|rated 1|rated 2|"},
                                                      {LIST_WIP, "[update]|draft 1|draft 2|draft 3|"},
                                                      {LIST_COLLAB, "[update]|shared 1|shared 2|shared 3|shared 4|"},
                                                      {LIST_JAM, "[update]|jammed 1|jammed 2|jammed 3|jammed 4|jammed 5|"}};
  for (const auto &[list, expected] : others) {
    go_to_list(rig, list);
    rig.tap({SC_O});
    finish_download(rig);
    EXPECT_EQ(server.targets().back(), catalogue_list_request(k_browser_list_table[list].request, 0));
    EXPECT_EQ(titles(current_list()), expected);
  }

  // A page of the wrong size leaves the header only (the cached page stays).
  catalogue.wrong_size = true;
  select_title(rig, "[update]");
  rig.tap({SC_O});
  finish_download(rig);
  EXPECT_EQ(titles(current_list()), "[update]|");
  EXPECT_TRUE(message_bar_shows("could not connect to bbs")) << message_bar_state().text;
  EXPECT_NE(read_file(home / "bbs/jam.pip.png"), "");

  // A search for "ab": up, right, up, up spells it, O sends it.
  go_to_list(rig, LIST_SEARCH);
  rig.tap({SC_O});
  for (int32_t key : {SC_UP, SC_RIGHT, SC_UP, SC_UP}) rig.tap({key});
  rig.tap({SC_O});
  finish_download(rig);
  EXPECT_EQ(server.targets().back(), catalogue_list_request("cat=7&search=ab&max=32", 0));
  EXPECT_EQ(titles(current_list()), "[search]|found ab 1|");

  // Its entry is fetched from its path and runs.
  select_title(rig, "found ab 1");
  rig.tap({SC_O});
  finish_download(rig);
  EXPECT_EQ(server.targets().back(), "/bbs/cposts/fo/found_1.q7.png");
  EXPECT_TRUE(frames_until(rig, [] { return vell_getpixel(pstate.screen, 64, 64) == 12u; }, 40))
      << message_bar_state().text;
}

namespace {

// The path of an installed program (PATH, then the system folders), or "".
std::string find_program(const std::string &name) {
  std::string dirs = getenv("PATH") ? getenv("PATH") : "";
  dirs += ":/usr/sbin:/sbin";
  std::stringstream in(dirs);
  for (std::string dir; std::getline(in, dir, ':');)
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
  return "";
}

// A small catalogue made by the kit: three cartridges, each drawing a
// colour of its own (one of them featured), and 33 on the work-in-progress
// list.
void make_site(const temp_folder &in, const temp_folder &out) {
  std::filesystem::create_directories(in / "wip");
  std::filesystem::create_directories(in / "featured");
  write_file(in / "Rocket Ride.q7", browser_test_cart("Rocket Ride", "-- by Ada L\nfunction _draw() cls(9) end"));
  write_file(in / "second.q7", browser_test_cart("second", "function _draw() cls(11) end"));
  write_file(in / "featured/12345.q7", browser_test_cart("numbered", "-- by bo\nfunction _draw() cls(4) end"));
  for (int i = 0; i < 33; i++) write_file(in / ("wip/w" + std::to_string(i) + ".q7"), browser_test_cart("w", ""));
  const process_result kit = run_process({ORRERY_BUILD_DIR "/orrery-catalogue", in.path, out.path});
  ASSERT_EQ(kit.exit_code, 0) << kit.output;
}

// Fetches each request the console makes of the site, as the console does,
// and compares it with the kit's file; a search and an unsafe query get no
// page.
void expect_site_answers(const std::string &base, const temp_folder &out) {
  temp_folder got;
  std::vector<std::string> requests = {catalogue_cart_request("rocket_ride"), catalogue_cart_request("12345"),
                                       catalogue_page_request("rocket_ride"), catalogue_list_request("cat=7&sub=3", 32)};
  for (int32_t list : {LIST_NEW, LIST_TOP, LIST_WIP, LIST_COLLAB, LIST_JAM})
    requests.push_back(catalogue_list_request(k_browser_list_table[list].request, 0));
  for (const std::string &request : requests) {
    const std::string file = out / catalogue_site_file(request);
    ASSERT_TRUE(path_exists(file)) << request;
    EXPECT_EQ(vell_wget(catalogue_address(base.c_str(), request).c_str(), (got / "page").c_str()), k_wget_ok);
    EXPECT_TRUE(read_file(got / "page") == read_file(file)) << request << " is not the kit's file";
  }
  browser_list wip;
  wip.name = "wip";
  EXPECT_EQ(populate_cartfind_list_from_png_file(wip, (out / catalogue_site_file(catalogue_list_request("cat=7&sub=3", 0))).c_str(), 0),
            PAGE_OK);
  EXPECT_EQ(wip.items.size(), 34u) << "a full page and [load more]";
  for (const std::string &request : {catalogue_list_request("cat=7&search=ab&max=32", 0),
                                     std::string("/bbs/cpost_lister3.php?a=/../../bbs/cposts/ro/rocket_ride.q7.png")}) {
    EXPECT_EQ(vell_wget(catalogue_address(base.c_str(), request).c_str(), (got / "no.png").c_str()), k_wget_ok);
    EXPECT_FALSE(check_bbs_file_ok((got / "no.png").c_str())) << request << " has no page";
  }
}

// The screen above the list's band shows the stripes of the test label.
bool screen_shows_stripes() {
  for (int i = 0; i < 72 * 128; i++)
    if (vell_getpixel(pstate.screen, i % 128, i / 128) != static_cast<uint32_t>(i / 1024)) return false;
  return true;
}

// Serves the kit's site with a command (its "{port}" argument the port)
// and checks the answers.
void check_server(const std::vector<std::string> &command, const temp_folder &out, int port) {
  static_web_server server(command, port);
  ASSERT_TRUE(server.ready()) << command[0] << " did not start";
  expect_site_answers(server.base_url(), out);
}

// Every folder from the site up readable by all, for a server that drops to
// an unprivileged user.
void open_to_all(const temp_folder &out) {
  namespace fs = std::filesystem;
  fs::permissions(out.path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
  for (const auto &e : fs::recursive_directory_iterator(out.path))
    fs::permissions(e.path(), fs::perms::group_read | fs::perms::others_read |
                                  (e.is_directory() ? fs::perms::group_exec | fs::perms::others_exec : fs::perms::none),
                    fs::perm_options::add);
}

}  // namespace

// The catalogue kit makes pages of a folder of cartridges; its loopback
// server script serves the kit's files as they are (and a plain static
// server the cartridges); the browser fetches a list, shows the labels,
// downloads a cartridge and runs it; then, with the server gone, the same
// home folder works from the cache.
TEST(CatalogueEndToEnd, KitPagesFromAStaticServerFillTheBrowserAndCartridgesRunOnlineAndOffline) {
  temp_folder in, out, home;
  make_site(in, out);
  std::filesystem::create_directories(out / "info");
  write_file(out / "info/second.nfo", "title = The Second One\nlid=second\n");
  write_file(out / "info/short.nfo", "lid=x\n");
  const int port = closed_port();
  static_web_server server({"python3", ORRERY_SOURCE_DIR "/tools/orrery-catalogue-serve.py", out.path, "{port}"}, port);
  ASSERT_TRUE(server.ready()) << "the catalogue's server script did not start";
  expect_site_answers(server.base_url(), out);
  {
    static_web_server plain(out.path);
    ASSERT_TRUE(plain.ready());
    temp_folder got;
    const std::string cart = catalogue_cart_request("12345");
    EXPECT_EQ(vell_wget((plain.base_url() + cart).c_str(), (got / "c").c_str()), k_wget_ok);
    EXPECT_TRUE(read_file(got / "c") == read_file(out / catalogue_site_file(cart)));
  }
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
  EXPECT_EQ(orrery_state.download_state, DOWNLOAD_IDLE) << "a cached cartridge is not fetched again";
  ASSERT_TRUE(frames_until(rig, [] { return vell_getpixel(pstate.screen, 64, 64) == 9u; }, 40))
      << message_bar_state().text;
  EXPECT_EQ(pstate.mode, MODE_RUNNING);
}

TEST(CatalogueSite, NginxWithTheShippedLinesAnswersFromTheKitsFiles) {
  const std::string nginx = find_program("nginx");
  if (nginx.empty()) GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs it)";
  temp_folder in, out, run;
  make_site(in, out);
  const int port = closed_port();
  write_file(run / "nginx.conf", "daemon off;\nmaster_process off;\npid " + run.path + "/nginx.pid;\nerror_log " +
                                     run.path + "/error.log;\nevents {}\nhttp {\n  access_log off;\n" +
                                     "  client_body_temp_path " + run.path + "/body;\n  proxy_temp_path " + run.path +
                                     "/proxy;\n  fastcgi_temp_path " + run.path + "/fcgi;\n  uwsgi_temp_path " +
                                     run.path + "/uwsgi;\n  scgi_temp_path " + run.path + "/scgi;\n" +
                                     "  server {\n    listen 127.0.0.1:" + std::to_string(port) + ";\n    root " +
                                     out.path + ";\n    include " ORRERY_SOURCE_DIR "/tools/catalogue-nginx.conf;\n  }\n}\n");
  check_server({nginx, "-e", run / "error.log", "-p", run.path, "-c", run / "nginx.conf"}, out, port);
}

TEST(CatalogueSite, CaddyWithTheShippedLinesAnswersFromTheKitsFiles) {
  const std::string caddy = find_program("caddy");
  if (caddy.empty()) GTEST_SKIP() << "caddy is not installed (scripts/setup.sh installs it)";
  temp_folder in, out, run;
  make_site(in, out);
  const int port = closed_port();
  write_file(run / "Caddyfile", "{\n\tadmin off\n\tauto_https off\n\tstorage file_system " + run.path +
                                    "/storage\n}\nhttp://127.0.0.1:" + std::to_string(port) + " {\n\troot * " +
                                    out.path + "\n\timport " ORRERY_SOURCE_DIR "/tools/catalogue-caddy.conf\n\tfile_server\n}\n");
  check_server({"env", "HOME=" + run.path, "XDG_DATA_HOME=" + run.path, "XDG_CONFIG_HOME=" + run.path, caddy, "run",
                "--config", run / "Caddyfile", "--adapter", "caddyfile"},
               out, port);
}

TEST(CatalogueSite, ApacheWithTheShippedLinesAnswersFromTheKitsFiles) {
  const std::string apache = find_program("apache2");
  const std::string modules = "/usr/lib/apache2/modules/";
  if (apache.empty() || !path_exists(modules + "mod_rewrite.so"))
    GTEST_SKIP() << "apache2 with mod_rewrite is not installed (scripts/setup.sh installs it)";
  temp_folder in, out, run;
  make_site(in, out);
  open_to_all(out);
  const int port = closed_port();
  const std::string listen = "127.0.0.1:" + std::to_string(port);
  write_file(run / "mime.types", "");
  std::string conf = "ServerRoot " + run.path + "\nServerName 127.0.0.1\nListen " + listen + "\nPidFile " + run.path +
                     "/httpd.pid\nErrorLog " + run.path + "/error.log\n";
  for (const char *m : {"mpm_event", "authz_core", "mime", "rewrite"})
    conf += std::string("LoadModule ") + m + "_module " + modules + "mod_" + m + ".so\n";
  // Started as root, the server serves as an unprivileged user.
  if (getuid() == 0) conf += "User nobody\nGroup nogroup\n";
  conf += "<VirtualHost " + listen + ">\nDocumentRoot " + out.path + "\n<Directory " + out.path +
          ">\nRequire all granted\n</Directory>\nInclude " ORRERY_SOURCE_DIR "/tools/catalogue-apache.conf\n</VirtualHost>\n";
  write_file(run / "apache.conf", conf);
  check_server({apache, "-X", "-f", run / "apache.conf"}, out, port);
}
