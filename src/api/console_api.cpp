// Console commands that start, stop and end programs: run, stop, reboot,
// shutdown/exit.
#include <string>

#include "api/api.h"
#include "api/q7.h"
#include "machine/pstate.h"
#include "platform/engine_state.h"
#include "script/runner.h"

int q7_run(lua_State *L) {
  set_param_string(api_nargs(L) >= 1 && lua_isstring(L, 1) ? lua_tostring(L, 1) : "");
  pstate.pending_request = REQ_RUN;
  return 0;
}

int q7_stop(lua_State *L) {
  pstate.pending_request = REQ_SUSPEND;
  pstate.camera_x = pstate.camera_y = 0;
  if (api_nargs(L) >= 1) {
    // The message is drawn as print draws it, wrapped at the clip's right
    // edge; print also charges for it.
    pstate.text_wrap = 1;
    q7_print(L);
  }
  return lua_yield(L, 0);
}

int q7_reboot(lua_State *L) {
  if (pstate.program_started) return 0;
  pstate.pending_request = REQ_REBOOT;
  return lua_yield(L, 0);
}

int q7_shutdown(lua_State *L) {
  if (pstate.program_started) return 0;
  vell_state.quit = 1;
  return lua_yield(L, 0);
}
