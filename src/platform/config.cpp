#include "platform/config.h"

#include <cstdlib>
#include <cstring>

#include "platform/engine_state.h"
#include "platform/files.h"
#include "platform/hooks.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/video.h"

// The engine's configuration for the whole run: defaults, then config.txt,
// then the command line; changed by the window and sound toggles; written
// back to config.txt at exit.
vell_config_t vell_config;

namespace {

vell_config_t g_snapshot;  // see vell_config_take_snapshot

// A line holds at most this many characters; longer lines continue as the
// next line, as fgets with a buffer of 255 bytes reads them.
constexpr int k_config_line_max = 254;

bool starts_with(const char *line, const char *key) {
  return strncmp(line, key, strlen(key)) == 0;
}

// Reads up to two integers after the key; absent values keep what they were.
void read_ints(const char *s, int32_t *a, int32_t *b) {
  int x = *a, y = b ? *b : 0;
  if (b) {
    int n = sscanf(s, "%d %d", &x, &y);
    if (n >= 1) *a = x;
    if (n >= 2) *b = y;
  } else if (sscanf(s, "%d", &x) == 1) {
    *a = x;
  }
}

int32_t clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

void vell_config_take_snapshot() { g_snapshot = vell_config; }

void vell_config_fit_window_size() {
  vell_fit_window_size(&vell_config.window_size_w, &vell_config.window_size_h);
  vell_fit_window_size(&g_snapshot.window_size_w, &g_snapshot.window_size_h);
}

void vell_config_default() {
  vell_config_t &c = vell_config;
  memset(&c, 0, sizeof c);
  c.sound_volume = 256;
  c.music_volume = 256;
  c.foreground_sleep_ms = 5;
  c.background_sleep_ms = 20;
  c.window_position_x = -1;
  c.window_position_y = -1;
  c.mix_buffer_size = 1024;
  c.windib = -1;
  c.fullscreen_method = 1;
  c.pixel_perfect = -1;
  c.keep_aspect = 1;
  c.timeout = 30;
}

int vell_config_parse_line(vell_config_t &c, const char *line) {
  struct int_key {
    const char *name;
    int32_t *a;
    int32_t *b;
  };
  // Compared in this order; the first key that starts the line wins.
  if (starts_with(line, "video_mode")) {
    read_ints(line + 10, &c.window_size_w, &c.window_size_h);
    c.screen_size_w = c.window_size_w;
    c.screen_size_h = c.window_size_h;
    return 1;
  }
  const int_key keys[] = {
      {"window_size", &c.window_size_w, &c.window_size_h},
      {"screen_size", &c.screen_size_w, &c.screen_size_h},
      {"windowed", &c.windowed, nullptr},
      {"foreground_sleep_ms", &c.foreground_sleep_ms, nullptr},
      {"background_sleep_ms", &c.background_sleep_ms, nullptr},
      {"sound_volume", &c.sound_volume, nullptr},
      {"music_volume", &c.music_volume, nullptr},
      {"mix_buffer_size", &c.mix_buffer_size, nullptr},
      {"windib", &c.windib, nullptr},
      {"opengl_blit", &c.opengl_blit, nullptr},
      {"show_fps", &c.show_fps, nullptr},
      {"large_window", &c.large_window, nullptr},
      {"frameless", &c.frameless, nullptr},
      {"window_position", &c.window_position_x, &c.window_position_y},
      {"sessions", &c.sessions, nullptr},
      {"rmb_key", &c.rmb_key, nullptr},
  };
  for (const int_key &k : keys) {
    if (!starts_with(line, k.name)) continue;
    read_ints(line + strlen(k.name), k.a, k.b);
    if (k.a == &c.window_position_x)
      vell_debugf("new window position: %d, %d\n", c.window_position_x, c.window_position_y);
    return 1;
  }
  if (starts_with(line, "desktop_path")) {
    const char *s = line + 12;
    if (*s) s++;  // the one separator after the key
    while (*s && static_cast<unsigned char>(*s) <= ' ') s++;
    size_t n = strlen(s);
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') n--;
    if (n >= sizeof c.desktop_path) n = sizeof c.desktop_path - 1;
    memcpy(c.desktop_path, s, n);
    c.desktop_path[n] = 0;
    return 1;
  }
  if (starts_with(line, "fullscreen_method")) {
    read_ints(line + 17, &c.fullscreen_method, nullptr);
    return 1;
  }
  return 0;
}

void vell_config_clamp(vell_config_t &c) {
  c.foreground_sleep_ms = clamp(c.foreground_sleep_ms, 0, 200);
  c.background_sleep_ms = clamp(c.background_sleep_ms, 0, 200);
  c.sound_volume = clamp(c.sound_volume, 0, 256);
  c.music_volume = clamp(c.music_volume, 0, 256);
  if (c.mix_buffer_size < 512 || c.mix_buffer_size > 8192) c.mix_buffer_size = 1024;
}

int vell_config_load() {
  FILE *f = fopen(vell_prefix_with_appdata_path("config.txt").c_str(), "r");
  if (!f) f = fopen(vell_prefix_with_program_path("config.txt").c_str(), "r");
  if (!f) return 1;

  vell_debug("Found config.txt\n");
  vell_debug(">\n");
  char line[k_config_line_max + 1];
  int number = 0;
  while (fgets(line, sizeof line, f)) {
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    if (n == 0 || line[0] == '/') continue;
    vell_debugf("%02d %s\n", ++number, line);
    if (!vell_config_parse_line(vell_config, line)) vell_platform_hook().read_config_line(line);
  }
  fclose(f);
  vell_debug("<\n");
  vell_config_clamp(vell_config);
  vell_config.loaded = 1;
  return 0;
}

int vell_config_save() {
  // The text is composed in memory and written through a temporary file, so
  // that a failed write never leaves a cut-off config.txt behind.
  char *text = nullptr;
  size_t size = 0;
  FILE *f = open_memstream(&text, &size);
  if (!f) return 1;
  const vell_config_t &live = vell_config;
  const vell_config_t &snap = g_snapshot;
  // Without a window (headless runs) the configured value stands.
  if (!vell_config.headless) vell_config.windowed = vell_get_windowed();

  const char *dashes = "// - - - - - - - - - - - - - - - - - - - - - - - - - - - -\n";
  fputs(dashes, f);
  fprintf(f, "// Configuration for %s\n// \n", vell_state.app_title);
  fputs("// config.txt is read on startup and saved on exit.\n", f);
  fputs("// To generate the default config.txt, delete this file.\n// \n", f);
  fputs(dashes, f);
  fputs("\n\n// :: Video Settings\n\n", f);
  fprintf(f, "window_size %d %d // window width, height\n", snap.window_size_w, snap.window_size_h);
  fprintf(f, "screen_size %d %d // screen width, height (stretched to window) \n", snap.screen_size_w,
          snap.screen_size_h);
  fprintf(f, "show_fps %d // Draw frames per second in the corner\n", snap.show_fps);
  fputs("\n\n// :: Window Settings\n\n", f);
  fprintf(f, "windowed %d // 1 to start up in windowed mode\n", live.windowed);
  fprintf(f,
          "window_position %d %d // x and y position of window, or -1, -1 to let the window manager "
          "decide\n",
          live.window_position_x, live.window_position_y);
  fprintf(f, "frameless %d // 1 to use a window with no frame\n", snap.frameless);
  fprintf(f,
          "fullscreen_method %d // 0 maximized window (linux)  1 borderless desktop-sized window  2 "
          "fullscreen\n",
          live.fullscreen_method);
  fputs("\n\n// :: System Settings\n\n", f);
  fprintf(f,
          "foreground_sleep_ms %d // number of milliseconds to sleep each frame. Try 10 to conserve "
          "battery power\n\n",
          snap.foreground_sleep_ms);
  fprintf(f,
          "background_sleep_ms %d // number of milliseconds to sleep each frame when running in the "
          "background\n\n",
          snap.background_sleep_ms);
  fprintf(f, "sessions %d // number of times program has been run\n\n", live.sessions);
  fputs("// (scancode) hold this key down and left-click to simulate right-click\n", f);
  fprintf(f, "rmb_key %d // 0 for none  226 for LALT\n\n", live.rmb_key);
  fputs("// Desktop for saving screenshots etc. Defaults to $HOME/Desktop\n", f);
  fprintf(f, "desktop_path %s\n\n", snap.desktop_path);
  fputs("\n\n// :: Audio Settings\n\n", f);
  fprintf(f, "sound_volume %d // 0..256\n", live.sound_volume);
  fprintf(f, "music_volume %d // 0..256\n", live.music_volume);
  fprintf(f, "mix_buffer_size %d // usually 1024. Try 2048 if you get choppy sound\n", live.mix_buffer_size);
  fputs("\n\n// :: \n\n", f);
  vell_platform_hook().write_config(f);
  const bool complete = fflush(f) == 0 && !ferror(f);
  fclose(f);
  const std::string path = vell_prefix_with_appdata_path("config.txt");
  const int result = complete && vell_write_file_replacing(path.c_str(), text, size) == VELL_WRITE_OK ? 0 : 1;
  free(text);
  return result;
}
