// The browser's view of the user's cartridge folder (the root folder):
// listing a folder into the local list, moving between folders without ever
// leaving the root, and the labels of cartridges that did not come with one.
#pragma once

#include <string>

#include "browser/browser_list.h"

// Fills the list from the folder relative (inside the root folder; "" is the
// root, others end in '/'): ".." first unless it is the root, then the
// sub-folders and then the cartridges (names containing ".q7"), each group
// by title in byte order. Names starting with '.' are skipped.
void populate_cartfind_list_from_directory(browser_list &list, const std::string &relative);

// The folder that root + relative names, with every link and ".." step
// resolved: 0 and that folder relative to the root ("" for the root itself,
// else ending in '/') when it is an existing folder inside the root; 1 when
// it lies outside the root or is no folder.
int resolve_folder_in_root(const std::string &relative, std::string *resolved);
// The full path of a file named relative to the root, when it resolves to a
// place inside the root: 0 and the path, else 1.
int file_path_in_root(const std::string &relative, std::string *full);

// The label a text cartridge's file shows in the browser: colour 5 with the
// comment lines that follow its "__lua__" line (at most five) in colour 6;
// null when the text is not a cartridge.
bitmap_ptr text_cart_label(const std::string &text);
// Looks once for the label of a cartridge item that has none: with a lid,
// from its cached cartridge, else from its saved favourite label; without,
// from its file under the root folder.
void find_item_label(browser_item &item);
