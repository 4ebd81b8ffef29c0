// The console's hooks: orrery_install_hooks installs the shell's functions
// behind the calls that the layers below make upward (exit, console
// printing, the message bar, the script API, the buttons). The cartridge
// browser and capture sit above the shell; they install the entry points
// the shell calls (orrery_set_browser_hooks, orrery_set_capture_hooks), and
// until they do those calls do nothing (saving reports failure).
#pragma once

#include <cstdint>

struct vell_bitmap;

// Installs every hook of the platform, machine, script and API layers.
// Console start-up calls it; so do programs and tests that use those layers
// without starting the console.
void orrery_install_hooks();

struct orrery_browser_hooks {
  void (*init)();                     // once per program run: creates the lists
  void (*enter)();                    // each time the browser opens
  void (*update)();                   // once per logical frame while the browser is the sub-screen
  void (*draw)();                     // once per drawn frame while the browser is the sub-screen
  void (*cancel_download)();          // stops the download worker and returns the slot to idle
  void (*finish_running_download)();  // handles a download that a running cartridge waited for
  void (*shutdown)();                 // at exit: stops a download and lets its worker end
  void (*show_after_program)();       // the browser comes back once the running program has stopped
  void (*install_demos)();            // the install_demos command
  void (*install_games)();            // the install_games command
};
void orrery_set_browser_hooks(const orrery_browser_hooks &hooks);

struct orrery_capture_hooks {
  int (*save_png_screenshot)(const vell_bitmap *screen);  // 0 when the file was written
  void (*record_video_frame)(const vell_bitmap *screen);  // once per logical frame
  void (*reset_video)();                                  // the recording starts now
  int (*start_gif_save)();                                // 0 when a background save started, 1 when one still runs
  int (*poll_gif_save)();                                 // 0 idle, 1 running, 2 written, 3 failed (reported once)
};
void orrery_set_capture_hooks(const orrery_capture_hooks &hooks);

// The shell's calls into the browser and capture.
void browser_init();
void browser_enter();
void browser_update();
void browser_draw();
void browser_cancel_download();
void browser_finish_running_download();
void browser_shutdown();
void browser_show_after_program();
void browser_install_demos();
void browser_install_games();
int capture_png_screenshot(const vell_bitmap *screen);
void capture_video_frame(const vell_bitmap *screen);
void capture_reset_video();
// Starts writing the recording as a GIF in the background: 0 when started,
// 1 when the previous save still runs (or there is no capture).
int capture_start_gif_save();
// The background save's state: 0 idle, 1 running; 2 written or 3 failed,
// each reported once.
int capture_poll_gif_save();
