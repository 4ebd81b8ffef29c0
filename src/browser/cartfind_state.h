// The cartridge browser's state, shared by its logic (cartfind.cpp) and its
// drawing (cartfind_draw.cpp), and the easing of its animations.
#pragma once

#include <cstdint>
#include <string>

#include "browser/browser_list.h"

// Which menu is open over the list.
enum cartfind_menu : int32_t {
  CART_MENU_CLOSED = 0,
  CART_MENU_CART = 1,     // run, favourite, web page, options, cancel
  CART_MENU_OPTIONS = 5,  // sound, full screen, key configuration, shutdown, back
};

constexpr int32_t k_one = 65536;              // 1.0 in 16.16
constexpr int32_t k_row_height = 7;           // pixels between list entries
constexpr int32_t k_search_max = 21;          // characters of a search text
constexpr int32_t k_ready_frames = 20;        // frames between a cartridge loading and its run
constexpr int32_t k_exit_choices = 3;         // "shutdown orrery", "exit to console", "cancel"
constexpr int32_t k_visible_rows = 6;         // entries shown below the list's title
// The letters the search entry turns through with up and down.
constexpr const char *k_search_wheel = " abcdefghijklmnopqrstuvwxyz0123456789";

struct cartfind_state_t {
  int32_t current = LIST_FAV;      // list shown, 0-7
  int32_t list_position = LIST_FAV * k_one;  // 16.16, eased toward current (may lie outside 0-8 while wrapping)
  int32_t list_changed = 0;        // the player switched lists; cleared by any other button
  int64_t scroll[k_browser_lists] = {};  // 16.16 pixels, eased toward the selection's row
  int32_t menu = CART_MENU_CLOSED;  // cartfind_menu
  int32_t menu_drawn = CART_MENU_CART;  // the menu drawn while it opens or closes
  int32_t menu_selection = 0;
  int32_t menu_openness = 0;       // 0 closed .. 65536 open
  int32_t exit_dialog = 0;         // 1 while the exit dialog is open
  int32_t exit_choice = 0;         // 0-2
  int32_t entering = 0;            // 1 while the search text is being spelled
  std::string search_text;         // at most 21 characters
  int32_t search_cursor = 0;       // 0..length; up and down turn the letter before it
  int32_t ready = 0;               // frames since the chosen cartridge loaded; 0 when none waits
  browser_item running_item;       // the item last run from the browser
  browser_item pending_item;       // the item whose download or load will run next
  uint32_t change_time = 0;        // ms of the last change of list or selection
  int32_t finished = 0;            // a cartridge run from the browser has ended: waiting for a button
  int32_t launched = 0;            // the browser asked for a run that has not come back yet
  int32_t show_after = 0;          // the pause menu asked for the browser once the program stops
  int32_t back_was_down = 0;       // the controller's back button was down last frame
};

cartfind_state_t &cartfind_state();

// The list shown and its selected item (null for an empty list).
browser_list &current_list();
browser_item *selected_item();

// Easing, once per frame: the position becomes (7 position + target) / 8 and
// then moves 1/16 further toward the target without passing it.
int64_t ease_toward(int64_t position, int64_t target);
// The menu's openness: toward 65536 while open, toward 0 while closed.
int32_t ease_menu(int32_t openness, int open);
// The scroll target of a list: the selection's row, kept so that two
// entries above it stay in view and the list's end does not leave rows empty.
int64_t scroll_target(const browser_list &list);

// The texts of a menu's items, in order.
int32_t menu_item_count(int32_t menu);
std::string menu_item_text(int32_t menu, int32_t index);
