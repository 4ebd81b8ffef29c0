// Console commands that start, stop and end programs (run, stop, reboot,
// shutdown/exit), help, keyconfig, and the online-service stubs.
#include <string>

#include "api/api.h"
#include "api/q7.h"
#include "api/hooks.h"
#include "machine/hooks.h"
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

namespace {

// The help text, with the colour of each line.
struct help_line {
  const char *text;
  int32_t colour;
};
constexpr help_line k_help[] = {
    {"", 6},
    {"commands", 12},
    {"", 6},
    {"load <filename>  save <filename>", 6},
    {"run              resume", 6},
    {"shutdown         reboot", 6},
    {"install_demos    ls", 6},
    {"cd <dirname>     mkdir <dirname>", 6},
    {"cd ..      to go up a directory", 6},
    {"keyconfig  to choose buttons", 6},
    {"cartfind     to explore cartridges", 14},
    {"", 14},
    {"press esc to toggle editor view", 6},
    {"alt+enter to toggle fullscreen", 6},
    {"alt+f4 or ctrl-q to fastquit", 6},
    {"", 6},
    {"see orrery.txt for more info", 12},
    {"", 6},
};

}  // namespace

int q7_help(lua_State *) {
  if (pstate.program_started) return 0;
  for (const help_line &l : k_help) orrery_print_col(l.text, l.colour);
  return 0;
}

int q7_keyconfig(lua_State *) {
  orrery_api_hook().open_keyconfig();
  return 0;
}

// This console has no online account: the service functions answer nil.
int q7_login(lua_State *L) {
  orrery_print_col("login unavailable.", 6);
  orrery_print_col("please update orrery!", 6);
  lua_pushnil(L);
  return 1;
}

int q7_logout(lua_State *L) {
  lua_pushnil(L);
  return 1;
}

int q7_bbsreq(lua_State *L) {
  lua_pushnil(L);
  return 1;
}

int q7_scoresub(lua_State *L) {
  lua_pushnil(L);
  lua_pushnumber(L, 0);
  return 2;
}
