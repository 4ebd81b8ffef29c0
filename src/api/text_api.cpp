// Text in the script API: print with the text cursor and screen scrolling,
// cursor, tostr and tonum.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "api/api.h"
#include "api/draw.h"
#include "api/q7.h"
#include "gfx/bitmap.h"
#include "gfx/text.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"
#include "script/fixed.h"

namespace {

constexpr int32_t k_line_step = 6;      // cursor step of one printed line, pixels
constexpr int32_t k_last_line_y = 122;  // lowest cursor y before the screen scrolls
constexpr int32_t k_scroll_cycles = 65536;
// After this many scrolls in a row every pixel of the clip rectangle comes
// from outside it or from the blank fill, so further scrolls change nothing
// and print does not draw them; each is still charged.
constexpr int32_t k_scroll_limit = (k_screen_size + k_line_step - 1) / k_line_step + 2;

// Moves every row of the clip rectangle up by one line and blanks the
// bottom line; pixels outside the clip rectangle stay as they are.
void scroll_screen() {
  vell_bitmap *s = pstate.screen;
  if (s->cl >= s->cr) return;
  const size_t width = size_t(s->cr - s->cl);
  for (int32_t r = std::max(s->ct, 0); r < std::min(s->cb, k_last_line_y); r++)
    memmove(s->line[r] + s->cl, s->line[r + k_line_step] + s->cl, width);
  for (int32_t r = std::max(s->ct, k_last_line_y); r < s->cb; r++) memset(s->line[r] + s->cl, 0, width);
}

}  // namespace

void api_text_of(lua_State *L, int idx, api_value_text &t) {
  switch (lua_type(L, idx)) {
    case LUA_TSTRING:
      t.text = lua_tolstring(L, idx, &t.len);
      return;
    case LUA_TNUMBER:
      t.len = static_cast<size_t>(fixed_to_string(t.buf, api_num(L, idx)));
      break;
    case LUA_TBOOLEAN:
      t.len = static_cast<size_t>(snprintf(t.buf, sizeof t.buf, "%s", lua_toboolean(L, idx) ? "true" : "false"));
      break;
    default:
      t.len = static_cast<size_t>(snprintf(t.buf, sizeof t.buf, "[%s]", lua_typename(L, lua_type(L, idx))));
      break;
  }
  t.text = t.buf;
}

int q7_cursor(lua_State *L) {
  pstate.cursor_x = api_int(L, 1);
  pstate.cursor_y = api_int(L, 2);
  return 0;
}

int q7_print(lua_State *L) {
  const int n = api_nargs(L);
  if (n == 0) return 0;
  api_value_text t;
  api_text_of(L, 1, t);
  if (n >= 3) {
    pstate.cursor_x = api_int(L, 2);
    pstate.cursor_y = api_int(L, 3);
  }
  api_take_colour(L, 4);
  // The colour is mapped like a primitive's, but text has no fill pattern:
  // every ink pixel gets the primary colour.
  const int32_t flags = k_text_colour | (pstate.text_wrap ? k_text_wrap : 0);
  const int32_t ty = pstate.cursor_y - pstate.camera_y;
  int32_t yl = vell_draw_text_ex(pstate.screen, t.text, pstate.font, pstate.cursor_x - pstate.camera_x, ty, flags,
                                 static_cast<uint32_t>(draw_colour(pstate.pen) & 15));
  spend_cpu(static_cast<int32_t>(std::min<int64_t>(8 * int64_t(t.len) + 2, INT32_MAX)));
  if (n != 1) return 0;
  // One cursor step per drawn line.
  int32_t scrolls = 0;
  while (ty <= yl) {
    if (pstate.cursor_y + k_line_step <= k_last_line_y) {
      pstate.cursor_y += k_line_step;
    } else {
      if (scrolls < k_scroll_limit) scroll_screen();
      spend_cpu(k_scroll_cycles);
      scrolls++;
    }
    yl -= k_line_step;
  }
  return 0;
}

int q7_tostr(lua_State *L) {
  if (lua_type(L, 1) == LUA_TSTRING) {
    lua_pushvalue(L, 1);
    return 1;
  }
  api_value_text t;
  if (lua_type(L, 1) == LUA_TNUMBER && api_nargs(L) >= 2 && api_flag(L, 2)) {
    const uint32_t raw = static_cast<uint32_t>(api_num(L, 1));
    t.len = static_cast<size_t>(snprintf(t.buf, sizeof t.buf, "0x%04x.%04x", raw >> 16, raw & 0xffff));
    t.text = t.buf;
  } else {
    api_text_of(L, 1, t);
  }
  lua_pushlstring(L, t.text, t.len);
  return 1;
}

int q7_tonum(lua_State *L) {
  switch (lua_type(L, 1)) {
    case LUA_TNUMBER:
      lua_pushvalue(L, 1);
      return 1;
    case LUA_TSTRING: {
      size_t len = 0;
      const char *s = lua_tolstring(L, 1, &len);
      int32_t v = 0;
      if (!fixed_parse(s, len, &v)) return 0;
      // The hexadecimal and binary forms read the sign but ignore it.
      if (len > 0 && s[0] == '-' && v >= 0) v = fixed_neg(v);
      return api_push_num(L, v);
    }
    default:
      return 0;
  }
}
