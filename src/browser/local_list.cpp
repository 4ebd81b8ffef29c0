#include "browser/local_list.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "browser/catalogue_page.h"
#include "browser/catalogue_paths.h"
#include "gfx/bitmap.h"
#include "gfx/text.h"
#include "machine/app_config.h"
#include "machine/cart_png.h"
#include "machine/cart_text.h"
#include "machine/pstate.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/png_image.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t k_regular_file_bit = 0x8000;  // mode bit of a regular file in a listing entry
constexpr int32_t k_label_lines = 5;            // comment lines drawn on a text cartridge's label
constexpr int32_t k_label_line_y = 22;          // y of the first; they are 6 pixels apart
constexpr int32_t k_label_paper = 5;
constexpr int32_t k_label_ink = 6;

// The title of a cartridge file: x.q7 and x.q7.png give x; a final
// extension of three characters (".q7") is cut, longer ones are kept.
std::string cart_title(std::string name) {
  const size_t png = name.rfind(".png");
  if (png != std::string::npos && png + 4 == name.size()) name.resize(png);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot + 3 == name.size()) name.resize(dot);
  return name;
}

// A path with every link resolved, as far as it exists.
std::string real_path(const std::string &path) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(fs::path(path), ec);
  return ec ? std::string() : p.lexically_normal().string();
}

// The root folder resolved, without a trailing '/'.
std::string real_root() {
  std::string root = real_path(orrery_config().root_path);
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

// target relative to root when it lies inside it ("" for root itself).
bool inside(const std::string &root, std::string target, std::string *relative) {
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  if (root.empty() || target.empty()) return false;
  if (target == root) {
    relative->clear();
    return true;
  }
  const std::string prefix = root == "/" ? root : root + "/";
  if (target.compare(0, prefix.size(), prefix) != 0) return false;
  *relative = target.substr(prefix.size());
  return true;
}

std::vector<std::string> text_lines(const std::string &text, size_t max_lines) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (lines.size() < max_lines && start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n') start++;
  }
  return lines;
}

// The label of a saved favourite: a picture of at least 128x128 whose
// top-left 128x128 pixels become the nearest console colours.
bitmap_ptr saved_label(const std::string &lid) {
  const std::string name = bbs_label_file(lid);
  vell_rgba_image image;
  if (name.empty() || vell_png_read_file(vell_prefix_with_appdata_path(name).c_str(), &image) != VELL_PNG_OK ||
      image.width < k_label_size || image.height < k_label_size || !vell_engine_palette())
    return nullptr;
  return label_from_rgba(image.pixels.data(), image.width, vell_engine_palette());
}

}  // namespace

void populate_cartfind_list_from_directory(browser_list &list, const std::string &relative) {
  list.items.clear();
  list.has_header = 0;
  if (!relative.empty()) {
    browser_item up;
    up.kind = ITEM_FOLDER;
    up.icon = k_icon_parent;
    up.title = "..";
    list.items.push_back(std::move(up));
  }
  std::vector<browser_item> entries;
  const std::string folder = std::string(orrery_config().root_path) + relative;
  vell_find_result r;
  for (int rc = vell_find_first(folder.c_str(), "*", &r, -1); rc == 0; rc = vell_find_next(&r)) {
    const std::string name = r.name;
    if (name.empty() || name[0] == '.') continue;
    browser_item item;
    if (r.mode & k_vell_folder_bit) {
      item.kind = ITEM_FOLDER;
      item.icon = k_icon_folder;
      item.title = name;
    } else if ((r.mode & k_regular_file_bit) && name.find(".q7") != std::string::npos) {
      item.kind = ITEM_CART;
      item.file_name = relative + name;
      item.title = cart_title(name);
      item.icon = item_icon(item);
    } else {
      continue;
    }
    entries.push_back(std::move(item));
  }
  vell_find_close(&r);
  std::stable_sort(entries.begin(), entries.end(), [](const browser_item &a, const browser_item &b) {
    const bool fa = a.kind == ITEM_FOLDER, fb = b.kind == ITEM_FOLDER;
    if (fa != fb) return fa;
    return a.title < b.title;
  });
  for (browser_item &e : entries) list.items.push_back(std::move(e));
  mark_favourites(list);
  clamp_selection(list);
}

int resolve_folder_in_root(const std::string &relative, std::string *resolved) {
  const std::string root = real_root();
  const std::string target = real_path(std::string(orrery_config().root_path) + relative);
  std::string rel;
  std::error_code ec;
  if (!inside(root, target, &rel) || !fs::is_directory(target, ec)) return 1;
  *resolved = rel.empty() ? rel : rel + "/";
  return 0;
}

int file_path_in_root(const std::string &relative, std::string *full) {
  const std::string target = real_path(std::string(orrery_config().root_path) + relative);
  std::string rel;
  if (relative.empty() || !inside(real_root(), target, &rel) || rel.empty()) return 1;
  *full = target;
  return 0;
}

bitmap_ptr text_cart_label(const std::string &text) {
  const std::vector<std::string> lines = text_lines(text, 3 + k_label_lines);
  // The saver writes the header line, the version line and then "__lua__".
  if (lines.size() < 3 || lines[0].compare(0, 16, "orrery cartridge") != 0 || lines[2] != "__lua__") return nullptr;
  bitmap_ptr label(vell_create_bitmap(k_label_size, k_label_size, 8));
  if (!label) return label;
  vell_rectfill(label.get(), 0, 0, k_label_size - 1, k_label_size - 1, k_label_paper);
  for (size_t i = 3; i < lines.size() && lines[i].compare(0, 2, "--") == 0; i++)
    if (pstate.font)
      vell_draw_text_ex(label.get(), lines[i].c_str(), pstate.font, 0,
                        k_label_line_y + 6 * static_cast<int32_t>(i - 3), k_text_colour, k_label_ink);
  return label;
}

void find_item_label(browser_item &item) {
  if (item.kind != ITEM_CART || item.label || item.label_tried) return;
  item.label_tried = 1;
  if (!item.lid.empty()) {
    const std::string cache = bbs_cart_file(item.lid);
    if (!cache.empty()) item.label.reset(create_label_from_file(vell_prefix_with_appdata_path(cache).c_str()));
    if (!item.label) item.label = saved_label(item.lid);
    return;
  }
  std::string path;
  if (file_path_in_root(item.file_name, &path) != 0) return;
  if (item.file_name.find(".png") != std::string::npos) {
    item.label.reset(create_label_from_file(path.c_str()));
    return;
  }
  std::string text;
  if (vell_read_file(path.c_str(), k_cart_file_max, &text) == VELL_READ_OK) item.label = text_cart_label(text);
}
