#include "machine/cart_names.h"

#include <climits>
#include <cstdlib>
#include <vector>

#include "machine/app_config.h"

namespace {

std::string g_current_folder;  // relative to the root folder; "" or ending in '/'

// The real path of path, or of its deepest existing ancestor with the
// missing rest appended; "" when nothing of it resolves.
std::string resolved_prefix(const std::string &path) {
  std::string head = path;
  std::string tail;
  for (;;) {
    char buf[PATH_MAX];
    if (realpath(head.empty() ? "/" : head.c_str(), buf)) {
      std::string r = buf;
      if (!tail.empty()) r += (r.back() == '/' ? "" : "/") + tail;
      return r;
    }
    while (!head.empty() && head.back() == '/') head.pop_back();
    const size_t slash = head.rfind('/');
    if (slash == std::string::npos) return "";
    const std::string part = head.substr(slash + 1);
    tail = tail.empty() ? part : part + "/" + tail;
    head = head.substr(0, slash + 1);
  }
}

bool inside(const std::string &path, const std::string &folder) {
  if (folder.empty()) return false;
  std::string f = folder;
  if (f.back() != '/') f += '/';
  return path + "/" == f || path.compare(0, f.size(), f) == 0;
}

}  // namespace

cart_name_parts split_cart_name(const std::string &path) {
  cart_name_parts p;
  const size_t slash = path.rfind('/');
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  p.dir = path.substr(0, start);
  const std::string file = path.substr(start);
  const size_t dot = file.rfind('.');
  if (dot == std::string::npos) {
    p.base = file;
  } else {
    p.base = file.substr(0, dot);
    p.ext = file.substr(dot);
  }
  return p;
}

bool name_has(const std::string &name, const char *part) { return name.find(part) != std::string::npos; }

bool name_starts_with(const std::string &name, const char *prefix) { return name.rfind(prefix, 0) == 0; }

std::string with_cart_extension(const std::string &name) {
  if (name_has(name, ".q7")) return name;
  const cart_name_parts p = split_cart_name(name);
  if (name_has(p.ext, ".png")) return p.dir + p.base + ".q7" + p.ext;
  return p.dir + p.base + p.ext + ".q7";
}

int resolve_relative_name(const std::string &name, std::string *out) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= name.size()) {
    size_t end = name.find('/', pos);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(pos, end - pos);
    if (part == "..") {
      if (parts.empty()) return 1;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  std::string r;
  for (size_t i = 0; i < parts.size(); i++) r += (i ? "/" : "") + parts[i];
  // A name ending in '/' names a folder and keeps saying so.
  if (!r.empty() && !name.empty() && name.back() == '/') r += '/';
  *out = r;
  return 0;
}

int join_inside_folder(const std::string &folder, const std::string &name, bool check_links, std::string *out) {
  std::string rel;
  if (resolve_relative_name(name, &rel) != 0) return 1;
  const std::string path = folder + rel;
  if (check_links) {
    // The folder itself may lie behind links (a home folder on another
    // disk); only where the name leads from there counts.
    const std::string real_folder = resolved_prefix(folder);
    const std::string real_path = resolved_prefix(path);
    if (real_folder.empty() || real_path.empty() || !inside(real_path, real_folder)) return 1;
  }
  *out = path;
  return 0;
}

const char *orrery_current_folder() { return g_current_folder.c_str(); }

void orrery_set_current_folder(const char *folder) {
  g_current_folder = folder ? folder : "";
  if (!g_current_folder.empty() && g_current_folder.back() != '/') g_current_folder += '/';
}

std::string orrery_current_folder_path() { return std::string(orrery_config().root_path) + g_current_folder; }
