#include "support/runner_rig.h"

#include "support/test.h"

void runner_rig::run(const std::string &code) {
  orrery_cart *cart = orrery_working_cart();
  snprintf(cart->code, k_cart_code_size, "%s", code.c_str());
  split_code_to_tabs();
  pstate.pending_request = REQ_RUN;
  iterate(0);
}

// A global is read on the runner's helper thread: the program's own thread
// is suspended in the middle of its frame.
double runner_rig::num(const char *name) const {
  lua_State *H = orrery_runner().helper;
  lua_getglobal(H, name);
  const int32_t v = lua_tonumberx(H, -1, nullptr);
  lua_pop(H, 1);
  return v / 65536.0;
}

std::string rig_eval(const char *code) {
  lua_State *H = orrery_runner().helper;
  const int top = lua_gettop(H);
  if (luaL_loadstring(H, code) != LUA_OK || lua_pcall(H, 0, LUA_MULTRET, 0) != LUA_OK) {
    std::string err = lua_tostring(H, -1);
    lua_settop(H, top);
    return "error: " + err;
  }
  std::string out;
  for (int i = top + 1; i <= lua_gettop(H); i++) {
    if (!out.empty()) out += ",";
    out += lua_isboolean(H, i) ? (lua_toboolean(H, i) ? "true" : "false") : lua_isnil(H, i) ? "nil" : lua_tostring(H, i);
  }
  lua_settop(H, top);
  return out;
}

std::string cart_file(const std::string &code) { return "orrery cartridge // test\nversion 12\n__lua__\n" + code + "\n"; }

exec_result exec_cart(const temp_folder &home, const std::string &code, const std::vector<std::string> &extra,
                      int kill_after_ms) {
  write_file(home / "game.q7", cart_file(code));
  std::vector<std::string> argv = {ORRERY_BINARY, "-home", home.path, "-x", home / "game.q7"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  const process_result r = run_process(argv, {}, kill_after_ms);
  exec_result out{r.exit_code, {}};
  std::istringstream text(r.output);
  for (std::string line; std::getline(text, line);)
    out.lines.push_back(line.compare(0, 3, "** ") ? line : line.substr(3));
  return out;
}
