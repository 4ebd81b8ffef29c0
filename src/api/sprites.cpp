// Sprites and sprite flags in the script API: spr, sspr, sget, sset, fget,
// fset.
//
// A sprite is drawn as if in two passes: the source rectangle is copied into
// a zeroed temporary picture of the source size (flipped, every pixel
// replaced by its draw palette entry), and that picture is drawn to the
// screen, writing only entries below 16. The temporary picture is never
// made: source_view reads its pixels straight from the sheet.
#include <algorithm>

#include "api/api.h"
#include "api/q7.h"
#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"

namespace {

constexpr int32_t k_sheet = 128;      // sprite sheet width and height
constexpr int32_t k_max_size = 128;   // largest sprite size in pixels

// The temporary picture of the copy pass, w x h: its part at ox, oy of size
// cw x ch comes from the sheet at sx, sy (the source rectangle clipped to
// the sheet); the rest is 0.
struct source_view {
  const vell_bitmap *sheet;  // the live cartridge's sprite sheet
  int32_t w, h;              // size of the temporary picture
  int32_t sx, sy;            // sheet position of the covered part
  int32_t ox, oy;            // where the covered part begins in the picture
  int32_t cw, ch;            // size of the covered part (0 when none)
  bool flip_x, flip_y;       // mirror within the covered part

  // Palette entry of picture pixel (i, j), 0 <= i < w, 0 <= j < h.
  int32_t at(int32_t i, int32_t j) const {
    i -= ox;
    j -= oy;
    if (i < 0 || i >= cw || j < 0 || j >= ch) return 0;
    const int32_t x = sx + (flip_x ? cw - 1 - i : i);
    const int32_t y = sy + (flip_y ? ch - 1 - j : j);
    return pstate.draw_pal[sheet->line[y][x] & 15];
  }
};

// Clips one axis of the source rectangle start..start+len to 0..k_sheet:
// sets the covered position, its offset in the picture and its length.
void clip_axis(int64_t start, int64_t len, int32_t &pos, int32_t &off, int32_t &covered) {
  const int64_t lo = std::max<int64_t>(start, 0), hi = std::min<int64_t>(start + len, k_sheet);
  if (hi <= lo) {
    pos = off = covered = 0;
    return;
  }
  pos = static_cast<int32_t>(lo);
  off = static_cast<int32_t>(lo - start);
  covered = static_cast<int32_t>(hi - lo);
}

source_view make_view(int32_t sx, int32_t sy, int32_t w, int32_t h, bool flip_x, bool flip_y) {
  source_view v{};
  v.sheet = pstate.cart->gfx;
  v.w = w;
  v.h = h;
  v.flip_x = flip_x;
  v.flip_y = flip_y;
  clip_axis(sx, w, v.sx, v.ox, v.cw);
  clip_axis(sy, h, v.sy, v.oy, v.ch);
  if (v.cw == 0 || v.ch == 0) v.cw = v.ch = 0;
  return v;
}

// Clips the destination span start..start+len (screen) to lo..hi: returns
// the first visible screen position and how far into the span it lies.
int32_t clip_dest(int64_t start, int64_t len, int32_t lo, int32_t hi, int32_t &first, int32_t &skipped) {
  const int64_t a = std::max<int64_t>(start, lo), b = std::min<int64_t>(start + len, hi);
  first = static_cast<int32_t>(a);
  skipped = static_cast<int32_t>(a - start);
  return b > a ? static_cast<int32_t>(b - a) : 0;
}

// Draws the picture 1:1 at screen position (dx, dy). Returns the number of
// screen pixels covered after clipping.
int32_t draw_plain(const source_view &v, int32_t dx, int32_t dy) {
  vell_bitmap *s = pstate.screen;
  int32_t x0, y0, skip_x, skip_y;
  const int32_t cols = clip_dest(dx, v.w, s->cl, s->cr, x0, skip_x);
  const int32_t rows = clip_dest(dy, v.h, s->ct, s->cb, y0, skip_y);
  if (cols == 0 || rows == 0) return 0;
  for (int32_t j = 0; j < rows; j++) {
    uint8_t *out = s->line[y0 + j] + x0;
    for (int32_t i = 0; i < cols; i++) {
      const int32_t c = v.at(skip_x + i, skip_y + j);
      if (c < 16) out[i] = static_cast<uint8_t>(c);
    }
  }
  return cols * rows;
}

// Draws the picture stretched to dw x dh at screen position (dx, dy), each
// screen pixel sampling the picture at its centre. Returns the number of
// screen pixels covered after clipping.
int32_t draw_stretched(const source_view &v, int32_t dx, int32_t dy, int32_t dw, int32_t dh) {
  if (dw == v.w && dh == v.h) return draw_plain(v, dx, dy);
  vell_bitmap *s = pstate.screen;
  const int64_t xstep = int64_t(v.w) * 65536 / dw, ystep = int64_t(v.h) * 65536 / dh;
  int64_t ax = xstep / 2, ay = ystep / 2;
  int64_t x = dx, y = dy, w = dw, h = dh;
  if (y < s->ct) {
    ay += (s->ct - y) * ystep;
    h -= s->ct - y;
    y = s->ct;
  }
  if (x < s->cl) {
    ax += (s->cl - x) * xstep;
    w -= s->cl - x;
    x = s->cl;
  }
  const int64_t cols = std::min<int64_t>(w, s->cr - x), rows = std::min<int64_t>(h, s->cb - y);
  if (cols <= 0 || rows <= 0) return 0;
  for (int64_t j = 0; j < rows; j++, ay += ystep) {
    uint8_t *out = s->line[y + j] + x;
    const int32_t sj = static_cast<int32_t>(ay >> 16);
    int64_t a = ax;
    for (int64_t i = 0; i < cols; i++, a += xstep) {
      const int32_t c = v.at(static_cast<int32_t>(a >> 16), sj);
      if (c < 16) out[i] = static_cast<uint8_t>(c);
    }
  }
  return static_cast<int32_t>(cols * rows);
}

inline bool on_sheet(int32_t x, int32_t y) { return x >= 0 && x < k_sheet && y >= 0 && y < k_sheet; }

}  // namespace

int q7_spr(lua_State *L) {
  const int n = api_nargs(L);
  const int32_t sprite = api_int(L, 1);
  if (sprite < 0 || sprite > 255) return 0;
  int32_t w = 8, h = 8;
  if (n >= 4) {
    // Sizes count in sprites and may be fractional; formed in 64 bits so
    // that a huge size is capped rather than wrapped.
    w = static_cast<int32_t>(std::min<int64_t>((int64_t(api_num(L, 4)) * 8) >> 16, k_max_size));
    h = static_cast<int32_t>(std::min<int64_t>((int64_t(api_num(L, 5)) * 8) >> 16, k_max_size));
    if (w < 1 || h < 1) return 0;
  }
  const bool flip_x = n >= 6 && api_flag(L, 6), flip_y = n >= 7 && api_flag(L, 7);
  const source_view v = make_view((sprite % 16) * 8, (sprite / 16) * 8, w, h, flip_x, flip_y);
  spend_cpu(draw_plain(v, api_int(L, 2) - pstate.camera_x, api_int(L, 3) - pstate.camera_y));
  return 0;
}

int q7_sspr(lua_State *L) {
  const int n = api_nargs(L);
  const int32_t sw = api_int(L, 3), sh = api_int(L, 4);
  int32_t dx = api_int(L, 5), dy = api_int(L, 6);
  int32_t dw = n >= 7 ? api_int(L, 7) : sw, dh = n >= 7 ? api_int(L, 8) : sh;
  bool flip_x = n >= 9 && api_flag(L, 9), flip_y = n >= 10 && api_flag(L, 10);
  if (sw < 1 || sw > k_max_size || sh < 1 || sh > k_max_size || dw == 0 || dh == 0) return 0;
  // A negative size mirrors the picture about the given corner.
  if (dw < 0) {
    dx += dw;
    dw = -dw;
    flip_x = !flip_x;
  }
  if (dh < 0) {
    dy += dh;
    dh = -dh;
    flip_y = !flip_y;
  }
  const source_view v = make_view(api_int(L, 1), api_int(L, 2), sw, sh, flip_x, flip_y);
  spend_cpu(draw_stretched(v, dx - pstate.camera_x, dy - pstate.camera_y, dw, dh));
  return 0;
}

int q7_sget(lua_State *L) {
  const int32_t x = api_int(L, 1), y = api_int(L, 2);
  return api_push_int(L, on_sheet(x, y) ? pstate.cart->gfx->line[y][x] & 15 : 0);
}

int q7_sset(lua_State *L) {
  const int32_t x = api_int(L, 1), y = api_int(L, 2), c = api_int(L, 3) & 15;
  if (!on_sheet(x, y)) return 0;
  // Through the memory write path, so that the map rows sharing the lower
  // half of the sheet see the change.
  const int32_t addr = k_addr_gfx + y * 64 + x / 2;
  const int32_t old = orrery_peek(&pstate, pstate.cart, addr);
  orrery_poke(&pstate, pstate.cart, addr, (x & 1) ? (old & 0x0f) | (c << 4) : (old & 0xf0) | c);
  return 0;
}

int q7_fget(lua_State *L) {
  const int n = api_nargs(L);
  if (n == 0) return 0;
  const int32_t sprite = api_int(L, 1);
  const int32_t flags = sprite >= 0 && sprite <= 255 ? pstate.cart->flags[sprite] & 255 : 0;
  if (n == 1) return api_push_int(L, flags);
  const int32_t f = api_int(L, 2);
  return api_push_bool(L, f >= 0 && f <= 7 && ((flags >> f) & 1));
}

int q7_fset(lua_State *L) {
  const int n = api_nargs(L);
  const int32_t sprite = api_int(L, 1);
  if (n < 2 || sprite < 0 || sprite > 255) return 0;
  int32_t flags = pstate.cart->flags[sprite] & 255;
  if (n == 2) {
    flags = api_int(L, 2) & 255;
  } else {
    const int32_t f = api_int(L, 2);
    if (f < 0 || f > 7) return 0;
    flags = api_flag(L, 3) ? flags | (1 << f) : flags & ~(1 << f);
  }
  orrery_poke(&pstate, pstate.cart, k_addr_flags + sprite, flags);
  return 0;
}
