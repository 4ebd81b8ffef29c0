// Draws arbitrary texts with arbitrary flags, positions, spacing and clip
// rectangles into 8- and 32-bit bitmaps with both engine fonts and a short
// font: nothing may be written outside the bitmaps.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *d, size_t size) {
  static vell_font short_font;  // lists only 40 glyphs, one of them missing
  if (!short_font.owns_glyphs && short_font.glyph.empty()) {
    vell_text_init();
    short_font.glyph.assign(vell_font1()->glyph.begin() + 32, vell_font1()->glyph.begin() + 72);
    short_font.glyph[5] = nullptr;
  }
  if (size < 12) return 0;
  auto s16 = [&](int i) { return static_cast<int16_t>(d[i] | d[i + 1] << 8); };
  const std::string text(reinterpret_cast<const char *>(d) + 12, size - 12);
  const vell_font *fonts[3] = {vell_font1(), vell_font2(), &short_font}, *f = fonts[(d[0] >> 4) % 3];
  vell_set_text_spacing((d[0] >> 4) - 4);
  vell_bitmap *b = vell_create_bitmap(40 + (d[0] & 7), 30, (d[0] & 8) ? 32 : 8);
  vell_set_clip(b, s16(5) % 80, s16(7) % 80, s16(9) % 80, 30);
  vell_draw_text_ex(b, text.c_str(), f, s16(1) % 300, s16(3) % 300, d[11] & 31, 0xff00ff00u);
  vell_draw_text_phat(b, text.c_str(), f, s16(1) % 300, s16(3) % 300, d[11] & 31, 1, 2);
  vell_get_text_width(text.c_str(), f);
  vell_destroy_bitmap(b);
  return 0;
}
