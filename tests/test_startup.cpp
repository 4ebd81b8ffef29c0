// Start-up and shutdown: the whole program run as a separate process, the
// configuration file reader and writer, and the command-line parsers.
#include "support/test.h"

namespace {

const std::string k_orrery = ORRERY_BINARY;

bool starts_with(const std::string &s, const std::string &prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

void use_home(const temp_folder &home) {
  vell_config_default();
  set_default_app_config();
  vell_config_set_text(&vell_config_t::home_path, home.path.c_str());
  orrery_install_hooks();
}

void parse_both(std::vector<const char *> argv) {
  argv.insert(argv.begin(), "orrery");
  vell_process_arguments(static_cast<int>(argv.size()), argv.data());
  process_arguments(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(Startup, FailuresAtStartEndWithStatusOneAndAMissingHomeIsCreatedFirst) {
  temp_folder home, program;
  // Without exec mode the boot goes on to the head cartridge, having named
  // the file on standard error (here joined to standard output).
  const process_result named = run_process(
      {"/bin/sh", "-c", "exec \"$0\" -home \"$1\" -headless 1 games/missing.q7 2>&1", k_orrery, home.path}, {}, 800);
  EXPECT_EQ(named.exit_code, 0);
  EXPECT_EQ(named.output, "could not load games/missing.q7\n");

  std::filesystem::copy_file(k_orrery, program / "orrery");
  chmod((program / "orrery").c_str(), 0755);
  const std::string pod = read_file(ORRERY_BUILD_DIR "/data.pod"), pod_path = program / "data.pod";
  // No display: an X display with no server, and no driver asked for.
  const std::vector<std::string> no_display = {"DISPLAY=:1999", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER="};
  // What is wrong, the program, its home (under a folder that does not
  // exist yet), extra environment, the start of what it prints.
  const std::tuple<const char *, std::string, std::string, std::vector<std::string>, std::string> rows[] = {
      {"a missing cartridge in exec mode", k_orrery, "a/b", {}, "could not load missing.q7\n"},
      {"no resource file", program / "orrery", "c/d", {}, "couldn't load " + pod_path + "\n"},
      {"a damaged resource file", program / "orrery", "e/f", {}, "couldn't load " + pod_path + "\n"},
      {"no display", k_orrery, "g/h", no_display, "\n\n** FATAL ERROR: no display: "},
  };
  for (const auto &[name, binary, sub, env, output] : rows) {
    SCOPED_TRACE(name);
    if (std::string(name) == "a damaged resource file") write_file(pod_path, pod.substr(0, pod.size() / 2));
    std::vector<std::string> argv = {binary, "-home", home / sub};
    if (std::string(name) == "a missing cartridge in exec mode") argv.insert(argv.end(), {"-x", "missing.q7"});
    const process_result r = run_process(argv, env);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.output.substr(0, output.size()), output);
    EXPECT_TRUE(path_exists(home / (sub + "/log.txt"))) << "the home folder is made before anything can fail";
  }
  EXPECT_NE(read_file(home / "c/d/log.txt").find("vell_load_pod: " + pod_path + " failed"), std::string::npos);
  EXPECT_NE(read_file(home / "g/h/log.txt").find("DISPLAY=:1999"), std::string::npos);
}

TEST(Startup, TerminatedHeadlessRunLeavesFoldersLogAndConfiguration) {
  temp_folder home;
  // The first run writes a new config.txt, without its one-run options.
  process_result r = run_process(
      {k_orrery, "-home", home.path, "-headless", "1", "-width", "800", "-height", "600", "-desktop", "/tmp"}, {},
      1500);
  EXPECT_EQ(r.exit_code, 0) << "SIGTERM ends the program through its normal exit";
  for (const char *f : {"carts", "backup", "cdata", "cstore", "plates", "bbs", "bbs/carts", "bbs/labels"})
    EXPECT_TRUE(std::filesystem::is_directory(home / f)) << f;

  EXPECT_TRUE(starts_with(read_file(home / "log.txt"), "vell_init\n  platform: linux\n  vell_system_init\n"));
  EXPECT_NE(read_file(home / "log.txt").find("\nvell_exit\n  cmusic_stop\n  vell_main_exit\n  vell_config_save\n"),
            std::string::npos);
  std::string config = read_file(home / "config.txt");
  EXPECT_NE(config.find("sessions 1 // number of times program has been run\n\n"), std::string::npos);
  EXPECT_NE(config.find("root_path " + home.path + "/carts/\n\n"), std::string::npos);
  EXPECT_NE(config.find("window_size 0 0 "), std::string::npos) << config;
  EXPECT_NE(config.find("desktop_path \n"), std::string::npos) << config;

  // The next start counts a second session; a window size given on the
  // command line lasts that run only, while the file keeps what it held.
  r = run_process({k_orrery, "-home", home.path, "-headless", "1", "-width", "800"}, {}, 800);
  EXPECT_EQ(r.exit_code, 0);
  config = read_file(home / "config.txt");
  EXPECT_NE(config.find("sessions 2 "), std::string::npos);
  EXPECT_NE(config.find("window_size 0 0 // window width, height\n"), std::string::npos) << "-width lasts one run only";
}

TEST(ConfigFile, ReaderClampsValuesAndWriterKeepsOneRunOverridesOut) {
  temp_folder home;
  use_home(home);
  EXPECT_EQ(vell_config_load(), 1) << "no file: defaults stay";
  // A line over 254 characters continues as the next line.
  write_file(home / "config.txt",
             "// comment\nmix_buffer_size 100\r\nsound_volume 999\nmusic_volume -4\nforeground_sleep_ms 500\n"
             "video_mode 300 200\nwindow_position 10 20\ndesktop_path   /tmp/desk  \nroot_path C:/games\n"
             "gif_scale 9\ngif_len 12\nbutton_keys 1 2 3 4 5 6 7 8 9 10 11 12 13 \n// " +
                 std::string(251, 'x') + "sessions 41\n");
  ASSERT_EQ(vell_config_load(), 0);
  expect_rows({ROW(vell_config().mix_buffer_size, 1024), ROW(vell_config().sound_volume, 256),
               ROW(vell_config().music_volume, 0), ROW(vell_config().foreground_sleep_ms, 200),
               ROW(vell_config().window_size_w, 300), ROW(vell_config().screen_size_h, 200),
               ROW(vell_config().window_position_y, 20), ROW(orrery_config().gif_scale, 2) /* never read from the file */,
               ROW(orrery_config().gif_len, 12), ROW(orrery_config().button_keys[12], 13), ROW(vell_config().sessions, 41)});
  EXPECT_STREQ(vell_config().desktop_path, "/tmp/desk");
  EXPECT_STREQ(orrery_config().root_path, "C:/");

  // What the snapshot held is saved, not a one-run override (-width), while
  // a setting changed while running (the mute key) is.
  use_home(home);
  write_file(home / "config.txt", "window_size 320 240\nsound_volume 100\n");
  vell_config_load();
  vell_config_set(&vell_config_t::window_size_w, 800);
  vell_config_set(&vell_config_t::sound_volume, 0);
  snprintf(vell_state.app_title, sizeof vell_state.app_title, "orrery");
  ASSERT_EQ(vell_config_save(), 0);
  const std::string saved = read_file(home / "config.txt");
  for (const char *line : {"window_size 320 240 // window width, height\n", "sound_volume 0 // 0..256\n",
                           "// Configuration for orrery\n// \n", "button_keys 0 0 0 0 0 0 0 0 0 0 0 0 0 \n\n",
                           "host_framerate_control 1\n\n"})
    EXPECT_NE(saved.find(line), std::string::npos) << line;
  use_home(home);
  vell_config_load();
  EXPECT_EQ(vell_config().window_size_w * 1000 + vell_config().sound_volume, 320000) << "what was written reads back";
}

TEST(CommandLine, OptionsMatchByPrefixTakeTheirValuesAndNameTheCartridge) {
  temp_folder home;
  use_home(home);
  const std::string long_param(1500, 'p');
  parse_both({"cart.q7", "-soundtrack", "5", "-width", "-foo", "300", "-draw_rect", "10,20", "-timeout", "0",
              "-headless", "x", "-music", "7", "-joystick", "3", "-p", long_param.c_str(), "-run"});
  expect_rows({ROW(vell_config().sound_volume, 5), ROW(vell_config().window_size_w, 300), ROW(vell_config().draw_rect_x, 10),
               ROW(vell_config().draw_rect_y, 20), ROW(vell_config().draw_rect_w, 4096), ROW(vell_config().timeout, 1),
               ROW(vell_config().headless, 1), ROW(vell_config().music_volume, 7), ROW(orrery_config().joystick_index, 3),
               ROW(strlen(orrery_config().param_string), 1024u), ROW(orrery_config().run_after_boot, 1),
               ROW(orrery_config().exec_mode, 0)});
  EXPECT_EQ(orrery_named_cart(), "cart.q7") << "option values are not taken for the cartridge name";
  parse_both({"-timeout", "999", "-x", "game.q7", "|", "other.q7", "-sound", "3"});
  EXPECT_EQ(vell_config().timeout, 240);
  EXPECT_EQ(orrery_config().exec_mode, 1);
  EXPECT_EQ(orrery_named_cart(), "game.q7") << "arguments after | are ignored";
  EXPECT_EQ(vell_config().sound_volume, 5);
  // The catalogue address from the file is overridden for one run.
  write_file(home / "config.txt", "catalogue_url   http://127.0.0.1:8000/cat  \n");
  vell_config_load();
  EXPECT_STREQ(orrery_config().catalogue_url, "http://127.0.0.1:8000/cat");
  parse_both({"-catalogue_url", "http://example.invalid", "game.q7"});
  EXPECT_STREQ(orrery_config().catalogue_url, "http://example.invalid");
  EXPECT_EQ(orrery_named_cart(), "game.q7");
  snprintf(vell_state.app_title, sizeof vell_state.app_title, "orrery");
  ASSERT_EQ(vell_config_save(), 0);
  EXPECT_NE(read_file(home / "config.txt").find("catalogue_url http://127.0.0.1:8000/cat\n"), std::string::npos)
      << "the file's address is kept; the option lasts one run";
}

namespace {

// The engine's and the console's key tables with their live records.
struct key_table {
  const char *which;
  const vell_config_key *keys;
  size_t count;
  const void *record;
};

std::vector<key_table> key_tables() {
  key_table engine{"engine", nullptr, 0, &vell_config()}, console{"console", nullptr, 0, &orrery_config()};
  engine.keys = vell_config_keys(&engine.count);
  console.keys = orrery_config_keys(&console.count);
  return {engine, console};
}

// A key's value in a record, as text: its integers separated by spaces, or its text.
std::string value_of(const vell_config_key &k, const void *record) {
  const char *p = static_cast<const char *>(record) + k.field;
  if (k.type == VELL_TEXT || k.type == VELL_FOLDER) return p;
  if (k.type == VELL_FIXED) return k.fixed;
  if (k.type == VELL_COUNT) {
    int64_t c;
    memcpy(&c, p, sizeof c);
    return std::to_string(c);
  }
  const size_t n = k.type == VELL_PAIR ? 2 : k.type == VELL_RECT ? 4 : k.type == VELL_LIST ? k.size : 1;
  int32_t v[16];
  memcpy(v, p, n * sizeof *v);
  std::string out;
  for (size_t i = 0; i < n; i++) out += (i ? " " : "") + std::to_string(v[i]);
  return out;
}

// Keys config.txt holds and gets back (a key kept for old files only, which
// sets another key's fields, is tested on its own).
bool file_key(const vell_config_key &k) {
  return k.name && k.use != VELL_OPTION && k.use != VELL_WRITE_ONLY && k.use != VELL_READ_ONLY;
}

// A value for key number i that no default holds and every range keeps.
std::string file_value(const vell_config_key &k, size_t i) {
  const int32_t base = k.range == VELL_ANY ? 300 + static_cast<int32_t>(i) : k.lo + 1;
  switch (k.type) {
    case VELL_PAIR: return std::to_string(base) + " " + std::to_string(base + 1);
    case VELL_TEXT: return std::string("/file/") + k.name;
    case VELL_FOLDER: return std::string("/file/") + k.name + "/";
    case VELL_LIST: {
      std::string out;
      for (size_t j = 0; j < k.size; j++) out += (j ? " " : "") + std::to_string(base + j);
      return out;
    }
    default: return std::to_string(base);
  }
}

std::vector<std::vector<std::string>> all_values() {
  std::vector<std::vector<std::string>> values;
  for (const key_table &t : key_tables()) {
    values.emplace_back();
    for (size_t i = 0; i < t.count; i++) values.back().push_back(value_of(t.keys[i], t.record));
  }
  return values;
}

}  // namespace

TEST(ConfigKeys, EveryKeyIsReadWrittenAndReadBackAndTheCommandLineLastsOneRunForSnapshotKeys) {
  temp_folder home;
  use_home(home);
  snprintf(vell_state.app_title, sizeof vell_state.app_title, "orrery");
  std::string text;
  for (const key_table &t : key_tables())
    for (size_t i = 0; i < t.count; i++)
      if (file_key(t.keys[i])) text += std::string(t.keys[i].name) + " " + file_value(t.keys[i], i) + "\n";
  write_file(home / "config.txt", text);
  ASSERT_EQ(vell_config_load(), 0);
  const auto from_file = all_values();
  // Every option of those keys with a value of its own (in the key's range);
  // without a window, the window's state does not replace windowed's.
  std::vector<std::string> args = {"orrery", "-headless", "1"};
  for (const key_table &t : key_tables())
    for (size_t i = 0; i < t.count; i++) {
      const vell_config_key &k = t.keys[i];
      for (const char *o : {k.option, k.option2}) {
        if (!o || !file_key(k)) continue;
        const std::string value = k.type == VELL_TEXT    ? std::string("/opt/") + o
                                  : k.range != VELL_ANY ? std::to_string(k.lo + 2)
                                                        : std::to_string(700 + args.size());
        args.insert(args.end(), {std::string("-") + o, value});
      }
    }
  std::vector<const char *> argv;
  for (const std::string &a : args) argv.push_back(a.c_str());
  parse_both(std::vector<const char *>(argv.begin() + 1, argv.end()));
  const auto from_options = all_values();
  ASSERT_EQ(vell_config_save(), 0);
  use_home(home);
  ASSERT_EQ(vell_config_load(), 0);
  const auto read_back = all_values();
  // The keys whose command-line values last one run.
  const std::vector<std::string> one_run = {"window_size",         "screen_size",         "show_fps",
                                            "frameless",           "foreground_sleep_ms", "background_sleep_ms",
                                            "desktop_path",        "catalogue_url"};
  for (size_t n = 0; n < 2; n++) {
    const key_table t = key_tables()[n];
    for (size_t i = 0; i < t.count; i++) {
      const vell_config_key &k = t.keys[i];
      if (!file_key(k)) continue;
      SCOPED_TRACE(std::string(t.which) + " key " + k.name);
      EXPECT_EQ(from_file[n][i], file_value(k, i)) << "read from the file";
      if (k.option) {
        EXPECT_NE(from_options[n][i], from_file[n][i]) << "set by -" << k.option;
      }
      const bool kept = std::count(one_run.begin(), one_run.end(), k.name) > 0;
      EXPECT_EQ(read_back[n][i], kept ? from_file[n][i] : from_options[n][i])
          << "written and read back";
    }
  }
}

TEST(ConfigKeys, EveryOptionSetsItsOwnSettingAndNoOther) {
  temp_folder home;
  for (size_t n = 0; n < 2; n++) {
    for (size_t i = 0; i < key_tables()[n].count; i++) {
      const vell_config_key &k = key_tables()[n].keys[i];
      for (int part = 0; part < 2; part++) {
        const char *option = part ? k.option2 : k.option;
        if (!option) continue;
        SCOPED_TRACE(std::string("-") + option);
        use_home(home);
        const auto before = all_values();
        const char *value = k.type == VELL_TEXT ? "/opt/x" : k.type == VELL_RECT ? "1,2" : "7";
        const std::string arg = std::string("-") + option;
        if (k.type == VELL_FLAG) parse_both({arg.c_str()});
        else parse_both({arg.c_str(), value});
        std::string want = k.type == VELL_TEXT ? "/opt/x" : k.type == VELL_RECT ? "1 2 4096 4096" : "7";
        if (k.type == VELL_FLAG || k.type == VELL_MARK) want = "1";
        const std::string &was = before[n][i];
        if (k.type == VELL_PAIR) want = part ? was.substr(0, was.find(' ')) + " 7" : "7" + was.substr(was.find(' '));
        const auto after = all_values();
        for (size_t m = 0; m < 2; m++)
          for (size_t j = 0; j < key_tables()[m].count; j++) {
            const vell_config_key &other = key_tables()[m].keys[j];
            if (other.type == VELL_FIXED) continue;
            // Exec mode also runs the named cartridge at once and without a window.
            const bool exec = n == 1 && k.field == offsetof(orrery_config_t, exec_mode);
            const bool by_exec = exec && other.field == (m ? offsetof(orrery_config_t, run_after_boot)
                                                           : offsetof(vell_config_t, headless));
            if (other.field == k.field && m == n) EXPECT_EQ(after[m][j], want);
            else if (by_exec) EXPECT_EQ(after[m][j], "1");
            else EXPECT_EQ(after[m][j], before[m][j]) << "key " << (other.name ? other.name : other.option);
          }
      }
    }
  }
}
