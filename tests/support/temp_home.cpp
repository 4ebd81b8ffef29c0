#include "support/temp_home.h"

#include "support/test.h"

temp_home::temp_home() : path(folder.path + "/") {
  vell_config_default();
  snprintf(vell_config.home_path, sizeof vell_config.home_path, "%s", path.c_str());
  vell_open_log((path + "log.txt").c_str());
}

temp_home::~temp_home() { vell_close_log(); }

std::string temp_home::log() const { return read_file(path + "log.txt"); }
