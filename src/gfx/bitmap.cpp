#include "gfx/bitmap.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

struct clip_slot {
  int32_t cl, cr, ct, cb;
};

// The engine palette starts as a grey ramp: entry i is (i, i, i).
struct engine_palette {
  uint8_t rgb[768];
  engine_palette() {
    for (int i = 0; i < 256; i++) rgb[i * 3] = rgb[i * 3 + 1] = rgb[i * 3 + 2] = static_cast<uint8_t>(i);
  }
};

// The bitmap module's record.
struct bitmap_record {
  int32_t alive = 0;                     // live bitmap count
  clip_slot saved_clip = {0, 0, 0, 0};   // the clip rectangle vell_save_clip kept
  engine_palette palette;                // the engine palette
};
bitmap_record g_bitmaps;

// Largest pixel block a bitmap may have (bytes); keeps w * h * depth / 8
// far from overflowing and refuses absurd requests instead of failing hard.
constexpr int64_t k_max_bitmap_bytes = int64_t(1) << 30;

inline int32_t sat32(int64_t v) {
  return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

inline uint32_t *row32(const vell_bitmap *b, int32_t y) { return reinterpret_cast<uint32_t *>(b->line[y]); }

inline bool inside_clip(const vell_bitmap *b, int32_t x, int32_t y) {
  return x >= b->cl && x < b->cr && y >= b->ct && y < b->cb;
}

inline uint32_t palette_colour(uint8_t index) {
  const uint8_t *p = g_bitmaps.palette.rgb + index * 3;
  return 0xff000000u | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

inline uint32_t source_pixel(const vell_bitmap *b, int32_t x, int32_t y) {
  return b->depth == 8 ? b->line[y][x] : row32(b, y)[x];
}

// Source pixel s blended over destination pixel d by s's alpha; d keeps
// its own alpha.
inline uint32_t blend(uint32_t s, uint32_t d) {
  uint32_t a = s >> 24;
  if (a == 0) return d;
  if (a == 255) return (d & 0xff000000u) | (s & 0x00ffffffu);
  uint32_t out = d & 0xff000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t sc = (s >> shift) & 255, dc = (d >> shift) & 255;
    out |= ((sc * a + dc * (255 - a)) / 255) << shift;
  }
  return out;
}

}  // namespace

void vell_set_engine_palette(const uint8_t rgb[768]) { memcpy(g_bitmaps.palette.rgb, rgb, 768); }
const uint8_t *vell_engine_palette() { return g_bitmaps.palette.rgb; }

uint8_t vell_nearest_colour(const uint8_t *palette, int32_t count, int32_t r, int32_t g, int32_t b,
                            int32_t near_enough) {
  int32_t best = 0, best_d = INT32_MAX;
  for (int32_t i = 0; i < count; i++) {
    const int32_t dr = palette[i * 3] - r, dg = palette[i * 3 + 1] - g, db = palette[i * 3 + 2] - b;
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < near_enough) return static_cast<uint8_t>(i);
    if (d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

vell_bitmap *vell_create_bitmap(int32_t w, int32_t h, int32_t depth) {
  if (w < 1 || h < 1 || (depth != 8 && depth != 32)) return nullptr;
  const int64_t pitch = int64_t(w) * (depth / 8);
  if (pitch * h > k_max_bitmap_bytes) return nullptr;
  vell_bitmap *b = new (std::nothrow) vell_bitmap;
  if (!b) return nullptr;
  b->data = new (std::nothrow) uint8_t[static_cast<size_t>(pitch * h)]();
  b->line = new (std::nothrow) uint8_t *[h];
  if (!b->data || !b->line) {
    delete[] b->data;
    delete[] b->line;
    delete b;
    return nullptr;
  }
  b->w = w;
  b->h = h;
  b->depth = depth;
  for (int32_t y = 0; y < h; y++) b->line[y] = b->data + pitch * y;
  vell_reset_clip(b);
  g_bitmaps.alive++;
  return b;
}

void vell_destroy_bitmap(vell_bitmap *b) {
  if (!b) return;
  delete[] b->data;
  delete[] b->line;
  delete b;
  g_bitmaps.alive--;
}

int32_t vell_bitmaps_alive() { return g_bitmaps.alive; }

void vell_set_clip(vell_bitmap *b, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (!b) return;
  b->cl = x0 > 0 ? x0 : 0;
  b->ct = y0 > 0 ? y0 : 0;
  b->cr = x1 < b->w ? x1 : b->w;
  b->cb = y1 < b->h ? y1 : b->h;
}

void vell_reset_clip(vell_bitmap *b) {
  if (!b) return;
  b->cl = 0;
  b->ct = 0;
  b->cr = b->w;
  b->cb = b->h;
}

void vell_save_clip(const vell_bitmap *b) {
  if (b) g_bitmaps.saved_clip = {b->cl, b->cr, b->ct, b->cb};
}

void vell_restore_clip(vell_bitmap *b) {
  if (!b) return;
  b->cl = g_bitmaps.saved_clip.cl;
  b->cr = g_bitmaps.saved_clip.cr;
  b->ct = g_bitmaps.saved_clip.ct;
  b->cb = g_bitmaps.saved_clip.cb;
}

void vell_putpixel(vell_bitmap *b, int32_t x, int32_t y, uint32_t v) {
  if (!b || !inside_clip(b, x, y)) return;
  if (b->depth == 8) b->line[y][x] = static_cast<uint8_t>(v);
  else row32(b, y)[x] = v;
}

uint32_t vell_getpixel(const vell_bitmap *b, int32_t x, int32_t y) {
  if (!b || !inside_clip(b, x, y)) return 0;
  return source_pixel(b, x, y);
}

void vell_rectfill(vell_bitmap *b, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t v) {
  if (!b) return;
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  if (x0 < b->cl) x0 = b->cl;
  if (y0 < b->ct) y0 = b->ct;
  if (x1 > b->cr - 1) x1 = b->cr - 1;
  if (y1 > b->cb - 1) y1 = b->cb - 1;
  if (x0 > x1 || y0 > y1) return;
  for (int32_t y = y0; y <= y1; y++) {
    if (b->depth == 8) {
      memset(b->line[y] + x0, static_cast<uint8_t>(v), static_cast<size_t>(x1 - x0 + 1));
    } else {
      uint32_t *r = row32(b, y);
      for (int32_t x = x0; x <= x1; x++) r[x] = v;
    }
  }
}

int vell_clip(const vell_bitmap *src, const vell_bitmap *dst, int32_t &sx, int32_t &sy, int32_t &dx,
              int32_t &dy, int32_t &w, int32_t &h) {
  if (!src || !dst || sx >= src->w || sy >= src->h || dx >= dst->cr || dy >= dst->cb) {
    h = 0;
    return 0;
  }
  // Callers may pass any position and size: the sums are formed in 64 bits
  // and saturated, so nothing wraps around into a valid-looking rectangle.
  if (sx < 0) {
    w = sat32(int64_t(w) + sx);
    dx = sat32(int64_t(dx) - sx);
    sx = 0;
  }
  if (sy < 0) {
    h = sat32(int64_t(h) + sy);
    dy = sat32(int64_t(dy) - sy);
    sy = 0;
  }
  if (int64_t(sx) + w > src->w) w = src->w - sx;
  if (int64_t(sy) + h > src->h) h = src->h - sy;
  if (dx < dst->cl) {
    const int64_t d = int64_t(dx) - dst->cl;
    w = sat32(w + d);
    sx = sat32(sx - d);
    dx = dst->cl;
  }
  if (dy < dst->ct) {
    const int64_t d = int64_t(dy) - dst->ct;
    h = sat32(h + d);
    sy = sat32(sy - d);
    dy = dst->ct;
  }
  if (int64_t(dx) + w > dst->cr) w = dst->cr - dx;
  if (int64_t(dy) + h > dst->cb) h = dst->cb - dy;
  return (w >= 1 && h >= 1) ? 1 : 0;
}

void vell_blit(const vell_bitmap *src, vell_bitmap *dst, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
               int32_t w, int32_t h) {
  if (!src || !dst || dst->depth < src->depth) return;
  if (!vell_clip(src, dst, sx, sy, dx, dy, w, h)) return;
  // Within one bitmap a copy downwards must go bottom row first, or rows
  // already written would be read again.
  const bool upward = src == dst && dy > sy;
  for (int32_t i = 0; i < h; i++) {
    const int32_t y = upward ? h - 1 - i : i;
    if (src->depth == dst->depth) {
      size_t bpp = static_cast<size_t>(src->depth / 8);
      memmove(dst->line[dy + y] + dx * bpp, src->line[sy + y] + sx * bpp, w * bpp);
    } else {
      const uint8_t *s = src->line[sy + y] + sx;
      uint32_t *d = row32(dst, dy + y) + dx;
      for (int32_t x = 0; x < w; x++) d[x] = palette_colour(s[x]);
    }
  }
}

void vell_draw_sprite(const vell_bitmap *src, vell_bitmap *dst, int32_t sx, int32_t sy, int32_t dx,
                      int32_t dy, int32_t w, int32_t h) {
  if (!src || !dst || src->depth != dst->depth) return;
  if (!vell_clip(src, dst, sx, sy, dx, dy, w, h)) return;
  for (int32_t y = 0; y < h; y++) {
    if (src->depth == 8) {
      const uint8_t *s = src->line[sy + y] + sx;
      uint8_t *d = dst->line[dy + y] + dx;
      for (int32_t x = 0; x < w; x++)
        if (s[x]) d[x] = s[x];
    } else {
      const uint32_t *s = row32(src, sy + y) + sx;
      uint32_t *d = row32(dst, dy + y) + dx;
      for (int32_t x = 0; x < w; x++) d[x] = blend(s[x], d[x]);
    }
  }
}

void vell_draw_sprite_col(const vell_bitmap *src, vell_bitmap *dst, int32_t sx, int32_t sy, int32_t dx,
                          int32_t dy, int32_t w, int32_t h, uint32_t colour, int32_t flags) {
  if (!src || !dst) return;
  const bool mirror = flags & 1;
  if (mirror) {
    // Mirrored, destination column dx + i shows source column sx + w - 1 - i,
    // so source columns cut away on the left leave a gap on the right of the
    // destination. Cut the source to the bitmap first; after that the
    // clipper only trims destination columns.
    const int64_t a = sx > 0 ? sx : 0;
    const int64_t b = int64_t(sx) + w < src->w ? int64_t(sx) + w : src->w;
    if (b <= a) return;
    const int64_t ndx = int64_t(dx) + (int64_t(sx) + w - b);
    if (ndx < INT32_MIN || ndx > INT32_MAX) return;
    dx = static_cast<int32_t>(ndx);
    sx = static_cast<int32_t>(a);
    w = static_cast<int32_t>(b - a);
  }
  const int32_t sx0 = sx, w0 = w;
  if (!vell_clip(src, dst, sx, sy, dx, dy, w, h)) return;
  // Columns trimmed on the destination's left come off the source's right:
  // the source span starts after the columns trimmed on the right instead.
  if (mirror) sx = sx0 + (w0 - w) - (sx - sx0);
  for (int32_t y = 0; y < h; y++) {
    for (int32_t x = 0; x < w; x++) {
      int32_t ix = mirror ? sx + (w - 1 - x) : sx + x;
      if (!source_pixel(src, ix, sy + y)) continue;
      if (dst->depth == 8) dst->line[dy + y][dx + x] = static_cast<uint8_t>(colour);
      else row32(dst, dy + y)[dx + x] = colour;
    }
  }
}
