#include "platform/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/config.h"
#include "platform/engine_state.h"
#include "platform/files.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

// The web build's program folder, ending in '/': under node the folder of
// the running script, whose .wasm and data.pod lie beside it; in a browser
// the root of the page's own files. Returns the bytes written to out.
EM_JS(int, web_program_folder, (char *out, int size), {
  return stringToUTF8(ENVIRONMENT_IS_NODE ? scriptDirectory : '/', out, size);
});
#endif

namespace {

std::string g_program_folder;  // set by a test, or found once from /proc

const char *env_or_null(const char *name) {
  const char *v = getenv(name);
  return (v && *v) ? v : nullptr;
}

// The desktop folder from the user's XDG settings file, with $HOME expanded.
std::string xdg_desktop_folder() {
  if (const char *v = env_or_null("XDG_DESKTOP_DIR")) return v;
  std::string config;
  if (const char *v = env_or_null("XDG_CONFIG_HOME")) config = v;
  else if (const char *h = env_or_null("HOME")) config = std::string(h) + "/.config";
  else return "";
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DESKTOP_DIR=";
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string v = line.substr(key.size());
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    if (v.compare(0, 5, "$HOME") == 0) {
      const char *h = env_or_null("HOME");
      if (!h) return "";
      v = std::string(h) + v.substr(5);
    }
    return v;
  }
  return "";
}

std::string with_slash(std::string s) {
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

}  // namespace

std::string vell_configured_folder(const char *value) {
  if (!value || value[0] == 0 || value[0] == ' ') return "";
  std::string s = value;
  for (char &c : s)
    if (c == '\\') c = '/';
  return with_slash(s);
}

void vell_set_program_folder(const std::string &folder) { g_program_folder = with_slash(folder); }

std::string vell_program_folder() {
  if (!g_program_folder.empty()) return g_program_folder;
  char buf[4096];
#ifdef __EMSCRIPTEN__
  ssize_t n = web_program_folder(buf, sizeof buf);
#else
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
#endif
  std::string path = n > 0 ? std::string(buf, n) : std::string("./orrery");
  size_t slash = path.find_last_of('/');
  g_program_folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
  return g_program_folder;
}

std::string vell_prefix_with_program_path(const std::string &name) { return vell_program_folder() + name; }

std::string vell_prefix_with_data_path(const std::string &name) {
  std::string beside = vell_prefix_with_program_path(name);
  if (vell_file_exists(beside.c_str())) return beside;
  // An installation keeps the program in <prefix>/bin and its data in
  // <prefix>/share/orrery.
  std::string shared = vell_program_folder() + "../share/orrery/" + name;
  if (vell_file_exists(shared.c_str())) return shared;
  return beside;
}

std::string vell_prefix_with_appdata_path(const std::string &name) {
  std::string home = vell_configured_folder(vell_config().home_path);
  if (!home.empty()) return home + name;
  std::string base;
  if (const char *v = env_or_null("XDG_DATA_HOME")) base = v;
  else if (const char *h = env_or_null("HOME")) base = std::string(h) + "/.local/share";
  if (!base.empty()) {
    std::string folder = with_slash(base) + vell_state.app_title;
    vell_make_directories(folder.c_str());
    return folder + "/" + name;
  }
  return vell_prefix_with_program_path(name);
}

std::string vell_prefix_with_desktop_path(const std::string &name) {
  std::string desk = vell_configured_folder(vell_config().desktop_path);
  if (!desk.empty()) return desk + name;
  // A desktop folder that does not exist (a machine without a desktop) is
  // passed over rather than made: files land in the user's home instead.
  std::string xdg = xdg_desktop_folder();
  if (!xdg.empty() && vell_directory_exists(xdg.c_str())) return with_slash(xdg) + name;
  if (const char *h = env_or_null("HOME")) {
    const std::string home = with_slash(h);
    if (vell_directory_exists((home + "Desktop").c_str())) return home + "Desktop/" + name;
    if (vell_directory_exists(home.c_str())) return home + name;
  }
  return vell_prefix_with_appdata_path(name);
}
