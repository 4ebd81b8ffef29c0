#include "support/runner_rig.h"

#include <cstring>
#include <sstream>

#include "api/ctext.h"
#include "lua.h"
#include "machine/cart.h"
#include "machine/pstate.h"
#include "script/runner.h"

void runner_rig::run(const std::string &code) {
  orrery_cart *cart = orrery_working_cart();
  snprintf(cart->code, k_cart_code_size, "%s", code.c_str());
  split_code_to_tabs();
  pstate.pending_request = REQ_RUN;
  iterate(0);
}

// Globals are read on the runner's helper thread: the program's own thread
// is suspended in the middle of its frame.
int32_t runner_rig::raw(const char *name) const {
  lua_State *H = orrery_runner.helper;
  lua_getglobal(H, name);
  const int32_t v = lua_tonumberx(H, -1, nullptr);
  lua_pop(H, 1);
  return v;
}

std::string cart_file(const std::string &code) {
  return "orrery cartridge // test\nversion 12\n__lua__\n" + code + "\n";
}

exec_result exec_cart(const temp_folder &home, const std::string &code, const std::vector<std::string> &extra,
                      int kill_after_ms) {
  write_file(home / "game.q7", cart_file(code));
  std::vector<std::string> argv = {ORRERY_BINARY, "-home", home.path, "-x", home / "game.q7"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  const process_result r = run_process(argv, {}, kill_after_ms);
  exec_result out{r.exit_code, {}};
  std::istringstream in(r.output);
  for (std::string line; std::getline(in, line);)
    out.lines.push_back(line.compare(0, 3, "** ") ? line : line.substr(3));
  return out;
}
