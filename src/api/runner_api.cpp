// The runner's entry points for the program header and the generated main
// loop: frame marks and rate, held frames, buttons, pause-menu items and the
// paused state.
#include "api/api.h"
#include "api/hooks.h"
#include "api/q7.h"
#include "gfx/bitmap.h"
#include "gfx/text.h"
#include "machine/pstate.h"
#include "script/cart_menu.h"
#include "script/cpu_budget.h"
#include "script/runner.h"

int q7_menuitem(lua_State *L) {
  const bool labelled = api_nargs(L) >= 2 && lua_isstring(L, 2);
  set_cart_menu_item(api_int(L, 1), labelled ? lua_tostring(L, 2) : nullptr);
  return 0;
}

int q7_get_menu_item_selected(lua_State *L) {
  const int32_t slot = api_int(L, 1);
  if (slot < 1 || slot > k_cart_menu_slots) return 0;
  return api_push_bool(L, take_cart_menu_choice(slot) != 0);
}

int q7_paused(lua_State *) {
  // Screen coordinates: neither the camera nor the draw palette applies,
  // only the clip rectangle (the screen bitmap's own).
  vell_bitmap *screen = pstate.screen;
  if (!screen) return 0;
  vell_rectfill(screen, 45, 48, 82, 56, 1);
  if (pstate.font) vell_draw_text_ex(screen, "paused", pstate.font, 64, 50, k_text_centre | k_text_colour, 7);
  return 0;
}

int q7_set_paused(lua_State *L) {
  runner_set_paused(api_int(L, 1));
  return 0;
}

int q7_holdframe(lua_State *) {
  mark_frame_held();
  return 0;
}

int q7_update_buttons(lua_State *) {
  runner_count_update();
  orrery_api_hook().update_buttons();
  return 0;
}

int q7_update_frame_rate(lua_State *) {
  update_frame_rate();
  return 0;
}

int q7_set_mainloop_exists(lua_State *L) {
  pstate.mainloop_kind = api_int(L, 1);
  return 0;
}

int q7_set_fps(lua_State *L) {
  set_fps(api_int(L, 1));
  return 0;
}

int q7_mark_cpu(lua_State *L) {
  mark_cpu(api_int(L, 1));
  return 0;
}
