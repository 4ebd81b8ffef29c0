// podtool: builds the resource file data.pod from the editable sources in
// assets/, and lists the contents of a resource file.
//
//   podtool build MANIFEST OUT.pod
//   podtool list FILE.pod
//   podtool png FILE.pod POSITION OUT.png [SCALE]
//
// png writes one picture of a resource file as a PNG enlarged SCALE times
// (1..64, default 1): 32-bit pictures as they are, 8-bit ones through the
// file's palette with colour 0 transparent. The build uses it to make the
// desktop icon from the window icon.
//
// The manifest and source formats are described in assets/README.md.

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/cart_image.h"
#include "machine/cart_text.h"
#include "machine/memory.h"
#include "platform/png_image.h"
#include "shell/pod.h"
#include "shell/resources.h"

namespace {

struct source_item {
  std::vector<int> index;  // position path, e.g. {1, 245}
  std::string kind;
  std::string source;  // file name relative to the manifest, or "-"
  std::string name;
  int line;
};

// A tree of numbered items, filled from the manifest before writing.
struct node {
  vell_pod_kind kind = POD_EMPTY;
  std::string name;
  std::vector<uint8_t> data;
  std::map<int, node> children;  // for lists
};

std::string g_manifest_dir;
std::string g_error;
uint8_t g_palette[768];
bool g_have_palette = false;

bool fail(const std::string &msg) {
  if (g_error.empty()) g_error = msg;
  return false;
}

bool read_file(const std::string &path, std::vector<uint8_t> &out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail("cannot read " + path);
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool read_lines(const std::string &path, std::vector<std::string> &out) {
  std::ifstream in(path);
  if (!in) return fail("cannot read " + path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return true;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Palette text: lines "INDEX RRGGBB" (index in decimal). Entries not listed
// keep the engine's grey ramp.
bool build_palette(const std::string &path, std::vector<uint8_t> &out) {
  std::vector<std::string> lines;
  if (!read_lines(path, lines)) return false;
  out.resize(768);
  for (int i = 0; i < 256; i++) out[i * 3] = out[i * 3 + 1] = out[i * 3 + 2] = static_cast<uint8_t>(i);
  for (size_t n = 0; n < lines.size(); n++) {
    const std::string &l = lines[n];
    if (l.empty() || l[0] == '#') continue;
    int index;
    unsigned rgb;
    if (sscanf(l.c_str(), "%d %x", &index, &rgb) != 2 || index < 0 || index > 255)
      return fail(path + ":" + std::to_string(n + 1) + ": expected INDEX RRGGBB");
    out[index * 3] = static_cast<uint8_t>(rgb >> 16);
    out[index * 3 + 1] = static_cast<uint8_t>(rgb >> 8);
    out[index * 3 + 2] = static_cast<uint8_t>(rgb);
  }
  memcpy(g_palette, out.data(), 768);
  g_have_palette = true;
  return true;
}

// Palette index of a character in a picture text: 0-9 and a-f are colours
// 0-15, '.' is 0, g-v are the extended colours 128-143. -1 for others.
int picture_index(char c) {
  if (c == '.') return 0;
  int d = hex_digit(c);
  if (d >= 0) return d;
  if (c >= 'g' && c <= 'v') return 128 + (c - 'g');
  return -1;
}

uint32_t palette_argb(int index) {
  const uint8_t *p = g_palette + index * 3;
  return 0xff000000u | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

// Nearest palette index among the console and extended colours.
int nearest_index(uint8_t r, uint8_t g, uint8_t b) {
  int best = 0;
  long best_d = -1;
  for (int i = 0; i < 256; i++) {
    if (!(i < 16 || (i >= 128 && i < 144))) continue;
    long dr = long(g_palette[i * 3]) - r, dg = long(g_palette[i * 3 + 1]) - g, db = long(g_palette[i * 3 + 2]) - b;
    long d = dr * dr + dg * dg + db * db;
    if (best_d < 0 || d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return best;
}

vell_bitmap *load_png(const std::string &path, int depth) {
  png_image img;
  memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) {
    fail("cannot decode " + path);
    return nullptr;
  }
  img.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> px(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) {
    fail("cannot decode " + path);
    return nullptr;
  }
  vell_bitmap *b = vell_create_bitmap(static_cast<int32_t>(img.width), static_cast<int32_t>(img.height), depth);
  for (int32_t y = 0; y < b->h; y++)
    for (int32_t x = 0; x < b->w; x++) {
      const uint8_t *p = &px[(static_cast<size_t>(y) * b->w + x) * 4];
      if (depth == 32)
        vell_putpixel(b, x, y, (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]);
      else
        vell_putpixel(b, x, y, p[3] < 128 ? 0 : static_cast<uint32_t>(nearest_index(p[0], p[1], p[2])));
    }
  return b;
}

// Picture text: optional "#" comment lines, then rows of picture
// characters, all of the same length.
vell_bitmap *load_picture_text(const std::string &path, int depth) {
  std::vector<std::string> lines, rows;
  if (!read_lines(path, lines)) return nullptr;
  for (const std::string &l : lines)
    if (!l.empty() && l[0] != '#') rows.push_back(l);
  if (rows.empty()) {
    fail(path + ": no picture rows");
    return nullptr;
  }
  int32_t w = static_cast<int32_t>(rows[0].size()), h = static_cast<int32_t>(rows.size());
  vell_bitmap *b = vell_create_bitmap(w, h, depth);
  for (int32_t y = 0; y < h; y++) {
    if (static_cast<int32_t>(rows[y].size()) != w) {
      vell_destroy_bitmap(b);
      fail(path + ": row " + std::to_string(y + 1) + " is not " + std::to_string(w) + " wide");
      return nullptr;
    }
    for (int32_t x = 0; x < w; x++) {
      int idx = picture_index(rows[y][x]);
      if (idx < 0) {
        vell_destroy_bitmap(b);
        fail(path + ": bad character at row " + std::to_string(y + 1));
        return nullptr;
      }
      if (depth == 8) vell_putpixel(b, x, y, static_cast<uint32_t>(idx));
      else vell_putpixel(b, x, y, rows[y][x] == '.' ? 0u : palette_argb(idx));
    }
  }
  return b;
}

bool build_picture(const std::string &path, int depth, std::vector<uint8_t> &out) {
  bool png = path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0;
  if (!g_have_palette && (png || depth == 32))
    return fail(path + ": the palette must come before PNG and 32-bit pictures");
  vell_bitmap *b = png ? load_png(path, depth) : load_picture_text(path, depth);
  if (!b) return false;
  out = vell_encode_pod_bitmap(b);
  vell_destroy_bitmap(b);
  return true;
}

// Font text: blocks starting with "@HH" (the character code in hex), then
// the glyph's rows of '#' (ink) and '.' (empty). Codes without a block get
// an empty glyph: 3x5 below 128, 7x5 from 128 on.
bool build_font(const std::string &path, node &list) {
  std::vector<std::string> lines;
  if (!read_lines(path, lines)) return false;
  std::map<int, std::vector<std::string>> glyphs;
  int current = -1;
  for (size_t n = 0; n < lines.size(); n++) {
    const std::string &l = lines[n];
    // Glyph rows may start with ink ('#'), so only a '#' line holding other
    // characters than '#' and '.' is a comment.
    bool row = !l.empty() && l.find_first_not_of("#.") == std::string::npos;
    if (l.empty() || (l[0] == '#' && !row)) continue;
    if (l[0] == '@') {
      current = static_cast<int>(strtol(l.c_str() + 1, nullptr, 16));
      if (current < 0 || current > 255 || glyphs.count(current))
        return fail(path + ":" + std::to_string(n + 1) + ": bad or repeated glyph code");
      glyphs[current];
      continue;
    }
    if (current < 0) return fail(path + ":" + std::to_string(n + 1) + ": rows before the first @code");
    glyphs[current].push_back(l);
  }
  list.kind = POD_LIST;
  for (int code = 0; code < 256; code++) {
    std::vector<std::string> rows = glyphs.count(code) ? glyphs[code] : std::vector<std::string>();
    int32_t w = code < 128 ? 3 : 7, h = 5;
    if (!rows.empty()) {
      h = static_cast<int32_t>(rows.size());
      w = 0;
      for (const std::string &r : rows) w = std::max<int32_t>(w, static_cast<int32_t>(r.size()));
    }
    vell_bitmap *b = vell_create_bitmap(w, h, 8);
    for (int32_t y = 0; y < static_cast<int32_t>(rows.size()); y++)
      for (int32_t x = 0; x < static_cast<int32_t>(rows[y].size()); x++)
        if (rows[y][x] == '#') vell_putpixel(b, x, y, 255);
    node &g = list.children[code];
    g.kind = POD_BITMAP;
    g.data = vell_encode_pod_bitmap(b);
    vell_destroy_bitmap(b);
  }
  return true;
}

// A 32768-byte cartridge image from a text cartridge: sprites, map, flags,
// sounds and music as memory 0x0000-0x42ff, then the code.
bool build_cart_image(const std::string &path, std::vector<uint8_t> &out) {
  orrery_cart *cart = vell_load_orrery_cart(path.c_str());
  if (!cart) return fail("cannot load " + path + " as a text cartridge");
  // The image holds the shared quarter once, so both views must agree first.
  orrery_sync_shared_quarter(cart);
  out.assign(k_cart_image_bytes, 0);
  const int result = save_orrery_cart_32k(cart, out.data());
  vell_destroy_orrery_cart(cart);
  if (result != CART_IMAGE_OK) return fail(path + ": code longer than 15360 characters");
  return true;
}

bool build_item(const source_item &s, node &n) {
  std::string path = g_manifest_dir + s.source;
  n.name = s.name;
  if (s.kind == "list") {
    n.kind = POD_LIST;
    return true;
  }
  if (s.kind == "data" || s.kind == "text") {
    n.kind = s.kind == "data" ? POD_DATA : POD_TEXT;
    if (!read_file(path, n.data)) return false;
    if (n.kind == POD_TEXT)
      while (!n.data.empty() && (n.data.back() == '\n' || n.data.back() == '\r')) n.data.pop_back();
    return true;
  }
  if (s.kind == "palette") {
    n.kind = POD_PALETTE;
    return build_palette(path, n.data);
  }
  if (s.kind == "picture" || s.kind == "picture32") {
    n.kind = POD_BITMAP;
    return build_picture(path, s.kind == "picture" ? 8 : 32, n.data);
  }
  if (s.kind == "font") return build_font(path, n);
  if (s.kind == "cart") {
    n.kind = POD_CART;
    return build_cart_image(path, n.data);
  }
  return fail("unknown kind " + s.kind);
}

void write_list(const node &list, vell_pod_writer &w) {
  int next = 0;
  for (const auto &kv : list.children) {
    for (; next < kv.first; next++) w.add(POD_EMPTY, "", nullptr, 0);
    const node &c = kv.second;
    if (c.kind == POD_LIST) {
      vell_pod_writer sub;
      write_list(c, sub);
      w.add_list(c.name, sub);
    } else {
      w.add(c.kind, c.name, c.data.data(), c.data.size());
    }
    next = kv.first + 1;
  }
}

int build(const std::string &manifest, const std::string &out_path) {
  size_t slash = manifest.find_last_of('/');
  g_manifest_dir = slash == std::string::npos ? "" : manifest.substr(0, slash + 1);
  std::vector<std::string> lines;
  if (!read_lines(manifest, lines)) {
    fprintf(stderr, "podtool: %s\n", g_error.c_str());
    return 1;
  }
  node root;
  root.kind = POD_LIST;
  for (size_t i = 0; i < lines.size(); i++) {
    std::istringstream in(lines[i]);
    std::string pos;
    source_item s;
    s.line = static_cast<int>(i + 1);
    if (!(in >> pos) || pos[0] == '#') continue;
    if (!(in >> s.kind >> s.source)) {
      fprintf(stderr, "podtool: %s:%d: expected POSITION KIND SOURCE [NAME]\n", manifest.c_str(), s.line);
      return 1;
    }
    in >> s.name;
    std::istringstream ps(pos);
    std::string part;
    while (std::getline(ps, part, '.')) s.index.push_back(atoi(part.c_str()));
    node *parent = &root;
    for (size_t k = 0; k + 1 < s.index.size(); k++) {
      auto it = parent->children.find(s.index[k]);
      if (it == parent->children.end() || it->second.kind != POD_LIST) {
        fprintf(stderr, "podtool: %s:%d: no list at %s\n", manifest.c_str(), s.line, pos.c_str());
        return 1;
      }
      parent = &it->second;
    }
    if (parent->children.count(s.index.back())) {
      fprintf(stderr, "podtool: %s:%d: position %s given twice\n", manifest.c_str(), s.line, pos.c_str());
      return 1;
    }
    if (!build_item(s, parent->children[s.index.back()])) {
      fprintf(stderr, "podtool: %s:%d: %s\n", manifest.c_str(), s.line, g_error.c_str());
      return 1;
    }
  }
  vell_pod_writer w;
  write_list(root, w);
  std::vector<uint8_t> bytes = w.file_bytes();
  std::string tmp = out_path + ".tmp";
  FILE *f = fopen(tmp.c_str(), "wb");
  if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
    fprintf(stderr, "podtool: cannot write %s\n", out_path.c_str());
    return 1;
  }
  if (rename(tmp.c_str(), out_path.c_str()) != 0) {
    fprintf(stderr, "podtool: cannot write %s\n", out_path.c_str());
    return 1;
  }
  return 0;
}

const char *kind_name(vell_pod_kind k) {
  static const char *names[] = {"empty", "data", "list", "text", "palette", "bitmap", "cart"};
  return names[k];
}

void list_pod(const vell_pod *pod, const std::string &prefix) {
  for (size_t i = 0; i < pod->items.size(); i++) {
    const vell_pod_item &it = pod->items[i];
    if (it.kind == POD_EMPTY) continue;
    std::string pos = prefix + std::to_string(i);
    printf("%-10s %-8s %8u  %s\n", pos.c_str(), kind_name(it.kind), it.size, it.name.c_str());
    if (it.kind == POD_LIST)
      if (const vell_pod *sub = vell_pod_list(&it)) list_pod(sub, pos + ".");
  }
}

// The item at a dotted position ("1.6"), or null.
const vell_pod_item *item_at(const vell_pod *pod, const std::string &position) {
  std::istringstream ps(position);
  std::string part;
  const vell_pod_item *item = nullptr;
  while (std::getline(ps, part, '.')) {
    if (item) pod = vell_pod_list(item);
    if (!pod || part.empty() || part.find_first_not_of("0123456789") != std::string::npos) return nullptr;
    item = vell_pod_get(pod, strtoul(part.c_str(), nullptr, 10));
    if (!item) return nullptr;
  }
  return item;
}

int export_png(const char *pod_path, const std::string &position, const char *out_path, int scale) {
  int status = 0;
  auto pod = vell_load_pod(pod_path, &status);
  if (!pod) {
    fprintf(stderr, "podtool: cannot load %s (status %d)\n", pod_path, status);
    return 1;
  }
  const vell_pod_item *item = item_at(pod.get(), position);
  vell_bitmap *b = item && item->kind == POD_BITMAP ? vell_decode_pod_bitmap(item->data, item->size) : nullptr;
  if (!b) {
    fprintf(stderr, "podtool: no picture at %s in %s\n", position.c_str(), pod_path);
    return 1;
  }
  const vell_pod_item *pal = item_at(pod.get(), "1.1");
  const uint8_t *palette = pal && pal->kind == POD_PALETTE && pal->size >= 768 ? pal->data : nullptr;
  if (b->depth == 8 && !palette) {
    vell_destroy_bitmap(b);
    fprintf(stderr, "podtool: %s has no palette for an 8-bit picture\n", pod_path);
    return 1;
  }
  vell_rgba_image img;
  img.width = b->w * scale;
  img.height = b->h * scale;
  img.pixels.resize(static_cast<size_t>(img.width) * img.height * 4);
  for (int32_t y = 0; y < img.height; y++) {
    for (int32_t x = 0; x < img.width; x++) {
      uint8_t *out = &img.pixels[(static_cast<size_t>(y) * img.width + x) * 4];
      const int32_t sx = x / scale, sy = y / scale;
      if (b->depth == 32) {
        uint32_t v;
        memcpy(&v, b->line[sy] + sx * 4, 4);
        out[0] = (v >> 16) & 255;
        out[1] = (v >> 8) & 255;
        out[2] = v & 255;
        out[3] = v >> 24;
      } else {
        const uint8_t c = b->line[sy][sx];
        memcpy(out, palette + c * 3, 3);
        out[3] = c ? 255 : 0;
      }
    }
  }
  vell_destroy_bitmap(b);
  if (vell_png_write_file(out_path, img) != VELL_PNG_OK) {
    fprintf(stderr, "podtool: cannot write %s\n", out_path);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 4 && !strcmp(argv[1], "build")) return build(argv[2], argv[3]);
  if (argc == 3 && !strcmp(argv[1], "list")) {
    int status = 0;
    auto pod = vell_load_pod(argv[2], &status);
    if (!pod) {
      fprintf(stderr, "podtool: cannot load %s (status %d)\n", argv[2], status);
      return 1;
    }
    list_pod(pod.get(), "");
    return 0;
  }
  if ((argc == 5 || argc == 6) && !strcmp(argv[1], "png")) {
    const int scale = argc == 6 ? atoi(argv[5]) : 1;
    if (scale < 1 || scale > 64) {
      fprintf(stderr, "podtool: scale must be 1..64\n");
      return 2;
    }
    return export_png(argv[2], argv[3], argv[4], scale);
  }
  fprintf(stderr,
          "usage: podtool build MANIFEST OUT.pod | podtool list FILE.pod |\n"
          "       podtool png FILE.pod POSITION OUT.png [SCALE]\n");
  return 2;
}
