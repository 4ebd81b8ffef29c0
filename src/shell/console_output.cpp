#include "shell/console_output.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "gfx/bitmap.h"
#include "gfx/text.h"
#include "machine/app_config.h"
#include "machine/cart_names.h"
#include "machine/pstate.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/terminal.h"
#include "script/cpu_budget.h"
#include "shell/args.h"
#include "shell/console.h"

namespace {

// Listing phases.
enum listing_phase : int32_t {
  LIST_START = 0,    // print the heading and open the folders
  LIST_FOLDERS = 1,  // print folders
  LIST_SWITCH = 2,   // reopen the folder for files
  LIST_FILES = 3,    // print cartridges (and other files with "*")
};

struct listing_t {
  int32_t phase = 0;           // listing_phase
  int32_t lines = 0;           // entries left on the page; 0 = no listing
  vell_find_result find = {};  // the open folder listing
  bool open = false;           // find holds an open listing
  bool has_entry = false;      // find holds an entry not yet looked at
  char argument[1024] = "";    // only the first character is examined
};

listing_t g_list;

constexpr int32_t k_text_mode = k_text_colour | k_text_wrap;  // console text: colour, wrapped at the right edge

// Keeps the print cursor on a line of the screen, whatever a program left
// in the cursor register.
void settle_cursor() {
  if (pstate.cursor_y < 0) pstate.cursor_y = 0;
  if (pstate.cursor_y > k_console_last_line) pstate.cursor_y = k_console_last_line;
}

std::string listed_folder() { return orrery_current_folder_path(); }

void close_find() {
  if (g_list.open) vell_find_close(&g_list.find);
  g_list.open = false;
  g_list.has_entry = false;
}

void open_find(int32_t mask) {
  close_find();
  g_list.open = true;
  g_list.has_entry = vell_find_first(listed_folder().c_str(), "", &g_list.find, mask) == 0;
}

// Takes the pending entry's name and moves on to the next entry.
std::string take_entry(int32_t *mode) {
  std::string name = g_list.find.name;
  *mode = g_list.find.mode;
  g_list.has_entry = vell_find_next(&g_list.find) == 0;
  return name;
}

// The next entry the listing prints, with its colour; false when the
// listing is exhausted (it then returns to its start phase).
bool next_printable(std::string *name, int32_t *colour) {
  for (;;) {
    int32_t mode = 0;
    switch (g_list.phase) {
      case LIST_FOLDERS:
        if (!g_list.has_entry) {
          g_list.phase = LIST_SWITCH;
          break;
        }
        *name = take_entry(&mode);
        if (*name == "." || *name == "..") break;
        *colour = 14;
        return true;
      case LIST_SWITCH:
        open_find(~k_vell_folder_bit);
        g_list.phase = LIST_FILES;
        break;
      case LIST_FILES:
        if (!g_list.has_entry) {
          close_find();
          g_list.phase = LIST_START;
          return false;
        }
        *name = take_entry(&mode);
        if (name->find(".q7") != std::string::npos) {
          *colour = 6;
          return true;
        }
        if (g_list.argument[0] == '*' && !(mode & k_vell_folder_bit)) {
          *colour = 5;
          return true;
        }
        break;
      default:
        return false;
    }
  }
}

}  // namespace

void orrery_scroll_console() {
  vell_bitmap *s = pstate.screen;
  if (!s) return;
  const size_t pitch = static_cast<size_t>(s->w);
  memmove(s->line[0], s->line[k_console_line], pitch * (s->h - k_console_line));
  memset(s->line[s->h - k_console_line], 0, pitch * k_console_line);
  spend_cpu(k_scroll_cycles);
}

void cursor_cr() {
  if (pstate.cursor_y + k_console_line < 123) pstate.cursor_y += k_console_line;
  else orrery_scroll_console();
}

void console_print_col(const char *text, int32_t colour) {
  if (!text) text = "";
  // In exec mode standard output is the console: whatever a command
  // prints goes there, also while the cartridge that called it runs.
  if (orrery_config().exec_mode && pstate.mode != MODE_BOOT) {
    vell_terminal_line(stdout, "** ", text);
    return;
  }
  vell_bitmap *s = pstate.screen;
  if (!s) return;
  settle_cursor();
  const size_t n = strlen(text);
  // Lines the text takes below its first one.
  const int32_t extra = n > 0 ? static_cast<int32_t>((n - 1) / k_console_columns) : 0;
  for (int32_t i = 0; i < extra; i++) cursor_cr();
  pstate.cursor_y -= k_console_line * extra;
  const int32_t y = pstate.cursor_y;
  // An empty text clears from its row to the bottom of the screen.
  const int32_t bottom = n > 0 ? y + k_console_line * (extra + 1) - 1 : s->h - 1;
  vell_rectfill(s, 0, y, 127, bottom, 0);
  vell_draw_text_ex(s, text, pstate.font, pstate.cursor_x, y, k_text_mode, static_cast<uint32_t>(colour));
  pstate.cursor_y += k_console_line * extra;
  cursor_cr();
}

void draw_command_string(int draw_cursor, int draw_text) {
  vell_bitmap *s = pstate.screen;
  if (!s || pstate.mode != MODE_CONSOLE || g_list.lines > 0) return;
  settle_cursor();
  const int32_t top = pstate.cursor_y;
  const int32_t n = static_cast<int32_t>(strlen(orrery_state.command));
  int32_t y = top;
  for (int32_t i = 0; i == 0 || i < n; i += 30) {
    const int32_t chunk = n - i < 30 ? n - i : 30;
    vell_rectfill(s, 0, y, 12 + 4 * chunk, y + 5, 0);
    y += k_console_line;
  }
  if (draw_text) {
    vell_draw_text_ex(s, ">", pstate.font, 0, top, k_text_mode, 7);
    vell_draw_text_ex(s, orrery_state.command, pstate.font, 8, top, k_text_mode, 7);
  }
  if (draw_cursor) {
    int32_t x = orrery_state.command_cursor * 4 + 8;
    y = top;
    while (x > 124) {
      x -= 120;
      y += k_console_line;
    }
    // 256 ms on, 256 ms off.
    if (vell_is_app_active() && (vell_get_time() & 256)) vell_rectfill(s, x, y, x + 3, y + 4, 8);
  }
}

void orrery_start_listing(const char *argument) {
  orrery_close_listing();
  snprintf(g_list.argument, sizeof g_list.argument, "%s", argument ? argument : "");
  g_list.phase = LIST_START;
  g_list.lines = k_listing_page;
  if (!orrery_config().exec_mode) return;
  // Standard output has no page to fill, and nothing would continue the
  // listing after the cartridge that asked for it: all of it goes at once.
  g_list.lines = INT32_MAX;
  while (g_list.lines > 0) orrery_list_files();
}

void orrery_list_files() {
  if (g_list.lines <= 0) return;
  if (g_list.phase == LIST_START) {
    orrery_print_2_col(12, "directory: /%s", orrery_current_folder());
    open_find(k_vell_folder_bit);
    g_list.phase = LIST_FOLDERS;
    return;
  }
  std::string name;
  int32_t colour = 6;
  if (!next_printable(&name, &colour)) {
    g_list.lines = 0;
    return;
  }
  orrery_print_col(name.c_str(), colour);
  if (--g_list.lines > 0) return;
  // The page is full: say so when anything is left, then stop for good.
  if (next_printable(&name, &colour)) orrery_print_col("--more--", 12);
  orrery_close_listing();
}

int32_t orrery_listing_lines() { return g_list.lines; }

void orrery_close_listing() {
  close_find();
  g_list.phase = LIST_START;
  g_list.lines = 0;
}
