#include "machine/cart_save.h"

#include <cstring>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/cart_hex.h"
#include "machine/cart_image.h"
#include "machine/cart_load.h"
#include "machine/cart_names.h"
#include "machine/cart_png.h"
#include "machine/cart_text.h"
#include "machine/hooks.h"
#include "platform/clipboard.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"

namespace {

int32_t code_length(const orrery_cart *cart) { return static_cast<int32_t>(strnlen(cart->code, k_cart_code_size - 1)); }

void warn_blank_label() {
  orrery_print_col("warning: label is blank", 9);
  orrery_print_col("run cart and use f7 to capture", 10);
}

// Writes the cartridge as a picture when path holds ".png", else as text.
// 0 on success.
int write_cart(const orrery_cart *cart, const std::string &path) {
  if (name_has(path, ".png")) return save_orrery_cart_png(cart, path.c_str()) == CART_PNG_SAVE_OK ? 0 : 1;
  return vell_save_orrery_cart(cart, path.c_str()) == CART_SAVE_OK ? 0 : 1;
}

}  // namespace

bool cart_label_blank(const orrery_cart *cart) {
  const vell_bitmap *label = cart ? cart->label : nullptr;
  if (!label) return true;
  const size_t n = static_cast<size_t>(label->w) * label->h;
  for (size_t i = 1; i < n; i++)
    if (label->data[i] != label->data[0]) return false;
  return true;
}

int save_working_cart(const char *name) {
  const orrery_cart *cart = orrery_working_cart();
  if (!cart || !name || !name[0]) {
    show_message("** failed to save **", 1500);
    return 1;
  }
  if (code_length(cart) > k_save_code_max) {
    orrery_print("program over size limit\n");
    return 1;
  }
  const int32_t stored = cart_code_stored_size(cart);
  const bool picture = name_has(name, ".png");
  if (picture) {
    if (stored > k_cart_image_code_max) {
      orrery_print_col("compressed code size too large\n", 8);
      orrery_print_2("%d / %d bytes", static_cast<int>(stored), static_cast<int>(k_cart_image_code_max));
      return 1;
    }
    if (cart_label_blank(cart)) warn_blank_label();
  } else if (stored > k_cart_image_code_max) {
    orrery_print_col("warning: compressed code too big", 9);
    orrery_print_col("to be exported or saved as png", 9);
    orrery_print_2("%d / %d bytes", static_cast<int>(stored), static_cast<int>(k_cart_image_code_max));
    orrery_print("(saving .q7 anyway)\n");
  }

  const std::string target = with_cart_extension(name);
  if (target != working_file_name() && vell_file_exists(target.c_str())) {
    if (save_backup(target.c_str(), true) == 0)
      show_message("** overwriting; saved backup **", 2500);
    else
      vell_debugf("could not back up %s\n", target.c_str());
  }
  if (write_cart(cart, target) != 0) {
    show_message("** failed to save **", 1500);
    return 1;
  }
  set_working_file_name(target.c_str());
  record_cart_hash(cart);
  return 0;
}

int save_backup(const char *name, bool copy_file) {
  const std::string n = name ? name : "";
  const cart_name_parts p = split_cart_name(n);
  const std::string file = n.empty() ? "untitled.q7" : p.base + p.ext;
  vell_make_directory(vell_prefix_with_appdata_path("backup/").c_str());
  const std::string path = vell_prefix_with_appdata_path("backup/" + file);
  if (!copy_file) {
    const orrery_cart *cart = orrery_working_cart();
    return cart ? write_cart(cart, path) : 1;
  }
  std::string bytes;
  if (vell_read_file(n.c_str(), k_backup_copy_max, &bytes) != VELL_READ_OK) return 1;
  return vell_write_file_replacing(path.c_str(), bytes.data(), bytes.size()) == VELL_WRITE_OK ? 0 : 1;
}

int do_quick_save() {
  const std::string name = working_file_name();
  if (name.empty()) {
    show_message("*** no filename. not saved! ***", 1500);
    return 1;
  }
  if (name_starts_with(name, vell_prefix_with_appdata_path("bbs/").c_str())) {
    show_message("* can not overwrite bbs cart! *", 1500);
    return 1;
  }
  const orrery_cart *cart = orrery_working_cart();
  if (cart && code_length(cart) > k_save_code_max) {
    orrery_print("program over size limit\n");
    return 1;
  }
  if (save_working_cart(name.c_str()) != 0) {
    show_message("** save failed **", 1500);
    return 1;
  }
  const cart_name_parts p = split_cart_name(name);
  show_message_2("saved %s%s\n", 1000, p.base.c_str(), p.ext.c_str());
  return 0;
}

int save_cart_to_clipboard() {
  const orrery_cart *cart = orrery_working_cart();
  if (cart && cart_label_blank(cart)) warn_blank_label();
  const std::string png = vell_prefix_with_appdata_path("_clip.q7.png");
  const std::string hex = png + ".hex";
  std::string text;
  if (!cart || save_orrery_cart_png(cart, png.c_str()) != CART_PNG_SAVE_OK ||
      convert_binary_file_to_hex(png.c_str(), hex.c_str()) != CART_HEX_OK ||
      vell_read_file(hex.c_str(), 4 * k_cart_hex_max_file, &text) != VELL_READ_OK) {
    orrery_print("failed to save to clipboard");
    return 1;
  }
  vell_set_clipboard_text(text.c_str());
  orrery_print("saved to clipboard");
  return 0;
}
