// Calls the drawing, sprite, map, text, memory and math functions of the
// script API with arbitrary arguments (extreme numbers, nil, booleans,
// strings, wrong counts) after arbitrary register writes: nothing may be
// written outside the screen, sheet or map, and every pixel stays a colour.
// Input: a list of calls, each a function byte, an argument-count byte and
// the arguments.
#include "fuzz_support.h"

namespace {

const lua_CFunction k_functions[] = {
    q7_camera,   q7_clip, q7_cls,    q7_pset,   q7_pget,   q7_color,  q7_rect,   q7_rectfill, q7_circ,
    q7_circfill, q7_line, q7_pal,    q7_palt,   q7_fillp,  q7_spr,    q7_sspr,   q7_mapdraw,  q7_mget,
    q7_mset,     q7_fget, q7_fset,   q7_sget,   q7_sset,   q7_print,  q7_cursor, q7_tonum,    q7_tostr,
    q7_peek,     q7_poke, q7_memcpy, q7_memset, q7_reload, q7_cstore, q7_flr,    q7_sgn,      q7_abs,
    q7_min,      q7_max,  q7_mid,    q7_cos,    q7_sin,    q7_sqrt,   q7_atan2,  q7_band,     q7_bor,
    q7_bxor,     q7_bnot, q7_shl,    q7_shr,    q7_rnd,    q7_srand,
};
// Numbers worth trying as arguments, raw 16.16: edges of the screen, the
// sheet, the colours and the memory map, and of the number range.
const int32_t k_numbers[] = {0,         0x10000,   -0x10000,   0x8000,       127 << 16,    128 << 16,
                             255 << 16, 256 << 16, 4096 << 16, 0x5f00 << 16, 0x6000 << 16, 0x7fff << 16,
                             INT32_MIN, INT32_MAX, -1,         0x5a5a8000};
const char *const k_strings[] = {"", "12", "abc", "-0x10", "a\nb\n\n\nc", "\x7f"};

// The next input byte, 0 once the input is used up.
uint8_t take(const uint8_t *&p, const uint8_t *end) { return p < end ? *p++ : 0; }

// Pushes an argument: tag 0 nil, 1 false, 2 true, 3 a string, 4 a raw
// number from the next four bytes, 5 and above a number from the table.
void push_argument(lua_State *L, const uint8_t *&p, const uint8_t *end) {
  const uint8_t tag = take(p, end);
  uint32_t v = 0;
  if (tag == 4)
    for (int i = 0; i < 4; i++) v |= uint32_t(take(p, end)) << (8 * i);
  if (tag < 3)
    tag == 0 ? lua_pushnil(L) : lua_pushboolean(L, tag == 2);
  else if (tag == 3)
    lua_pushstring(L, k_strings[take(p, end) % (sizeof k_strings / sizeof k_strings[0])]);
  else
    lua_pushnumber(L, tag == 4 ? static_cast<int32_t>(v) : k_numbers[tag % (sizeof k_numbers / sizeof k_numbers[0])]);
}

lua_State *g_L = nullptr;
vell_font g_font;  // the console font, glyphs owned by the resource file

// Runs at exit before the leak check and before the resource file's
// records are destroyed, which would leave the glyphs unreachable.
void release_everything() {
  orrery_lua_close(g_L);
  g_font.glyph.clear();
  orrery_clear_machine();
  orrery_release_resources();
}

}  // namespace

// Everything that lives for the whole run is made here, outside the leak
// checks of the single inputs.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  atexit(release_everything);
  orrery_hook_tables hooks;
  hooks.machine.memory_error = [](const char *) {};
  orrery_install_hooks(hooks);
  if (orrery_create_machine() != 0) abort();
  // The console font comes from the resource file in the build folder;
  // CTest runs the target in its tests folder.
  if (orrery_load_resources("data.pod") == 0 || orrery_load_resources("../data.pod") == 0)
    g_font.glyph = orrery_resource_font_glyphs();
  g_font.owns_glyphs = 0;
  pstate.font = &g_font;
  g_L = orrery_lua_open();
  add_c_functions(g_L);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  lua_State *L = g_L;
  orrery_clear_cart(pstate.cart);
  orrery_reset_registers(&pstate);
  pstate.cursor_y = 0;
  pstate.text_wrap = size & 1;
  vell_rectfill(pstate.screen, 0, 0, 127, 127, 0);

  const uint8_t *p = data, *end = data + size;
  for (int calls = 0; p < end && calls < 64; calls++) {
    const lua_CFunction f = k_functions[take(p, end) % (sizeof k_functions / sizeof k_functions[0])];
    const int nargs = take(p, end) % 11;
    lua_settop(L, 0);
    lua_pushcfunction(L, f);
    for (int i = 0; i < nargs; i++) push_argument(L, p, end);
    if (lua_pcall(L, nargs, 0, 0) != 0) abort();
  }
  lua_settop(L, 0);

  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++)
      if (pstate.screen->line[y][x] > 15 || pstate.cart->gfx->line[y][x] > 15) abort();
  return 0;
}
