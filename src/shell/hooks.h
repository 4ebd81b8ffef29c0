// The hook tables of every layer, filled once by orrery_install_hooks: the
// shell's functions behind the calls the layers below make upward (exit,
// config.txt's console part, console printing, the message bar, the script
// API's buttons and screens), and the shell's own table of calls up into
// the cartridge browser and capture, which sit above it and hand in their
// entry points (orrery_browser_entry_points, orrery_capture_entry_points).
#pragma once

#include <cstdint>

#include "api/hooks.h"
#include "machine/hooks.h"
#include "platform/hooks.h"
#include "script/hooks.h"

struct vell_bitmap;

// The shell's calls up into the browser and capture. Empty slots do
// nothing; saving then reports failure.
struct orrery_shell_hooks {
  void (*browser_init)() = nullptr;             // once per program run: creates the lists
  void (*browser_enter)() = nullptr;            // each time the browser opens
  void (*browser_update)() = nullptr;           // once per logical frame while the browser is the sub-screen
  void (*browser_draw)() = nullptr;             // once per drawn frame while the browser is the sub-screen
  void (*cancel_download)() = nullptr;          // stops the download worker and returns the slot to idle
  void (*finish_running_download)() = nullptr;  // handles a download that a running cartridge waited for
  void (*browser_shutdown)() = nullptr;         // at exit: stops a download and lets its worker end
  void (*browser_after_program)() = nullptr;    // the browser comes back once the running program has stopped
  int (*save_screenshot)(const vell_bitmap *screen) = nullptr;  // 0 when the file was written
  void (*record_video_frame)(const vell_bitmap *screen) = nullptr;  // once per logical frame
  void (*reset_video)() = nullptr;              // the recording starts now
  int (*start_gif_save)() = nullptr;            // 0 when a background save started, 1 when one still runs
  int (*poll_gif_save)() = nullptr;             // 0 idle, 1 running, 2 written, 3 failed (each reported once)
};

// The installed table; every slot may be called.
const orrery_shell_hooks &orrery_shell_hook();

// Every layer's table. A program fills in what it brings beyond the shell
// (the browser's and capture's entry points, a test's observers) and hands
// the whole to orrery_install_hooks.
struct orrery_hook_tables {
  vell_platform_hooks platform;
  orrery_machine_hooks machine;
  orrery_script_hooks script;
  orrery_api_hooks api;
  orrery_shell_hooks shell;
};

// Installs every layer's table: a slot given is used as it is, the shell's
// own functions fill the empty slots of the layers below, and what is still
// empty gets the layer's default. Called once before the console starts
// (main, and programs and tests that use the layers without main); a later
// call replaces every table whole.
void orrery_install_hooks(const orrery_hook_tables &given = {});
