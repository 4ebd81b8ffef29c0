// Calls the platform makes up into the console, through functions the
// shell installs at start-up. Without them installed the calls do nothing.
#pragma once

struct vell_platform_hooks {
  void (*exit)();  // the engine's exit sequence (vell_exit), run before the process ends
};

// Replaces the installed hooks; a null field removes that hook.
void vell_set_platform_hooks(const vell_platform_hooks &hooks);

// Runs the installed exit sequence.
void vell_run_exit_hook();
