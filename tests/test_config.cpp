// The configuration file reader and writer, the command-line parsers and the log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "machine/app_config.h"
#include "platform/config.h"
#include "platform/log.h"
#include "shell/args.h"
#include "shell/engine.h"
#include "support/process.h"

namespace {

void use_home(const temp_folder &home) {
  vell_config_default();
  set_default_app_config();
  snprintf(vell_config.home_path, sizeof vell_config.home_path, "%s", home.path.c_str());
  vell_set_load_config_func(orrery_load_config);
  vell_set_save_config_func(orrery_save_config);
}

void parse_both(std::vector<const char *> argv) {
  argv.insert(argv.begin(), "orrery");
  vell_process_arguments(static_cast<int>(argv.size()), argv.data());
  process_arguments(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(ConfigReader, ClampsValuesAndHandsUnknownLinesToTheConsole) {
  temp_folder home;
  use_home(home);
  write_file(home / "config.txt",
             "// comment\n"
             "mix_buffer_size 100\r\n"
             "sound_volume 999\n"
             "music_volume -4\n"
             "foreground_sleep_ms 500\n"
             "video_mode 300 200\n"
             "window_position 10 20\n"
             "desktop_path   /tmp/desk  \n"
             "root_path C:/games\n"
             "cdata_path /data/saves/\n"
             "gif_scale 9\n"
             "gif_len 12\n"
             "button_keys 1 2 3 4 5 6 7 8 9 10 11 12 13 \n");
  ASSERT_EQ(vell_config_load(), 0);
  EXPECT_EQ(vell_config.loaded, 1);
  EXPECT_EQ(vell_config.mix_buffer_size, 1024);
  EXPECT_EQ(vell_config.sound_volume, 256);
  EXPECT_EQ(vell_config.music_volume, 0);
  EXPECT_EQ(vell_config.foreground_sleep_ms, 200);
  EXPECT_EQ(vell_config.window_size_w, 300);
  EXPECT_EQ(vell_config.screen_size_h, 200);
  EXPECT_EQ(vell_config.window_position_x, 10);
  EXPECT_EQ(vell_config.window_position_y, 20);
  EXPECT_STREQ(vell_config.desktop_path, "/tmp/desk");
  EXPECT_STREQ(orrery_config.root_path, "C:/");
  EXPECT_STREQ(orrery_config.cdata_path, "/data/saves/");
  EXPECT_EQ(orrery_config.gif_scale, 2) << "gif_scale is never read from the file";
  EXPECT_EQ(orrery_config.gif_len, 12);
  for (int i = 0; i < 13; i++) EXPECT_EQ(orrery_config.button_keys[i], i + 1);
}

TEST(ConfigReader, MissingFileKeepsDefaultsAndLongLinesContinue) {
  temp_folder home;
  use_home(home);
  EXPECT_EQ(vell_config_load(), 1);
  EXPECT_EQ(vell_config.loaded, 0);
  EXPECT_EQ(vell_config.sound_volume, 256);

  // A line over 254 characters continues as the next line, so a key hidden
  // after the break is read as a line of its own.
  std::string long_line = "// " + std::string(251, 'x') + "sessions 41\n";
  write_file(home / "config.txt", long_line);
  EXPECT_EQ(vell_config_load(), 0);
  EXPECT_EQ(vell_config.sessions, 41);
}

TEST(ConfigWriter, SavesSnapshotValuesForOneRunOverrides) {
  temp_folder home;
  use_home(home);
  write_file(home / "config.txt", "window_size 320 240\nsound_volume 100\n");
  vell_config_load();
  vell_config_take_snapshot();
  vell_config.window_size_w = 800;  // as given by -width on the command line
  vell_config.sound_volume = 0;     // as set by the mute key while running
  vell_config.headless = 1;
  snprintf(vell_state.app_title, sizeof vell_state.app_title, "orrery");
  ASSERT_EQ(vell_config_save(), 0);
  std::string saved = read_file(home / "config.txt");
  EXPECT_NE(saved.find("window_size 320 240 // window width, height\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("sound_volume 0 // 0..256\n"), std::string::npos);
  EXPECT_NE(saved.find("// Configuration for orrery\n// \n"), std::string::npos);
  EXPECT_NE(saved.find("button_keys 0 0 0 0 0 0 0 0 0 0 0 0 0 \n\n"), std::string::npos);
  EXPECT_NE(saved.find("host_framerate_control 1\n\n"), std::string::npos);

  // What was written reads back to the same values.
  use_home(home);
  vell_config_load();
  EXPECT_EQ(vell_config.window_size_w, 320);
  EXPECT_EQ(vell_config.sound_volume, 0);
}

TEST(CommandLine, EngineOptionsMatchByPrefix) {
  vell_config_default();
  set_default_app_config();
  orrery_args = orrery_args_t();
  parse_both({"-soundtrack", "5", "-width", "-foo", "300", "-draw_rect", "10,20", "-timeout", "0",
              "-headless", "x", "-music", "7"});
  EXPECT_EQ(vell_config.sound_volume, 5);
  EXPECT_EQ(vell_config.window_size_w, 300);
  EXPECT_EQ(vell_config.draw_rect_x, 10);
  EXPECT_EQ(vell_config.draw_rect_y, 20);
  EXPECT_EQ(vell_config.draw_rect_w, 4096);
  EXPECT_EQ(vell_config.draw_rect_h, 4096);
  EXPECT_EQ(vell_config.timeout, 1);
  EXPECT_EQ(vell_config.headless, 1);
  EXPECT_EQ(vell_config.music_volume, 7);
  EXPECT_EQ(orrery_args.auto_load_fn, "") << "option values are not taken for the cartridge name";

  parse_both({"-timeout", "999", "-sound", "0"});
  EXPECT_EQ(vell_config.timeout, 240);
  EXPECT_EQ(vell_config.sound_volume, 0);
}

TEST(CommandLine, ConsoleOptionsAndTheCartridgeName) {
  vell_config_default();
  set_default_app_config();
  orrery_args = orrery_args_t();
  std::string long_param(1500, 'p');
  parse_both({"-home", "/tmp/x", "cart.q7", "-joystick", "3", "-p", long_param.c_str(), "-run"});
  EXPECT_STREQ(vell_config.home_path, "/tmp/x");
  EXPECT_EQ(orrery_args.auto_load_fn, "cart.q7");
  EXPECT_EQ(orrery_config.joystick_index, 3);
  EXPECT_EQ(orrery_args.param_string.size(), 1024u);
  EXPECT_EQ(orrery_config.run_after_boot, 1);
  EXPECT_EQ(orrery_args.exec_mode, 0);
  EXPECT_EQ(vell_config.headless, 0);

  parse_both({"-x", "game.q7", "|", "other.q7", "-sound", "3"});
  EXPECT_EQ(orrery_args.exec_mode, 1);
  EXPECT_EQ(vell_config.headless, 1);
  EXPECT_EQ(orrery_args.auto_load_fn, "game.q7") << "arguments after | are ignored";
  EXPECT_EQ(vell_config.sound_volume, 256);
}

TEST(CommandLine, CatalogueAddressFromTheFileIsOverriddenForOneRun) {
  temp_folder home;
  use_home(home);
  write_file(home / "config.txt", "catalogue_url   http://127.0.0.1:8000/cat  \n");
  vell_config_load();
  EXPECT_STREQ(orrery_config.catalogue_url, "http://127.0.0.1:8000/cat");
  parse_both({"-catalogue_url", "http://example.invalid", "game.q7"});
  EXPECT_STREQ(orrery_config.catalogue_url, "http://example.invalid");
  EXPECT_EQ(orrery_args.auto_load_fn, "game.q7");
  snprintf(vell_state.app_title, sizeof vell_state.app_title, "orrery");
  ASSERT_EQ(vell_config_save(), 0);
  EXPECT_NE(read_file(home / "config.txt").find("catalogue_url http://127.0.0.1:8000/cat\n"), std::string::npos)
      << "the file's address is kept; the option lasts one run";
}

TEST(Log, IndentsBlocksAndRefusesOverlongTexts) {
  temp_folder home;
  ASSERT_EQ(vell_open_log((home / "log.txt").c_str()), 0);
  vell_debug(">start\n");
  vell_debug("inside\n");
  vell_debug(">deeper\n");
  vell_debug("two\n");
  vell_debug("<\n");
  vell_debug("<end\n");
  vell_debug("<below zero\n");
  vell_debug(std::string(513, 'a').c_str());
  vell_debug(std::string(512, 'b').c_str());
  vell_close_log();
  std::string expected = "start\n  inside\n  deeper\n    two\n  \nend\nbelow zero\n[debug string too long!]\n" +
                         std::string(512, 'b');
  EXPECT_EQ(read_file(home / "log.txt"), expected);
}
