#include "script/cart_menu.h"

#include <cstring>

// Filled by menuitem, emptied when a program starts, marked by the pause
// menu.
orrery_cart_menu_t orrery_cart_menu;

namespace {

bool valid(int32_t slot) { return slot >= 1 && slot <= k_cart_menu_slots; }

}  // namespace

void clear_cart_menu() { memset(&orrery_cart_menu, 0, sizeof orrery_cart_menu); }

void set_cart_menu_item(int32_t slot, const char *label) {
  if (!valid(slot)) return;
  char *dest = orrery_cart_menu.label[slot - 1];
  memset(dest, 0, k_cart_menu_label_max + 1);
  if (label) strncpy(dest, label, k_cart_menu_label_max);
}

void choose_cart_menu_item(int32_t slot) {
  if (valid(slot)) orrery_cart_menu.chosen[slot - 1] = 1;
}

int32_t take_cart_menu_choice(int32_t slot) {
  if (!valid(slot) || !orrery_cart_menu.chosen[slot - 1]) return 0;
  orrery_cart_menu.chosen[slot - 1] = 0;
  return 1;
}
