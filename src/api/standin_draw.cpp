// Stand-ins for the drawing, sprite, map and text functions that are not built yet:
// each does nothing and returns no result.
#include "api/q7.h"

int q7_camera(lua_State *) { return 0; }
int q7_clip(lua_State *) { return 0; }
int q7_cls(lua_State *) { return 0; }
int q7_pset(lua_State *) { return 0; }
int q7_pget(lua_State *) { return 0; }
int q7_color(lua_State *) { return 0; }
int q7_rect(lua_State *) { return 0; }
int q7_rectfill(lua_State *) { return 0; }
int q7_circ(lua_State *) { return 0; }
int q7_circfill(lua_State *) { return 0; }
int q7_line(lua_State *) { return 0; }
int q7_pal(lua_State *) { return 0; }
int q7_palt(lua_State *) { return 0; }
int q7_fillp(lua_State *) { return 0; }
int q7_spr(lua_State *) { return 0; }
int q7_sspr(lua_State *) { return 0; }
int q7_mapdraw(lua_State *) { return 0; }
int q7_mget(lua_State *) { return 0; }
int q7_mset(lua_State *) { return 0; }
int q7_fget(lua_State *) { return 0; }
int q7_fset(lua_State *) { return 0; }
int q7_sget(lua_State *) { return 0; }
int q7_sset(lua_State *) { return 0; }
int q7_print(lua_State *) { return 0; }
int q7_cursor(lua_State *) { return 0; }
int q7_tonum(lua_State *) { return 0; }
int q7_tostr(lua_State *) { return 0; }
