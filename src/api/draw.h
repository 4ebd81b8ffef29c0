// Drawing on the console's screen with the draw state: the drawing colour,
// the fill pattern, the clip rectangle and the primitive routines (pixels,
// lines, spans, circles, the tinted rectangle) behind the script API.
#pragma once

#include <cstdint>

struct vell_bitmap;

// Fill pattern word in the draw state: bits 0-15 the pattern, this bit the
// transparency flag (pattern bits that are set leave pixels unchanged).
constexpr int32_t k_fill_transparent = 0x10000;

// Colour byte k as the primitives draw it: both nibbles mapped through the
// draw palette with the transparency bits dropped; primary in bits 0-3,
// secondary in bits 4-7.
int32_t draw_colour(int32_t k);

// Sets the clip rectangle x0 <= x < x1, y0 <= y < y1 of the draw state and
// of the screen bitmap; each value is clamped to 0-128 first.
void set_draw_clip(int32_t x0, int32_t y0, int32_t x1, int32_t y1);

// The pattern-aware routines take screen coordinates (camera already
// applied) and stay inside bmp's clip rectangle. colour is a drawing colour
// as draw_colour makes it; pattern is a fill pattern word.

// One pixel: the pattern bit of (x, y) picks secondary or primary colour,
// or leaves the pixel alone when it is set and the pattern is transparent.
void putpixel(vell_bitmap *bmp, int32_t x, int32_t y, int32_t colour, int32_t pattern);
// The inclusive span x0..x1 (either order) of row y.
void draw_hline(vell_bitmap *bmp, int32_t x0, int32_t x1, int32_t y, int32_t colour, int32_t pattern);
// The line from (x0, y0) to (x1, y1), both ends included. Returns the
// number of steps taken (points visited minus one, at least 0): runs of
// points outside the clip at either end are skipped without being visited.
int32_t draw_line(vell_bitmap *bmp, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t colour, int32_t pattern);
// Circle outline and filled disc of radius r >= 0; radius 0 is the centre
// pixel.
void draw_circle(vell_bitmap *bmp, int32_t cx, int32_t cy, int32_t r, int32_t colour, int32_t pattern);
void draw_fillcircle(vell_bitmap *bmp, int32_t cx, int32_t cy, int32_t r, int32_t colour, int32_t pattern);

// Replaces every pixel p of the inclusive rectangle by a darker colour.
// Mode 1 picks, from the rectangle's own brightness, a threshold that
// leaves about a third of it lit (colour 1 above, 0 below); any other mode
// darkens by a fixed table.
// The clip rectangle does not apply (callers pass on-screen rectangles);
// parts off the bitmap are left out.
void draw_tinted_rect_adaptive(vell_bitmap *bmp, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t mode);
