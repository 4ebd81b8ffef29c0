// Stand-ins for the console commands that are not built yet:
// each does nothing and returns no result.
#include "api/q7.h"

int q7_install_demos(lua_State *) { return 0; }
int q7_install_games(lua_State *) { return 0; }
int q7_cartfind(lua_State *) { return 0; }
