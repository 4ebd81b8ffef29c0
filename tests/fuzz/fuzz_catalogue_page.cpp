// Reads arbitrary bytes as a catalogue page, first as a PNG file and then as
// the text rows of a well-formed 1024x544 page, into fresh and partly
// filled lists: nothing may crash, and every list must come out well-formed.
#include "fuzz_support.h"

namespace {

// Items the page reader makes: clean texts, known kinds, labels of 128x128.
void check_list(const browser_list &list) {
  check(list.items.size() <= 2 + 2 * static_cast<size_t>(k_page_cells));
  for (const browser_item &item : list.items) {
    check(item.kind == ITEM_CART || item.kind == ITEM_UPDATE || item.kind == ITEM_SEARCH || item.kind == ITEM_LOAD_MORE);
    check(item.title.size() <= k_item_text_max && item.author.size() <= k_author_max);
    check(item.lid.size() <= k_item_text_max && item.mid.size() <= k_item_text_max);
    for (char c : item.title) check(c >= 32 && c <= 126 && c != '|' && !(c >= 'A' && c <= 'Z'));
    for (char c : item.author) check((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
    if (item.kind == ITEM_CART) check(item.label && item.label->w == k_label_size && item.label->h == k_label_size);
  }
}

void read_both_ways(const vell_rgba_image *image, const uint8_t *data, size_t size) {
  // Lists differ only in their header, which is cheap to cover with the
  // PNG bytes; the well-formed page is read into one list.
  const std::vector<const char *> names = image ? std::vector<const char *>{"new"}
                                                : std::vector<const char *>{"new", "search", "fav"};
  for (const char *name : names) {
    browser_list list;
    list.name = name;
    for (int append : {0, 1}) {
      if (image)
        populate_cartfind_list_from_image(list, image, append);
      else
        populate_cartfind_list_from_png_data(list, data, size, append);
      check_list(list);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  read_both_ways(nullptr, data, size);
  if (size == 0) return 0;
  // The bytes become the text rows, in cell order (repeated over all cells
  // when the first byte is '*', which makes a full page), and the first
  // label's pixels.
  static vell_rgba_image page;
  page.width = k_page_width, page.height = k_page_height;
  page.pixels.resize(static_cast<size_t>(k_page_width) * k_page_height * 4);
  // Only the text rows and the first label's first row change between runs.
  for (int32_t r = 0; r < 4; r++)
    memset(&page.pixels[static_cast<size_t>(r * k_cell_height + k_label_size) * k_page_width * 4], 0,
           static_cast<size_t>(k_cell_text_lines) * k_page_width * 4);
  memset(page.pixels.data(), 0, static_cast<size_t>(k_label_size) * 4);
  const size_t text_bytes = static_cast<size_t>(k_page_cells) * k_cell_text_lines * k_cell_width;
  const size_t n = data[0] == '*' ? text_bytes : size;
  size_t i = 0;
  for (int32_t k = 0; k < k_page_cells && i < n; k++) {
    const int32_t x0 = (k % k_page_columns) * k_cell_width, y0 = (k / k_page_columns) * k_cell_height;
    for (int32_t j = 0; j < k_cell_text_lines; j++)
      for (int32_t x = 0; x < k_cell_width && i < n; x++)
        page.pixels[(static_cast<size_t>(y0 + k_label_size + j) * k_page_width + x0 + x) * 4 + 1] = data[i++ % size];
  }
  for (size_t p = 0; p < static_cast<size_t>(k_label_size) * 4 && p < size; p++) page.pixels[p] = data[p];
  read_both_ways(&page, data, size);
  return 0;
}
