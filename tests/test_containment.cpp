// Writes stay inside the console's folders: every writer against file-system
// layouts that a cartridge pack unpacked into the home could bring along
// (links at a file's name, at its temporary name, on the way to it, in a
// loop), checked by what changed outside the home and what is left inside.
#include "support/test.h"

namespace {

namespace fs = std::filesystem;

// Every entry under folder with its contents ("<dir>", "<link> target").
std::vector<std::string> snapshot(const std::string &folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto &e : fs::recursive_directory_iterator(folder, ec)) {
    const std::string p = e.path().string().substr(folder.size());
    if (e.is_symlink()) out.push_back(p + " <link> " + fs::read_symlink(e.path()).string());
    else if (e.is_directory()) out.push_back(p + " <dir>");
    else out.push_back(p + " " + read_file(e.path().string()));
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool starts_with(const std::string &s, const std::string &prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

struct writer {
  const char *name;
  std::string folder;  // where it writes, relative to the home ("" for the home itself)
  std::string file;    // the name it writes
  std::string made;    // what a file it wrote starts with
  bool temporary;      // it writes through "NAME.saving" (other writers' temporary names are their own)
  std::function<void(const temp_folder &home)> write;
};

// Runs code as a cartridge in exec mode (config.txt is written at its end).
std::function<void(const temp_folder &)> exec(const std::string &code) {
  return [code](const temp_folder &home) { exec_cart(home, code); };
}

// A download on the catalogue's slot from a loopback server, waited for.
void download(const temp_folder &home) {
  http_server server;
  vell_set_write_roots({home.path});
  g_rig_now = 1000;
  use_test_clock(rig_clock);
  orrery_install_hooks();
  create_cartfind_lists();
  download_file(server.url("/ok").c_str(), (home / "bbs/x.txt").c_str());
  for (int i = 0; i < 1000 && orrery_state.download_state == DOWNLOAD_RUNNING; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  shutdown_downloads();
  use_test_clock(nullptr);
  vell_set_write_roots({});
}

// A screenshot to a desktop folder inside the home.
void screenshot(const temp_folder &home) {
  set_default_app_config();
  vell_config_set_text(&vell_config_t::desktop_path, (home / "desk/").c_str());
  vell_set_write_roots({home.path});
  vell_bitmap *screen = vell_create_bitmap(128, 128, 8);
  save_png_screenshot(screen);
  vell_destroy_bitmap(screen);
  vell_set_write_roots({});
  vell_config_set_text(&vell_config_t::desktop_path, "");
}

}  // namespace

TEST(Containment, NoWriterFollowsALinkOutOfTheHomeOrLosesWhatItReplaces) {
  const std::string shot = capture_name_base() + "_000.png";
  const writer writers[] = {
      {"text save", "carts/", "w.q7", "orrery cartridge", true, exec("save('w')")},
      {"picture save", "carts/", "w.q7.png", "\x89PNG", true, exec("save('w.png')")},
      {"save into a folder", "carts/sub/", "w.q7", "orrery cartridge", true, exec("save('sub/w')")},
      {"save after cd", "carts/sub/", "w.q7", "orrery cartridge", true, exec("cd('sub') save('w')")},
      {"cstore", "cstore/", "w.q7", "orrery cartridge", true, exec("cstore(0, 0, 256, 'w.q7')")},
      {"cart data", "cdata/", "w.q7d.txt", "00010000", true, exec("cartdata('w') dset(0, 1)")},
      {"config.txt", "", "config.txt", "// - - -", true, exec("")},
      {"download", "bbs/", "x.txt", "hello from the test server", false, download},
      {"screenshot", "desk/", shot, "\x89PNG", false, screenshot},
  };
  // Each layout plants its links at home + folder; the name of the
  // writer's file; whether it replaces the folder (then not for the home
  // itself); whether a file the writer finds must stay as it was.
  using plant_fn = std::function<void(const std::string &dir, const std::string &file, const std::string &out)>;
  const std::tuple<const char *, plant_fn, bool, bool> layouts[] = {
      {"a link at the name", [](auto &d, auto &f, auto &o) { fs::create_symlink(o + "/victim", d + f); }, false,
       false},
      {"a dangling link at the name", [](auto &d, auto &f, auto &o) { fs::create_symlink(o + "/none", d + f); },
       false, false},
      {"a link at the temporary name",
       [](auto &d, auto &f, auto &o) { fs::create_symlink(o + "/victim", d + f + ".saving"); }, false, true},
      {"a folder at the temporary name", [](auto &d, auto &f, auto &) { fs::create_directory(d + f + ".saving"); },
       false, true},
      {"the folder a link out",
       [](auto &d, auto &, auto &o) {
         fs::remove_all(d);
         fs::create_symlink(o + "/dir", d.substr(0, d.size() - 1));
       },
       true, false},
      {"the folder a loop of links",
       [](auto &d, auto &, auto &) {
         const std::string f = d.substr(0, d.size() - 1);
         fs::remove_all(d);
         fs::create_symlink(f + "2", f);
         fs::create_symlink(f, f + "2");
       },
       true, false},
      {"a read-only folder", [](auto &d, auto &, auto &) { chmod(d.c_str(), 0555); }, false, true},
  };
  for (const writer &w : writers) {
    for (const auto &[layout, plant, replaces_folder, keeps] : layouts) {
      if ((replaces_folder && w.folder.empty()) || (keeps && !w.temporary)) continue;
      // Permissions do not hold root back.
      if (std::string(layout) == "a read-only folder" && geteuid() == 0) continue;
      SCOPED_TRACE(std::string(w.name) + ", " + layout);
      temp_folder home, outside;
      const std::string dir = home.path + "/" + w.folder;
      for (const char *f : {"carts/sub", "cstore", "cdata", "bbs", "desk"}) fs::create_directories(home / f);
      write_file(outside / "victim", "outside");
      fs::create_directory(outside / "dir");
      if (keeps) write_file(dir + w.file, "before");
      plant(dir, w.file, outside.path);
      const std::vector<std::string> before = snapshot(outside.path);
      w.write(home);
      chmod(dir.c_str(), 0755);
      EXPECT_EQ(snapshot(outside.path), before) << "nothing outside changes";
      std::error_code ec;
      const std::string at = dir + w.file;
      if (keeps) {
        EXPECT_EQ(read_file(at), "before") << "nothing inside is lost";
      } else if (!fs::is_symlink(at, ec) && fs::is_regular_file(at, ec)) {
        EXPECT_TRUE(starts_with(read_file(at), w.made)) << "a file there is one the writer wrote whole";
      }
    }
  }
}

TEST(Containment, CdIntoALinkOutOfTheRootFailsWhileLoadingThroughItWorks) {
  temp_folder home, outside;
  fs::create_directories(home / "carts");
  fs::create_symlink(outside.path, home / "carts/out");
  write_file(outside / "lib.q7", cart_file("x = 1"));
  const exec_result r = exec_cart(home,
                                  "cd('out') assert(not load('lib.q7'), 'cd went through')\n"
                                  "assert(load('out/lib.q7'), 'no reading through') assert(false, 'done')");
  for (const char *line : {"cd went through", "no reading through"})
    EXPECT_EQ(std::find(r.lines.begin(), r.lines.end(), line), r.lines.end()) << line;
  EXPECT_NE(std::find(r.lines.begin(), r.lines.end(), "done"), r.lines.end());
}
