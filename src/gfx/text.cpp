#include "gfx/text.h"

#include "gfx/bitmap.h"
#include "gfx/font.h"

namespace {

int32_t g_spacing = 1;  // engine-wide text spacing

// Which glyphs a font offers for one target depth.
struct glyph_range {
  int32_t first;                 // code of the set's first glyph (0 or 32)
  int32_t size;                  // codes in a set (96 or 256)
  vell_bitmap *const *set;       // the chosen set, or null when the font has none
  int32_t available;             // glyphs present in the chosen set (a short list has fewer)
  bool depth_matches;            // false: no set of the target's depth, so draw in colour
};

glyph_range range_of(const vell_font *font, int32_t depth) {
  glyph_range r = {0, 256, nullptr, 0, false};
  const int32_t count = vell_font_count(font);
  if (count == 0) return r;
  if (count & 0xff) {
    r.first = 32;
    r.size = 96;
  }
  const int32_t sets = count / r.size;
  for (int32_t s = 0; s < sets && !r.depth_matches; s++) {
    vell_bitmap *const *set = font->glyph.data() + s * r.size;
    for (int32_t i = 0; i < r.size; i++) {
      if (!set[i]) continue;
      if (set[i]->depth == depth) {
        r.set = set;
        r.available = r.size;
        r.depth_matches = true;
      }
      break;
    }
  }
  if (!r.set) {
    r.set = font->glyph.data();
    r.available = count < r.size ? count : r.size;
  }
  return r;
}

// The glyph for byte c, or null when c is outside the font's range.
const vell_bitmap *glyph_for(const glyph_range &r, uint8_t c) {
  int32_t i = static_cast<int32_t>(c) - r.first;
  if (!r.set || i < 0 || i >= r.available) return nullptr;
  return r.set[i];
}

// Sum of (glyph width + spacing) over the drawable characters.
int32_t advance_sum(const char *text, const glyph_range &r) {
  int32_t sum = 0;
  for (const char *p = text; *p; p++)
    if (const vell_bitmap *g = glyph_for(r, static_cast<uint8_t>(*p))) sum += g->w + g_spacing;
  return sum;
}

int32_t width_of(const char *text, const glyph_range &r) {
  int32_t sum = advance_sum(text, r);
  return sum > 0 ? sum - g_spacing : 0;
}

}  // namespace

void vell_set_text_spacing(int32_t n) { g_spacing = n < 0 ? 0 : n; }
int32_t vell_get_text_spacing() { return g_spacing; }

int32_t vell_get_text_width(const char *text, const vell_font *font) {
  if (!text || !font) return 0;
  return width_of(text, range_of(font, 8));
}

int32_t vell_draw_text_ex(vell_bitmap *bmp, const char *text, const vell_font *font, int32_t x, int32_t y,
                          int32_t flags, uint32_t colour) {
  if (!bmp || !text || !font) return y;
  const glyph_range r = range_of(font, bmp->depth);
  const int32_t start_y = y;
  const bool colour_mode = (flags & k_text_colour) || !r.depth_matches;

  bool fitted = false;
  int32_t saved_left = bmp->cl;
  if (flags & k_text_fit) {
    int32_t w = width_of(text, r);
    if (x + w > bmp->cr) {
      // Keep the text's end on the right edge and leave room on the left
      // for the two-dot mark that shows the text was cut.
      fitted = true;
      bmp->cl = saved_left + 15 < bmp->cr ? saved_left + 15 : bmp->cr;
      x = bmp->cr - w;
    }
  }
  if (flags & k_text_centre) x -= width_of(text, r) / 2;
  if (flags & k_text_end) x -= width_of(text, r);

  const int32_t start_x = x;
  int32_t tallest = 0, last_advance = 0;
  for (const char *p = text; *p; p++) {
    const uint8_t c = static_cast<uint8_t>(*p);
    if (const vell_bitmap *g = glyph_for(r, c)) {
      if (colour_mode) vell_draw_sprite_col(g, bmp, 0, 0, x, y, g->w, g->h, colour, 0);
      else vell_draw_sprite(g, bmp, 0, 0, x, y, g->w, g->h);
      last_advance = g->w + g_spacing;
      x += last_advance;
      if (g->h > tallest) tallest = g->h;
    }
    if (c == 127) break;
    if (c == '\n' || ((flags & k_text_wrap) && x > bmp->cr - last_advance)) {
      y += tallest + g_spacing;
      x = start_x;
      tallest = 0;
    }
  }

  if (fitted) {
    bmp->cl = saved_left;
    vell_draw_text_ex(bmp, "..", vell_font1(), saved_left, start_y, k_text_colour, colour);
  }
  return y;
}

int32_t vell_draw_text(vell_bitmap *bmp, const char *text, const vell_font *font, int32_t x, int32_t y) {
  return vell_draw_text_ex(bmp, text, font, x, y, 0, 0);
}

int32_t vell_draw_text_phat(vell_bitmap *bmp, const char *text, const vell_font *font, int32_t x, int32_t y,
                            int32_t flags, uint32_t outline, uint32_t colour) {
  for (int32_t dy = -1; dy <= 1; dy++)
    for (int32_t dx = -1; dx <= 1; dx++)
      vell_draw_text_ex(bmp, text, font, x + dx, y + dy, flags | k_text_colour, outline);
  return vell_draw_text_ex(bmp, text, font, x, y, flags | k_text_colour, colour);
}
