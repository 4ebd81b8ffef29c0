#include "browser/browser_list.h"

#include <cctype>

const browser_list_def k_browser_list_table[k_browser_lists] = {
    {"local", "local", ""},
    {"fav", "favourites", "cat=7&orderby=favourites&uid=1"},
    {"new", "new", "cat=7&sub=2"},
    {"top", "featured", "cat=7&sub=2&orderby=rating"},
    {"wip", "work in progress", "cat=7&sub=3"},
    {"collab", "collaboration", "cat=7&sub=4"},
    {"jam", "jam", "cat=7&sub=8"},
    {"search", "search", ""},
};

namespace {

browser_list g_lists[k_browser_lists];

std::string without_trailing_spaces(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

int32_t item_icon(const browser_item &item) {
  if (item.kind != ITEM_CART) return item.icon;
  if (!item.lid.empty() || !item.mid.empty()) return k_icon_online;
  return item.file_name.find(".png") != std::string::npos ? k_icon_picture : k_icon_text;
}

browser_item copy_browser_item(const browser_item &item) {
  browser_item c;
  c.icon = item.icon;
  c.title = item.title;
  c.author = item.author;
  c.file_name = item.file_name;
  c.lid = item.lid;
  c.mid = item.mid;
  c.catsub = item.catsub;
  c.kind = item.kind;
  c.favourite = item.favourite;
  c.label_tried = item.label_tried;
  if (const vell_bitmap *l = item.label.get()) {
    c.label.reset(vell_create_bitmap(l->w, l->h, l->depth));
    if (c.label) vell_blit(l, c.label.get(), 0, 0, 0, 0, l->w, l->h);
  }
  return c;
}

browser_list *cartfind_lists() { return g_lists; }

browser_list &cartfind_list(int32_t index) { return g_lists[index]; }

void create_cartfind_lists() {
  for (int32_t i = 0; i < k_browser_lists; i++) {
    browser_list &l = g_lists[i];
    l = browser_list();
    l.name = k_browser_list_table[i].name;
    l.title = k_browser_list_table[i].title;
    l.request = k_browser_list_table[i].request;
  }
}

std::string clean_title(const std::string &text) {
  std::string s = text.substr(0, k_item_text_max);
  // Mapped before trimming, so that a character turned into a space at the
  // end is trimmed as well and cleaning a clean title changes nothing.
  for (char &ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 32 || c > 126) ch = ' ';
    else if (c == '|') ch = '_';
    else ch = static_cast<char>(tolower(c));
  }
  return without_trailing_spaces(s);
}

std::string clean_author(const std::string &text) {
  std::string s = without_trailing_spaces(text.substr(0, k_item_text_max));
  for (char &ch : s) {
    const unsigned char c = static_cast<unsigned char>(tolower(static_cast<unsigned char>(ch)));
    ch = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ? static_cast<char>(c) : '_';
  }
  if (s.size() > k_author_max) s.resize(k_author_max);
  return s;
}

std::string clean_id(const std::string &text) {
  std::string s = text.substr(0, k_item_text_max);
  for (char &ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 32 || c > 126 || c == '|') ch = '_';
  }
  return s;
}

int32_t favourite_index(const browser_item &item) {
  const std::vector<browser_item> &fav = g_lists[LIST_FAV].items;
  for (size_t i = 0; i < fav.size(); i++) {
    const browser_item &f = fav[i];
    if (!item.lid.empty() && f.lid == item.lid) return static_cast<int32_t>(i);
    if (item.lid.empty() && !item.file_name.empty() && f.lid.empty() && f.mid.empty() &&
        f.file_name == item.file_name)
      return static_cast<int32_t>(i);
  }
  return -1;
}

void mark_favourites(browser_list &list) {
  if (&list == &g_lists[LIST_FAV]) return;
  for (browser_item &item : list.items) item.favourite = favourite_index(item) >= 0 ? 1 : 0;
}

void clamp_selection(browser_list &list) {
  const int32_t n = static_cast<int32_t>(list.items.size());
  if (list.selection >= n) list.selection = n - 1;
  if (list.selection < 0) list.selection = 0;
}
