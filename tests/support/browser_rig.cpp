#include "support/browser_rig.h"

#include "support/test.h"

bool boot_into_browser(console_rig &rig) {
  return frames_until(rig, [] { return pstate.sub_screen == SUB_BROWSER && pstate.mode == MODE_CONSOLE; });
}

void go_to_list(console_rig &rig, int32_t list) {
  for (int i = 0; i < k_browser_lists && cartfind_state().current != list; i++) rig.tap({SC_RIGHT});
  ASSERT_EQ(cartfind_state().current, list);
  ASSERT_TRUE(frames_until(rig, [list] { return cartfind_state().list_position == list * k_one; }, 60));
}

void select_title(console_rig &rig, const std::string &title) {
  browser_list &list = current_list();
  int32_t want = -1;
  for (size_t i = 0; i < list.items.size(); i++)
    if (list.items[i].title == title) want = static_cast<int32_t>(i);
  ASSERT_GE(want, 0) << title;
  while (list.selection < want) rig.tap({SC_DOWN});
  while (list.selection > want) rig.tap({SC_UP});
}

void finish_download(console_rig &rig) {
  for (int i = 0; i < 1000 && orrery_state.download_state == DOWNLOAD_RUNNING; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_NE(orrery_state.download_state, DOWNLOAD_RUNNING);
  ASSERT_TRUE(frames_until(rig, [] {
    return orrery_state.download_state == DOWNLOAD_IDLE || orrery_state.download_state == DOWNLOAD_RUNNING;
  }, 30));
}

std::string browser_test_cart(const std::string &title, const std::string &code, bool stripes) {
  std::string text = "orrery cartridge\nversion 12\n__lua__\n-- " + title + "\n" + code + "\n";
  if (stripes) {
    text += "__label__\n";
    for (int y = 0; y < 128; y++) text += std::string(128, "0123456789abcdef"[y / 8]) + "\n";
  }
  return text;
}

bool cache_cart(const std::string &home, const std::string &lid, const std::string &text) {
  cart_ptr cart(load_q7_text(text));
  const std::string path = home + bbs_cart_file(lid);
  vell_make_directories((home + bbs_cart_folder(lid)).c_str());
  return cart && save_orrery_cart_png(cart.get(), path.c_str()) == CART_PNG_SAVE_OK;
}

void fill_catalogue_list(int32_t list, const std::vector<std::string> &lids) {
  vell_bitmap *stripes = vell_create_bitmap(128, 128, 8);
  for (int i = 0; i < 128 * 128; i++) stripes->data[i] = static_cast<uint8_t>(i / 1024);
  std::vector<catalogue_page_entry> entries;
  for (size_t i = 0; i < lids.size(); i++) {
    catalogue_page_entry e;
    e.a = e.b = static_cast<int32_t>(i) + 1;
    e.c = 2;
    e.title = e.author = e.lid = e.mid = lids[i];
    e.label = stripes;
    entries.push_back(e);
  }
  vell_rgba_image page;
  make_catalogue_page(entries, vell_engine_palette(), &page);
  vell_destroy_bitmap(stripes);
  ASSERT_EQ(populate_cartfind_list_from_image(cartfind_list(list), &page, 0), PAGE_OK);
}

bool striped_label(const vell_bitmap *label) {
  if (!label || label->w != 128 || label->h != 128) return false;
  for (int i = 0; i < 128 * 128; i++)
    if (label->data[i] != i / 1024) return false;
  return true;
}

std::string titles(const browser_list &list) {
  std::string out;
  for (const browser_item &item : list.items) out += item.title + "|";
  return out;
}
