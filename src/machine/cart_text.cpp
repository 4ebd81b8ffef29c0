#include "machine/cart_text.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "platform/files.h"

const char *const k_cart_text_address = "https://orrery.invalid";

namespace {

constexpr int32_t k_line_max = 65535;  // characters kept of one line
constexpr char k_hex[] = "0123456789abcdef";
constexpr char k_header[] = "orrery cartridge";  // the first line starts with these 16 characters

// One line at a time from a file. The buffer is all zero beyond the line,
// so fixed-offset reads past the end of a short line see NUL.
struct line_reader {
  FILE *file;
  char buf[k_line_max + 1];
  int32_t len;    // characters in buf
  int32_t dirty;  // bytes of buf that may be non-zero

  // Reads the next line. A line ends at LF, CR or CR LF; characters past
  // k_line_max are dropped. Returns 0 when the end of the file came before
  // an end mark (the partial line is still in buf).
  int next() {
    memset(buf, 0, static_cast<size_t>(dirty));
    len = 0;
    for (;;) {
      int c = getc(file);
      if (c == EOF) break;
      if (c == '\n') return finish(1);
      if (c == '\r') {
        int c2 = getc(file);
        if (c2 != '\n' && c2 != EOF) ungetc(c2, file);
        return finish(1);
      }
      if (len < k_line_max) buf[len++] = static_cast<char>(c);
    }
    return finish(0);
  }

  int finish(int ended) {
    dirty = len;
    return ended;
  }
};

// Picture digit: 0-9 and a-f; anything else (upper case included) is 0.
inline int32_t pic_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

inline int32_t pic_byte(const char *p) { return pic_digit(p[0]) * 16 + pic_digit(p[1]); }

inline int scan_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Scans one hexadecimal field of at most width digits at p, advancing p.
// Returns 0 when no digit is there (out is then left alone).
int scan_hex(const char *&p, int width, int32_t &out) {
  int32_t v = 0;
  int n = 0;
  for (; n < width; n++) {
    int d = scan_digit(p[n]);
    if (d < 0) break;
    v = v * 16 + d;
  }
  if (n == 0) return 0;
  p += n;
  out = v;
  return 1;
}

// "version %d": the number, 0 when there is none; clamped to 32 bits.
int32_t parse_version(const char *line) {
  if (strncmp(line, "version", 7) != 0) return 0;
  const char *p = line + 7;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) p++;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; p++)
    if (v <= INT32_MAX) v = v * 10 + (*p - '0');
  if (negative) v = -v;
  return static_cast<int32_t>(v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : v);
}

enum section { SEC_NONE, SEC_LUA, SEC_GFX, SEC_GFF, SEC_MAP, SEC_SFX, SEC_MUSIC, SEC_LABEL };

struct marker {
  const char *text;
  size_t len;
  section sec;
};
// Compared as prefixes, in this order.
constexpr marker k_markers[] = {
    {"__lua__", 7, SEC_LUA},     {"__gfx__", 7, SEC_GFX},     {"__gff__", 7, SEC_GFF},
    {"__map__", 7, SEC_MAP},     {"__sfx__", 7, SEC_SFX},     {"__music__", 9, SEC_MUSIC},
    {"__label__", 9, SEC_LABEL},
};

void load_sfx_line(orrery_sfx &s, const char *line) {
  const char *p = line;
  int32_t *header[4] = {&s.editor_mode, &s.speed, &s.loop_start, &s.loop_end};
  for (int32_t *field : header)
    if (!scan_hex(p, 2, *field)) break;
  for (int32_t n = 0; n < k_cart_notes; n++) {
    orrery_note &note = s.notes[n];
    const char *q = line + 8 + 5 * n;
    int32_t f[4] = {note.pitch, note.waveform, note.volume, note.effect};
    static const int widths[4] = {2, 1, 1, 1};
    int got = 0;
    while (got < 4 && scan_hex(q, widths[got], f[got])) got++;
    // Bit 3 of the waveform or effect digit is the custom-instrument flag.
    if ((got > 1 && (f[1] & 8)) || (got > 3 && (f[3] & 8))) note.custom = 128;
    note.pitch = f[0] & 63;
    note.waveform = f[1] & 7;
    note.volume = f[2] & 7;
    note.effect = f[3] & 7;
  }
}

void load_music_line(orrery_pattern &pat, const char *line, int32_t version) {
  const char *p = line;
  if (version >= 3) {
    scan_hex(p, 2, pat.flags);
    p = line + 3;
  }
  int32_t got = 0;
  while (got < 4 && scan_hex(p, 2, pat.channel[got])) got++;
  if (version < 4)
    for (int32_t c = 0; c < got; c++)
      if (pat.channel[c] == 0) pat.channel[c] = 0x41;
}

void load_picture_row(vell_bitmap *b, int32_t y, const char *line) {
  for (int32_t x = 0; x < 128; x++) b->line[y][x] = static_cast<uint8_t>(pic_digit(line[x]));
}

// Appends a code section line and a newline while the code plus the line
// stays within k_cart_code_max characters; the buffer holds one more and
// the NUL, since the final newline is dropped at the end.
void append_code(orrery_cart *cart, size_t &code_len, const char *line) {
  const size_t n = strlen(line);
  if (code_len + n > static_cast<size_t>(k_cart_code_max)) return;
  memcpy(cart->code + code_len, line, n);
  code_len += n;
  cart->code[code_len++] = '\n';
  cart->code[code_len] = 0;
}

inline int32_t clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

bool sfx_empty(const orrery_sfx &s) {
  if (s.editor_mode || s.speed || s.loop_start || s.loop_end) return false;
  for (const orrery_note &n : s.notes)
    if (n.pitch || n.waveform || n.volume || n.effect || n.custom) return false;
  return true;
}

// One picture row as 128 digits; values above 15 are written as f.
void put_picture_row(std::string &out, const vell_bitmap *b, int32_t y) {
  for (int32_t x = 0; x < 128; x++) {
    const uint8_t v = b->line[y][x];
    out += k_hex[v > 15 ? 15 : v];
  }
  out += '\n';
}

inline void put_byte(std::string &out, int32_t v) {
  out += k_hex[(v >> 4) & 15];
  out += k_hex[v & 15];
}

bool label_worth_saving(const vell_bitmap *label) {
  if (!label || label->w != 128 || label->h != 128 || label->depth != 8) return false;
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++)
      if (label->line[y][x]) return true;
  return false;
}

std::string cart_text(const orrery_cart *cart) {
  std::string out;
  out.reserve(64 * 1024 + strlen(cart->code));
  out += k_header;
  out += " // ";
  out += k_cart_text_address;
  out += "\nversion " + std::to_string(k_cart_version) + "\n";
  out += "__lua__\n";
  out += cart->code;
  out += "\n__gfx__\n";
  for (int32_t y = 0; y < 128; y++) put_picture_row(out, cart->gfx, y);
  if (label_worth_saving(cart->label)) {
    out += "__label__\n";
    for (int32_t y = 0; y < 128; y++) put_picture_row(out, cart->label, y);
  }
  out += "\n__gff__\n";
  for (int32_t i = 0; i < 2; i++) {
    for (int32_t j = 0; j < 128; j++) put_byte(out, cart->flags[128 * i + j] & 255);
    out += '\n';
  }
  out += "__map__\n";
  // Rows 32-63 share their bytes with sprite rows 64-127, saved above.
  for (int32_t y = 0; y < 32; y++) {
    for (int32_t x = 0; x < 128; x++) put_byte(out, cart->map->line[y][x]);
    out += '\n';
  }
  out += "__sfx__\n";
  int32_t last = k_cart_sfx_count - 1;
  while (last >= 0 && sfx_empty(cart->sfx[last])) last--;
  for (int32_t i = 0; i <= last; i++) {
    const orrery_sfx &s = cart->sfx[i];
    put_byte(out, clamp(s.editor_mode, 0, 255));
    put_byte(out, clamp(s.speed, 0, 255));
    put_byte(out, clamp(s.loop_start, 0, 255));
    put_byte(out, clamp(s.loop_end, 0, 255));
    for (const orrery_note &n : s.notes) {
      // Every field is clamped to its digits, so a line is always 168 characters.
      put_byte(out, clamp(n.pitch, 0, 255));
      out += k_hex[clamp(n.waveform, 0, 7) + (n.custom ? 8 : 0)];
      out += k_hex[clamp(n.volume, 0, 7)];
      out += k_hex[clamp(n.effect, 0, 7)];
    }
    out += '\n';
  }
  out += "__music__\n";
  for (const orrery_pattern &p : cart->music) {
    put_byte(out, clamp(p.flags, 0, 255));
    out += ' ';
    for (int32_t c = 0; c < 4; c++) put_byte(out, clamp(p.channel[c], 0, 255));
    out += '\n';
  }
  out += '\n';
  return out;
}

}  // namespace

orrery_cart *vell_load_orrery_cart_from_file(FILE *file) {
  if (!file) return nullptr;
  std::unique_ptr<line_reader> r(new (std::nothrow) line_reader);
  if (!r) return nullptr;
  r->file = file;
  r->dirty = sizeof r->buf;
  r->next();
  if (strncmp(r->buf, k_header, sizeof k_header - 1) != 0) return nullptr;
  r->next();
  const int32_t version = parse_version(r->buf);
  if (version > k_cart_version) {
    orrery_set_future_version_status(1);
    return nullptr;
  }
  orrery_cart *cart = vell_create_orrery_cart();
  if (!cart) return nullptr;
  cart->version = version;

  section sec = SEC_NONE;
  int32_t n = 0;  // line number within the section
  size_t code_len = 0;
  while (r->next()) {
    const char *line = r->buf;
    bool is_marker = false;
    for (const marker &m : k_markers)
      if (strncmp(line, m.text, m.len) == 0) {
        sec = m.sec;
        n = 0;
        is_marker = true;
        break;
      }
    if (is_marker) continue;
    switch (sec) {
      case SEC_NONE: break;
      case SEC_LUA: append_code(cart, code_len, line); break;
      case SEC_GFX:
        if (n < 128) load_picture_row(cart->gfx, n, line);
        break;
      case SEC_GFF:
        if (n < 2)
          for (int32_t j = 0; j < 128; j++)
            cart->flags[128 * n + j] = version < 3 ? pic_digit(line[j]) : pic_byte(line + 2 * j);
        break;
      case SEC_MAP:
        if (n < 64)
          for (int32_t x = 0; x < 128; x++) cart->map->line[n][x] = static_cast<uint8_t>(pic_byte(line + 2 * x));
        break;
      case SEC_SFX:
        if (n < k_cart_sfx_count) load_sfx_line(cart->sfx[n], line);
        break;
      case SEC_MUSIC:
        if (n < k_cart_pattern_count) load_music_line(cart->music[n], line, version);
        break;
      case SEC_LABEL:
        if (n < 128) {
          if (!cart->label) cart->label = vell_create_bitmap(128, 128, 8);
          if (cart->label) load_picture_row(cart->label, n, line);
        }
        break;
    }
    n++;
  }
  // Drop the newline added after the last code line.
  if (code_len > 0) cart->code[code_len - 1] = 0;
  return cart;
}

orrery_cart *vell_load_orrery_cart_from_text(const std::string &text) {
  if (text.empty() || text.size() > k_cart_file_max) return nullptr;
  FILE *f = fmemopen(const_cast<char *>(text.data()), text.size(), "rb");
  if (!f) return nullptr;
  orrery_cart *cart = vell_load_orrery_cart_from_file(f);
  fclose(f);
  return cart;
}

orrery_cart *vell_load_orrery_cart(const char *path) {
  // Cartridges come from anywhere: only a regular file of a sensible size
  // is read, and opening it never waits (a FIFO, or a link to a device).
  std::string text;
  if (!path || vell_read_file(path, k_cart_file_max, &text) != VELL_READ_OK) return nullptr;
  return vell_load_orrery_cart_from_text(text);
}

std::string vell_orrery_cart_text(const orrery_cart *cart) { return cart_text(cart); }

int vell_save_orrery_cart_to_file(const orrery_cart *cart, FILE *file) {
  const std::string text = cart_text(cart);
  if (fwrite(text.data(), 1, text.size(), file) != text.size() || fflush(file) != 0 || ferror(file))
    return CART_SAVE_WRITE_FAILED;
  return CART_SAVE_OK;
}

int vell_save_orrery_cart(const orrery_cart *cart, const char *path) {
  // A failed write must not cost the user the file they had.
  const std::string text = cart_text(cart);
  switch (vell_write_file_replacing(path, text.data(), text.size())) {
    case VELL_WRITE_OK: return CART_SAVE_OK;
    case VELL_WRITE_OPEN_FAILED: return CART_SAVE_OPEN_FAILED;
    default: return CART_SAVE_WRITE_FAILED;
  }
}
