#include "browser/install_carts.h"

#include <cstdio>
#include <memory>
#include <string>

#include "browser/catalogue_paths.h"
#include "browser/favourites.h"
#include "machine/app_config.h"
#include "machine/cart.h"
#include "machine/cart_png.h"
#include "machine/cart_text.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "shell/resources.h"

const char *const k_demo_names[k_demo_count] = {
    "shapes", "sprites", "sounds", "text", "palette", "sixty", "saves", "menu", "coro", "mouse", "duel", "bounce",
};

const char *const k_game_ids[k_game_count] = {"orbithop", "bricklight", "cratekeep", "nightflight", "glowworm"};

namespace {

struct cart_deleter {
  void operator()(orrery_cart *c) const { vell_destroy_orrery_cart(c); }
};

// The files of a top-level list of the resource file, by the list's name.
const vell_pod *resource_list(const char *name) {
  const vell_pod *pod = orrery_pod();
  if (!pod) return nullptr;
  for (const vell_pod_item &item : pod->items)
    if (item.kind == POD_LIST && item.name == name) return vell_pod_list(&item);
  return nullptr;
}

bool is_file(const vell_pod_item &item) { return item.kind == POD_DATA || item.kind == POD_TEXT; }

// A text cartridge held in memory, or null.
orrery_cart *parse_text_cart(const vell_pod_item &item) {
  FILE *f = fmemopen(const_cast<uint8_t *>(item.data), item.size, "rb");
  if (!f) return nullptr;
  orrery_cart *cart = vell_load_orrery_cart_from_file(f);
  fclose(f);
  return cart;
}

}  // namespace

int install_demo_carts() {
  orrery_print_col("installing demo carts to /demos/", 14);
  const vell_pod *demos = resource_list("demos");
  if (!demos) {
    orrery_print("no demo carts found");
    return 0;
  }
  const std::string folder = std::string(orrery_config().root_path) + "demos/";
  vell_make_directories(folder.c_str());
  int failures = 0;
  for (size_t i = 0, n = 0; i < demos->items.size() && n < static_cast<size_t>(k_demo_count); i++) {
    const vell_pod_item &item = demos->items[i];
    if (!is_file(item)) continue;
    const std::string name = std::string(k_demo_names[n++]) + ".q7";
    if (vell_write_file_replacing((folder + name).c_str(), item.data, item.size) == VELL_WRITE_OK) {
      orrery_print(name.c_str());
    } else {
      orrery_print_2("could not write %s", name.c_str());
      failures++;
    }
  }
  return failures;
}

int install_preloaded_bbs_carts() {
  const vell_pod *preloaded = resource_list("preloaded");
  if (!preloaded) return 0;
  int failures = 0;
  size_t game = 0;
  bool first = true;
  for (const vell_pod_item &item : preloaded->items) {
    if (!is_file(item)) continue;
    if (first) {
      first = false;
      if (append_to_favourites_file(std::string(reinterpret_cast<const char *>(item.data), item.size)) != 0) failures++;
      continue;
    }
    if (game >= static_cast<size_t>(k_game_count)) break;
    const char *id = k_game_ids[game++];
    const std::string path = vell_prefix_with_appdata_path(bbs_cart_file(id));
    std::unique_ptr<orrery_cart, cart_deleter> cart(parse_text_cart(item));
    if (cart) orrery_sync_shared_quarter(cart.get());
    vell_make_directories(vell_prefix_with_appdata_path(bbs_cart_folder(id)).c_str());
    if (!cart || save_orrery_cart_png(cart.get(), path.c_str()) != CART_PNG_SAVE_OK) {
      vell_debugf("install_games: could not write %s\n", path.c_str());
      failures++;
    }
  }
  return failures;
}

void install_games() {
  // Saving a list that was never read would empty the file.
  if (!favourites_loaded()) reload_favourites();
  save_cartfind_favourites();
  const int failures = install_preloaded_bbs_carts();
  reload_favourites();
  save_cartfind_favourites();
  if (failures) orrery_print("could not install every game");
  orrery_print("installed sample games");
  orrery_print("to cartfind favourites");
}
