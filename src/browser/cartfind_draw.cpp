// The cartridge browser's picture, drawn into the console's screen: the
// selected entry's label behind a darkened band with the list, the lists
// sliding sideways while the player switches, the menus, the exit dialog,
// the download spinner and the bar of a finished cartridge.
#include <string>
#include <vector>

#include "api/draw.h"
#include "browser/browser_list.h"
#include "browser/cartfind.h"
#include "browser/cartfind_state.h"
#include "browser/catalogue.h"
#include "browser/catalogue_page.h"
#include "browser/local_list.h"
#include "gfx/bitmap.h"
#include "gfx/text.h"
#include "machine/app_config.h"
#include "machine/cart_names.h"
#include "machine/pstate.h"
#include "shell/console.h"
#include "shell/resources.h"

namespace {

constexpr int k_res_arrow_left = 183;
constexpr int k_res_arrow_right = 184;
constexpr int k_res_empty_favourites = 188;
constexpr int k_res_download = 229;  // 16 frames of the download animation
constexpr int k_res_pointer = 245;

constexpr int32_t k_band_top = 72;    // the darkened band behind the list
constexpr int32_t k_title_y = 75;
constexpr int32_t k_rule_y = 82;      // line under the title
constexpr int32_t k_rows_top = 84;    // entries are drawn from here down
constexpr int32_t k_first_row_y = 85;
constexpr int32_t k_row_left = 12, k_row_right = 115;
constexpr int32_t k_icon_x = 14, k_text_x = 23, k_mark_x = 107;
constexpr int32_t k_text_chars = 21;  // characters of a title that fit before the favourite mark
constexpr int32_t k_line_chars = 32;  // characters of the console font across the screen
constexpr size_t k_path_lines = 3;    // lines a folder's path may take in a hint

struct painter {
  vell_bitmap *s;
  int32_t dx;  // horizontal offset of the list being drawn

  void text(const std::string &t, int32_t x, int32_t y, int32_t colour, int32_t flags = 0) const {
    if (pstate.font) vell_draw_text_ex(s, t.c_str(), pstate.font, x + dx, y, k_text_colour | flags, colour);
  }
  void fill(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t colour) const {
    vell_rectfill(s, x0 + dx, y0, x1 + dx, y1, colour);
  }
  // A resource picture at its own colours, or in one colour (colour >= 0).
  void picture(int n, int32_t x, int32_t y, int32_t colour = -1) const {
    const vell_bitmap *b = orrery_resource_bitmap(n);
    if (!b) return;
    if (colour < 0) vell_draw_sprite(b, s, 0, 0, x + dx, y, b->w, b->h);
    else vell_draw_sprite_col(b, s, 0, 0, x + dx, y, b->w, b->h, colour, 0);
  }
  void clip(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
    int32_t l = x0 + dx, r = x1 + dx;
    if (l < 0) l = 0;
    if (r > k_screen_size) r = k_screen_size;
    vell_set_clip(s, l, y0, r, y1);
  }
};

void outline(vell_bitmap *s, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t colour) {
  vell_rectfill(s, x0, y0, x1, y0, colour);
  vell_rectfill(s, x0, y1, x1, y1, colour);
  vell_rectfill(s, x0, y0, x0, y1, colour);
  vell_rectfill(s, x1, y0, x1, y1, colour);
}

// The list's title with the folder of the local list; long folders keep
// their end.
std::string list_title(int32_t index, const browser_list &list) {
  if (index != LIST_LOCAL) return list.title;
  std::string folder = std::string("/") + orrery_current_folder();
  const size_t room = 16;
  if (folder.size() > room) folder = ".." + folder.substr(folder.size() - room + 2);
  return list.title + " " + folder;
}

void draw_heading(const painter &p, int32_t index, const browser_list &list, int32_t y) {
  const cartfind_state_t &g = cartfind_state();
  const int32_t colour = index == g.current && g.list_changed ? 7 : 6;
  p.picture(k_res_arrow_left, 11, y, colour);
  p.picture(k_res_arrow_right, 110, y, colour);
  p.text(list_title(index, list), 64, y, colour, k_text_centre);
}

// Lines of text centred on the screen from y down, 8 pixels apart, in
// colours 7 (the first) and 6; returns the y below them.
int32_t draw_lines(const painter &p, const std::vector<std::string> &lines, int32_t y) {
  for (size_t i = 0; i < lines.size(); i++, y += 8) p.text(lines[i], 64, y, i == 0 ? 7 : 6, k_text_centre);
  return y;
}

// How to get cartridges without a catalogue, ending with the folder to copy
// them into, cut into screen-wide pieces (its end kept when it is long).
std::vector<std::string> getting_cartridges(const std::string &folder) {
  std::vector<std::string> lines = {"to get cartridges, run", "install_games() or",
                                    "install_demos() (manual 1.4),", "or copy .q7 files into"};
  std::vector<std::string> path;
  for (size_t at = 0; at < folder.size(); at += k_line_chars) path.push_back(folder.substr(at, k_line_chars));
  if (path.size() > k_path_lines) {
    path.erase(path.begin(), path.end() - k_path_lines);
    path[0].replace(0, 2, "..");
  }
  lines.insert(lines.end(), path.begin(), path.end());
  return lines;
}

void draw_empty_favourites(const painter &p, const browser_list &list) {
  p.fill(0, 0, 127, 127, 5);
  draw_heading(p, LIST_FAV, list, 3);
  p.text("your favourites list is empty", 64, 15, 6, k_text_centre);
  if (const vell_bitmap *art = orrery_resource_bitmap(k_res_empty_favourites)) p.picture(k_res_empty_favourites, 64 - art->w / 2, 26);
  if (!catalogue_configured()) {
    // The way to the catalogue lists leads nowhere without a catalogue.
    draw_lines(p, getting_cartridges(orrery_config().root_path), 50);
    return;
  }
  p.text("press \x91 and then \x97", 22, 50, 7);
  p.text("to see a list of bbs carts", 64, 58, 6, k_text_centre);
}

// What an empty list has to say, over the black where a label would be:
// the local list how to fill it, an online list without a catalogue
// address how to give one.
void draw_empty_hint(const painter &p, int32_t index, const browser_list &list) {
  if (index == LIST_LOCAL && list.items.empty()) {
    const std::vector<std::string> lines = getting_cartridges(orrery_current_folder_path());
    draw_lines(p, lines, 36 - 4 * static_cast<int32_t>(lines.size()));
  } else if (index >= LIST_NEW && !catalogue_configured()) {
    for (const browser_item &item : list.items)
      if (item.kind == ITEM_CART) return;
    draw_lines(p, {"no catalogue configured.", "set catalogue_url in config.txt"}, 28);
  }
}

// The row text of an entry; the search list's header shows the text being
// spelled while the search entry is open.
std::string row_text(const browser_item &item, bool search_header) {
  if (search_header) return cartfind_state().search_text;
  std::string t = item.title;
  if (t.size() > static_cast<size_t>(k_text_chars)) t.resize(k_text_chars);
  return t;
}

void draw_rows(const painter &p, int32_t index, browser_list &list) {
  const cartfind_state_t &g = cartfind_state();
  p.clip(k_row_left, k_rows_top, k_row_right + 1, k_screen_size);
  const int32_t scroll = static_cast<int32_t>(g.scroll[index] / k_one);
  const int32_t n = static_cast<int32_t>(list.items.size());
  int32_t first = scroll / k_row_height - 1;
  if (first < 0) first = 0;
  for (int32_t i = first; i < n; i++) {
    const int32_t y = k_first_row_y + i * k_row_height - scroll;
    if (y > k_screen_size) break;
    const browser_item &item = list.items[i];
    const bool search_header = index == LIST_SEARCH && i == 0 && item.kind == ITEM_SEARCH && g.entering;
    if (i == list.selection) p.fill(k_row_left, y - 1, k_row_right, y + 5, 1);
    p.picture(item_icon(item), k_icon_x, y);
    const bool plain = item.kind == ITEM_UPDATE || item.kind == ITEM_SEARCH || item.kind == ITEM_LOAD_MORE;
    p.text(row_text(item, search_header), k_text_x, y, plain ? 6 : 14);
    if (item.favourite) p.picture(k_icon_mark, k_mark_x, y);
    if (search_header && (pstate.frame_counter & 8)) {
      // Under the letter that up and down turn; left of the text at cursor 0.
      const int32_t x = k_text_x + 4 * (g.search_cursor - 1);
      p.fill(x, y + 5, x + 2, y + 5, 7);
    }
  }
  vell_reset_clip(p.s);
}

// One list as it shows when it is the current one, offset by dx.
void draw_list(vell_bitmap *s, int32_t index, int32_t dx) {
  browser_list &list = cartfind_list(index);
  const painter p = {s, dx};
  p.clip(0, 0, k_screen_size, k_screen_size);
  if (index == LIST_FAV && list.items.empty()) {
    draw_empty_favourites(p, list);
    vell_reset_clip(s);
    return;
  }
  browser_item *item = nullptr;
  if (list.selection >= 0 && list.selection < static_cast<int32_t>(list.items.size())) item = &list.items[list.selection];
  if (item) find_item_label(*item);
  if (item && item->label) vell_blit(item->label.get(), s, 0, 0, dx, 0, k_label_size, k_label_size);
  else p.fill(0, 0, 127, 127, 0);
  if (!item || !item->label) draw_empty_hint(p, index, list);
  int32_t x0 = 10 + dx, x1 = 117 + dx;
  if (x0 < 0) x0 = 0;
  if (x1 > k_screen_size - 1) x1 = k_screen_size - 1;
  if (x0 <= x1) draw_tinted_rect_adaptive(s, x0, k_band_top, x1, k_screen_size - 1, 0);
  draw_heading(p, index, list, k_title_y);
  p.fill(k_row_left, k_rule_y, k_row_right, k_rule_y, 6);
  draw_rows(p, index, list);
  vell_reset_clip(s);
}

void draw_menu(vell_bitmap *s) {
  const cartfind_state_t &g = cartfind_state();
  if (g.menu_openness <= 0) return;
  const int32_t n = menu_item_count(g.menu_drawn);
  const int32_t h = n * 8 + 6;
  const int32_t top = 124 - h + static_cast<int32_t>(static_cast<int64_t>(k_one - g.menu_openness) * (h + 5) / k_one);
  vell_rectfill(s, 14, top, 117, top + h, 0);
  outline(s, 14, top, 117, top + h, 7);
  for (int32_t i = 0; i < n; i++) {
    const int32_t y = top + 4 + 8 * i;
    const bool selected = i == g.menu_selection && g.menu == g.menu_drawn;
    if (pstate.font)
      vell_draw_text_ex(s, menu_item_text(g.menu_drawn, i).c_str(), pstate.font, 25, y + 1, k_text_colour, selected ? 7 : 6);
    if (selected)
      if (const vell_bitmap *ptr = orrery_resource_bitmap(k_res_pointer)) vell_draw_sprite(ptr, s, 0, 0, 16, y, ptr->w, ptr->h);
  }
}

void draw_exit_dialog(vell_bitmap *s) {
  static const char *const choices[k_exit_choices] = {"shutdown orrery", "exit to console", "cancel"};
  vell_rectfill(s, 20, 26, 107, 58, 0);
  outline(s, 20, 26, 107, 58, 7);
  for (int32_t i = 0; i < k_exit_choices; i++)
    if (pstate.font) vell_draw_text_ex(s, choices[i], pstate.font, 32, 32 + 8 * i, k_text_colour, 7);
  if (const vell_bitmap *ptr = orrery_resource_bitmap(k_res_pointer))
    vell_draw_sprite(ptr, s, 0, 0, 23, 31 + 8 * cartfind_state().exit_choice, ptr->w, ptr->h);
}

void draw_finished_bar(vell_bitmap *s) {
  vell_rectfill(s, 0, 121, 127, 127, 6);
  vell_rectfill(s, 0, 120, 127, 120, 0);
  if (pstate.font) vell_draw_text_ex(s, " finished. press button to exit", pstate.font, 1, 122, k_text_colour, 1);
}

int32_t wrap_list(int32_t i) { return ((i % k_browser_lists) + k_browser_lists) % k_browser_lists; }

}  // namespace

void cartfind_draw() {
  vell_bitmap *s = pstate.screen;
  if (!s) return;
  const cartfind_state_t &g = cartfind_state();
  vell_reset_clip(s);
  // A program the browser started has just stopped: its last picture stays
  // until the update has seen it stop.
  if (g.launched) return;
  if (g.finished) {
    draw_finished_bar(s);
    return;
  }
  // The lists lie side by side, 128 pixels apart; the position says which
  // part of them shows.
  const int32_t pos = g.list_position;
  const int32_t base = pos >= 0 ? pos / k_one : -((-pos + k_one - 1) / k_one);
  const int32_t frac = pos - base * k_one;
  const int32_t dx = -static_cast<int32_t>(static_cast<int64_t>(frac) * k_screen_size / k_one);
  draw_list(s, wrap_list(base), dx);
  if (dx != 0) draw_list(s, wrap_list(base + 1), dx + k_screen_size);
  if (orrery_state.download_state != DOWNLOAD_IDLE)
    if (const vell_bitmap *b = orrery_resource_bitmap(k_res_download + ((pstate.spinner_counter / 2) & 15)))
      vell_draw_sprite(b, s, 0, 0, 3, 3, b->w, b->h);
  draw_menu(s);
  if (g.exit_dialog) draw_exit_dialog(s);
}
