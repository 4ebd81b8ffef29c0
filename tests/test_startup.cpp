// Start-up and shutdown of the whole program, run as a separate process.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/process.h"

namespace {

const std::string k_orrery = ORRERY_BINARY;

bool starts_with(const std::string &s, const std::string &prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

TEST(Startup, ExecModeWithAMissingCartridgeFails) {
  temp_folder home;
  process_result r = run_process({k_orrery, "-home", home.path, "-x", "missing.q7"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output, "could not load missing.q7\n");
}

TEST(Startup, MissingOrDamagedResourceFileIsReported) {
  temp_folder home, program;
  std::filesystem::copy_file(k_orrery, program / "orrery");
  chmod((program / "orrery").c_str(), 0755);
  process_result r = run_process({program / "orrery", "-home", home.path, "-headless", "1"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output, "couldn't load " + (program / "data.pod") + "\n");

  // A truncated copy of the real file is refused the same way.
  std::string pod = read_file(ORRERY_BUILD_DIR "/data.pod");
  write_file(program / "data.pod", pod.substr(0, pod.size() / 2));
  r = run_process({program / "orrery", "-home", home.path, "-headless", "1"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output, "couldn't load " + (program / "data.pod") + "\n");
  EXPECT_NE(read_file(home / "log.txt").find("vell_load_pod: " + (program / "data.pod") + " failed"),
            std::string::npos);
}

TEST(Startup, TerminatedHeadlessRunLeavesFoldersLogAndConfiguration) {
  temp_folder home;
  process_result r = run_process({k_orrery, "-home", home.path, "-headless", "1"}, {}, 1500);
  EXPECT_EQ(r.exit_code, 0) << "SIGTERM ends the program through its normal exit";
  for (const char *f : {"carts", "backup", "cdata", "cstore", "plates", "bbs", "bbs/carts", "bbs/labels"})
    EXPECT_TRUE(std::filesystem::is_directory(home / f)) << f;

  std::string log = read_file(home / "log.txt");
  EXPECT_TRUE(starts_with(log, "vell_init\n  platform: linux\n  vell_system_init\n")) << log;
  EXPECT_NE(log.find("\nvell_exit\n  cmusic_stop\n  vell_main_exit\n  vell_config_save\n"), std::string::npos);

  std::string config = read_file(home / "config.txt");
  EXPECT_TRUE(starts_with(config,
                          "// - - - - - - - - - - - - - - - - - - - - - - - - - - - -\n"
                          "// Configuration for orrery\n// \n"
                          "// config.txt is read on startup and saved on exit.\n"))
      << config;
  EXPECT_NE(config.find("window_size 0 0 // window width, height\n"), std::string::npos);
  EXPECT_NE(config.find("sessions 1 // number of times program has been run\n\n"), std::string::npos);
  EXPECT_NE(config.find("root_path " + home.path + "/carts/\n\n"), std::string::npos);

  // The next start counts a second session; a window size given on the
  // command line lasts that run only, while the file keeps what it held.
  r = run_process({k_orrery, "-home", home.path, "-headless", "1", "-width", "800"}, {}, 800);
  EXPECT_EQ(r.exit_code, 0);
  config = read_file(home / "config.txt");
  EXPECT_NE(config.find("sessions 2 "), std::string::npos);
  EXPECT_NE(config.find("window_size 0 0 // window width, height\n"), std::string::npos)
      << "-width lasts one run only";
}

TEST(Startup, ArgumentsAfterAPipeAreIgnored) {
  temp_folder home;
  process_result r = run_process({k_orrery, "-home", home.path, "-x", "missing.q7", "|", "other.q7"});
  EXPECT_EQ(r.output, "could not load missing.q7\n");
}
