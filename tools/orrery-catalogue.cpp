// orrery-catalogue: turns a folder of cartridges into a catalogue that any
// static web server can publish and the console's browser can read.
//
//   orrery-catalogue IN_FOLDER OUT_FOLDER
//
// Cartridges (.q7 and .q7.png) directly in IN_FOLDER are listed as new;
// those in the sub-folders featured/, wip/, collab/ and jam/ go to those
// lists (featured ones are new as well). The new list shows the most
// recently changed first, the others go by file name. Each cartridge gets
// a catalogue id made from its file name (a-z, 0-9 and '_'), its title and
// author from its first two comment lines ("-- title", "-- by author"), and
// its label, or, without one, a picture of its opening comment lines.
//
// OUT_FOLDER receives, under bbs/, every cartridge as a picture at the path
// the console requests it from, a small web page for each cartridge, and
// the pages of every list. A request with a query is answered from the file
// named by its path, '@' and its query (catalogue_site_file): the page for
// "/bbs/cpost_lister3.php?max=32&start_index=0&cat=7&sub=2&version=000111cw"
// is "bbs/cpost_lister3.php@max=32&start_index=0&cat=7&sub=2&version=000111cw",
// the web page for "/bbs/?pid=abc_1" is "bbs/@pid=abc_1". Serve OUT_FOLDER
// with tools/orrery-catalogue-serve.py, or with a web server configured by
// the lines in tools/catalogue-*.conf, and set catalogue_url in config.txt
// to its address.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/engine_font.h"
#include "gfx/text.h"
#include "browser/browser_list.h"
#include "browser/catalogue_page.h"
#include "browser/catalogue_paths.h"
#include "machine/cart.h"
#include "machine/cart_png.h"
#include "machine/cart_text.h"
#include "machine/pstate.h"
#include "platform/files.h"
#include "platform/png_image.h"
#include "shell/console_font.h"
#include "platform/paths.h"
#include "shell/resources.h"

namespace fs = std::filesystem;

namespace {

enum {
  KIT_OK = 0,
  KIT_USAGE = 1,          // the command line is not as above
  KIT_NO_RESOURCES = 2,   // data.pod (palette and font) could not be loaded
  KIT_NO_INPUT = 3,       // IN_FOLDER cannot be listed
  KIT_WRITE_FAILED = 4,   // some output file could not be written
};

constexpr size_t k_file_max = 1u << 20;   // largest cartridge file read
constexpr int32_t k_label_lines = 5;      // comment lines drawn on a made-up label
constexpr int32_t k_label_line_y = 22;    // y of the first of them; 6 pixels apart

// A list the kit fills: its index and the sub-folder that feeds it.
struct kit_list {
  int32_t index;
  const char *folder;  // "" for IN_FOLDER itself
};

// Which folders feed which lists; a folder may feed several.
constexpr kit_list k_feeds[] = {
    {LIST_NEW, ""},        {LIST_NEW, "featured"}, {LIST_TOP, "featured"},
    {LIST_WIP, "wip"},     {LIST_COLLAB, "collab"}, {LIST_JAM, "jam"},
};
constexpr int32_t k_kit_lists[] = {LIST_NEW, LIST_TOP, LIST_WIP, LIST_COLLAB, LIST_JAM};

struct kit_cart {
  std::string path;      // source file
  std::string id;        // catalogue id
  std::string title;
  std::string author;
  int32_t number = 0;    // 1-based, unique: the page's entry number
  bitmap_ptr label;
  fs::file_time_type changed;
};

bool ends_with(const std::string &s, const char *suffix) {
  const size_t n = strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// The file name without ".q7" or ".q7.png".
std::string base_of(const std::string &file) {
  std::string name = fs::path(file).filename().string();
  for (const char *ext : {".q7.png", ".q7"})
    if (ends_with(name, ext)) return name.substr(0, name.size() - strlen(ext));
  return name;
}

std::string id_from_name(const std::string &base) {
  std::string id;
  for (char c : base) {
    const char l = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    id += (l >= 'a' && l <= 'z') || (l >= '0' && l <= '9') ? l : '_';
  }
  while (id.size() < 2) id += '_';
  return id.substr(0, 64);
}

// The code's lines that start with "--", from its first line on.
std::vector<std::string> opening_comments(const char *code) {
  std::vector<std::string> lines;
  const char *p = code;
  while (*p && lines.size() < static_cast<size_t>(k_label_lines)) {
    const char *end = strchr(p, '\n');
    const std::string line = end ? std::string(p, end) : std::string(p);
    if (line.compare(0, 2, "--") != 0) break;
    lines.push_back(line);
    if (!end) break;
    p = end + 1;
  }
  return lines;
}

// A comment line's text: after "--" and one optional space.
std::string comment_text(const std::string &line) {
  std::string s = line.substr(2);
  if (!s.empty() && s[0] == ' ') s.erase(0, 1);
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

bool label_blank(const vell_bitmap *label) {
  if (!label || label->w < k_label_size || label->h < k_label_size || label->depth != 8) return true;
  for (int32_t y = 0; y < k_label_size; y++)
    for (int32_t x = 0; x < k_label_size; x++)
      if (label->line[y][x] != label->line[0][0]) return false;
  return true;
}

// The label the browser makes for a local text cartridge: colour 5 with
// the opening comment lines in colour 6.
bitmap_ptr comment_label(const std::vector<std::string> &comments) {
  bitmap_ptr label(vell_create_bitmap(k_label_size, k_label_size, 8));
  if (!label) return label;
  vell_rectfill(label.get(), 0, 0, k_label_size - 1, k_label_size - 1, 5);
  for (size_t i = 0; i < comments.size(); i++)
    vell_draw_text_ex(label.get(), comments[i].c_str(), pstate.font, 0, k_label_line_y + 6 * static_cast<int32_t>(i),
                      k_text_colour, 6);
  return label;
}

struct cart_deleter {
  void operator()(orrery_cart *c) const { vell_destroy_orrery_cart(c); }
};

// Reads a cartridge, fills in its title, author and label, and writes its
// picture into out. false (reported) when it cannot be used.
bool publish_cart(kit_cart &k, const std::string &out, int *write_failures) {
  const bool picture = ends_with(k.path, ".png");
  std::unique_ptr<orrery_cart, cart_deleter> cart(picture ? load_orrery_cart_png(k.path.c_str())
                                                          : vell_load_orrery_cart(k.path.c_str()));
  if (!cart) {
    fprintf(stderr, "skipped %s: not a cartridge this console can read\n", k.path.c_str());
    return false;
  }
  const std::vector<std::string> comments = opening_comments(cart->code);
  k.title = comments.size() > 0 ? comment_text(comments[0]) : base_of(k.path);
  if (k.title.empty()) k.title = base_of(k.path);
  if (comments.size() > 1) {
    k.author = comment_text(comments[1]);
    if (k.author.compare(0, 3, "by ") == 0) k.author.erase(0, 3);
  }
  if (!label_blank(cart->label)) {
    k.label.reset(vell_create_bitmap(k_label_size, k_label_size, 8));
    if (k.label) vell_blit(cart->label, k.label.get(), 0, 0, 0, 0, k_label_size, k_label_size);
  } else {
    k.label = comment_label(comments);
  }

  const std::string target = out + catalogue_site_file(catalogue_cart_request(k.id));
  vell_make_directories(fs::path(target).parent_path().string().c_str());
  int rc;
  if (picture) {
    // A picture cartridge is published as it is, byte for byte.
    std::string bytes;
    rc = vell_read_file(k.path.c_str(), k_file_max, &bytes) ||
         vell_write_file_replacing(target.c_str(), bytes.data(), bytes.size());
  } else {
    if (!cart->label) cart->label = vell_create_bitmap(k_label_size, k_label_size, 8);
    if (cart->label && k.label) vell_blit(k.label.get(), cart->label, 0, 0, 0, 0, k_label_size, k_label_size);
    rc = save_orrery_cart_png(cart.get(), target.c_str());
  }
  if (rc != 0) {
    fprintf(stderr, "could not write %s\n", target.c_str());
    (*write_failures)++;
    return false;
  }
  return true;
}

std::string html_text(const std::string &s) {
  std::string out;
  for (char c : s) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

// The web page the browser's cartridge menu opens: title, author and the
// cartridge picture, which is also the download. The page's address is
// ".../bbs/?pid=ID", so the picture's path is relative to bbs/: the site
// may live below the server's root.
int write_cart_page(const kit_cart &k, const std::string &out) {
  const std::string title = html_text(k.title), picture = catalogue_cart_request(k.id).substr(5);
  const std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
                           "</title></head>\n<body><h1>" + title + "</h1>\n" +
                           (k.author.empty() ? "" : "<p>by " + html_text(k.author) + "</p>\n") + "<p><a href=\"" +
                           picture + "\"><img src=\"" + picture + "\" alt=\"" + title +
                           "\"></a></p>\n</body></html>\n";
  const std::string file = out + catalogue_site_file(catalogue_page_request(k.id));
  if (vell_write_file_replacing(file.c_str(), html.data(), html.size()) == 0) return 0;
  fprintf(stderr, "could not write %s\n", file.c_str());
  return 1;
}

// The cartridge files of a folder, in name order.
std::vector<std::string> cart_files(const fs::path &folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const fs::directory_entry &e : fs::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name[0] == '.' || !e.is_regular_file(ec)) continue;
    if (ends_with(name, ".q7") || ends_with(name, ".q7.png")) files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The sub-category a list's request names ("sub=3"), or 0.
int32_t sub_of(const std::string &request) {
  const size_t at = request.find("sub=");
  return at == std::string::npos ? 0 : static_cast<int32_t>(strtol(request.c_str() + at + 4, nullptr, 10));
}

// Writes the pages of one list: 32 entries a page, and always a page that
// is not full at the end (an empty one when the count is a multiple of 32),
// so that the browser's "[load more]" gets an answer.
int write_pages(int32_t index, const std::vector<const kit_cart *> &carts, const std::string &out,
                const uint8_t *palette) {
  const browser_list_def &def = k_browser_list_table[index];
  const int32_t sub = sub_of(def.request);
  int failures = 0, pages = 0;
  for (size_t start = 0;; start += k_page_entries) {
    std::vector<catalogue_page_entry> entries;
    for (size_t i = start; i < carts.size() && i < start + k_page_entries; i++) {
      catalogue_page_entry e;
      e.a = e.b = carts[i]->number;
      e.c = sub;
      e.title = carts[i]->title;
      e.author = carts[i]->author;
      e.lid = e.mid = carts[i]->id;
      e.label = carts[i]->label.get();
      entries.push_back(std::move(e));
    }
    vell_rgba_image page;
    make_catalogue_page(entries, palette, &page);
    const std::string file = out + catalogue_site_file(catalogue_list_request(def.request, static_cast<int32_t>(start)));
    if (vell_png_write_file(file.c_str(), page) != VELL_PNG_OK) {
      fprintf(stderr, "could not write %s\n", file.c_str());
      failures++;
    }
    pages++;
    if (entries.size() < static_cast<size_t>(k_page_entries)) break;
  }
  printf("%-16s %3zu cartridges, %d page%s\n", def.title, carts.size(), pages, pages == 1 ? "" : "s");
  return failures;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: orrery-catalogue IN_FOLDER OUT_FOLDER\n");
    return KIT_USAGE;
  }
  const fs::path in = argv[1];
  std::string out = argv[2];
  if (out.empty() || out.back() != '/') out += '/';

  const std::string pod = vell_prefix_with_program_path("data.pod");
  if (orrery_load_resources(pod) != 0 || !orrery_resource_palette()) {
    fprintf(stderr, "couldn't load %s\n", pod.c_str());
    return KIT_NO_RESOURCES;
  }
  const uint8_t *palette = orrery_resource_palette();
  vell_set_engine_palette(palette);
  vell_text_init();
  orrery_console_font_init();
  std::error_code ec;
  if (!fs::is_directory(in, ec)) {
    fprintf(stderr, "could not list %s\n", argv[1]);
    return KIT_NO_INPUT;
  }
  if (vell_make_directories((out + "bbs/cposts").c_str()) != 0) {
    fprintf(stderr, "could not create %sbbs/\n", out.c_str());
    return KIT_WRITE_FAILED;
  }

  // Every cartridge once, whichever lists it is in.
  std::vector<std::unique_ptr<kit_cart>> carts;
  std::map<std::string, kit_cart *> by_path;
  std::set<std::string> requests;  // cartridge paths already taken
  std::vector<const kit_cart *> lists[k_browser_lists];
  int failures = 0;
  for (const kit_list &feed : k_feeds) {
    for (const std::string &file : cart_files(in / feed.folder)) {
      kit_cart *k = by_path.count(file) ? by_path[file] : nullptr;
      if (!k) {
        auto c = std::make_unique<kit_cart>();
        c->path = file;
        c->changed = fs::last_write_time(file, ec);
        // Two files whose names make the same id (or the same numbered
        // path) get distinct ids by a suffix.
        const std::string base = id_from_name(base_of(file));
        c->id = base;
        for (int n = 2; requests.count(catalogue_cart_request(c->id)); n++) c->id = base + "_" + std::to_string(n);
        if (!publish_cart(*c, out, &failures)) continue;
        failures += write_cart_page(*c, out);
        requests.insert(catalogue_cart_request(c->id));
        c->number = static_cast<int32_t>(carts.size()) + 1;
        k = c.get();
        by_path[file] = k;
        carts.push_back(std::move(c));
      }
      lists[feed.index].push_back(k);
    }
  }
  // Newest first in the new list; the others keep name order.
  std::stable_sort(lists[LIST_NEW].begin(), lists[LIST_NEW].end(),
                   [](const kit_cart *a, const kit_cart *b) { return a->changed > b->changed; });
  for (int32_t index : k_kit_lists) failures += write_pages(index, lists[index], out, palette);
  printf("published %zu cartridges in %s\n", carts.size(), out.c_str());
  orrery_console_font_exit();
  vell_text_exit();
  orrery_release_resources();
  return failures ? KIT_WRITE_FAILED : KIT_OK;
}
