// The map in the script API: mget, mset and map (also named mapdraw).
#include <algorithm>

#include "api/api.h"
#include "api/q7.h"
#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"

namespace {

constexpr int32_t k_map_w = 128, k_map_h = 64;  // map size in cells
constexpr int32_t k_map_upper_h = 32;           // rows of the map that no sprite shares

inline bool on_map(int32_t x, int32_t y) { return x >= 0 && x < k_map_w && y >= 0 && y < k_map_h; }

inline int32_t cell_at(int32_t x, int32_t y) { return on_map(x, y) ? pstate.cart->map->line[y][x] : 0; }

// Draws sprite n as a map cell at screen position (px, py): each pixel goes
// through the draw palette and is written when the entry has bits 4-7
// clear. Returns the number of screen pixels covered after clipping.
int32_t draw_cell(int32_t n, int32_t px, int32_t py) {
  vell_bitmap *s = pstate.screen;
  const int32_t x0 = std::max(px, s->cl), x1 = std::min(px + 8, s->cr);
  const int32_t y0 = std::max(py, s->ct), y1 = std::min(py + 8, s->cb);
  if (x0 >= x1 || y0 >= y1) return 0;
  const vell_bitmap *sheet = pstate.cart->gfx;
  const int32_t sx = (n % 16) * 8, sy = (n / 16) * 8;
  for (int32_t y = y0; y < y1; y++) {
    const uint8_t *in = sheet->line[sy + y - py] + sx;
    uint8_t *out = s->line[y];
    for (int32_t x = x0; x < x1; x++) {
      const int32_t c = pstate.draw_pal[in[x - px] & 15];
      if ((c & 0xf0) == 0) out[x] = static_cast<uint8_t>(c);
    }
  }
  return (x1 - x0) * (y1 - y0);
}

}  // namespace

int q7_mget(lua_State *L) { return api_push_int(L, cell_at(api_int(L, 1), api_int(L, 2))); }

int q7_mset(lua_State *L) {
  const int32_t x = api_int(L, 1), y = api_int(L, 2);
  if (!on_map(x, y)) return 0;
  // Through the memory write path: rows 32-63 share their bytes with the
  // lower half of the sprite sheet, which sees the change at once.
  const int32_t addr = y < k_map_upper_h ? k_addr_map + y * 128 + x : k_addr_shared + (y - k_map_upper_h) * 128 + x;
  orrery_poke(&pstate, pstate.cart, addr, api_int(L, 3) & 255);
  return 0;
}

int q7_mapdraw(lua_State *L) {
  int32_t cell_x = api_int(L, 1), cell_y = api_int(L, 2);
  int32_t cell_w = k_map_w, cell_h = k_map_upper_h, layer = 0;
  if (api_nargs(L) >= 5) {
    cell_w = api_int(L, 5);
    cell_h = api_int(L, 6);
    layer = api_int(L, 7);
    if (cell_w < 1 || cell_h < 1) return 0;
  }
  const vell_bitmap *s = pstate.screen;
  int32_t px = api_int(L, 3) - pstate.camera_x, py = api_int(L, 4) - pstate.camera_y;
  // Whole columns and rows left of or above the clip are not visited.
  if (px < s->cl - 7) {
    const int32_t k = (s->cl - px) / 8;
    cell_x += k;
    cell_w -= k;
    px += 8 * k;
  }
  if (py < s->ct - 7) {
    const int32_t k = (s->ct - py) / 8;
    cell_y += k;
    cell_h -= k;
    py += 8 * k;
  }
  const int32_t cols = std::min((std::max(s->cr - s->cl, 0) + 7) / 8 + 1, cell_w);
  const int32_t rows = std::min((std::max(s->cb - s->ct, 0) + 7) / 8 + 1, cell_h);
  if (rows <= 0 || cols <= 0) return 0;
  int32_t covered = 0;
  for (int32_t j = 0; j < rows; j++)
    for (int32_t i = 0; i < cols; i++) {
      const int32_t cell = cell_at(cell_x + i, cell_y + j);
      if (cell == 0) continue;
      if (layer != 0 && (pstate.cart->flags[cell] & layer) == 0) continue;
      covered += draw_cell(cell, px + 8 * i, py + 8 * j);
    }
  spend_cpu(covered);
  return 0;
}
