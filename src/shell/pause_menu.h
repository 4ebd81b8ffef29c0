// The pause menu over a running cartridge, and the shell's keys during a run.
#pragma once

#include <cstdint>

struct vell_bitmap;

constexpr int32_t k_menu_items_max = 16;  // records in the table (at most 10 are built)
constexpr int32_t k_menu_label_max = 16;  // characters of a label that are kept

// What choosing an item does.
enum orrery_menu_action : int32_t {
  MENU_CONTINUE = 0,       // close the menu
  MENU_RESET = 1,          // close the menu and restart the cartridge through the reset glitch
  MENU_EXIT_TO_BROWSER = 3,// stop the program and go back to the cartridge browser
  MENU_RUN_CHAIN_BACK = 5, // run the cartridge that loaded this one
  MENU_QUIT = 6,           // end the program
  MENU_OPTIONS = 7,        // show the options page
  MENU_SOUND = 8,          // options: sound on or off
  MENU_KEYCONFIG = 9,      // options: the key configuration screen, which comes back here
  MENU_OPTIONS_BACK = 10,  // options: back to the first page
  MENU_CART_ITEM = 256,    // 256 + n: the cartridge's own item n (1-5)
};

struct orrery_menu_item {
  char label[k_menu_label_max + 1];  // text shown
  int32_t action;                    // orrery_menu_action
};

// Closed, at its first row, with an empty table (console start and exit).
void paused_menu_reset();
// 1 while the menu is shown (the program stands still); the selected row.
int32_t paused_menu_open();
int32_t paused_menu_selection();

// Rebuilds the menu's item table: continue, the cartridge's items, reset,
// the run chain's way back, options, quit, and the way back to the
// browser; or, on the options page, sound, key configuration and back.
void build_paused_menu();
// Appends a record (label cut to 16 characters); null when the table is full.
orrery_menu_item *add_paused_menu_item(const char *label, int32_t action);
// The table as last built.
int32_t paused_menu_count();
const orrery_menu_item *paused_menu_item(int32_t index);

// Opens the menu at its first item with a freshly built table; closes it.
// The runner's paused state follows the menu.
void open_paused_menu();
void close_paused_menu();

// Navigation and choice; once per logical frame while the menu is open.
void process_paused_keypresses();
// The keys of a running cartridge (Ctrl+R, Ctrl+S, Ctrl+V, the pause
// button), and the program's own request to pause.
void process_running_keypresses();
// Draws the menu on the page (128x128).
void draw_paused_menu(vell_bitmap *page);
