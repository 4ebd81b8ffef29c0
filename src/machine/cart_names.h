// Cartridge file names: splitting a path, inserting the cartridge extension,
// joining a name to a folder without leaving it, and the console's current
// folder inside the root folder.
#pragma once

#include <string>

// A path cut into its folder (with the trailing '/', or ""), its base name
// and its extension (from the last '.' of the file name, or "").
struct cart_name_parts {
  std::string dir;
  std::string base;
  std::string ext;
};
cart_name_parts split_cart_name(const std::string &path);

// The name a cartridge is saved under: the name itself when it holds
// ".q7"; otherwise with ".q7" inserted before an extension that holds
// ".png" (x.png becomes x.q7.png) and appended to any other (x becomes
// x.q7, x.txt becomes x.txt.q7).
std::string with_cart_extension(const std::string &name);

bool name_has(const std::string &name, const char *part);
bool name_starts_with(const std::string &name, const char *prefix);

// Joins name to folder (which ends in '/') when the result stays inside
// folder: '.' and empty components are dropped and ".." steps back, but
// never above folder. With check_links the path is also refused when its
// deepest existing part resolves, through symbolic links, to a place
// outside the folder's own resolved path. Returns 0 with the path in out,
// or 1 when the name leaves the folder (out is then untouched).
int join_inside_folder(const std::string &folder, const std::string &name, bool check_links, std::string *out);
// The same on the name alone: the name with its steps resolved, relative
// to the folder it is given in ("" for the folder itself); 1 when it
// would leave it.
int resolve_relative_name(const std::string &name, std::string *out);

// The console's current folder, relative to the root folder: "" for the
// root itself, else ending in '/'.
const char *orrery_current_folder();
void orrery_set_current_folder(const char *folder);
// Root folder + current folder.
std::string orrery_current_folder_path();
