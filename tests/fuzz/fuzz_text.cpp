// Draws arbitrary texts with arbitrary flags, positions, spacing and clip
// rectangles into 8- and 32-bit bitmaps with both engine fonts and a short
// font: nothing may be written outside the bitmaps.
#include <cstddef>
#include <cstdint>
#include <string>

#include "gfx/bitmap.h"
#include "gfx/engine_font.h"
#include "gfx/font.h"
#include "gfx/text.h"

namespace {

int16_t take16(const uint8_t *&p, size_t &n) {
  if (n < 2) return 0;
  int16_t v = static_cast<int16_t>(p[0] | (p[1] << 8));
  p += 2;
  n -= 2;
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = false;
  static vell_font short_font;
  if (!ready) {
    vell_text_init();
    // A 96-glyph font that lists only 40 glyphs, some of them missing.
    short_font.owns_glyphs = 0;
    short_font.glyph.assign(vell_font1->glyph.begin() + 32, vell_font1->glyph.begin() + 72);
    short_font.glyph[5] = nullptr;
    ready = true;
  }
  if (size < 12) return 0;
  const uint8_t *p = data;
  size_t n = size;
  const uint8_t choice = *p++;
  n--;
  const int32_t x = take16(p, n) % 300, y = take16(p, n) % 300;
  const int32_t cx0 = take16(p, n) % 80, cy0 = take16(p, n) % 80, cx1 = take16(p, n) % 80;
  const int32_t flags = *p & 31;
  p++;
  n--;
  const std::string text(reinterpret_cast<const char *>(p), n);

  vell_set_text_spacing((choice >> 4) - 4);
  vell_bitmap *b = vell_create_bitmap(40 + (choice & 7), 30, (choice & 8) ? 32 : 8);
  vell_set_clip(b, cx0, cy0, cx1, 30);
  const vell_font *fonts[3] = {vell_font1, vell_font2, &short_font};
  const vell_font *f = fonts[(choice >> 4) % 3];
  vell_draw_text_ex(b, text.c_str(), f, x, y, flags, 0xff00ff00u);
  vell_draw_text_phat(b, text.c_str(), f, x, y, flags, 1, 2);
  vell_get_text_width(text.c_str(), f);
  vell_destroy_bitmap(b);
  return 0;
}
