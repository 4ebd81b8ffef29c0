#include "shell/watch.h"

#include <cstdio>

#include "machine/cart_load.h"
#include "machine/pstate.h"
#include "platform/backends.h"
#include "platform/log.h"
#include "platform/system.h"
#include "script/runner.h"
#include "shell/console.h"
#include "shell/hooks.h"
#include "shell/pause_menu.h"

namespace {

// A save comes as a burst of events (a new file created, written, renamed
// over the old one; or a tool writing in several steps). The file is read
// once the burst has been quiet this long, about a frame and a half.
constexpr uint32_t k_settle_ms = 50;

orrery_watch_t g;

// The console can leave what it shows for the restarted cartridge. The boot
// runs the named cartridge itself once it is done, a pending request or
// the reset glitch is about to change the mode, and the key configuration
// screen holds a mapping half made, which a restart under it would lose:
// the change waits for those to end.
bool can_restart() {
  if (pstate.mode == MODE_BOOT || pstate.mode == MODE_SPLASH) return false;
  if (pstate.pending_request != REQ_NONE || pstate.reset_glitch != 0) return false;
  return pstate.sub_screen != SUB_KEYCONFIG;
}

// From whatever the console shows (the running game, its pause menu, a
// program's error, the cartridge browser) to a fresh run of the working
// cartridge: the author is watching the game, so it comes back at once.
void restart() {
  if (paused_menu_open()) close_paused_menu();
  if (orrery_state.download_state != DOWNLOAD_IDLE) {
    orrery_shell_hook().cancel_download();
    run_chain_cancel_pending();
  }
  reset_run_chain();
  pstate.busy_countdown = 0;
  // The old program stops first, so that a new version that does not
  // compile leaves the console showing its error, not a running mode with
  // no program in it.
  if (pstate.mode == MODE_RUNNING) suspend_program();
  // Like a cartridge named on the command line, it runs from the console:
  // when it ends, the console's text screen shows.
  if (pstate.sub_screen == SUB_BROWSER) pstate.sub_screen = SUB_NONE;
  restore_param_string();
  pstate.pending_request = REQ_RUN;
}

void take_change() {
  g.change_seen = 0;
  switch (quick_load_file(g.path)) {
    case QUICK_LOAD_TAKEN:
      vell_debugf("watch: reloaded %s; running it\n", g.path.c_str());
      restart();
      break;
    case QUICK_LOAD_SAME:
      vell_debugf("watch: %s unchanged\n", g.path.c_str());
      break;
    case QUICK_LOAD_FAILED:
      // Most often a file caught half written: the writer's next event
      // brings the whole file, and until then the game runs on.
      vell_debugf("watch: %s did not load; waiting for the next change\n", g.path.c_str());
      break;
  }
}

}  // namespace

const orrery_watch_t &orrery_watch() { return g; }

int orrery_watch_start(const std::string &path) {
  orrery_watch_stop();
  if (path.empty() || vell_backends.watch.start(path.c_str()) != 0) {
    fprintf(stderr, "could not watch %s\n", path.c_str());
    vell_debugf("watch: could not watch %s\n", path.c_str());
    return 1;
  }
  g.path = path;
  vell_debugf("watch: armed on %s\n", path.c_str());
  return 0;
}

void orrery_watch_update() {
  if (g.path.empty()) return;
  const uint32_t now = vell_get_time();
  if (vell_backends.watch.poll()) {
    if (!g.change_seen) vell_debugf("watch: %s changed\n", g.path.c_str());
    g.change_seen = 1;
    g.last_change_ms = now;
  }
  if (g.change_seen && now - g.last_change_ms >= k_settle_ms && can_restart()) take_change();
}

void orrery_watch_stop() {
  if (!g.path.empty()) vell_backends.watch.stop();
  g = orrery_watch_t{};
}
