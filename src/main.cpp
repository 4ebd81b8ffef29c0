#include "browser/browser_hooks.h"
#include "capture/capture_hooks.h"
#include "shell/engine.h"

int main(int argc, char **argv) {
  // The browser and capture sit above the shell: they hand it their entry
  // points before it starts.
  orrery_install_browser();
  orrery_install_capture();
  return vell_main(argc, argv);
}
