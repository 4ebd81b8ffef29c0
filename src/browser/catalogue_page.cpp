#include "browser/catalogue_page.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/png_image.h"

namespace {

// Text line j of cell k: green channels up to the first zero.
std::string cell_text(const vell_rgba_image &page, int32_t k, int32_t j) {
  const int32_t x = (k % k_page_columns) * k_cell_width;
  const int32_t y = (k / k_page_columns) * k_cell_height + k_label_size + j;
  const uint8_t *row = page.pixels.data() + (static_cast<size_t>(y) * k_page_width + x) * 4;
  std::string s;
  for (int32_t i = 0; i < k_cell_width && row[i * 4 + 1]; i++) s += static_cast<char>(row[i * 4 + 1]);
  return s;
}

// Reads up to three decimal numbers separated by white space, as "%d %d %d"
// would, but clamped to 32 bits (the text is untrusted). Returns how many
// were read.
int read_numbers(const std::string &text, int32_t out[3]) {
  const char *p = text.c_str();
  int n = 0;
  while (n < 3) {
    char *end = nullptr;
    long long v = strtoll(p, &end, 10);
    if (end == p) break;
    out[n++] = static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
    p = end;
  }
  return n;
}

browser_item special_item(int32_t kind, const char *title) {
  browser_item item;
  item.kind = kind;
  item.icon = k_icon_special;
  item.title = title;
  return item;
}

}  // namespace

bitmap_ptr label_from_rgba(const uint8_t *rgba, int32_t stride, const uint8_t *palette) {
  bitmap_ptr label(vell_create_bitmap(k_label_size, k_label_size, 8));
  if (!label) return label;
  // Labels are drawn in few colours, so answers are kept in a small cache
  // indexed by a hash of the RGB value (an entry holds RGB + 1; 0 is empty).
  uint32_t cached_rgb[256] = {};
  uint8_t cached_colour[256];
  for (int32_t y = 0; y < k_label_size; y++)
    for (int32_t x = 0; x < k_label_size; x++) {
      const uint8_t *p = rgba + (static_cast<size_t>(y) * stride + x) * 4;
      const uint32_t rgb = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
      const uint32_t slot = (rgb * 2654435761u) >> 24;
      if (cached_rgb[slot] != rgb + 1) {
        cached_rgb[slot] = rgb + 1;
        cached_colour[slot] = vell_nearest_colour(palette, 16, p[0], p[1], p[2], 0);
      }
      label->line[y][x] = cached_colour[slot];
    }
  return label;
}

int populate_cartfind_list_from_image(browser_list &list, const vell_rgba_image *image, int append) {
  const bool decoded = image != nullptr;
  const bool right_size = decoded && image->width == k_page_width && image->height == k_page_height;
  const int failure = !decoded ? PAGE_UNREADABLE : PAGE_WRONG_SIZE;
  if (append) {
    // A picture, even one of the wrong size, ends the list where it was:
    // "[load more]" goes, and a wrong-sized page adds nothing after it.
    if (!decoded) return failure;
    if (!list.items.empty() && list.items.back().kind == ITEM_LOAD_MORE) list.items.pop_back();
    if (!right_size) return failure;
  } else if (list.name != "fav") {
    // A file that is no picture leaves a filled list as it was; any picture
    // replaces the list, so a wrong-sized one leaves the header only. An
    // empty list gets its header either way, so that the player can ask again.
    if (!decoded && !list.items.empty()) return failure;
    list.items.clear();
    list.selection = 0;
    const bool search = list.name == "search";
    list.items.push_back(special_item(search ? ITEM_SEARCH : ITEM_UPDATE, search ? "[search]" : "[update]"));
    list.has_header = 1;
    if (!right_size) return failure;
  } else if (!right_size) {
    return failure;
  }

  const uint8_t *palette = vell_engine_palette();
  bool end_reached = false;
  for (int32_t k = 0; k < k_page_cells; k++) {
    int32_t numbers[3] = {0, 0, 0};
    read_numbers(cell_text(*image, k, 0), numbers);
    const int32_t a = numbers[0], b = numbers[1], c = numbers[2];
    if (a == 0) {
      end_reached = true;
      continue;
    }
    browser_item item;
    item.kind = ITEM_CART;
    item.catsub = c;
    item.title = clean_title(cell_text(*image, k, 1));
    item.author = clean_author(cell_text(*image, k, 2));
    item.lid = clean_id(cell_text(*image, k, 3));
    item.mid = clean_id(cell_text(*image, k, 4));
    if (item.lid.empty()) item.lid = std::to_string(a);
    if (item.mid.empty()) item.mid = std::to_string(b);
    const int32_t x = (k % k_page_columns) * k_cell_width, y = (k / k_page_columns) * k_cell_height;
    item.label = label_from_rgba(image->pixels.data() + (static_cast<size_t>(y) * k_page_width + x) * 4,
                                 k_page_width, palette);
    list.items.push_back(std::move(item));
  }
  if (!end_reached && list.items.size() >= 2) {
    browser_item more = special_item(ITEM_LOAD_MORE, "[load more]");
    more.label.reset(vell_create_bitmap(k_label_size, k_label_size, 8));
    list.items.push_back(std::move(more));
  }
  mark_favourites(list);
  return PAGE_OK;
}

int populate_cartfind_list_from_png_data(browser_list &list, const void *data, size_t size, int append) {
  // The header first: a picture of another size is refused as the wrong
  // size without decoding its pixels (a small file may declare a huge one).
  vell_rgba_image image;
  bool decoded = vell_png_size(data, size, &image.width, &image.height) == VELL_PNG_OK;
  if (decoded && image.width == k_page_width && image.height == k_page_height)
    decoded = vell_png_decode(data, size, &image) == VELL_PNG_OK;
  return populate_cartfind_list_from_image(list, decoded ? &image : nullptr, append);
}

int populate_cartfind_list_from_png_file(browser_list &list, const char *file, int append) {
  std::string bytes;
  if (!file || vell_read_file(file, k_vell_png_max_file, &bytes) != VELL_READ_OK)
    return populate_cartfind_list_from_image(list, nullptr, append);
  return populate_cartfind_list_from_png_data(list, bytes.data(), bytes.size(), append);
}

void make_catalogue_page(const std::vector<catalogue_page_entry> &entries, const uint8_t *palette,
                         vell_rgba_image *out) {
  out->width = k_page_width;
  out->height = k_page_height;
  out->pixels.assign(static_cast<size_t>(k_page_width) * k_page_height * 4, 0);
  // Opaque black throughout, so that viewers show the page as it is.
  for (size_t i = 3; i < out->pixels.size(); i += 4) out->pixels[i] = 255;
  for (size_t k = 0; k < entries.size() && k < static_cast<size_t>(k_page_cells); k++) {
    const catalogue_page_entry &e = entries[k];
    const int32_t x0 = static_cast<int32_t>(k % k_page_columns) * k_cell_width;
    const int32_t y0 = static_cast<int32_t>(k / k_page_columns) * k_cell_height;
    auto pixel = [&](int32_t x, int32_t y) {
      return out->pixels.data() + (static_cast<size_t>(y0 + y) * k_page_width + x0 + x) * 4;
    };
    if (e.label && e.label->w >= k_label_size && e.label->h >= k_label_size && e.label->depth == 8)
      for (int32_t y = 0; y < k_label_size; y++)
        for (int32_t x = 0; x < k_label_size; x++) {
          const uint8_t c = e.label->line[y][x] & 15;
          memcpy(pixel(x, y), palette + c * 3, 3);
        }
    char numbers[48];
    snprintf(numbers, sizeof numbers, "%d %d %d", e.a, e.b, e.c);
    const std::string lines[k_cell_text_lines] = {numbers, e.title, e.author, e.lid, e.mid};
    for (int32_t j = 0; j < k_cell_text_lines; j++)
      for (size_t i = 0; i < lines[j].size() && i < static_cast<size_t>(k_cell_width); i++) {
        const uint8_t ch = static_cast<uint8_t>(lines[j][i]);
        if (!ch) break;
        uint8_t *p = pixel(static_cast<int32_t>(i), k_label_size + j);
        p[0] = p[1] = p[2] = ch;
      }
  }
}
