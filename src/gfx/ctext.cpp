#include "gfx/ctext.h"

namespace {

constexpr size_t k_record_head = 5 * 4;  // the five integers of a backup record

void put_u32(std::vector<uint8_t> &out, uint32_t v) {
  for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t get_u32(const uint8_t *p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

int32_t clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// Scrolls one axis so that the span [first, first + size) with margin on
// both sides lies inside [scroll, scroll + view).
int32_t bound_axis(int32_t scroll, int32_t view, int32_t first, int32_t size, int32_t margin) {
  if (first - margin < scroll) scroll = first - margin;
  if (first + size + margin > scroll + view) scroll = first + size + margin - view;
  return scroll < 0 ? 0 : scroll;
}

}  // namespace

vell_ctext *vell_create_ctext(int32_t limit) {
  vell_ctext *c = new vell_ctext;
  c->limit = limit < 0 ? 0 : limit;
  c->cursor = c->sel_start = c->sel_end = 0;
  c->scroll_x = c->scroll_y = 0;
  c->cell_w = 4;
  c->line_h = 6;
  c->view_w = c->view_h = 128;
  return c;
}

void vell_destroy_ctext(vell_ctext *ctext) { delete ctext; }

int ctext_set_text(vell_ctext *ctext, const std::string &text) {
  if (static_cast<int64_t>(text.size()) > ctext->limit) return CTEXT_TOO_LONG;
  ctext->text = text;
  ctext->cursor = ctext->sel_start = ctext->sel_end = 0;
  ctext->scroll_x = ctext->scroll_y = 0;
  return CTEXT_OK;
}

int32_t ctext_get_line_number_for_pos(const std::string &text, int32_t pos) {
  const size_t end = static_cast<size_t>(clamp(pos, 0, static_cast<int32_t>(text.size())));
  int32_t line = 0;
  for (size_t i = 0; i < end; i++)
    if (text[i] == '\n') line++;
  return line;
}

int32_t ctext_get_pos_for_line_number(const std::string &text, int32_t n) {
  if (n < 1) return 0;
  int32_t seen = 0;
  for (size_t i = 0; i < text.size(); i++)
    if (text[i] == '\n' && ++seen == n) return static_cast<int32_t>(i + 1);
  return static_cast<int32_t>(text.size());
}

void ctext_bound_scrolling_to_cursor(vell_ctext *c, int32_t margin) {
  const int32_t cursor = clamp(c->cursor, 0, static_cast<int32_t>(c->text.size()));
  const int32_t line = ctext_get_line_number_for_pos(c->text, cursor);
  const int32_t start = ctext_get_pos_for_line_number(c->text, line);
  int32_t column = 0;
  for (int32_t i = start; i < cursor; i++) column += static_cast<uint8_t>(c->text[i]) >= 128 ? 2 : 1;
  c->scroll_x = bound_axis(c->scroll_x, c->view_w, column * c->cell_w, c->cell_w, margin * c->cell_w);
  c->scroll_y = bound_axis(c->scroll_y, c->view_h, line * c->line_h, c->line_h, margin * c->line_h);
}

void vell_backup_ctext(vell_ctext *c) {
  std::vector<uint8_t> &out = c->backup;
  const size_t start = out.size();
  for (int32_t v : {c->cursor, c->sel_start, c->sel_end, c->scroll_x, c->scroll_y})
    put_u32(out, static_cast<uint32_t>(v));
  out.insert(out.end(), c->text.begin(), c->text.end());
  out.push_back(0);
  put_u32(out, static_cast<uint32_t>(out.size() - start));
}

int vell_restore_ctext(vell_ctext *c) {
  std::vector<uint8_t> &in = c->backup;
  if (in.size() < 4) return 1;
  const size_t len = get_u32(in.data() + in.size() - 4);
  if (len < k_record_head + 1 || len > in.size() - 4 || in[in.size() - 5] != 0) {
    in.clear();
    return 1;
  }
  // The record's length, not the terminator, bounds the text, so a text
  // holding zero bytes comes back whole.
  const uint8_t *rec = in.data() + in.size() - 4 - len;
  const size_t text_len = len - k_record_head - 1;
  c->cursor = static_cast<int32_t>(get_u32(rec));
  c->sel_start = static_cast<int32_t>(get_u32(rec + 4));
  c->sel_end = static_cast<int32_t>(get_u32(rec + 8));
  c->scroll_x = static_cast<int32_t>(get_u32(rec + 12));
  c->scroll_y = static_cast<int32_t>(get_u32(rec + 16));
  c->text.assign(reinterpret_cast<const char *>(rec + k_record_head), text_len);
  in.resize(in.size() - 4 - len);
  return 0;
}

std::string convert_glyphs_to_escaped(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const uint8_t b = static_cast<uint8_t>(ch);
    if (b < 128) {
      out += ch;
      continue;
    }
    out += '\\';
    out += static_cast<char>('0' + b / 100);
    out += static_cast<char>('0' + b / 10 % 10);
    out += static_cast<char>('0' + b % 10);
  }
  return out;
}

std::string convert_escaped_to_glyphs(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      const char *d = text.c_str() + i + 1;
      if (d[0] >= '0' && d[0] <= '9' && d[1] >= '0' && d[1] <= '9' && d[2] >= '0' && d[2] <= '9') {
        const int v = (d[0] - '0') * 100 + (d[1] - '0') * 10 + (d[2] - '0');
        if (v >= 128 && v <= 255) {
          out += static_cast<char>(v);
          i += 3;
          continue;
        }
      }
    }
    out += text[i];
  }
  return out;
}
