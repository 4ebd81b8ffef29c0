// The script functions sfx and music.
#include "api/api.h"
#include "api/q7.h"
#include "audio/audio.h"
#include "script/cpu_budget.h"

int q7_sfx(lua_State *L) {
  int32_t cost = orrery_sfx_call(api_nargs(L), api_int(L, 1), api_int(L, 2), api_int(L, 3), api_int(L, 4));
  if (cost > 0) spend_cpu(cost);
  return 0;
}

int q7_music(lua_State *L) {
  spend_cpu(orrery_music_call(api_int(L, 1), api_int(L, 2), api_int(L, 3)));
  return 0;
}
