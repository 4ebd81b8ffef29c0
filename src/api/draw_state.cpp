// The draw-state setters of the script API: camera, clip, color, pal, palt,
// fillp and cls.
#include <cstring>

#include "api/api.h"
#include "api/draw.h"
#include "api/q7.h"
#include "gfx/bitmap.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"

namespace {

constexpr int32_t k_pal_transparent = 16;  // draw palette bit: colour skipped by sprites and map

inline int32_t clamp_clip(int32_t v) {
  if (v > k_screen_size) v = k_screen_size;
  return v < 0 ? 0 : v;
}

}  // namespace

int api_take_colour(lua_State *L, int idx) {
  if (api_nargs(L) < idx) return 0;
  pstate.pen = api_int(L, idx) & 255;
  return 1;
}

int32_t draw_colour(int32_t k) {
  return (pstate.draw_pal[k & 15] & 15) | ((pstate.draw_pal[(k >> 4) & 15] & 15) << 4);
}

void set_draw_clip(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  pstate.clip_x0 = clamp_clip(x0);
  pstate.clip_y0 = clamp_clip(y0);
  pstate.clip_x1 = clamp_clip(x1);
  pstate.clip_y1 = clamp_clip(y1);
  vell_set_clip(pstate.screen, pstate.clip_x0, pstate.clip_y0, pstate.clip_x1, pstate.clip_y1);
}

int q7_camera(lua_State *L) {
  // Through the memory write path, byte by byte, so that the registers and
  // their mirror agree and the values wrap to 16 bits as a poke would.
  const int32_t x = api_int(L, 1), y = api_int(L, 2);
  orrery_poke(&pstate, pstate.cart, k_addr_camera, x & 255);
  orrery_poke(&pstate, pstate.cart, k_addr_camera + 1, (x >> 8) & 255);
  orrery_poke(&pstate, pstate.cart, k_addr_camera + 2, y & 255);
  orrery_poke(&pstate, pstate.cart, k_addr_camera + 3, (y >> 8) & 255);
  return 0;
}

int q7_clip(lua_State *L) {
  spend_cpu(16);
  if (api_nargs(L) >= 4) {
    const int32_t x = api_int(L, 1), y = api_int(L, 2);
    set_draw_clip(x, y, x + api_int(L, 3), y + api_int(L, 4));
  } else {
    set_draw_clip(0, 0, k_screen_size, k_screen_size);
  }
  return 0;
}

int q7_color(lua_State *L) {
  pstate.pen = api_int(L, 1) & 255;
  return 0;
}

int q7_pal(lua_State *L) {
  const int n = api_nargs(L);
  if (n < 2) {
    for (int32_t c = 0; c < 16; c++) {
      pstate.draw_pal[c] = c;
      pstate.screen_pal[c] = c;
    }
    pstate.draw_pal[0] = k_pal_transparent;
    return 0;
  }
  const int32_t c0 = api_int(L, 1) & 15, c1 = api_int(L, 2) & 15;
  if (n >= 3 && api_int(L, 3) != 0) pstate.screen_pal[c0] = c1;
  else pstate.draw_pal[c0] = (pstate.draw_pal[c0] & k_pal_transparent) | c1;
  return 0;
}

int q7_palt(lua_State *L) {
  if (api_nargs(L) < 2) {
    for (int32_t &e : pstate.draw_pal) e &= ~k_pal_transparent;
    pstate.draw_pal[0] |= k_pal_transparent;
    return 0;
  }
  int32_t &e = pstate.draw_pal[api_int(L, 1) & 15];
  if (api_flag(L, 2)) e |= k_pal_transparent;
  else e &= ~k_pal_transparent;
  return 0;
}

int q7_fillp(lua_State *L) {
  if (api_nargs(L) == 0) {
    pstate.fill_pattern = 0;
    return 0;
  }
  // The integer part's 16 bits are the pattern; the fraction's top bit
  // (0.5) asks for transparency.
  const uint32_t raw = static_cast<uint32_t>(api_num(L, 1));
  pstate.fill_pattern = static_cast<int32_t>(raw >> 16) | ((raw & 0x8000) ? k_fill_transparent : 0);
  return 0;
}

int q7_cls(lua_State *L) {
  const int32_t c = api_int(L, 1) & 15;
  spend_cpu(1024);
  pstate.cursor_x = pstate.cursor_y = 0;
  set_draw_clip(0, 0, k_screen_size, k_screen_size);
  if (pstate.screen) memset(pstate.screen->data, c, size_t(k_screen_size) * k_screen_size);
  return 0;
}
