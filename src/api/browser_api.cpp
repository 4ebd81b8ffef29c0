// The console commands of the cartridge browser: cartfind, install_demos
// and install_games. The browser lies above the API; the shell connects
// them through the API's hooks.
#include "api/hooks.h"
#include "api/q7.h"

int q7_cartfind(lua_State *L) {
  // The browser takes over from the running program, which stops here.
  if (orrery_api_hook().open_browser()) return lua_yield(L, 0);
  return 0;
}

int q7_install_demos(lua_State *) {
  orrery_api_hook().install_demos();
  return 0;
}

int q7_install_games(lua_State *) {
  orrery_api_hook().install_games();
  return 0;
}
