#include "tools/cartkit/cart_file.h"

#include <cstring>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/cart_image.h"
#include "machine/cart_legacy.h"
#include "machine/cart_names.h"
#include "machine/cart_png.h"
#include "machine/cart_save.h"
#include "machine/cart_text.h"
#include "machine/memory.h"
#include "platform/files.h"
#include "platform/png_image.h"
#include "script/tokenizer.h"
#include "tools/cartkit/cartkit.h"

namespace {

constexpr int32_t k_tokens_limit = 8192;  // what info reports against, as the console does
constexpr int32_t k_chars_limit = 65535;

// Section markers in the order the loader compares them.
struct section_marker {
  const char *text;
  unsigned bit;
};
constexpr section_marker k_markers[] = {
    {"__lua__", CART_SECTION_CODE}, {"__gfx__", CART_SECTION_GFX},     {"__gff__", CART_SECTION_GFF},
    {"__map__", CART_SECTION_MAP},  {"__sfx__", CART_SECTION_SFX},     {"__music__", CART_SECTION_MUSIC},
    {"__label__", CART_SECTION_LABEL},
};
// The order the console writes sections in.
constexpr unsigned k_written_order[] = {CART_SECTION_CODE, CART_SECTION_GFX, CART_SECTION_LABEL, CART_SECTION_GFF,
                                        CART_SECTION_MAP,  CART_SECTION_SFX, CART_SECTION_MUSIC};

// One line of a text: [start, end) is its content, next the start of the
// following line; terminated is false for a last line without an end mark,
// which the loader never reads.
struct text_line {
  size_t start, end, next;
  bool terminated;
};

std::vector<text_line> split_lines(const std::string &text) {
  std::vector<text_line> lines;
  size_t i = 0;
  while (i < text.size()) {
    size_t e = i;
    while (e < text.size() && text[e] != '\n' && text[e] != '\r') e++;
    size_t next = e;
    if (next < text.size()) next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
    lines.push_back({i, e, next, e < text.size()});
    i = next;
  }
  return lines;
}

// The section a line starts, as the loader sees it (0 for none).
unsigned marker_of(const std::string &text, const text_line &l) {
  if (!l.terminated) return 0;
  for (const section_marker &m : k_markers) {
    const size_t n = strlen(m.text);
    if (l.end - l.start >= n && text.compare(l.start, n, m.text) == 0) return m.bit;
  }
  return 0;
}

struct section_span {
  unsigned bit;
  size_t first, last;  // line indices: the marker, and one past the last line before the next marker
};

// The sections of a text, in file order. The first two lines are the header.
std::vector<section_span> find_sections(const std::string &text, const std::vector<text_line> &lines) {
  std::vector<section_span> spans;
  for (size_t i = 2; i < lines.size(); i++) {
    const unsigned bit = marker_of(text, lines[i]);
    if (!bit) continue;
    if (!spans.empty()) spans.back().last = i;
    spans.push_back({bit, i, lines.size()});
  }
  return spans;
}

// One past the last line of a span that is not an empty line: the empty
// lines that close a section are the author's separation and stay.
size_t data_end(const std::vector<text_line> &lines, const section_span &s) {
  size_t e = s.last;
  while (e > s.first + 1 && lines[e - 1].start == lines[e - 1].end) e--;
  return e;
}

// The lines the console writes for one section (marker included), or ""
// when it writes none.
std::string written_section(const orrery_cart *cart, unsigned bit) {
  const std::string text = vell_orrery_cart_text(cart);
  const std::vector<text_line> lines = split_lines(text);
  for (const section_span &s : find_sections(text, lines))
    if (s.bit == bit) return text.substr(lines[s.first].start, lines[data_end(lines, s) - 1].next - lines[s.first].start);
  return "";
}

// The end mark the file uses: its first line's.
std::string line_end_of(const std::string &text) {
  const size_t e = text.find_first_of("\r\n");
  if (e == std::string::npos) return "\n";
  return text.compare(e, 2, "\r\n") == 0 ? "\r\n" : text.substr(e, 1);
}

std::string with_line_ends(const std::string &block, const std::string &end) {
  if (end == "\n") return block;
  std::string out;
  for (char c : block) out += c == '\n' ? end : std::string(1, c);
  return out;
}

std::string splice_one(const std::string &text, const orrery_cart *cart, unsigned bit) {
  const std::vector<text_line> lines = split_lines(text);
  const std::vector<section_span> spans = find_sections(text, lines);
  const std::string block = with_line_ends(written_section(cart, bit), line_end_of(text));
  for (const section_span &s : spans) {
    if (s.bit != bit) continue;
    const size_t from = lines[s.first].start, to = lines[data_end(lines, s) - 1].next;
    // A section that ends the file without an end mark keeps its last line
    // out of the loader's sight: the new block ends with one instead.
    return text.substr(0, from) + block + text.substr(to);
  }
  if (block.empty()) return text;
  // Missing: before the first section that the console writes after it.
  size_t rank = 0;
  while (k_written_order[rank] != bit) rank++;
  for (const section_span &s : spans)
    for (size_t later = rank + 1; later < sizeof k_written_order / sizeof *k_written_order; later++)
      if (s.bit == k_written_order[later]) return text.substr(0, lines[s.first].start) + block + text.substr(lines[s.first].start);
  // None: at the end, before a last line the loader does not read.
  size_t at = text.size();
  if (!lines.empty() && !lines.back().terminated) at = lines.back().start;
  return text.substr(0, at) + block + text.substr(at);
}

bool same_bitmap(const vell_bitmap *a, const vell_bitmap *b, int32_t rows_from, int32_t rows_to) {
  for (int32_t y = rows_from; y < rows_to; y++)
    for (int32_t x = 0; x < 128; x++) {
      const uint32_t pa = a ? vell_getpixel(a, x, y) : 0, pb = b ? vell_getpixel(b, x, y) : 0;
      if (pa != pb) return false;
    }
  return true;
}

// Reads a cartridge as the console does: a picture first, then text.
int read_cart(const std::string &path, std::string *bytes, orrery_cart **cart, bool *picture, std::string *message) {
  if (int r = cartkit_read_input(path, k_vell_png_max_file, bytes, message)) return r;
  orrery_set_future_version_status(0);
  *cart = load_orrery_cart_png_with_label(bytes->data(), bytes->size());
  *picture = *cart != nullptr;
  if (!*cart && orrery_cart_png_status() == CART_PNG_FUTURE_VERSION) {
    *message = path + ": written by a newer version of the console";
    return CARTKIT_REFUSED;
  }
  if (!*cart) *cart = vell_load_orrery_cart_from_text(*bytes);
  if (!*cart) {
    *message = orrery_future_version_status() ? path + ": written by a newer version of the console"
                                              : path + ": not a cartridge";
    orrery_set_future_version_status(0);
    return CARTKIT_REFUSED;
  }
  orrery_sync_shared_quarter(*cart);
  return CARTKIT_OK;
}

orrery_cart *copy_cart(const orrery_cart *from) {
  orrery_cart *c = vell_create_orrery_cart();
  if (!c) return nullptr;
  vell_bitmap *gfx = c->gfx, *map = c->map;
  memcpy(c->code, from->code, sizeof c->code);
  memcpy(gfx->data, from->gfx->data, static_cast<size_t>(gfx->w) * gfx->h);
  memcpy(map->data, from->map->data, static_cast<size_t>(map->w) * map->h);
  memcpy(c->sfx, from->sfx, sizeof c->sfx);
  memcpy(c->music, from->music, sizeof c->music);
  memcpy(c->flags, from->flags, sizeof c->flags);
  c->version = from->version;
  if (from->label) {
    c->label = vell_create_bitmap(from->label->w, from->label->h, 8);
    if (c->label) memcpy(c->label->data, from->label->data, static_cast<size_t>(from->label->w) * from->label->h);
  }
  return c;
}

std::string plural(int n, const char *one, const char *many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

}  // namespace

unsigned cartkit_changed_sections(const orrery_cart *a, const orrery_cart *b) {
  unsigned changed = 0;
  if (strcmp(a->code, b->code) != 0) changed |= CART_SECTION_CODE;
  if (!same_bitmap(a->gfx, b->gfx, 0, 128)) changed |= CART_SECTION_GFX;
  if (!same_bitmap(a->map, b->map, 0, 32)) changed |= CART_SECTION_MAP;
  // Map rows 32-63 are written as sprite rows 64-127.
  if (!same_bitmap(a->map, b->map, 32, 64)) changed |= CART_SECTION_GFX;
  if (!same_bitmap(a->label, b->label, 0, 128)) changed |= CART_SECTION_LABEL;
  if (memcmp(a->flags, b->flags, sizeof a->flags) != 0) changed |= CART_SECTION_GFF;
  if (memcmp(a->sfx, b->sfx, sizeof a->sfx) != 0) changed |= CART_SECTION_SFX;
  if (memcmp(a->music, b->music, sizeof a->music) != 0) changed |= CART_SECTION_MUSIC;
  return changed;
}

std::string cartkit_splice(const std::string &text, const orrery_cart *cart, unsigned sections) {
  std::string out = text;
  for (unsigned bit : k_written_order)
    if ((sections & bit) && bit != CART_SECTION_CODE) out = splice_one(out, cart, bit);
  return out;
}

int cartkit_open(const std::string &path, cartkit_file *file, std::string *message) {
  cartkit_close(file);
  file->path = path;
  int r = read_cart(path, &file->text, &file->cart, &file->picture, message);
  if (r) return r;
  // A file from an older version is brought up to date first, as the
  // console does on loading: the commands then change what the console
  // would run, and the file is written whole in the current format.
  if (file->cart->version < k_cart_version) apply_legacy_changes(file->cart);
  file->original = copy_cart(file->cart);
  if (!file->original) {
    *message = "out of memory";
    return CARTKIT_IO;
  }
  return CARTKIT_OK;
}

int cartkit_save(cartkit_file *file, std::string *message) {
  const unsigned changed = cartkit_changed_sections(file->original, file->cart);
  if (!changed) return CARTKIT_OK;
  if (changed & CART_SECTION_CODE) {
    *message = "internal error: the code changed";
    return CARTKIT_IO;
  }
  if (file->picture) {
    switch (save_orrery_cart_png(file->cart, file->path.c_str())) {
      case CART_PNG_SAVE_OK: break;
      case CART_PNG_CODE_TOO_LARGE: *message = file->path + ": compressed code size too large"; return CARTKIT_REFUSED;
      default: *message = "cannot write " + file->path; return CARTKIT_IO;
    }
  } else {
    std::string out;
    if (file->original->version >= k_cart_version) {
      out = cartkit_splice(file->text, file->cart, changed);
      orrery_cart *back = vell_load_orrery_cart_from_text(out);
      if (back) orrery_sync_shared_quarter(back);
      const bool same = back && cartkit_changed_sections(back, file->cart) == 0;
      vell_destroy_orrery_cart(back);
      if (!same) out.clear();
    }
    if (out.empty()) {
      out = vell_orrery_cart_text(file->cart);
      *message = file->path + " is now written whole in the current format (version " +
                 std::to_string(k_cart_version) + ")";
    }
    if (int r = cartkit_write_output(file->path, out, message)) return r;
    file->text = out;
  }
  vell_destroy_orrery_cart(file->original);
  file->original = copy_cart(file->cart);
  return CARTKIT_OK;
}

void cartkit_close(cartkit_file *file) {
  vell_destroy_orrery_cart(file->cart);
  vell_destroy_orrery_cart(file->original);
  *file = cartkit_file();
}

int cartkit_info(const std::string &path, std::string *report) {
  std::string bytes;
  orrery_cart *cart = nullptr;
  bool picture = false;
  if (int r = read_cart(path, &bytes, &cart, &picture, report)) return r;
  apply_legacy_changes(cart);
  const int chars = static_cast<int>(strlen(cart->code));
  const int tokens = count_tokens(cart->code);
  const int32_t stored = cart_code_stored_size(cart);
  char line[160];
  std::string out = "file: " + path + (picture ? " (picture)" : " (text)") + "\n";
  snprintf(line, sizeof line, "chars:      %5d / %d%s\n", chars, k_chars_limit, chars > k_chars_limit ? "  over" : "");
  out += line;
  snprintf(line, sizeof line, "tokens:     %5d /  %d%s\n", tokens, k_tokens_limit, tokens > k_tokens_limit ? "  over" : "");
  out += line;
  snprintf(line, sizeof line, "compressed: %5d / %d%s\n", static_cast<int>(stored), static_cast<int>(k_cart_image_code_max),
           stored > k_cart_image_code_max ? "  over: does not fit a picture" : "");
  out += line;

  // What the data sections hold.
  orrery_cart *empty = vell_create_orrery_cart();
  std::vector<std::string> used;
  if (!same_bitmap(cart->gfx, empty->gfx, 0, 64)) used.push_back("sprites (rows 0-63)");
  if (!same_bitmap(cart->gfx, empty->gfx, 64, 128)) used.push_back("shared quarter (sprite rows 64-127 = map rows 32-63)");
  if (!same_bitmap(cart->map, empty->map, 0, 32)) used.push_back("map (rows 0-31)");
  if (memcmp(cart->flags, empty->flags, sizeof cart->flags) != 0) used.push_back("flags");
  int sounds = 0, patterns = 0;
  for (int i = 0; i < k_cart_sfx_count; i++) sounds += memcmp(&cart->sfx[i], &empty->sfx[i], sizeof cart->sfx[i]) != 0;
  for (int i = 0; i < k_cart_pattern_count; i++)
    patterns += memcmp(&cart->music[i], &empty->music[i], sizeof cart->music[i]) != 0;
  if (sounds) used.push_back("sfx (" + plural(sounds, "sound", "sounds") + ")");
  if (patterns) used.push_back("music (" + plural(patterns, "pattern", "patterns") + ")");
  if (!cart_label_blank(cart)) used.push_back("label");
  out += "data:";
  if (used.empty()) out += " none";
  for (size_t i = 0; i < used.size(); i++) out += (i ? ", " : " ") + used[i];
  out += "\n";
  vell_destroy_orrery_cart(empty);
  vell_destroy_orrery_cart(cart);
  *report = out;
  return stored > k_cart_image_code_max ? CARTKIT_REFUSED : CARTKIT_OK;
}

int cartkit_convert(const std::string &in, const std::string &out, std::string *message) {
  std::string bytes;
  orrery_cart *cart = nullptr;
  bool picture = false;
  if (int r = read_cart(in, &bytes, &cart, &picture, message)) return r;
  apply_legacy_changes(cart);
  const std::string target = with_cart_extension(out);
  const bool to_picture = name_has(target, ".png");
  const int32_t stored = cart_code_stored_size(cart);
  char sizes[64];
  snprintf(sizes, sizeof sizes, "%d / %d bytes\n", static_cast<int>(stored), static_cast<int>(k_cart_image_code_max));
  std::string notes;
  int result = CARTKIT_OK;
  if (strlen(cart->code) > static_cast<size_t>(k_save_code_max)) {
    notes = "program over size limit\n";
    result = CARTKIT_REFUSED;
  } else if (to_picture && stored > k_cart_image_code_max) {
    notes = std::string("compressed code size too large\n") + sizes;
    result = CARTKIT_REFUSED;
  } else if (to_picture) {
    if (cart_label_blank(cart))
      notes = "warning: label is blank\nrun cart and use f7 to capture, or orrery-cart label import\n";
    if (save_orrery_cart_png(cart, target.c_str()) != CART_PNG_SAVE_OK) result = CARTKIT_IO;
  } else {
    if (stored > k_cart_image_code_max)
      notes = std::string("warning: compressed code too big\nto be exported or saved as png\n") + sizes +
              "(saving .q7 anyway)\n";
    if (vell_save_orrery_cart(cart, target.c_str()) != CART_SAVE_OK) result = CARTKIT_IO;
  }
  vell_destroy_orrery_cart(cart);
  if (result == CARTKIT_IO) notes += "cannot write " + target + "\n";
  if (result == CARTKIT_OK) notes += "saved " + target + "\n";
  *message = notes;
  return result;
}
