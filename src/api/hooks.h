// The script API's hook table: calls up into the console (the buttons that
// btn, btnp, flip and the generated main loop read, the key configuration
// screen, the paged folder listing of ls, the cartridge browser) and the
// browser's install commands. Filled once at start-up
// (orrery_install_hooks); until then, and for slots left empty, the calls
// do nothing and no button is ever down.
#pragma once

#include <cstdint>

struct orrery_api_hooks {
  void (*read_buttons)() = nullptr;    // takes a new sample of every player's buttons
  void (*update_buttons)() = nullptr;  // computes the newly pressed buttons and the repeat
  // The script functions btn and btnp, given the number of arguments and
  // the floored arguments. With arguments: 0 or 1 for button i of player p
  // (4 cycles charged). Without: bits 0-7 player 0, bits 8-15 player 1.
  int32_t (*btn)(int nargs, int32_t i, int32_t p) = nullptr;
  int32_t (*btnp)(int nargs, int32_t i, int32_t p) = nullptr;
  void (*open_keyconfig)() = nullptr;  // the keyconfig command: the key configuration screen takes over
  // ls at the console: lists the current folder page by page; filter is
  // ls's argument ("*" also lists files that are no cartridges).
  void (*start_listing)(const char *filter) = nullptr;
  int (*open_browser)() = nullptr;     // the cartfind command: 1 when the running program must stop for the browser
  int (*install_demos)() = nullptr;    // the demo cartridges into the root folder; the count of failed files
  void (*install_games)() = nullptr;   // the games into the catalogue cache and the favourites
};

// Installs the table, with do-nothing functions in its empty slots.
void orrery_api_hooks_use(const orrery_api_hooks &hooks);
// The installed table; every slot may be called.
const orrery_api_hooks &orrery_api_hook();
