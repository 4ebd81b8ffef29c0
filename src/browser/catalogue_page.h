// Catalogue pages: the PNG picture in which a list arrives, carrying up to
// 32 cartridge labels and their text fields. Reading a page into a list,
// and making one (for the catalogue kit).
//
// A page is 1024x544 pixels: 4 rows of 8 cells, each 128 wide and 136 high;
// entry k has its cell at x = (k % 8) * 128, y = (k / 8) * 136. The cell's
// top 128x128 pixels are the label. Rows 128-132 of the cell are five text
// lines whose characters are the green channel of the row's pixels, up to
// the first zero: line 0 holds three numbers "a b c" (a = 0: empty cell;
// b the post number; c the sub-category), then title, author, lid and mid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "browser/browser_list.h"

struct vell_rgba_image;

constexpr int32_t k_page_width = 1024;
constexpr int32_t k_page_height = 544;
constexpr int32_t k_page_columns = 8;
constexpr int32_t k_page_cells = 32;
constexpr int32_t k_cell_width = 128;
constexpr int32_t k_cell_height = 136;
constexpr int32_t k_label_size = 128;
constexpr int32_t k_cell_text_lines = 5;

enum {
  PAGE_OK = 0,
  PAGE_UNREADABLE = 1,  // the file cannot be read or is not a PNG picture
  PAGE_WRONG_SIZE = 2,  // the picture is not 1024x544
};

// Reads a page into the list. Fresh mode (append 0) replaces the list's
// items with a header entry ("[search]" for the search list, else
// "[update]"; none for the favourites list) and the page's entries; append
// mode adds the entries after the existing ones, in place of the list's
// "[load more]" entry. A full page ends with a new "[load more]" entry.
// A file that is not a picture changes nothing in a list that has items
// (an empty one gets its header entry). A picture of the wrong size adds
// no entries: a fresh read leaves the header entry only, an append removes
// "[load more]". Returns a PAGE_ code.
int populate_cartfind_list_from_png_file(browser_list &list, const char *file, int append);
// The same for a PNG held in memory.
int populate_cartfind_list_from_png_data(browser_list &list, const void *data, size_t size, int append);
// The same for a decoded picture; null stands for an undecodable one.
int populate_cartfind_list_from_image(browser_list &list, const vell_rgba_image *image, int append);

// A 128x128 label in the 16 console colours made from the RGBA picture
// whose top-left pixel is at rgba and whose rows are stride pixels apart:
// each pixel becomes the nearest colour (squared RGB distance; the lowest
// index among equals) of palette entries 0-15 (RGB triples).
bitmap_ptr label_from_rgba(const uint8_t *rgba, int32_t stride, const uint8_t *palette);

// One entry of a page being made.
struct catalogue_page_entry {
  int32_t a = 0;              // non-zero: the cell is used
  int32_t b = 0;              // post number
  int32_t c = 0;              // sub-category
  std::string title, author, lid, mid;  // at most 128 characters each are kept
  const vell_bitmap *label = nullptr;   // 128x128 8-bit console colours, or null (black)
};

// Makes a page of up to 32 entries (cells after the last entry are empty);
// labels become RGB through palette entries 0-15.
void make_catalogue_page(const std::vector<catalogue_page_entry> &entries, const uint8_t *palette,
                         vell_rgba_image *out);
