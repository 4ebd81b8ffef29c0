// Stand-ins for the memory functions that are not built yet:
// each does nothing and returns no result.
#include "api/q7.h"

int q7_peek(lua_State *) { return 0; }
int q7_poke(lua_State *) { return 0; }
int q7_memcpy(lua_State *) { return 0; }
int q7_memset(lua_State *) { return 0; }
int q7_reload(lua_State *) { return 0; }
int q7_cstore(lua_State *) { return 0; }
