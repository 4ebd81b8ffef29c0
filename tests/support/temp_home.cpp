#include "support/temp_home.h"

#include "support/test.h"

temp_home::temp_home() : path(folder.path + "/") {
  vell_config_default();
  vell_config_set_text(&vell_config_t::home_path, path.c_str());
  vell_open_log((path + "log.txt").c_str());
}

temp_home::~temp_home() { vell_close_log(); }

std::string temp_home::log() const { return read_file(path + "log.txt"); }
