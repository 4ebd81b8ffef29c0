// Where files live: the home folder, the program folder and the desktop folder.
#pragma once

#include <string>

// name inside the home folder: home_path when set, else the per-user
// application folder ($XDG_DATA_HOME/<title>, else $HOME/.local/share/<title>,
// created when missing), else the program folder.
std::string vell_prefix_with_appdata_path(const std::string &name);
// name inside the program's own folder.
std::string vell_prefix_with_program_path(const std::string &name);
// A file the program ships with (the resource file, the start picture): the
// program's own folder when it is there (a build folder), else the shared
// data folder of an installation ("../share/orrery/" from the program's
// folder) when it is there, else the program's own folder.
std::string vell_prefix_with_data_path(const std::string &name);
// name inside the desktop folder: desktop_path when set, else the desktop
// folder of the user's XDG settings or $HOME/Desktop when it exists, else
// $HOME, else the home folder.
std::string vell_prefix_with_desktop_path(const std::string &name);

// The program's folder, with a trailing '/'. Taken from the running
// executable unless a test has set it.
std::string vell_program_folder();
void vell_set_program_folder(const std::string &folder);

// Normalises a configured folder: backslashes become '/', and a '/' is added
// when the text does not end in one. Returns "" for a value that is unset
// (first character NUL or space).
std::string vell_configured_folder(const char *value);
