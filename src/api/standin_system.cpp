// Stand-ins for the cartridge-data, button, frame and system functions that are not built yet:
// each does nothing and returns no result.
#include "api/q7.h"

int q7_cartdata(lua_State *) { return 0; }
int q7_dget(lua_State *) { return 0; }
int q7_dset(lua_State *) { return 0; }
int q7_btn(lua_State *) { return 0; }
int q7_btnp(lua_State *) { return 0; }
int q7_flip(lua_State *) { return 0; }
int q7_printh(lua_State *) { return 0; }
int q7_time(lua_State *) { return 0; }
int q7_extcmd(lua_State *) { return 0; }
int q7_stat(lua_State *) { return 0; }
int q7_menuitem(lua_State *) { return 0; }
int q7_yield(lua_State *) { return 0; }
int q7_paused(lua_State *) { return 0; }
int q7_holdframe(lua_State *) { return 0; }
int q7_get_menu_item_selected(lua_State *) { return 0; }
int q7_update_buttons(lua_State *) { return 0; }
int q7_update_frame_rate(lua_State *) { return 0; }
int q7_set_mainloop_exists(lua_State *) { return 0; }
int q7_set_fps(lua_State *) { return 0; }
int q7_mark_cpu(lua_State *) { return 0; }
int q7_set_paused(lua_State *) { return 0; }
