#include "machine/cart_load.h"

#include "machine/cart.h"
#include "machine/cart_hex.h"
#include "machine/cart_image.h"
#include "machine/cart_legacy.h"
#include "machine/cart_names.h"
#include "machine/cart_png.h"
#include "machine/cart_text.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "platform/clipboard.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/png_image.h"

namespace {

// The load workflow's record.
struct load_record {
  std::string working_file;  // where the working cartridge came from or went to
  std::string hash;          // the current cartridge hash
};
load_record g_load;

// The previous working cartridge goes; the slot does not own it, the
// workflow does.
void replace_working_cart(orrery_cart *cart) {
  orrery_cart *old = orrery_working_cart();
  orrery_set_working_cart(cart);
  if (old && old != cart) vell_destroy_orrery_cart(old);
}

// What a program stored with cstore() lives in the cartridge's sandboxed
// store file; it is laid over the cartridge's memory at every load.
void overlay_stored_data(orrery_cart *cart) {
  std::string text;
  if (vell_read_file(get_sandboxed_cstore_filename(g_load.hash).c_str(), k_cart_file_max, &text) != VELL_READ_OK) return;
  orrery_cart *stored = vell_load_orrery_cart_from_text(text);
  if (!stored) return;
  for (int32_t a = 0; a < k_cart_image_size; a++) orrery_poke(nullptr, cart, a, orrery_peek(nullptr, stored, a));
  vell_destroy_orrery_cart(stored);
}

}  // namespace

const char *working_file_name() { return g_load.working_file.c_str(); }

void set_working_file_name(const char *path) { g_load.working_file = path ? path : ""; }

void clear_working_file_name() { g_load.working_file.clear(); }

void record_cart_hash(const orrery_cart *cart) {
  if (!cart) return;
  char hash[k_cart_hash_chars + 1];
  hash_cart(cart, hash);
  g_load.hash = hash;
}

const char *current_cart_hash() {
  if (g_load.hash.empty()) record_cart_hash(orrery_working_cart());
  return g_load.hash.c_str();
}

orrery_cart *load_cart_file(const std::string &path) {
  std::string bytes;
  if (read_cart_source(path, k_vell_png_max_file, &bytes) != 0) return nullptr;
  if (orrery_cart *cart = load_orrery_cart_png_with_label(bytes.data(), bytes.size())) return cart;
  return vell_load_orrery_cart_from_text(bytes);
}

void prepare_loaded_cart(orrery_cart *cart, const char *name) {
  if (!cart) return;
  const std::string given = name ? name : "";
  replace_working_cart(cart);
  orrery_sync_shared_quarter(cart);
  record_cart_hash(cart);
  g_load.working_file = given.empty() ? get_sandboxed_cstore_filename(g_load.hash) : given;
  overlay_stored_data(cart);
  orrery_machine_hook().working_cart_loaded();
}

int load_working_cart(const char *name) {
  if (!name || !name[0]) return 1;
  const std::string n = name;
  const std::string with_ext = with_cart_extension(n);
  const std::string candidates[] = {n, with_ext, with_ext + ".png", n + ".png"};
  for (size_t i = 0; i < 4; i++) {
    bool tried = false;
    for (size_t j = 0; j < i; j++) tried = tried || candidates[j] == candidates[i];
    if (tried) continue;
    orrery_cart *cart = load_cart_file(candidates[i]);
    if (!cart) continue;
    apply_legacy_changes(cart);
    prepare_loaded_cart(cart, candidates[i].c_str());
    return 0;
  }
  return 1;
}

int do_quick_load() {
  const std::string path = g_load.working_file;
  if (path.empty()) return 1;
  return quick_load_file(path) == QUICK_LOAD_TAKEN ? 0 : 1;
}

quick_load_result quick_load_file(const std::string &path) {
  if (path.empty()) return QUICK_LOAD_FAILED;
  orrery_cart *cart = load_cart_file(path);
  if (!cart) {
    // Nothing asked for this load: a newer file is not news for the next
    // load command.
    orrery_set_future_version_status(0);
    return QUICK_LOAD_FAILED;
  }
  apply_legacy_changes(cart);
  char hash[k_cart_hash_chars + 1];
  hash_cart(cart, hash);
  if (g_load.hash == hash && g_load.working_file == path) {
    vell_destroy_orrery_cart(cart);
    return QUICK_LOAD_SAME;
  }
  prepare_loaded_cart(cart, path.c_str());
  show_message("loaded external changes", 1000);
  return QUICK_LOAD_TAKEN;
}

bool is_clipboard_name(const std::string &name) {
  return name == "@clip" || name == "@clip.q7" || name == "@clip.png" || name == "@clip.q7.png";
}

int load_cart_from_clipboard() {
  const std::string path = vell_prefix_with_appdata_path("_clip.q7.png");
  const std::string text = vell_get_clipboard_text();
  if (convert_hex_to_binary_file(text.c_str(), path.c_str()) != HEX_CART_OK) return 1;
  orrery_cart *cart = load_cart_file(path);
  if (!cart) return 1;
  apply_legacy_changes(cart);
  prepare_loaded_cart(cart, path.c_str());
  clear_working_file_name();
  return 0;
}
