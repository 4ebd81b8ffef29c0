// Stand-ins for the console commands that are not built yet:
// each does nothing and returns no result.
#include "api/q7.h"

int q7_folder(lua_State *) { return 0; }
int q7_ls(lua_State *) { return 0; }
int q7_cd(lua_State *) { return 0; }
int q7_mkdir(lua_State *) { return 0; }
int q7_load(lua_State *) { return 0; }
int q7_save(lua_State *) { return 0; }
int q7_info(lua_State *) { return 0; }
int q7_export(lua_State *) { return 0; }
int q7_import(lua_State *) { return 0; }
