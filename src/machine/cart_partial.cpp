#include "machine/cart_partial.h"

#include <set>

#include "machine/cart.h"
#include "machine/cart_embedded.h"
#include "machine/cart_image.h"
#include "machine/cart_load.h"
#include "machine/cart_names.h"
#include "machine/cart_png.h"
#include "machine/cart_text.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/png_image.h"

namespace {

constexpr size_t k_name_max = 511;  // longest file name a program may give

std::set<std::string> g_stored;  // files written by cstore this session

// A new partial cartridge runs the activity indicator.
void note_partial_name(const std::string &path) {
  if (path == orrery_partial_cart_name()) return;
  orrery_set_partial_cart_name(path.c_str());
  pstate.busy_countdown = k_activity_frames;
}

// The embedded cartridge whose store file path names, as its virtual-disk
// file; false when path is no store file of an embedded cartridge.
bool embedded_source(const std::string &path, std::string *bytes) {
  const cart_name_parts p = split_cart_name(path);
  if (p.ext != ".q7" || !name_starts_with(p.base, "__")) return false;
  const std::string name = get_embedded_cart_filename_for_hash(p.base.substr(2));
  return !name.empty() && vdisk_read(name, bytes);
}

orrery_cart *load_partial_source(const std::string &path) {
  std::string bytes;
  if (vell_read_file(path.c_str(), k_vell_png_max_file, &bytes) != VELL_READ_OK && !embedded_source(path, &bytes))
    return nullptr;
  if (orrery_cart *cart = load_orrery_cart_png_from_memory(bytes.data(), bytes.size())) return cart;
  if (orrery_cart *cart = vell_load_orrery_cart_from_text(bytes)) return cart;
  if (!name_has(path, ".bin") || bytes.size() != static_cast<size_t>(k_raw_image_bytes)) return nullptr;
  orrery_cart *cart = vell_create_orrery_cart();
  if (!cart) return nullptr;
  for (int32_t a = 0; a < k_raw_image_bytes; a++) orrery_poke(nullptr, cart, a, static_cast<uint8_t>(bytes[a]));
  return cart;
}

// The file cstore writes to, as it is, or an empty cartridge.
orrery_cart *load_cstore_target(const std::string &path) {
  std::string bytes;
  orrery_cart *cart = nullptr;
  if (vell_read_file(path.c_str(), k_vell_png_max_file, &bytes) == VELL_READ_OK) {
    cart = name_has(path, ".png") ? load_orrery_cart_png_with_label(bytes.data(), bytes.size())
                                  : vell_load_orrery_cart_from_text(bytes);
  }
  // A stored file that a newer console wrote is replaced, not reported.
  orrery_set_future_version_status(0);
  return cart ? cart : vell_create_orrery_cart();
}

}  // namespace

int cstore_path_for_name(const std::string &name, std::string *out) {
  if (name.size() > k_name_max || name_starts_with(name, "__")) return 1;
  const std::string hash = get_embedded_cart_hash_for_filename(name);
  if (!hash.empty()) {
    *out = get_sandboxed_cstore_filename(hash);
    return 0;
  }
  const std::string rel = name_starts_with(name, "/") ? name.substr(1) : name;
  if (rel.empty()) return 1;
  return join_inside_folder(vell_prefix_with_appdata_path("cstore/"), rel, true, out);
}

int reload_cart_partial(const std::string &path, int32_t dest, int32_t src, int32_t len) {
  note_partial_name(path);
  orrery_cart *from = load_partial_source(path);
  orrery_set_future_version_status(0);
  if (!from) return PARTIAL_LOAD_FAILED;
  if (len >= 1 && len <= 32767) {
    for (int32_t i = 0; i < len; i++) {
      const int64_t s = int64_t(src) + i;
      const int32_t v = s >= 0 && s < k_cart_image_size ? orrery_peek(nullptr, from, static_cast<int32_t>(s)) : 0;
      const int64_t d = int64_t(dest) + i;
      // A destination outside the address space is reported by the write
      // rule, byte by byte, and the copy goes on.
      orrery_poke(&pstate, pstate.cart, d >= 0 && d <= INT32_MAX ? static_cast<int32_t>(d) : -1, v);
    }
  }
  vell_destroy_orrery_cart(from);
  return PARTIAL_OK;
}

int cstore_cart_partial(const std::string &path, int32_t dest, int32_t src, int32_t len, bool also_working) {
  if (!g_stored.count(path)) {
    if (g_stored.size() >= static_cast<size_t>(k_stored_files_max)) return PARTIAL_LIST_FULL;
    g_stored.insert(path);
  }
  note_partial_name(path);
  orrery_cart *target = load_cstore_target(path);
  if (!target) return PARTIAL_SAVE_FAILED;
  orrery_cstore(&pstate, target, dest, src, len);
  if (also_working && orrery_working_cart()) orrery_cstore(&pstate, orrery_working_cart(), dest, src, len);
  vell_make_directory(vell_prefix_with_appdata_path("cstore/").c_str());
  const int written =
      name_has(path, ".png") ? save_orrery_cart_png(target, path.c_str()) : vell_save_orrery_cart(target, path.c_str());
  vell_destroy_orrery_cart(target);
  return written == 0 ? PARTIAL_OK : PARTIAL_SAVE_FAILED;
}

int32_t stored_file_count() { return static_cast<int32_t>(g_stored.size()); }

void clear_stored_files() { g_stored.clear(); }
