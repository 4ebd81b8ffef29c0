// The primitive drawing routines on the screen bitmap and their script
// functions: pset, pget, line, rect, rectfill, circ, circfill.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "api/api.h"
#include "api/draw.h"
#include "api/q7.h"
#include "gfx/bitmap.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"

namespace {

// Pattern bit of screen pixel (x, y): bit 15 is the top-left pixel of every
// 4x4 cell, bit 0 the bottom-right.
inline int32_t pattern_bit(int32_t pattern, int32_t x, int32_t y) {
  return (pattern >> (15 - 4 * (y & 3) - (x & 3))) & 1;
}

inline bool inside_clip(const vell_bitmap *b, int32_t x, int32_t y) {
  return x >= b->cl && x < b->cr && y >= b->ct && y < b->cb;
}

// Screen position of a world coordinate.
inline int32_t screen_x(int32_t x) { return x - pstate.camera_x; }
inline int32_t screen_y(int32_t y) { return y - pstate.camera_y; }

// Steps from a 16.16 start position to the first one that could lie on or
// beyond a 16.16 edge position, moving by step (same sign as the distance),
// minus one as a safety margin: every point skipped lies outside the edge.
int64_t steps_to_reach(int64_t from, int64_t edge, int64_t step) {
  const int64_t dist = edge - from;
  if (step == 0 || (dist > 0) != (step > 0) || dist == 0) return 0;
  const int64_t k = ((dist * 65536) / step) >> 16;
  return k > 0 ? k - 1 : 0;
}

// Clip-rectangle bounds (inclusive) of the span lo..hi, false when it
// misses the range left..right-1.
inline bool clamp_span(int32_t &lo, int32_t &hi, int32_t left, int32_t right) {
  lo = std::max(lo, left);
  hi = std::min(hi, right - 1);
  return lo <= hi;
}

// The x that the circle walk of radius r holds at height y, as long as it
// holds x >= y + 2: the largest x with x^2 - x + y^2 < r^2 (-1 when none).
int64_t circle_x(int64_t r, int64_t y) {
  const int64_t room = r * r - y * y;
  if (room <= 0) return -1;
  int64_t x = static_cast<int64_t>((1 + std::sqrt(double(1 + 4 * room))) / 2);
  while (x > 0 && x * x - x >= room) x--;
  while ((x + 1) * (x + 1) - (x + 1) < room) x++;
  return x;
}

// Writes one on-clip pixel with the pattern rule (see putpixel).
inline void store(vell_bitmap *bmp, int32_t x, int32_t y, int32_t colour, int32_t pattern) {
  if (pattern == 0) {
    bmp->line[y][x] = static_cast<uint8_t>(colour & 15);
    return;
  }
  const int32_t b = pattern_bit(pattern, x, y);
  if (b && (pattern & k_fill_transparent)) return;
  bmp->line[y][x] = static_cast<uint8_t>(b ? (colour >> 4) & 15 : colour & 15);
}

// Plots one pixel with the pattern rule (see putpixel).
inline void plot(vell_bitmap *bmp, int32_t x, int32_t y, int32_t colour, int32_t pattern) {
  if (inside_clip(bmp, x, y)) store(bmp, x, y, colour, pattern);
}

// Sets n >= 1 bytes from p to v; short spans (most of a small disc's rows)
// without a library call.
inline void fill_span(uint8_t *p, uint8_t v, int32_t n) {
  if (n >= 8) {
    memset(p, v, size_t(n));
  } else if (n >= 4) {
    const uint32_t word = v * 0x01010101u;
    memcpy(p, &word, 4);  // the two stores overlap for n < 8
    memcpy(p + n - 4, &word, 4);
  } else {
    p[0] = v;
    p[n - 1] = v;
    p[n / 2] = v;
  }
}

}  // namespace

void putpixel(vell_bitmap *bmp, int32_t x, int32_t y, int32_t colour, int32_t pattern) {
  plot(bmp, x, y, colour, pattern);
}

void draw_hline(vell_bitmap *bmp, int32_t x0, int32_t x1, int32_t y, int32_t colour, int32_t pattern) {
  if (y < bmp->ct || y >= bmp->cb) return;
  if (x0 > x1) std::swap(x0, x1);
  if (!clamp_span(x0, x1, bmp->cl, bmp->cr)) return;
  uint8_t *row = bmp->line[y];
  const int32_t nibble = (pattern >> (12 - 4 * (y & 3))) & 15;
  if (nibble == 0) {
    fill_span(row + x0, static_cast<uint8_t>(colour & 15), x1 - x0 + 1);
    return;
  }
  // Colour of each column x & 3 of this row; -1 leaves the pixel alone.
  int32_t table[4];
  for (int32_t i = 0; i < 4; i++) {
    const bool set = (nibble >> (3 - i)) & 1;
    table[i] = !set ? colour & 15 : (pattern & k_fill_transparent) ? -1 : (colour >> 4) & 15;
  }
  int32_t x = x0;
  if (!(pattern & k_fill_transparent)) {
    // Every pixel is written: whole groups of four at once.
    for (; x <= x1 && (x & 3); x++) row[x] = static_cast<uint8_t>(table[x & 3]);
    const uint8_t group[4] = {uint8_t(table[0]), uint8_t(table[1]), uint8_t(table[2]), uint8_t(table[3])};
    for (; x + 3 <= x1; x += 4) memcpy(row + x, group, 4);
  }
  for (; x <= x1; x++)
    if (table[x & 3] >= 0) row[x] = static_cast<uint8_t>(table[x & 3]);
}

int32_t draw_line(vell_bitmap *bmp, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t colour, int32_t pattern) {
  if (y1 < y0) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
  int64_t n = std::max(dx < 0 ? -dx : dx, dy);
  if (n == 0) n = 1;
  const int32_t l = bmp->cl, r = bmp->cr, t = bmp->ct, b = bmp->cb;
  if ((y0 < t && y1 < t) || (y0 >= b && y1 >= b) || (x0 < l && x1 < l) || (x0 >= r && x1 >= r)) return 0;

  const int64_t xstep = dx * 65536 / n, ystep = dy * 65536 / n;
  const int64_t xs = int64_t(x0) * 65536 + 32768, ys = int64_t(y0) * 65536 + 32768;
  const int64_t xe = xs + n * xstep, ye = ys + n * ystep;

  // Points before the clip's top, left or right edge are skipped at the
  // start; points past the bottom, left or right edge at the end. Point i
  // lies in pixel row (ys + i * ystep) >> 16, so the edges are the 16.16
  // positions where a pixel row or column begins or the one before it ends.
  int64_t first = 0, cut = 0;
  if (y0 < t) first = std::max(first, steps_to_reach(ys, int64_t(t) * 65536, ystep));
  if (x0 < l) first = std::max(first, steps_to_reach(xs, int64_t(l) * 65536, xstep));
  if (x0 >= r) first = std::max(first, steps_to_reach(xs, int64_t(r) * 65536 - 1, xstep));
  if (y1 >= b) cut = std::max(cut, steps_to_reach(ye, int64_t(b) * 65536 - 1, -ystep));
  if (x1 < l) cut = std::max(cut, steps_to_reach(xe, int64_t(l) * 65536, -xstep));
  if (x1 >= r) cut = std::max(cut, steps_to_reach(xe, int64_t(r) * 65536 - 1, -xstep));
  const int64_t last = n - cut;

  int64_t x = xs + first * xstep, y = ys + first * ystep;
  for (int64_t i = first; i <= last; i++) {
    plot(bmp, static_cast<int32_t>(x >> 16), static_cast<int32_t>(y >> 16), colour, pattern);
    x += xstep;
    y += ystep;
  }
  return static_cast<int32_t>(std::max<int64_t>(last - first, 0));
}

void draw_circle(vell_bitmap *bmp, int32_t cx, int32_t cy, int32_t r, int32_t colour, int32_t pattern) {
  // The walk over y = 0 ... r/sqrt(2) plots (cx +- x, cy +- y) and
  // (cx +- y, cy +- x). A point can be on the clip only while cy +- y is a
  // clip row or cx +- y a clip column; between those ranges of y the walk
  // jumps ahead, so that a huge circle costs no more than a small one.
  const int64_t ranges[4][2] = {{int64_t(bmp->ct) - cy, int64_t(bmp->cb) - 1 - cy},
                                {int64_t(cy) - bmp->cb + 1, int64_t(cy) - bmp->ct},
                                {int64_t(bmp->cl) - cx, int64_t(bmp->cr) - 1 - cx},
                                {int64_t(cx) - bmp->cr + 1, int64_t(cx) - bmp->cl}};
  int64_t x = r, y = 0, d = 1 - int64_t(r);
  while (x >= y) {
    // Which pairs can be on the clip at this y, and the first y after it
    // where that changes; while no range holds y, next is the first range
    // ahead.
    bool in[4];
    bool any = false;
    int64_t next = INT64_MAX, change = INT64_MAX;
    for (int k = 0; k < 4; k++) {
      in[k] = y >= ranges[k][0] && y <= ranges[k][1];
      any = any || in[k];
      if (in[k]) change = std::min(change, ranges[k][1] + 1);
      else if (ranges[k][0] > y) change = std::min(change, ranges[k][0]);
      if (!in[k] && ranges[k][0] > y) next = std::min(next, ranges[k][0]);
    }
    if (!any && next == INT64_MAX) return;
    if (!any && next > y + 2) {
      // While x >= y + 2 the walk's state follows from y alone (circle_x),
      // so it can move straight to two steps before the next range, or, when
      // the octant ends before that, to the last such state of the octant.
      int64_t to = next - 2;
      if (circle_x(r, to) < to + 2) {
        int64_t lo = y, hi = to;  // circle_x(lo) may be unknown; hi fails
        // The octant ends near r / sqrt(2): two checked guesses narrow the
        // search to a few steps (they only move a bound that they satisfy).
        const int64_t near_lo = static_cast<int64_t>(r * 0.7070) - 2, near_hi = static_cast<int64_t>(r * 0.7072) + 3;
        if (near_lo > lo && near_lo < hi && circle_x(r, near_lo) >= near_lo + 2) lo = near_lo;
        if (near_hi > lo && near_hi < hi && circle_x(r, near_hi) < near_hi + 2) hi = near_hi;
        while (hi - lo > 1) {
          const int64_t mid = lo + (hi - lo) / 2;
          if (circle_x(r, mid) >= mid + 2) lo = mid;
          else hi = mid;
        }
        to = lo;
      }
      if (to > y) {
        x = circle_x(r, to);
        y = to;
        d = x * x - x + (y + 1) * (y + 1) - int64_t(r) * r;
        continue;
      }
      // No jump is possible: the octant ends within two steps of here, and
      // the steps below walk there, plotting nothing.
    }
    // The walk up to the next change. Only the pairs whose row or column is
    // on the clip are plotted: the other points would be clipped away.
    while (x >= y && y < change) {
      const int32_t px = static_cast<int32_t>(x), py = static_cast<int32_t>(y);
      if (in[0] || in[1]) {  // rows cy + y, cy - y: the columns cx +- x decide
        const bool right = cx + px >= bmp->cl && cx + px < bmp->cr;
        const bool left = cx - px >= bmp->cl && cx - px < bmp->cr;
        if (in[0] && right) store(bmp, cx + px, cy + py, colour, pattern);
        if (in[0] && left) store(bmp, cx - px, cy + py, colour, pattern);
        if (in[1] && right) store(bmp, cx + px, cy - py, colour, pattern);
        if (in[1] && left) store(bmp, cx - px, cy - py, colour, pattern);
      }
      if (in[2] || in[3]) {  // columns cx + y, cx - y: the rows cy +- x decide
        const bool below = cy + px >= bmp->ct && cy + px < bmp->cb;
        const bool above = cy - px >= bmp->ct && cy - px < bmp->cb;
        if (in[2] && below) store(bmp, cx + py, cy + px, colour, pattern);
        if (in[2] && above) store(bmp, cx + py, cy - px, colour, pattern);
        if (in[3] && below) store(bmp, cx - py, cy + px, colour, pattern);
        if (in[3] && above) store(bmp, cx - py, cy - px, colour, pattern);
      }
      y++;
      if (d < 0) {
        d += 2 * y + 1;
      } else {
        x--;
        d += 2 * (y - x) + 1;
      }
    }
  }
}

void draw_fillcircle(vell_bitmap *bmp, int32_t cx, int32_t cy, int32_t r, int32_t colour, int32_t pattern) {
  int32_t a = 0, b = r, d = 1 - r;
  while (a <= b) {
    draw_hline(bmp, cx - b, cx + b, cy + a, colour, pattern);
    draw_hline(bmp, cx - b, cx + b, cy - a, colour, pattern);
    if (d >= 0) {
      draw_hline(bmp, cx - a, cx + a, cy + b, colour, pattern);
      draw_hline(bmp, cx - a, cx + a, cy - b, colour, pattern);
      a++;
      b--;
      d += 2 * (a - b) + 1;
    } else {
      a++;
      d += 2 * a + 1;
    }
  }
}

void draw_tinted_rect_adaptive(vell_bitmap *bmp, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t mode) {
  // Colour c becomes dark[c] in the fixed darkening.
  static constexpr uint8_t dark[16] = {0, 0, 1, 1, 0, 0, 1, 5, 1, 5, 5, 5, 1, 1, 1, 5};
  // Brightness class of colours 0-15, 0 darkest.
  static constexpr uint8_t col_to_b[16] = {0, 1, 3, 5, 4, 2, 11, 15, 7, 12, 13, 9, 8, 6, 10, 14};
  if (!bmp) return;
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  // Callers pass on-screen rectangles; anything else is kept on the bitmap.
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, bmp->w - 1);
  y1 = std::min(y1, bmp->h - 1);
  if (x0 > x1 || y0 > y1) return;

  uint8_t table[16];
  memcpy(table, dark, sizeof table);
  if (mode == 1) {
    int32_t per_class[16] = {};
    for (int32_t y = y0; y <= y1; y++)
      for (int32_t x = x0; x <= x1; x++) per_class[col_to_b[bmp->line[y][x] & 15]]++;
    const int32_t target = 2 * (x1 - x0 + 1) * (y1 - y0 + 1) / 3;
    int32_t best_k = 2, best_dist = -1, below = per_class[0];
    for (int32_t k = 2; k <= 15; k++) {
      below += per_class[k - 1];
      const int32_t dist = below > target ? below - target : target - below;
      if (best_dist < 0 || dist < best_dist) {
        best_dist = dist;
        best_k = k;
      }
    }
    for (int32_t c = 0; c < 16; c++) table[c] = col_to_b[c] >= best_k ? 1 : 0;
  }
  for (int32_t y = y0; y <= y1; y++)
    for (int32_t x = x0; x <= x1; x++) bmp->line[y][x] = table[bmp->line[y][x] & 15];
}

int q7_pset(lua_State *L) {
  if (api_nargs(L) < 2) return 0;
  api_take_colour(L, 3);
  plot(pstate.screen, screen_x(api_int(L, 1)), screen_y(api_int(L, 2)), draw_colour(pstate.pen),
       pstate.fill_pattern);
  return 0;
}

int q7_pget(lua_State *L) {
  if (api_nargs(L) < 2) return api_push_int(L, 0);
  const int32_t x = screen_x(api_int(L, 1)), y = screen_y(api_int(L, 2));
  return api_push_int(L, inside_clip(pstate.screen, x, y) ? pstate.screen->line[y][x] & 15 : 0);
}

int q7_line(lua_State *L) {
  api_take_colour(L, 5);
  const int32_t steps = draw_line(pstate.screen, screen_x(api_int(L, 1)), screen_y(api_int(L, 2)),
                                  screen_x(api_int(L, 3)), screen_y(api_int(L, 4)), draw_colour(pstate.pen),
                                  pstate.fill_pattern);
  spend_cpu(steps / 2 + 1);
  return 0;
}

int q7_rect(lua_State *L) {
  api_take_colour(L, 5);
  const int32_t x0 = screen_x(api_int(L, 1)), y0 = screen_y(api_int(L, 2));
  const int32_t x1 = screen_x(api_int(L, 3)), y1 = screen_y(api_int(L, 4));
  vell_bitmap *s = pstate.screen;
  const int32_t colour = draw_colour(pstate.pen), pattern = pstate.fill_pattern;
  draw_line(s, x0, y0, x1, y0, colour, pattern);
  draw_line(s, x0, y1, x1, y1, colour, pattern);
  draw_line(s, x0, y0, x0, y1, colour, pattern);
  draw_line(s, x1, y0, x1, y1, colour, pattern);

  // The charge follows the edges that lie in the clip rectangle.
  const int32_t left = std::min(x0, x1), right = std::max(x0, x1);
  const int32_t top = std::min(y0, y1), bottom = std::max(y0, y1);
  int32_t xl = left, xr = right, yt = top, yb = bottom;
  if (!clamp_span(xl, xr, s->cl, s->cr) || !clamp_span(yt, yb, s->ct, s->cb)) return 0;
  const int32_t across = (xr - xl + 3) / 4, down = std::max(yb - yt - 1, 0) / 2;
  int32_t cycles = 0;
  if (top >= s->ct && top < s->cb) cycles += across;
  if (bottom >= s->ct && bottom < s->cb) cycles += across;
  if (left >= s->cl && left < s->cr) cycles += down;
  if (right >= s->cl && right < s->cr) cycles += down;
  spend_cpu(cycles);
  return 0;
}

int q7_rectfill(lua_State *L) {
  api_take_colour(L, 5);
  int32_t x0 = screen_x(api_int(L, 1)), y0 = screen_y(api_int(L, 2));
  int32_t x1 = screen_x(api_int(L, 3)), y1 = screen_y(api_int(L, 4));
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  vell_bitmap *s = pstate.screen;
  int32_t area = 0;
  if (clamp_span(x0, x1, s->cl, s->cr) && clamp_span(y0, y1, s->ct, s->cb)) {
    const int32_t colour = draw_colour(pstate.pen);
    for (int32_t y = y0; y <= y1; y++) draw_hline(s, x0, x1, y, colour, pstate.fill_pattern);
    area = (x1 - x0 + 1) * (y1 - y0 + 1);
  }
  spend_cpu(area / 16);
  return 0;
}

int q7_circ(lua_State *L) {
  const int n = api_nargs(L);
  if (n < 2) return 0;
  api_take_colour(L, 4);
  const int32_t r = n == 2 ? 4 : api_int(L, 3);
  if (r < 0) return 0;
  const int32_t cx = screen_x(api_int(L, 1)), cy = screen_y(api_int(L, 2));
  vell_bitmap *s = pstate.screen;
  if (cx + r < s->cl || cx - r >= s->cr || cy + r < s->ct || cy - r >= s->cb) return 0;
  draw_circle(s, cx, cy, r, draw_colour(pstate.pen), pstate.fill_pattern);
  spend_cpu(2 * (std::max(std::min(cy + r, s->cb), s->ct) - std::max(cy - r, s->ct)) + 2);
  return 0;
}

int q7_circfill(lua_State *L) {
  const int n = api_nargs(L);
  if (n < 2) return 0;
  const int32_t r = n == 2 ? 4 : api_int(L, 3);
  if (r < 0) return 0;
  api_take_colour(L, 4);
  const int32_t cx = screen_x(api_int(L, 1)), cy = screen_y(api_int(L, 2));
  vell_bitmap *s = pstate.screen;
  draw_fillcircle(s, cx, cy, r, draw_colour(pstate.pen), pstate.fill_pattern);
  int32_t x0 = cx - r, x1 = cx + r, y0 = cy - r, y1 = cy + r;
  int32_t area = 0;
  if (clamp_span(x0, x1, s->cl, s->cr) && clamp_span(y0, y1, s->ct, s->cb)) area = (x1 - x0 + 1) * (y1 - y0 + 1);
  spend_cpu(2 * r + area / 16);
  return 0;
}
