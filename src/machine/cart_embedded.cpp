#include "machine/cart_embedded.h"

#include <map>
#include <vector>

#include "machine/cart_image.h"
#include "machine/cart_names.h"
#include "machine/cart_text.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

struct embedded_entry {
  std::string hash;  // 40 hexadecimal digits
  std::string name;  // the resource item's name
};

// The embedded cartridges and the virtual disk holding them.
struct embedded_record {
  std::vector<embedded_entry> entries;         // the cartridges the resource file carries
  std::map<std::string, std::string> vdisk;    // file name -> contents
};
embedded_record g_embedded;

std::string file_name(const std::string &path) {
  const cart_name_parts p = split_cart_name(path);
  return p.base + p.ext;
}

}  // namespace

void clear_embedded_carts() {
  g_embedded.entries.clear();
  g_embedded.vdisk.clear();
}

void mount_embedded_cart(const orrery_cart *cart, const char *name) {
  if (!cart || !name || !name[0] || g_embedded.entries.size() >= static_cast<size_t>(k_embedded_max)) return;
  char hash[k_cart_hash_chars + 1];
  hash_cart(cart, hash);
  g_embedded.entries.push_back({hash, std::string(name).substr(0, k_embedded_name_max)});
  vdisk_write(g_embedded.entries.back().name, vell_orrery_cart_text(cart));
}

std::string get_embedded_cart_hash_for_filename(const std::string &name) {
  const std::string wanted = file_name(name);
  for (const embedded_entry &e : g_embedded.entries)
    if (e.name == wanted) return e.hash;
  return "";
}

std::string get_embedded_cart_filename_for_hash(const std::string &hash) {
  for (const embedded_entry &e : g_embedded.entries)
    if (e.hash == hash) return e.name;
  return "";
}

std::string get_sandboxed_cstore_filename(const std::string &hash) {
  return vell_prefix_with_appdata_path("cstore/__" + hash + ".q7");
}

void vdisk_write(const std::string &name, const std::string &bytes) { g_embedded.vdisk[file_name(name)] = bytes; }

int vdisk_read(const std::string &path, std::string *bytes) {
  const auto it = g_embedded.vdisk.find(file_name(path));
  if (it == g_embedded.vdisk.end()) return 0;
  *bytes = it->second;
  return 1;
}

int read_cart_source(const std::string &path, size_t max_bytes, std::string *bytes) {
  const int r = vell_read_file(path.c_str(), max_bytes, bytes);
  if (r == VELL_READ_OK) return 0;
  if (r == VELL_READ_MISSING && vdisk_read(path, bytes) && bytes->size() <= max_bytes) return 0;
  bytes->clear();
  return 1;
}
