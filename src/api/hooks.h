// Calls from the script API up into the console: the buttons that btn,
// btnp, flip and the generated main loop read, the key configuration
// screen, the paged folder listing of ls, the cartridge browser and the
// install commands. The shell installs the functions behind them at
// start-up; until then no button is ever down.
#pragma once

#include <cstdint>

struct orrery_api_hooks {
  void (*read_buttons)();    // takes a new sample of every player's buttons
  void (*update_buttons)();  // computes the newly pressed buttons and the repeat
  int32_t (*btn)(int nargs, int32_t i, int32_t p);   // the script function btn, as orrery_btn
  int32_t (*btnp)(int nargs, int32_t i, int32_t p);  // the script function btnp, as orrery_btnp
  void (*open_keyconfig)();  // the keyconfig command: the key configuration screen takes over
  void (*start_listing)(const char *filter);  // ls at the console: list the current folder page by page
  int (*open_browser)();     // the cartfind command: 1 when the browser took over from the running program
  void (*install_demos)();   // the install_demos command
  void (*install_games)();   // the install_games command
};

// Replaces the installed hooks; a null field removes that hook.
void orrery_set_api_hooks(const orrery_api_hooks &hooks);

void read_buttons();
void update_buttons();
// With arguments: 0 or 1 for button i of player p (4 cycles charged).
// Without: bits 0-7 player 0, bits 8-15 player 1. btn reads the buttons
// held, btnp the newly pressed ones.
int32_t orrery_btn(int nargs, int32_t i, int32_t p);
int32_t orrery_btnp(int nargs, int32_t i, int32_t p);
// Opens the key configuration screen as the console's sub-screen.
void orrery_open_keyconfig();
// Starts the console's paged listing of the current folder; filter is the
// argument of ls ("*" also lists files that are no cartridges).
void orrery_start_folder_listing(const char *filter);
// The cartfind command: opens the cartridge browser when the console lets
// the caller do so. 1 when the running program must stop for it.
int orrery_open_browser();
// The install commands: the demo cartridges into the root folder, the games
// into the catalogue cache and the favourites.
void orrery_install_demos();
void orrery_install_games();
