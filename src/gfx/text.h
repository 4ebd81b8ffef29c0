// The engine's text renderer: drawing and measuring texts in a font, and the text spacing.
#pragma once

#include <cstdint>

struct vell_bitmap;
struct vell_font;

// Flags of vell_draw_text_ex.
enum {
  k_text_colour = 1,  // draw every ink pixel in the given colour
  k_text_centre = 2,  // centre the text on x
  k_text_end = 4,     // end the text at x
  k_text_fit = 8,     // fit mode: a text too long for the clip ends at its right edge, ".." marks the cut
  k_text_wrap = 16,   // wrap at the clip rectangle's right edge
};

// Draws text at (x, y) and returns the y of the last drawn line's top.
// Without k_text_colour glyph pixels are copied as they are (0 transparent);
// with it, or when the font has no glyph set of the target's depth, every
// ink pixel is drawn in colour. Newline starts a new line; byte 127 ends the
// text after its glyph.
int32_t vell_draw_text_ex(vell_bitmap *bmp, const char *text, const vell_font *font, int32_t x, int32_t y,
                          int32_t flags, uint32_t colour);
// vell_draw_text_ex without flags and with colour 0.
int32_t vell_draw_text(vell_bitmap *bmp, const char *text, const vell_font *font, int32_t x, int32_t y);
// Draws the text nine times in outline at offsets -1..+1, then once in colour
// (k_text_colour is always added).
int32_t vell_draw_text_phat(vell_bitmap *bmp, const char *text, const vell_font *font, int32_t x, int32_t y,
                            int32_t flags, uint32_t outline, uint32_t colour);
// Sum over drawable characters of (glyph width + spacing), minus one spacing;
// 0 for a text with no drawable character.
int32_t vell_get_text_width(const char *text, const vell_font *font);

// Pixels added after every glyph and between lines; default 1, never negative.
void vell_set_text_spacing(int32_t n);
int32_t vell_get_text_spacing();
