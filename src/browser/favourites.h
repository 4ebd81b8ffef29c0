// The favourites: the browser's list of marked cartridges and its file
// "favourites.txt" in the home folder, one line per favourite:
//
//   |lid                  |mid                  |catsub |author           |file name            |title
//
// (each field padded to its width and followed by a space; the title runs to
// the end of the line). Only cartridges are written. Reading skips lines not
// starting with '|', cleans every field and drops later duplicates.
#pragma once

#include <string>
#include <vector>

#include "browser/browser_list.h"

constexpr const char *k_favourites_file = "favourites.txt";
// Largest favourites file read; a longer one counts as unreadable.
constexpr size_t k_favourites_file_max = 4u << 20;

// The line written for a favourite, with its end of line.
std::string favourite_line(const browser_item &item);
// The file's text for a list of items (cartridges only).
std::string favourites_text(const std::vector<browser_item> &items);
// The favourites a file's text holds, in order: each a cartridge with its
// fields cleaned and its icon set. An entry is dropped when an earlier one
// matches it (the same lid; or, for an entry with a file name, an earlier
// entry without lid and mid with that file name), and so is an entry
// without a lid that has no file name or has a mid.
std::vector<browser_item> parse_favourites(const std::string &text);

// Fills the favourites list from the file (an empty list when there is
// none) and marks the favourites of the other lists.
void reload_favourites();
// 1 once reload_favourites has run, so that the list stands for the file.
int favourites_loaded();
// Writes the favourites list to the file, through a temporary file and a
// rename. 0 on success, else a VELL_WRITE_ code.
int save_cartfind_favourites();
// Adds text (complete lines) at the end of the file. 0 on success.
int append_to_favourites_file(const std::string &text);

// Removes the cartridge item from the favourites when it is one, else adds a
// copy at the end, saving the label of one with a lid once in bbs/labels/.
// Then the favourite marks are renewed and the file is written. Other kinds
// of item are left alone. Returns 1 when the item is now a favourite.
int toggle_favourite(const browser_item &item);

// Saves a 128x128 label as "bbs/labels/<lid>.png" in the home folder unless
// that file exists. 0 when the file is there afterwards.
int save_favourite_label(const std::string &lid, const vell_bitmap *label);
