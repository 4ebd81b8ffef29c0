// Stand-ins for the sound functions that are not built yet:
// each does nothing and returns no result.
#include "api/q7.h"

int q7_music(lua_State *) { return 0; }
int q7_sfx(lua_State *) { return 0; }
