#include "support/temp_home.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/config.h"
#include "shell/log.h"

temp_home::temp_home() {
  char pattern[] = "/tmp/orrery-test-XXXXXX";
  const char *made = mkdtemp(pattern);
  path = std::string(made ? made : "/tmp") + "/";
  vell_config_default();
  snprintf(vell_config.home_path, sizeof vell_config.home_path, "%s", path.c_str());
  vell_open_log((path + "log.txt").c_str());
}

temp_home::~temp_home() {
  vell_close_log();
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

std::string temp_home::log() const { return read_file(path + "log.txt"); }

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool write_file(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}
