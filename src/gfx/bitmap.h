// Engine bitmaps: 8- or 32-bit pixel arrays with a clip rectangle, and the
// engine's plain and transparent copies between them.
#pragma once

#include <cstdint>

struct vell_bitmap {
  int32_t w;          // pixels per row, at least 1
  int32_t h;          // rows, at least 1
  int32_t depth;      // bits per pixel: 8 (colour index) or 32 (0xAARRGGBB)
  uint8_t *data;      // w * h * depth / 8 bytes, rows one after another
  uint8_t **line;     // h row-start pointers into data
  int32_t cl, cr;     // clip columns: cl <= x < cr may be written
  int32_t ct, cb;     // clip rows: ct <= y < cb may be written
};

// A new bitmap with all pixels 0 and the whole bitmap as clip rectangle, or
// null when w < 1 or h < 1.
vell_bitmap *vell_create_bitmap(int32_t w, int32_t h, int32_t depth);
void vell_destroy_bitmap(vell_bitmap *b);
// Number of bitmaps created and not yet destroyed.
int32_t vell_bitmaps_alive();

void vell_set_clip(vell_bitmap *b, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
void vell_reset_clip(vell_bitmap *b);
// One engine-wide slot holding a clip rectangle.
void vell_save_clip(const vell_bitmap *b);
void vell_restore_clip(vell_bitmap *b);

void vell_putpixel(vell_bitmap *b, int32_t x, int32_t y, uint32_t v);
uint32_t vell_getpixel(const vell_bitmap *b, int32_t x, int32_t y);
// Fills the inclusive rectangle (corners in any order) within the clip.
void vell_rectfill(vell_bitmap *b, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t v);

// The copy clipper: adjusts the source and destination positions and the
// size in place. Returns 1 when something is left to copy, 0 otherwise.
int vell_clip(const vell_bitmap *src, const vell_bitmap *dst, int32_t &sx, int32_t &sy, int32_t &dx,
              int32_t &dy, int32_t &w, int32_t &h);

// Copies a rectangle. 8-bit to 32-bit goes through the engine palette.
void vell_blit(const vell_bitmap *src, vell_bitmap *dst, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
               int32_t w, int32_t h);
// Transparent copy: 8-bit skips source 0; 32-bit blends by source alpha and
// keeps the destination's alpha.
void vell_draw_sprite(const vell_bitmap *src, vell_bitmap *dst, int32_t sx, int32_t sy, int32_t dx,
                      int32_t dy, int32_t w, int32_t h);
// Writes colour wherever the source pixel is not 0; flag bit 0 mirrors the
// source horizontally.
void vell_draw_sprite_col(const vell_bitmap *src, vell_bitmap *dst, int32_t sx, int32_t sy, int32_t dx,
                          int32_t dy, int32_t w, int32_t h, uint32_t colour, int32_t flags);

// The engine palette: 256 entries of red, green, blue, used when 8-bit
// pixels become 32-bit ones.
void vell_set_engine_palette(const uint8_t rgb[768]);
const uint8_t *vell_engine_palette();
// The index among the first count entries of an RGB palette (3 bytes an
// entry) for a colour: the first entry whose squared distance is below
// near_enough, else the nearest one (the first of equals). near_enough 0
// always looks for the nearest.
uint8_t vell_nearest_colour(const uint8_t *palette, int32_t count, int32_t r, int32_t g, int32_t b,
                            int32_t near_enough);
