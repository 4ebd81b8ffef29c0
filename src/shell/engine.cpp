#include "shell/engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/audio.h"
#include "gfx/bitmap.h"
#include "gfx/engine_font.h"
#include "platform/audio_device.h"
#include "platform/config.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/rng.h"
#include "platform/system.h"
#include "platform/video.h"
#include "script/runner.h"
#include "shell/args.h"
#include "shell/console.h"
#include "shell/main_loop.h"
#include "shell/web_export.h"

namespace {

char g_pending_title[64] = "vell";

// The loop ends after the frame, and the running program (or a finalizer)
// is stopped at its next count-hook check rather than at the frame's end.
void on_signal(int) {
  vell_state.quit = 1;
  runner_request_stop();
}

// The platform's name written to the log.
const char *platform_name() {
#if defined(__linux__)
  return "linux";
#else
  return "posix";
#endif
}

// One turn of the main loop: an iteration, or once the console has quit its
// shutdown. 0 when there is nothing left to do.
int main_loop_turn() {
  if (!vell_state.quit) {
    vell_main_iteration();
    return 1;
  }
  if (vell_state.initialised) vell_exit();
  return 0;
}

}  // namespace

void vell_set_app_title(const char *title) { snprintf(g_pending_title, sizeof g_pending_title, "%s", title); }

int vell_init(int argc, const char *const *argv) {
  if (vell_state.initialised) return 0;
  // The program path and arguments stay: vell_restart starts again with them.
  vell_state.console_program = 0;
  vell_state.quit = 0;
  vell_state.skip_frame = 0;
  snprintf(vell_state.app_title, sizeof vell_state.app_title, "%s", g_pending_title);

  vell_config_default();
  // The first pass only decides where the log and config.txt live: the
  // other options wait for the second pass, after config.txt was read, and
  // what config.txt gets back for one-run keys (a window size, a desktop
  // folder) is what it held, so those options never reach the file, not
  // even a new one.
  if (argc > 0) {
    vell_process_arguments(argc, argv);
    const std::string home = vell_config().home_path;
    vell_config_default();
    vell_config_set_text(&vell_config_t::home_path, home.c_str());
  }

  // The home folder is made when missing (a new -home folder), so that the
  // log, config.txt and the cartridge folders have a place in every mode.
  const std::string home = vell_prefix_with_appdata_path("");
  vell_make_directories(home.c_str());
  vell_set_write_roots({home});
  vell_open_log(vell_prefix_with_appdata_path("log.txt").c_str());
  vell_debug(">vell_init\n");
  vell_debugf("platform: %s\n", platform_name());

  vell_config_load();
  if (argc > 0) vell_process_arguments(argc, argv);

  if (!vell_state.console_program) {
    vell_debug("vell_system_init\n");
    vell_system_init();
    vell_debug("vell_reset_timer\n");
    vell_reset_timer();
    vell_debug("vell_gui_init\n");
    vell_debug("vell_keys_init\n");
    vell_keys_init();
    vell_debug("vell_text_init\n");
    vell_text_init();
    vell_debug("vell_video_init\n");
    vell_video_init();
    vell_debug("vell_mouse_init\n");
    vell_mouse_init();
    vell_debug("vell_joystick_init\n");
    vell_joystick_init();
  }

  vell_srand(0);
  vell_config_set(&vell_config_t::sessions, vell_config().sessions + 1);
  vell_debug("<ok\n");
  vell_state.initialised = 1;
  return 0;
}

void vell_exit() {
  if (!vell_state.initialised) return;
  vell_state.initialised = 0;

  vell_debug(">vell_exit\n");
  vell_debug("cmusic_stop\n");
  orrery_music_stop();
  vell_debug("vell_main_exit\n");
  vell_main_exit();
  vell_debug("vell_config_save\n");
  vell_config_save();
  vell_debug("vell_sound_exit\n");
  orrery_sound_exit();
  vell_sound_exit_plat();
  vell_debug("vell_video_exit\n");
  vell_video_exit();
  vell_debug("vell_joystick_exit\n");
  vell_joystick_exit();
  vell_debug("vell_system_exit\n");
  if (!vell_state.console_program) {
    vell_text_exit();
    vell_keys_exit();
    vell_system_exit();
  }
  vell_debugf("vell_items_created: %d\n", vell_bitmaps_alive());
  vell_debug("<ok\n");
  vell_close_log();
  vell_set_write_roots({});
}

void vell_restart() {
  if (vell_state.initialised) vell_exit();
  std::vector<std::string> args = vell_state.args;
  std::vector<const char *> argv;
  for (const std::string &a : args) argv.push_back(a.c_str());
  vell_main_init(static_cast<int>(argv.size()), argv.data());
}

int vell_main(int argc, const char *const *argv) {
  // Writing a web page of a cartridge starts nothing of the console.
  if (orrery_is_web_export(argc, argv)) return orrery_export_web(argc, argv);
  vell_state.program_path = argc > 0 ? argv[0] : "orrery";
  vell_state.args.assign(argv, argv + argc);
  signal(SIGINT, on_signal);
  signal(SIGTERM, on_signal);

  vell_main_init(argc, argv);
  // In a browser tab the turns run on the browser's display frames and this
  // returns at once; everywhere else they run here until the console quits.
  vell_run_loop(main_loop_turn);
  return 0;
}
