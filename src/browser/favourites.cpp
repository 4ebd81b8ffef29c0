#include "browser/favourites.h"

#include <climits>
#include <cstdlib>

#include "browser/catalogue_paths.h"
#include "gfx/bitmap.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/png_image.h"

namespace {

constexpr size_t k_fields = 6;             // lid, mid, catsub, author, file name, title
constexpr size_t k_file_name_max = 1024;   // characters of a file name that are kept
constexpr int32_t k_label_side = 128;

std::string padded(const std::string &s, size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string without_trailing_spaces(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
  return s;
}

// A file name from the file: trailing spaces go, and characters that could
// not stand in a line of the file end it.
std::string clean_file_name(const std::string &text) {
  std::string s = text.substr(0, k_file_name_max);
  for (size_t i = 0; i < s.size(); i++)
    if (static_cast<unsigned char>(s[i]) < 32) {
      s.resize(i);
      break;
    }
  return without_trailing_spaces(s);
}

// "%d" on untrusted text, clamped to 32 bits.
int32_t read_number(const std::string &text) {
  const long long v = strtoll(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

// A file name can be written only when it cannot break the line's fields.
bool writable(const browser_item &item) {
  if (item.kind != ITEM_CART) return false;
  for (char c : item.file_name)
    if (c == '|' || static_cast<unsigned char>(c) < 32) return false;
  return true;
}

// Whether entry e, read earlier, makes the new item a duplicate.
bool read_match(const browser_item &item, const browser_item &e) {
  const bool file_entry = e.lid.empty() && e.mid.empty() && !item.file_name.empty() && e.file_name == item.file_name;
  if (!item.lid.empty()) return e.lid == item.lid || file_entry;
  return file_entry;
}

std::string favourites_path() { return vell_prefix_with_appdata_path(k_favourites_file); }

int g_loaded = 0;

}  // namespace

std::string favourite_line(const browser_item &item) {
  return "|" + padded(item.lid, 20) + " |" + padded(item.mid, 20) + " |" + padded(std::to_string(item.catsub), 6) +
         " |" + padded(item.author, 16) + " |" + padded(item.file_name, 20) + " |" + item.title + "\n";
}

std::string favourites_text(const std::vector<browser_item> &items) {
  std::string text;
  for (const browser_item &item : items)
    if (writable(item)) text += favourite_line(item);
  return text;
}

std::vector<browser_item> parse_favourites(const std::string &text) {
  std::vector<browser_item> items;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line[0] != '|') continue;
    std::string field[k_fields];
    size_t at = 1;
    for (size_t f = 0; f < k_fields && at <= line.size(); f++) {
      const size_t bar = f + 1 < k_fields ? line.find('|', at) : std::string::npos;
      const size_t stop = bar == std::string::npos ? line.size() : bar;
      field[f] = line.substr(at, stop - at);
      at = stop + 1;
    }
    browser_item item;
    item.kind = ITEM_CART;
    item.lid = without_trailing_spaces(clean_id(field[0]));
    item.mid = without_trailing_spaces(clean_id(field[1]));
    item.catsub = read_number(field[2]);
    item.author = clean_author(field[3]);
    item.file_name = clean_file_name(field[4]);
    item.title = clean_title(field[5]);
    items.push_back(std::move(item));
    // The first match among the entries so far, the new one included, must
    // be the new one itself.
    const browser_item &added = items.back();
    size_t first = items.size();
    for (size_t i = 0; i < items.size(); i++)
      if (read_match(added, items[i])) {
        first = i;
        break;
      }
    if (first != items.size() - 1) items.pop_back();
  }
  for (browser_item &item : items) item.icon = item_icon(item);
  return items;
}

int favourites_loaded() { return g_loaded; }

void reload_favourites() {
  g_loaded = 1;
  browser_list &fav = cartfind_list(LIST_FAV);
  std::string text;
  const int rc = vell_read_file(favourites_path().c_str(), k_favourites_file_max, &text);
  if (rc != VELL_READ_OK && rc != VELL_READ_MISSING) vell_debugf("favourites: cannot read %s\n", favourites_path().c_str());
  fav.items = parse_favourites(text);
  clamp_selection(fav);
  for (int32_t i = 0; i < k_browser_lists; i++) mark_favourites(cartfind_list(i));
}

int save_cartfind_favourites() {
  const std::string text = favourites_text(cartfind_list(LIST_FAV).items);
  const int rc = vell_write_file_replacing(favourites_path().c_str(), text.data(), text.size());
  if (rc != VELL_WRITE_OK) vell_debugf("favourites: cannot write %s\n", favourites_path().c_str());
  return rc;
}

int append_to_favourites_file(const std::string &text) {
  std::string old;
  const int rc = vell_read_file(favourites_path().c_str(), k_favourites_file_max, &old);
  // An unreadable file is left alone rather than replaced by the new lines.
  if (rc != VELL_READ_OK && rc != VELL_READ_MISSING) return VELL_WRITE_FAILED;
  if (!old.empty() && old.back() != '\n') old += '\n';
  old += text;
  if (!old.empty() && old.back() != '\n') old += '\n';
  return vell_write_file_replacing(favourites_path().c_str(), old.data(), old.size());
}

int save_favourite_label(const std::string &lid, const vell_bitmap *label) {
  const std::string name = bbs_label_file(lid);
  if (name.empty() || !label || label->w < k_label_side || label->h < k_label_side || label->depth != 8) return 1;
  const std::string path = vell_prefix_with_appdata_path(name);
  if (vell_file_exists(path.c_str())) return 0;
  const uint8_t *palette = vell_engine_palette();
  vell_rgba_image image;
  image.width = image.height = k_label_side;
  image.pixels.resize(static_cast<size_t>(k_label_side) * k_label_side * 4);
  for (int32_t y = 0; y < k_label_side; y++)
    for (int32_t x = 0; x < k_label_side; x++) {
      uint8_t *p = &image.pixels[(static_cast<size_t>(y) * k_label_side + x) * 4];
      const uint8_t c = label->line[y][x] & 15;
      for (int i = 0; i < 3; i++) p[i] = palette ? palette[c * 3 + i] : 0;
      p[3] = 255;
    }
  std::string png;
  if (vell_png_encode(image, &png) != VELL_PNG_OK) return 1;
  vell_make_directories(vell_prefix_with_appdata_path("bbs/labels/").c_str());
  const int rc = vell_write_new_file(path.c_str(), png.data(), png.size());
  return rc == VELL_WRITE_OK || rc == VELL_WRITE_EXISTS ? 0 : 1;
}

int toggle_favourite(const browser_item &item) {
  if (item.kind != ITEM_CART) return 0;
  browser_list &fav = cartfind_list(LIST_FAV);
  const int32_t at = favourite_index(item);
  int now = 0;
  if (at >= 0) {
    fav.items.erase(fav.items.begin() + at);
  } else {
    browser_item copy = copy_browser_item(item);
    copy.favourite = 0;
    copy.icon = item_icon(copy);
    if (!copy.lid.empty()) save_favourite_label(copy.lid, copy.label.get());
    fav.items.push_back(std::move(copy));
    now = 1;
  }
  clamp_selection(fav);
  for (int32_t i = 0; i < k_browser_lists; i++) mark_favourites(cartfind_list(i));
  save_cartfind_favourites();
  return now;
}
