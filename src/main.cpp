#include "browser/browser_hooks.h"
#include "capture/capture_hooks.h"
#include "shell/engine.h"
#include "shell/hooks.h"

int main(int argc, char **argv) {
  // The browser and capture sit above the shell: their entry points join
  // the tables the shell installs before it starts.
  orrery_hook_tables hooks;
  orrery_browser_entry_points(hooks);
  orrery_capture_entry_points(hooks);
  orrery_install_hooks(hooks);
  return vell_main(argc, argv);
}
