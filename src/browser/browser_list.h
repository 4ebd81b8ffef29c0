// The browser's items and its eight lists: what each list is called, what it
// asks the catalogue for, cleaning of catalogue texts and favourite marking.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/bitmap.h"

// Kinds of browser item.
enum browser_item_kind : int32_t {
  ITEM_NONE = 0,
  ITEM_CART = 1,
  ITEM_FOLDER = 2,     // a folder or ".."
  ITEM_UPDATE = 3,     // "[update]": fetches the list's first page again
  ITEM_LOAD_MORE = 5,  // "[load more]": fetches the list's next page
  ITEM_SEARCH = 6,     // "[search]": starts the search entry
};

// Glyph codes drawn before special items.
constexpr int32_t k_icon_special = 178;  // "[update]", "[search]", "[load more]"
constexpr int32_t k_icon_folder = 181;
constexpr int32_t k_icon_parent = 185;   // ".."
constexpr int32_t k_icon_online = 176;   // a cartridge with a lid or mid
constexpr int32_t k_icon_text = 177;     // a local text cartridge
constexpr int32_t k_icon_mark = 179;     // drawn after a favourite
constexpr int32_t k_icon_picture = 180;  // a local picture cartridge

constexpr size_t k_item_text_max = 128;      // characters of a title, author, file name or id
constexpr size_t k_author_max = 16;          // characters of a cleaned author name
constexpr size_t k_list_request_max = 1024;  // characters of a catalogue request

struct bitmap_deleter {
  void operator()(vell_bitmap *b) const { vell_destroy_bitmap(b); }
};
using bitmap_ptr = std::unique_ptr<vell_bitmap, bitmap_deleter>;

// One entry of a list.
struct browser_item {
  int32_t icon = 0;        // glyph for special items (k_icon_*), else 0
  std::string title;       // shown name, lower case
  std::string author;      // lower case a-z, 0-9 and '_', at most 16 characters
  std::string file_name;   // local cartridge relative to the root folder; "" for online items
  std::string lid;         // catalogue cartridge id; "" for local items
  std::string mid;         // catalogue id of the post the cartridge belongs to
  int32_t catsub = 0;      // catalogue sub-category
  bitmap_ptr label;        // 128x128 8-bit label in console colours, or null
  int32_t kind = ITEM_NONE;
  int32_t favourite = 0;   // 1 when it matches an entry of the favourites list
  int32_t label_tried = 0; // 1 once the browser looked for the label of a cartridge without one
};

// The icon drawn before an item: for a cartridge 176 with a lid or mid, else
// 180 for a picture file and 177 for a text file; other items their own.
int32_t item_icon(const browser_item &item);

// A copy of an item, with a copy of its label.
browser_item copy_browser_item(const browser_item &item);

struct browser_list {
  std::vector<browser_item> items;
  int32_t selection = 0;     // selected item index
  std::string name;          // "local", "fav", "new", ...: names the cache files
  std::string title;         // shown above the list
  std::string request;       // catalogue request ("cat=7&sub=2"); "" asks for nothing
  int32_t has_header = 0;    // 1 when item 0 is "[update]" or "[search]"
  uint32_t change_time = 0;  // ms of the last change of items or selection, for the animation
};

// List indexes, in the order the player pages through them.
enum browser_list_index : int32_t {
  LIST_LOCAL = 0,
  LIST_FAV = 1,
  LIST_NEW = 2,
  LIST_TOP = 3,
  LIST_WIP = 4,
  LIST_COLLAB = 5,
  LIST_JAM = 6,
  LIST_SEARCH = 7,
  k_browser_lists = 8,
};

// Name, title and initial catalogue request of each list, by list index.
struct browser_list_def {
  const char *name;
  const char *title;
  const char *request;
};
extern const browser_list_def k_browser_list_table[k_browser_lists];

// The eight lists; they live for the whole run.
browser_list *cartfind_lists();
browser_list &cartfind_list(int32_t index);
// Empties the lists and gives them their names, titles and requests.
void create_cartfind_lists();

// Cleaning of catalogue texts. A title loses characters that cannot be
// typed (they become spaces), '|' (which separates fields of the favourites
// file) becomes '_', letters are lowered and trailing spaces go. An author
// keeps only a-z and 0-9 (others become '_') and at most 16 characters.
std::string clean_title(const std::string &text);
std::string clean_author(const std::string &text);
// Catalogue ids from a page keep their text, except that characters that
// cannot be typed and '|' become '_', so that they cannot break a line or a
// field of the favourites file.
std::string clean_id(const std::string &text);

// The index in the favourites list of the first favourite that the item
// matches, or -1: a favourite with the same non-empty lid, or, for an item
// without a lid, a favourite without lid and mid with the same non-empty
// file name.
int32_t favourite_index(const browser_item &item);

// Marks the list's items that match an entry of the favourites list; the
// favourites list itself is not marked.
void mark_favourites(browser_list &list);
// Keeps the selection inside the list (0 for an empty list).
void clamp_selection(browser_list &list);
