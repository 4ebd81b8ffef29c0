#include "shell/console.h"

#include <cstdio>
#include <cstring>

#include "audio/audio.h"
#include "audio/channels.h"
#include "gfx/bitmap.h"
#include "gfx/font.h"
#include "machine/app_config.h"
#include "machine/cart.h"
#include "machine/cart_data.h"
#include "machine/cart_load.h"
#include "machine/cart_names.h"
#include "machine/cart_png.h"
#include "machine/cart_text.h"
#include "machine/pstate.h"
#include "platform/config.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/video.h"
#include "script/cpu_budget.h"
#include "script/runner.h"
#include "shell/args.h"
#include "shell/boot.h"
#include "shell/buttons.h"
#include "shell/console_font.h"
#include "shell/console_output.h"
#include "shell/engine.h"
#include "shell/fast_run.h"
#include "shell/hooks.h"
#include "shell/keyconfig.h"
#include "shell/main_loop.h"
#include "shell/message_bar.h"
#include "shell/pause_menu.h"
#include "shell/resources.h"
#include "shell/watch.h"

// The console: cleared and filled by vell_main_init, driven by the main
// loop, released by vell_main_exit.
orrery_state_t orrery_state;

const char *const k_home_folders[8] = {"carts/",  "backup/", "cdata/",      "cstore/",
                                       "plates/", "bbs/",    "bbs/carts/", "bbs/labels/"};

namespace {

// A folder setting: kept when it can be listed, else the home folder's
// default sub-folder.
void settle_folder(char (orrery_config_t::*field)[k_config_path_max], const char *fallback) {
  const char *value = orrery_config().*field;
  bool usable = false;
  if (value[0]) {
    vell_find_result r;
    usable = vell_find_first(value, "", &r, -1) == 0;
    vell_find_close(&r);
  }
  if (!usable) orrery_config_set_text(field, vell_prefix_with_appdata_path(fallback).c_str());
}

// Loads the cartridge named on the command line as the working cartridge:
// a relative name inside the root folder first, then as given; each with
// the load workflow's own search (".q7", ".q7.png", ".png" added). 0 on
// success, 1 when there is no such cartridge.
int load_start_cart(const std::string &name) {
  if (name.empty()) return 1;
  if (name[0] != '/' && load_working_cart((std::string(orrery_config().root_path) + name).c_str()) == 0) return 0;
  return load_working_cart(name.c_str());
}

void create_console_bitmaps() {
  orrery_state.presented = vell_create_bitmap(128, 128, 8);
  orrery_state.spare = vell_create_bitmap(128, 128, 8);
  orrery_state.scratch1 = vell_create_bitmap(1, 1, 8);
  orrery_state.scratch8 = vell_create_bitmap(8, 8, 8);
  orrery_state.video_frame = vell_create_bitmap(128, 128, 8);
}

}  // namespace

void orrery_clear_console_state() {
  orrery_state = orrery_state_t{};
  paused_menu_reset();
  message_bar_reset();
  // What the console leaves behind in the modules it drives.
  cpu_set_draw_ms(0);
  vell_set_audio_pause_count(0);
  runner_reset();
  orrery_watch_stop();
  orrery_set_current_folder("");
}

void vell_main_init(int argc, const char *const *argv) {
  orrery_clear_console_state();
  // The machine, with its screen bitmap (the drawing target) and live
  // cartridge, exists from here on.
  if (orrery_create_machine() != 0) vell_fatal_error("could not create the machine");
  reset_cpu_budget();
  set_default_app_config();
  vell_set_app_title("orrery");

  vell_init(argc, argv);
  process_arguments(argc, argv);

  for (const char *folder : k_home_folders) vell_make_directory(vell_prefix_with_appdata_path(folder).c_str());

  if (vell_config().screen_size_w < 32 || vell_config().screen_size_h < 32) {
    vell_config_set(&vell_config_t::screen_size_w, 580);
    vell_config_set(&vell_config_t::screen_size_h, 540);
  }
  // A size from config.txt or the command line that the display cannot
  // show is shrunk, also in what is written back to config.txt.
  vell_config_fit_window_size();
  vell_set_window_size(vell_config().window_size_w, vell_config().window_size_h);

  settle_folder(&orrery_config_t::root_path, "carts/");
  settle_folder(&orrery_config_t::cdata_path, "cdata/");
  // Everything the console writes for a cartridge or a download stays in
  // these folders, whatever links inside them say. A cartridge or data
  // folder set in config.txt to a place outside the home is a folder of its
  // own; the ones inside the home are reached from the home like the rest.
  const std::string home = vell_prefix_with_appdata_path("");
  std::vector<std::string> roots = {home, vell_prefix_with_desktop_path("")};
  for (const char *folder : {orrery_config().root_path, orrery_config().cdata_path})
    if (std::string(folder).compare(0, home.size(), home) != 0) roots.push_back(folder);
  vell_set_write_roots(roots);

  const std::string pod_path = vell_prefix_with_data_path("data.pod");
  if (orrery_load_resources(pod_path) != POD_OK) {
    const std::string text = "couldn't load " + pod_path + "\n";
    vell_report_fatal(text.c_str());
    vell_end_process(1);
  }

  vell_set_window_title("ORRERY");
  std::string title = orrery_resource_text(k_res_title);
  if (!title.empty()) vell_set_window_title(title.c_str());

  vell_set_screen(128, 128, 8, 0x100);
  if (vell_bitmap *icon = orrery_resource_bitmap(k_res_icon)) vell_set_window_icon(icon);
  if (const uint8_t *palette = orrery_resource_palette()) vell_set_palette(palette);

  create_console_bitmaps();
  orrery_set_cart_png_art(orrery_resource_bitmap(k_res_cart_template), vell_font1());
  orrery_console_font_init();
  buttons_reset();
  orrery_state.glitch_test = orrery_config().glitch_test;
  orrery_boot_start();

  orrery_sound_init(16);
  orrery_shell_hook().browser_init();

  set_param_string(orrery_config().param_string);
  // A cartridge named on the command line is loaded now. Exec mode runs it
  // at once; otherwise the boot runs it in place of the head cartridge, with
  // or without -run (opening a cartridge file is asking to play it). One
  // that cannot be loaded is named on standard error, and the boot says so
  // and goes on to the head cartridge.
  const std::string &named = orrery_named_cart();
  const bool named_loaded = !named.empty() && load_start_cart(named) == 0;
  if (named_loaded) {
    orrery_state.cart_loaded_at_start = 1;
    orrery_config_set(&orrery_config_t::run_after_boot, 1);
  } else if (orrery_config().exec_mode) {
    printf("could not load %s\n", named.c_str());
    vell_end_process(1);
  } else if (!named.empty()) {
    orrery_state.start_cart_failed = 1;
    fprintf(stderr, "could not load %s\n", named.c_str());
    vell_debugf("could not load %s\n", named.c_str());
  }
  // Watch mode follows the file the cartridge came from; one that is not
  // there yet is watched under the name given, and runs once it appears.
  if (orrery_config().watch) {
    if (named.empty()) {
      fprintf(stderr, "-watch needs a cartridge file\n");
      vell_debug("watch: no cartridge named\n");
    } else {
      orrery_watch_start(named_loaded ? working_file_name() : named);
    }
  }
  if (orrery_config().exec_mode) {
    orrery_mount_resource_carts();
    pstate.mode = MODE_CONSOLE;
    pstate.pending_request = REQ_RUN;
  }
  orrery_fast_start();
  orrery_reset_frame_clock();
}

void vell_main_exit() {
  orrery_watch_stop();
  orrery_fast_stop();
  orrery_shell_hook().browser_shutdown();
  save_cdata();
  orrery_close_listing();
  orrery_boot_exit();
  orrery_console_font_exit();
  vell_destroy_bitmap(orrery_state.video_frame);
  vell_destroy_bitmap(orrery_state.presented);
  vell_destroy_bitmap(orrery_state.spare);
  vell_destroy_bitmap(orrery_state.scratch1);
  vell_destroy_bitmap(orrery_state.scratch8);
  orrery_clear_console_state();
  orrery_clear_machine();
  orrery_set_cart_png_art(nullptr, nullptr);
  orrery_release_resources();
  vell_exit();
}
