// Feeds arbitrary bytes to the code text object: as a text (line lookups,
// scrolling to any cursor, glyph escaping) and as a backup stream to
// restore from. Escaping must round-trip any text that holds no backslash.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  vell_ctext *c = vell_create_ctext(4096);
  if (ctext_set_text(c, text) == CTEXT_OK) {
    const int32_t n = static_cast<int32_t>(size);
    c->cursor = size ? data[0] * 7 % (n + 1) : 0;
    ctext_bound_scrolling_to_cursor(c, size > 1 ? data[1] % 8 : 0);
    const int32_t line = ctext_get_line_number_for_pos(c->text, c->cursor);
    if (ctext_get_pos_for_line_number(c->text, line) > c->cursor) abort();
    vell_backup_ctext(c);
    c->text.clear();
    if (vell_restore_ctext(c) != 0 || c->text != text) abort();
  }
  const std::string escaped = convert_glyphs_to_escaped(text);
  for (char ch : escaped)
    if (static_cast<uint8_t>(ch) >= 128) abort();
  const std::string back = convert_escaped_to_glyphs(escaped);
  if (text.find('\\') == std::string::npos && back != text) abort();

  // The same bytes as a damaged backup stream.
  c->backup.assign(data, data + size);
  while (vell_restore_ctext(c) == 0) {
  }
  vell_destroy_ctext(c);
  return 0;
}
