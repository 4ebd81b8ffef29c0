// The install commands: the demo cartridges and the preloaded games that the
// resource file carries, put where the browser finds them.
//
// The resource file holds them as two top-level lists found by name:
// "demos", whose files are text cartridges written under the names of
// k_demo_names, and "preloaded", whose first file is favourites lines and
// whose further files are the text cartridges of k_game_ids.
#pragma once

#include <cstdint>

constexpr int32_t k_demo_count = 12;
constexpr int32_t k_game_count = 5;
// File names (without ".q7") of the demo cartridges, in the order of the
// resource file's "demos" list.
extern const char *const k_demo_names[k_demo_count];
// Catalogue ids of the games, in the order of the "preloaded" list (after
// its favourites file).
extern const char *const k_game_ids[k_game_count];

// install_demos: prints "installing demo carts to /demos/" and writes each
// demo into the folder "demos/" of the root folder, printing its name.
// Returns the number of files that could not be written.
int install_demo_carts();
// Adds the preloaded favourites lines to the favourites file and writes the
// games as picture cartridges into the catalogue cache, where the browser
// finds them by id. Returns the number of files that could not be written.
int install_preloaded_bbs_carts();
// The install_games command: saves the favourites, installs the preloaded
// cartridges, reloads and saves the favourites, then says so on the console.
void install_games();
