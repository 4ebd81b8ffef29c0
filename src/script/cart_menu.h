// The cartridge's own pause-menu items: five labelled slots that a program
// fills with menuitem, and the marks the pause menu sets when one is chosen.
#pragma once

#include <cstdint>

constexpr int32_t k_cart_menu_slots = 5;       // slots 1-5
constexpr int32_t k_cart_menu_label_max = 16;  // characters of a label that are kept

struct orrery_cart_menu_t {
  char label[k_cart_menu_slots][k_cart_menu_label_max + 1] = {};  // "" = slot empty
  uint8_t chosen[k_cart_menu_slots] = {};  // 1 after the user chose the slot, until the program asked
};

// Empties every slot and clears the marks (a program starts).
void clear_cart_menu();
// The label of slot 1-5, "" when empty or for other slot numbers.
const char *cart_menu_label(int32_t slot);
// Slot 1-5 gets the first 16 characters of label; a null label empties it.
// Other slot numbers are ignored.
void set_cart_menu_item(int32_t slot, const char *label);
// The pause menu marks slot 1-5 as chosen.
void choose_cart_menu_item(int32_t slot);
// 1 once after slot 1-5 was chosen (the mark is cleared), else 0.
int32_t take_cart_menu_choice(int32_t slot);
