#include "script/cart_menu.h"

#include <cstring>

namespace {

// Filled by menuitem, emptied when a program starts, marked by the pause
// menu.
orrery_cart_menu_t g_menu;

bool valid(int32_t slot) { return slot >= 1 && slot <= k_cart_menu_slots; }

}  // namespace

void clear_cart_menu() { g_menu = orrery_cart_menu_t{}; }

const char *cart_menu_label(int32_t slot) { return valid(slot) ? g_menu.label[slot - 1] : ""; }

void set_cart_menu_item(int32_t slot, const char *label) {
  if (!valid(slot)) return;
  char *dest = g_menu.label[slot - 1];
  memset(dest, 0, k_cart_menu_label_max + 1);
  if (label) strncpy(dest, label, k_cart_menu_label_max);
}

void choose_cart_menu_item(int32_t slot) {
  if (valid(slot)) g_menu.chosen[slot - 1] = 1;
}

int32_t take_cart_menu_choice(int32_t slot) {
  if (!valid(slot) || !g_menu.chosen[slot - 1]) return 0;
  g_menu.chosen[slot - 1] = 0;
  return 1;
}
