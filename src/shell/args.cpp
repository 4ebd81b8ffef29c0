#include "shell/args.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "machine/app_config.h"
#include "platform/config.h"
#include "platform/log.h"

namespace {

// An argument starting with one of these ends both parsers (shell
// redirections that reached the program).
bool ends_arguments(const char *a) { return a[0] == '|' || a[0] == '&' || a[0] == '>'; }

int read_int(const char *s) {
  int v = 0;
  if (sscanf(s, "%d", &v) != 1) v = 0;
  return v;
}

// A frame count: a whole positive decimal number; anything else (a typo, a
// negative or a fractional count) reads as 0, no limit.
int64_t read_frame_count(const char *s) {
  char *end = nullptr;
  const long long v = strtoll(s, &end, 10);
  return (end != s && *end == 0 && v > 0) ? v : 0;
}

void copy_text(char *dst, size_t size, const char *src) { snprintf(dst, size, "%s", src); }

enum engine_option {
  OPT_NONE,
  OPT_WIDTH,
  OPT_HEIGHT,
  OPT_SHOW_FPS,
  OPT_WINDOWED,
  OPT_WINDOW_X,
  OPT_WINDOW_Y,
  OPT_FRAMELESS,
  OPT_FULLSCREEN_METHOD,
  OPT_FOREGROUND_SLEEP,
  OPT_BACKGROUND_SLEEP,
  OPT_SOUND,
  OPT_MUSIC,
  OPT_MIX_BUFFER,
  OPT_SOFTWARE_BLIT,
  OPT_HOME,
  OPT_DESKTOP,
  OPT_PIXEL_PERFECT,
  OPT_DRAW_RECT,
  OPT_TIMEOUT,
  OPT_HEADLESS,
};

struct engine_option_name {
  const char *name;
  engine_option option;
};

// Tried in this order; the first name that starts the text after '-' wins.
constexpr engine_option_name k_engine_options[] = {
    {"width", OPT_WIDTH},
    {"height", OPT_HEIGHT},
    {"show_fps", OPT_SHOW_FPS},
    {"windowed", OPT_WINDOWED},
    {"window_x", OPT_WINDOW_X},
    {"window_y", OPT_WINDOW_Y},
    {"frameless", OPT_FRAMELESS},
    {"fullscreen_method", OPT_FULLSCREEN_METHOD},
    {"foreground_sleep_ms", OPT_FOREGROUND_SLEEP},
    {"background_sleep_ms", OPT_BACKGROUND_SLEEP},
    {"sound_volume", OPT_SOUND},
    {"sound", OPT_SOUND},
    {"music_volume", OPT_MUSIC},
    {"music", OPT_MUSIC},
    {"mix_buffer_size", OPT_MIX_BUFFER},
    {"software_blit", OPT_SOFTWARE_BLIT},
    {"home", OPT_HOME},
    {"desktop", OPT_DESKTOP},
    {"pixel_perfect", OPT_PIXEL_PERFECT},
    {"draw_rect", OPT_DRAW_RECT},
    {"timeout", OPT_TIMEOUT},
    {"headless", OPT_HEADLESS},
};

void apply_engine_option(engine_option opt, const char *value) {
  vell_config_t &c = vell_config;
  int v = read_int(value);
  switch (opt) {
    case OPT_NONE: break;
    case OPT_WIDTH: c.window_size_w = v; break;
    case OPT_HEIGHT: c.window_size_h = v; break;
    case OPT_SHOW_FPS: c.show_fps = v; break;
    case OPT_WINDOWED: c.windowed = v; break;
    case OPT_WINDOW_X: c.window_position_x = v; break;
    case OPT_WINDOW_Y: c.window_position_y = v; break;
    case OPT_FRAMELESS: c.frameless = v; break;
    case OPT_FULLSCREEN_METHOD: c.fullscreen_method = v; break;
    case OPT_FOREGROUND_SLEEP: c.foreground_sleep_ms = v; break;
    case OPT_BACKGROUND_SLEEP: c.background_sleep_ms = v; break;
    case OPT_SOUND: c.sound_volume = v; break;
    case OPT_MUSIC: c.music_volume = v; break;
    case OPT_MIX_BUFFER: c.mix_buffer_size = v; break;
    case OPT_SOFTWARE_BLIT: c.software_blit = v; break;
    case OPT_HOME: copy_text(c.home_path, sizeof c.home_path, value); break;
    case OPT_DESKTOP: copy_text(c.desktop_path, sizeof c.desktop_path, value); break;
    case OPT_PIXEL_PERFECT: c.pixel_perfect = v; break;
    case OPT_DRAW_RECT: {
      int r[4] = {0, 0, 4096, 4096};
      sscanf(value, "%d,%d,%d,%d", &r[0], &r[1], &r[2], &r[3]);
      c.draw_rect_x = r[0];
      c.draw_rect_y = r[1];
      c.draw_rect_w = r[2];
      c.draw_rect_h = r[3];
      break;
    }
    case OPT_TIMEOUT: c.timeout = v <= 0 ? 1 : v > 240 ? 240 : v; break;
    case OPT_HEADLESS: c.headless = 1; break;
  }
}

enum console_option {
  COPT_NONE,
  COPT_UNKNOWN,  // some other option: its value is skipped
  COPT_JOYSTICK,
  COPT_GIF_LEN,
  COPT_GUI_THEME,
  COPT_SCREENSHOT_SCALE,
  COPT_GIF_SCALE,
  COPT_GPIO_BASE,
  COPT_GLITCH_TEST,
  COPT_PARAM,
  COPT_CATALOGUE_URL,
  COPT_FRAMES,
};

}  // namespace

void vell_process_arguments(int argc, const char *const *argv) {
  if (argc < 2) return;
  engine_option pending = OPT_NONE;
  for (int i = 1; i < argc; i++) {
    const char *a = argv[i];
    if (ends_arguments(a)) break;
    if (a[0] == '-') {
      // Exec mode runs without a window from the start, so that the
      // platform starts on its headless backend.
      if (!strcmp(a + 1, "x") || !strcmp(a + 1, "exec")) vell_config.headless = 1;
      for (const engine_option_name &o : k_engine_options) {
        if (strncmp(a + 1, o.name, strlen(o.name)) == 0) {
          pending = o.option;
          break;
        }
      }
      continue;
    }
    if (pending != OPT_NONE) {
      apply_engine_option(pending, a);
      pending = OPT_NONE;
    }
  }
}

void process_arguments(int argc, const char *const *argv) {
  if (argc < 2) return;
  orrery_config_t &c = orrery_config;
  console_option pending = COPT_NONE;
  for (int i = 1; i < argc; i++) {
    const char *a = argv[i];
    if (ends_arguments(a)) break;
    if (a[0] == '-') {
      const char *name = a + 1;
      pending = COPT_UNKNOWN;
      if (!strcmp(name, "joystick")) pending = COPT_JOYSTICK;
      else if (!strcmp(name, "gif_len")) pending = COPT_GIF_LEN;
      else if (!strcmp(name, "gui_theme")) pending = COPT_GUI_THEME;
      else if (!strcmp(name, "screenshot_scale")) pending = COPT_SCREENSHOT_SCALE;
      else if (!strcmp(name, "gif_scale")) pending = COPT_GIF_SCALE;
      else if (!strcmp(name, "gpio_base")) pending = COPT_GPIO_BASE;
      else if (!strcmp(name, "glitch_test")) pending = COPT_GLITCH_TEST;
      else if (!strcmp(name, "p")) pending = COPT_PARAM;
      else if (!strcmp(name, "catalogue_url")) pending = COPT_CATALOGUE_URL;
      else if (!strcmp(name, "frames")) pending = COPT_FRAMES;
      else if (!strcmp(name, "fast")) {
        orrery_args.fast = 1;
        pending = COPT_NONE;
      }      else if (!strcmp(name, "run")) {
        c.run_after_boot = 1;
        pending = COPT_NONE;
      } else if (!strcmp(name, "cartfind")) {
        c.cartfind_at_boot = 1;
        pending = COPT_NONE;
      } else if (!strcmp(name, "x") || !strcmp(name, "exec")) {
        orrery_args.exec_mode = 1;
        c.run_after_boot = 1;
        vell_config.headless = 1;
        pending = COPT_NONE;
      }
      continue;
    }
    int v = read_int(a);
    switch (pending) {
      case COPT_NONE:
        orrery_args.auto_load_fn = a;
        vell_debugf("set auto_load_fn %s\n", a);
        break;
      case COPT_UNKNOWN: break;
      case COPT_JOYSTICK: c.joystick_index = v; break;
      case COPT_GIF_LEN: c.gif_len = v; break;
      case COPT_GUI_THEME: c.gui_theme = v; break;
      case COPT_SCREENSHOT_SCALE: c.screenshot_scale = v; break;
      case COPT_GIF_SCALE: c.gif_scale = v; break;
      case COPT_GPIO_BASE: c.gpio_base = v; break;
      case COPT_GLITCH_TEST: orrery_args.glitch_test = v; break;
      case COPT_PARAM: orrery_args.param_string = std::string(a).substr(0, 1024); break;
      case COPT_CATALOGUE_URL: copy_text(c.catalogue_url, sizeof c.catalogue_url, a); break;
      case COPT_FRAMES: orrery_args.frame_limit = read_frame_count(a); break;
    }
    pending = COPT_NONE;
  }
}
