// Stand-ins for the math and bit functions that are not built yet:
// each does nothing and returns no result.
#include "api/q7.h"

int q7_rnd(lua_State *) { return 0; }
int q7_srand(lua_State *) { return 0; }
int q7_flr(lua_State *) { return 0; }
int q7_sgn(lua_State *) { return 0; }
int q7_abs(lua_State *) { return 0; }
int q7_min(lua_State *) { return 0; }
int q7_max(lua_State *) { return 0; }
int q7_mid(lua_State *) { return 0; }
int q7_cos(lua_State *) { return 0; }
int q7_sin(lua_State *) { return 0; }
int q7_sqrt(lua_State *) { return 0; }
int q7_atan2(lua_State *) { return 0; }
int q7_band(lua_State *) { return 0; }
int q7_bor(lua_State *) { return 0; }
int q7_bxor(lua_State *) { return 0; }
int q7_bnot(lua_State *) { return 0; }
int q7_shl(lua_State *) { return 0; }
int q7_shr(lua_State *) { return 0; }
