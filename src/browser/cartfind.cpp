// The cartridge browser's logic: entering, the per-frame update with its
// button handling by state (exit dialog, download, search entry, menu,
// browsing), acting on items, the menus and running a chosen cartridge.
#include "browser/cartfind.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "api/draw.h"
#include "browser/cartfind_state.h"
#include "browser/catalogue.h"
#include "browser/catalogue_paths.h"
#include "browser/favourites.h"
#include "browser/local_list.h"
#include "gfx/bitmap.h"
#include "machine/cart_names.h"
#include "machine/app_config.h"
#include "machine/cart_load.h"
#include "machine/hooks.h"
#include "machine/pstate.h"
#include "platform/config.h"
#include "platform/engine_state.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/video.h"
#include "platform/web.h"
#include "script/runner.h"
#include "shell/buttons.h"
#include "shell/console.h"
#include "shell/console_screen.h"
#include "shell/keyconfig.h"
#include "shell/message_bar.h"

namespace {

constexpr int32_t k_code_escape = 27;       // typed code of the Escape key
constexpr int32_t k_sc_escape = 41;         // its scancode
constexpr uint32_t k_controller_back = 1u << 4;  // the back button of a game controller
constexpr int32_t k_message_ms = 1500;

cartfind_state_t g;

bool pressed(int32_t b) { return buttons_pressed(b, 0) != 0; }
bool action_pressed() { return pressed(BTN_O) || pressed(BTN_X); }

void note_change() {
  g.change_time = vell_get_time();
  current_list().change_time = g.change_time;
}

// Escape, or a controller's back button: leaves what is open, or opens the
// exit dialog. Typed Escape counts, and so does the key going down, so that
// a press falling between two logical frames is not lost.
bool back_pressed() {
  bool back = false;
  while (vell_keypressed())
    if (vell_readkey() == k_code_escape) back = true;
  bool down = vell_get_key_state(k_sc_escape) != 0;
  for (int32_t i = 0; i < vell_count_joysticks() && i < k_vell_max_joysticks; i++) {
    int32_t x = 0, y = 0;
    uint32_t buttons = 0;
    if (vell_get_joystick(i, &x, &y, &buttons) == 0 && (buttons & k_controller_back)) down = true;
  }
  if (down && !g.back_was_down) back = true;
  g.back_was_down = down;
  return back;
}

void close_menu() { g.menu = CART_MENU_CLOSED; }

void open_menu(int32_t menu, int32_t selection) {
  g.menu = menu;
  g.menu_drawn = menu;
  g.menu_selection = selection;
}

void open_exit_dialog() {
  g.exit_dialog = 1;
  g.exit_choice = 0;
}

// A loaded cartridge runs once the countdown has passed.
void begin_ready(const browser_item &item) {
  g.running_item = copy_browser_item(item);
  g.ready = 1;
}

void start_run() {
  g.ready = 0;
  pstate.pending_request = REQ_RUN;
  reset_run_chain();
  set_param_string("");
  close_menu();
  pstate.cursor_x = pstate.cursor_y = 0;
  pstate.clip_x0 = pstate.clip_y0 = 0;
  pstate.clip_x1 = pstate.clip_y1 = k_screen_size;
  vell_reset_clip(pstate.screen);
  g.launched = 1;
  g.show_after = 0;
  vell_debugf("cartfind: running %s\n", g.running_item.title.c_str());
}

void enter_folder(const browser_item &item) {
  std::string folder;
  if (resolve_folder_in_root(std::string(orrery_current_folder()) + item.title, &folder) != 0) return;
  orrery_set_current_folder(folder.c_str());
  browser_list &local = cartfind_list(LIST_LOCAL);
  populate_cartfind_list_from_directory(local, folder);
  local.selection = 0;
  g.scroll[LIST_LOCAL] = 0;
}

void act_on_cart(const browser_item &item) {
  if (item.lid.empty()) {
    std::string path;
    if (file_path_in_root(item.file_name, &path) != 0 || load_working_cart(path.c_str()) != 0) {
      show_message("could not load", k_message_ms);
      return;
    }
    split_code_to_tabs();
    begin_ready(item);
    return;
  }
  const std::string cache = bbs_cart_file(item.lid);
  if (!cache.empty() && load_catalogue_cart(vell_prefix_with_appdata_path(cache), 0) == 0) {
    begin_ready(item);
    return;
  }
  g.pending_item = copy_browser_item(item);
  download_bbs_cart(item.lid.c_str());
}

void action_current_cartfind_item() {
  browser_item *item = selected_item();
  if (!item) return;
  browser_list &list = current_list();
  switch (item->kind) {
    case ITEM_FOLDER:
      enter_folder(*item);
      break;
    case ITEM_CART:
      act_on_cart(*item);
      break;
    case ITEM_UPDATE:
      download_list(list.name.c_str(), list.request.c_str(), 0);
      break;
    case ITEM_LOAD_MORE:
      download_list(list.name.c_str(), list.request.c_str(), static_cast<int32_t>(list.items.size()) - 2);
      break;
    case ITEM_SEARCH:
      g.search_text.clear();
      g.search_cursor = 0;
      g.entering = 1;
      vell_clear_key_buffer();
      break;
    default:
      break;
  }
}

void open_catalogue_page(const browser_item &item) {
  if (!valid_catalogue_id(item.lid)) return;
  const std::string address = catalogue_address(orrery_config().catalogue_url, catalogue_page_request(item.lid));
  if (address.empty()) {
    show_message(k_no_catalogue_message, k_message_ms);
    return;
  }
  vell_launch_html(address.c_str());
}

void perform_menu_item() {
  const int32_t i = g.menu_selection;
  if (g.menu == CART_MENU_CART) {
    browser_item *item = selected_item();
    switch (i) {
      case 0:
        action_current_cartfind_item();
        break;
      case 1:
        if (item) {
          const bool fav_list = g.current == LIST_FAV;
          toggle_favourite(*item);
          clamp_selection(current_list());
          if (fav_list) close_menu();
        }
        break;
      case 2:
        if (item) open_catalogue_page(*item);
        break;
      case 3:
        open_menu(CART_MENU_OPTIONS, 0);
        break;
      default:
        close_menu();
        break;
    }
    return;
  }
  switch (i) {
    case 0:
      toggle_mute();
      break;
    case 1:
      vell_toggle_fullscreen();
      break;
    case 2:
      // The screen comes back to this menu when it closes.
      keyconfig_open();
      break;
    case 3:
      vell_state.quit = 1;
      break;
    default:
      open_menu(CART_MENU_CART, 3);
      break;
  }
}

void leave_to_console() {
  g.exit_dialog = 0;
  print_cartfind_exit_message();
  pstate.sub_screen = SUB_NONE;
  pstate.pen = 6;
  vell_clear_key_buffer();
  buttons_block();
}

void exit_dialog_buttons(bool back) {
  if (pressed(BTN_UP)) g.exit_choice = (g.exit_choice + k_exit_choices - 1) % k_exit_choices;
  if (pressed(BTN_DOWN)) g.exit_choice = (g.exit_choice + 1) % k_exit_choices;
  if (back) {
    g.exit_dialog = 0;
    return;
  }
  if (!action_pressed() && !pressed(BTN_PAUSE)) return;
  if (g.exit_choice == 0) vell_state.quit = 1;
  else if (g.exit_choice == 1) leave_to_console();
  else g.exit_dialog = 0;
}

// Turns the letter before the cursor through the wheel: right adds a
// blank after the text and steps past it, and up or down then turn that
// blank into a letter. The place before the first letter (cursor 0) is
// empty: there up and down put a new 'a' or '9' in front.
void turn_letter(int step) {
  std::string &t = g.search_text;
  const int32_t n = static_cast<int32_t>(std::string(k_search_wheel).size());
  if (g.search_cursor <= 0) {
    if (t.size() >= static_cast<size_t>(k_search_max)) return;
    t.insert(t.begin(), step > 0 ? k_search_wheel[1] : k_search_wheel[n - 1]);
    g.search_cursor = 1;
    return;
  }
  char &letter = t[static_cast<size_t>(g.search_cursor) - 1];
  const char *p = strchr(k_search_wheel, letter);
  const int32_t index = p && *p ? static_cast<int32_t>(p - k_search_wheel) : 0;
  letter = k_search_wheel[(index + step + n) % n];
}

void search_entry_buttons(bool back) {
  browser_list &list = current_list();
  if (pressed(BTN_PAUSE) || back) {
    g.entering = 0;
    show_message("cancelled", 1000);
    return;
  }
  if (action_pressed()) {
    list.request = "cat=7&search=" + g.search_text + "&max=32";
    if (list.request.size() > k_list_request_max) list.request.resize(k_list_request_max);
    download_list(list.name.c_str(), list.request.c_str(), 0);
    list.title = g.search_text;
    g.entering = 0;
    buttons_block();
    return;
  }
  if (pressed(BTN_UP)) turn_letter(1);
  if (pressed(BTN_DOWN)) turn_letter(-1);
  if (pressed(BTN_LEFT) && g.search_cursor > 0) g.search_cursor--;
  if (pressed(BTN_RIGHT)) {
    const int32_t len = static_cast<int32_t>(g.search_text.size());
    if (g.search_cursor == len && len < k_search_max) g.search_text += ' ';
    if (g.search_cursor < static_cast<int32_t>(g.search_text.size())) g.search_cursor++;
  }
}

void menu_buttons(bool back) {
  const int32_t n = menu_item_count(g.menu);
  if (pressed(BTN_UP)) g.menu_selection = (g.menu_selection + n - 1) % n;
  if (pressed(BTN_DOWN)) g.menu_selection = (g.menu_selection + 1) % n;
  if (back) close_menu();
  else if (action_pressed() || pressed(BTN_PAUSE)) perform_menu_item();
}

void switch_list(int32_t step) {
  const int32_t from = g.current;
  g.current = (from + step + k_browser_lists) % k_browser_lists;
  // The animation goes the short way round when the lists wrap.
  if (step > 0 && g.current < from) g.list_position -= k_browser_lists * k_one;
  if (step < 0 && g.current > from) g.list_position += k_browser_lists * k_one;
  g.list_changed = 1;
  browser_list &list = current_list();
  mark_favourites(list);
  clamp_selection(list);
}

void browsing_buttons(bool back) {
  if (back) {
    open_exit_dialog();
    return;
  }
  browser_list &list = current_list();
  const int32_t selection = list.selection;
  const int32_t list_before = g.current;
  for (int32_t b = BTN_UP; b <= BTN_PAUSE; b++)
    if (pressed(b)) g.list_changed = 0;
  if (pressed(BTN_UP)) list.selection--;
  if (pressed(BTN_DOWN)) list.selection++;
  clamp_selection(list);
  if (pressed(BTN_LEFT)) switch_list(-1);
  else if (pressed(BTN_RIGHT)) switch_list(1);
  if (g.current != list_before || list.selection != selection) note_change();
  if (g.current != list_before) return;

  const browser_item *item = selected_item();
  if (pressed(BTN_PAUSE)) {
    // With nothing to act on the pause button offers the way out.
    if (!item) open_exit_dialog();
    else if (item->kind == ITEM_CART) open_menu(CART_MENU_CART, 0);
    else action_current_cartfind_item();
  } else if (action_pressed()) {
    if (item) action_current_cartfind_item();
    else open_exit_dialog();
  }
}

void handle_buttons() {
  const bool back = back_pressed();
  if (g.exit_dialog) {
    exit_dialog_buttons(back);
  } else if (orrery_state.download_state == DOWNLOAD_RUNNING) {
    if (pressed(BTN_PAUSE) || back) {
      cancel_download();
      show_message("download cancelled", k_message_ms);
      pstate.busy_countdown = 0;
    }
  } else if (g.entering && g.current == LIST_SEARCH) {
    search_entry_buttons(back);
  } else if (g.menu != CART_MENU_CLOSED) {
    menu_buttons(back);
  } else {
    browsing_buttons(back);
  }
}

void animate() {
  g.list_position = static_cast<int32_t>(ease_toward(g.list_position, g.current * k_one));
  for (int32_t i = 0; i < k_browser_lists; i++) g.scroll[i] = ease_toward(g.scroll[i], scroll_target(cartfind_list(i)));
  g.menu_openness = ease_menu(g.menu_openness, g.menu != CART_MENU_CLOSED);
}

}  // namespace

cartfind_state_t &cartfind_state() { return g; }

browser_list &current_list() { return cartfind_list(g.current); }

browser_item *selected_item() {
  browser_list &list = current_list();
  if (list.selection < 0 || list.selection >= static_cast<int32_t>(list.items.size())) return nullptr;
  return &list.items[list.selection];
}

int64_t ease_toward(int64_t position, int64_t target) {
  int64_t p = (7 * position + target) / 8;
  if (p < target) p = p + 4096 > target ? target : p + 4096;
  else if (p > target) p = p - 4096 < target ? target : p - 4096;
  return p;
}

int32_t ease_menu(int32_t openness, int open) {
  if (open) {
    const int32_t v = (2 * openness + k_one) / 3;
    return v > k_one - 2048 ? k_one : v + 2048;
  }
  const int32_t v = (2 * openness) / 3;
  return v < 2048 ? 0 : v - 2048;
}

int64_t scroll_target(const browser_list &list) {
  const int64_t n = static_cast<int64_t>(list.items.size());
  int64_t top = list.selection - 2;
  if (top > n - k_visible_rows) top = n - k_visible_rows;
  if (top < 0) top = 0;
  return top * k_row_height * k_one;
}

// Both menus have five items.
int32_t menu_item_count(int32_t) { return 5; }

std::string menu_item_text(int32_t menu, int32_t index) {
  if (menu == CART_MENU_OPTIONS) {
    switch (index) {
      case 0:
        return vell_config().sound_volume > 0 ? "sound:on" : "sound:off";
      case 1:
        return vell_get_windowed() ? "fullscreen:off" : "fullscreen:on";
      case 2:
        return "key config";
      case 3:
        return "shutdown orrery";
      default:
        return "back";
    }
  }
  switch (index) {
    case 0:
      return "run cart";
    case 1:
      return g.current == LIST_FAV ? "remove from favourites" : "favourite";
    case 2:
      return "bbs thread (browser)";
    case 3:
      return "options";
    default:
      return "cancel";
  }
}

void cartfind_init() {
  g = cartfind_state_t();
  create_cartfind_lists();
  reload_favourites();
  load_cached_catalogue_lists();
}

void cartfind_enter() {
  g.finished = 0;
  std::string folder;
  // A folder that has gone since the last visit gives way to the root.
  if (resolve_folder_in_root(orrery_current_folder(), &folder) != 0) folder.clear();
  orrery_set_current_folder(folder.c_str());
  populate_cartfind_list_from_directory(cartfind_list(LIST_LOCAL), folder);
  browser_list &list = current_list();
  clamp_selection(list);
  mark_favourites(list);
  note_change();
}

void cartfind_update() {
  if (g.launched) {
    // The program the browser started has stopped: back at once after
    // "exit to cartfind", else wait for a button over its last picture.
    g.launched = 0;
    if (g.show_after) {
      g.show_after = 0;
      cartfind_enter();
      buttons_block();
    } else {
      g.finished = 1;
    }
  }
  if (g.finished) {
    for (int32_t b = BTN_LEFT; b <= BTN_PAUSE; b++)
      if (pressed(b)) {
        buttons_block();
        g.finished = 0;
        break;
      }
    return;
  }
  update_cartfind_download();
  if (take_downloaded_cart_ready()) begin_ready(g.pending_item);
  animate();
  if (g.ready > 0) {
    if (g.ready + 1 > k_ready_frames) start_run();
    else g.ready++;
  }
  if (pstate.pending_request == REQ_RUN) return;
  handle_buttons();
}

void cartfind_show_after_program() { g.show_after = 1; }

void print_cartfind_exit_message() { console_screen_show_greeting(); }
