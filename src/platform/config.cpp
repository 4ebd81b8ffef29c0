#include "platform/config.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/engine_state.h"
#include "platform/files.h"
#include "platform/hooks.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/video.h"

namespace {

// The engine's configuration for the whole run: defaults, then config.txt,
// then the command line; changed by the window and sound toggles; written
// back to config.txt at exit.
struct config_state {
  vell_config_t live;      // what the run uses
  vell_config_t snapshot;  // the defaults and what config.txt held: VELL_SNAPSHOT keys are written from it
};

config_state g;

#define FIELD(f) offsetof(vell_config_t, f)

// The engine's keys in the order config.txt lists them; the keys that are
// never written, and the command-line options, follow. No key's name starts
// another's, so a line matches one key at most and the order does not
// decide; nor does it for the options, which match the start of the
// argument (-soundvol is -sound), since only an option and its own longer
// spelling (sound, sound_volume) can both match.
constexpr vell_config_key k_keys[] = {
    vell_key("window_size", VELL_PAIR, VELL_SNAPSHOT, FIELD(window_size_w))
        .options("width", "height")
        .written("\n\n// :: Video Settings\n\n%s // window width, height\n"),
    vell_key("screen_size", VELL_PAIR, VELL_SNAPSHOT, FIELD(screen_size_w))
        .written("%s // screen width, height (stretched to window) \n"),
    vell_key("show_fps", VELL_INT, VELL_SNAPSHOT, FIELD(show_fps))
        .options("show_fps")
        .written("%s // Draw frames per second in the corner\n"),
    vell_key("windowed", VELL_INT, VELL_LIVE, FIELD(windowed))
        .options("windowed")
        .written("\n\n// :: Window Settings\n\n%s // 1 to start up in windowed mode\n"),
    vell_key("window_position", VELL_PAIR, VELL_LIVE, FIELD(window_position_x))
        .options("window_x", "window_y")
        .written("%s // x and y position of window, or -1, -1 to let the window manager decide\n"),
    vell_key("frameless", VELL_INT, VELL_SNAPSHOT, FIELD(frameless))
        .options("frameless")
        .written("%s // 1 to use a window with no frame\n"),
    vell_key("fullscreen_method", VELL_INT, VELL_LIVE, FIELD(fullscreen_method))
        .options("fullscreen_method")
        .written("%s // 0 maximized window (linux)  1 borderless desktop-sized window  2 fullscreen\n"),
    vell_key("foreground_sleep_ms", VELL_INT, VELL_SNAPSHOT, FIELD(foreground_sleep_ms))
        .options("foreground_sleep_ms")
        .within(VELL_CLAMP_FILE, 0, 200)
        .written("\n\n// :: System Settings\n\n"
                 "%s // number of milliseconds to sleep each frame. Try 10 to conserve battery power\n\n"),
    vell_key("background_sleep_ms", VELL_INT, VELL_SNAPSHOT, FIELD(background_sleep_ms))
        .options("background_sleep_ms")
        .within(VELL_CLAMP_FILE, 0, 200)
        .written("%s // number of milliseconds to sleep each frame when running in the background\n\n"),
    vell_key("sessions", VELL_INT, VELL_LIVE, FIELD(sessions))
        .written("%s // number of times program has been run\n\n"),
    vell_key("rmb_key", VELL_INT, VELL_LIVE, FIELD(rmb_key))
        .written("// (scancode) hold this key down and left-click to simulate right-click\n"
                 "%s // 0 for none  226 for LALT\n\n"),
    vell_key("desktop_path", VELL_TEXT, VELL_SNAPSHOT, FIELD(desktop_path), k_config_path_max)
        .options("desktop")
        .written("// Desktop for saving screenshots etc. Defaults to $HOME/Desktop\n%s\n\n"),
    vell_key("sound_volume", VELL_INT, VELL_LIVE, FIELD(sound_volume))
        .options("sound")
        .within(VELL_CLAMP_FILE, 0, 256)
        .written("\n\n// :: Audio Settings\n\n%s // 0..256\n"),
    vell_key("music_volume", VELL_INT, VELL_LIVE, FIELD(music_volume))
        .options("music")
        .within(VELL_CLAMP_FILE, 0, 256)
        .written("%s // 0..256\n"),
    vell_key("mix_buffer_size", VELL_INT, VELL_LIVE, FIELD(mix_buffer_size))
        .options("mix_buffer_size")
        .within(VELL_DEFAULT_FILE, 512, 8192)
        .written("%s // usually 1024. Try 2048 if you get choppy sound\n"),
    // Kept for old files: read, never written.
    vell_key("video_mode", VELL_PAIR, VELL_READ_ONLY, FIELD(window_size_w)).copied_to(FIELD(screen_size_w)),
    vell_key("windib", VELL_INT, VELL_READ_ONLY, FIELD(windib)),
    vell_key("opengl_blit", VELL_INT, VELL_READ_ONLY, FIELD(opengl_blit)),
    vell_key("large_window", VELL_INT, VELL_READ_ONLY, FIELD(large_window)),
    // The command line only.
    vell_key(nullptr, VELL_INT, VELL_OPTION, FIELD(software_blit)).options("software_blit"),
    vell_key(nullptr, VELL_TEXT, VELL_OPTION, FIELD(home_path), k_config_path_max).options("home"),
    vell_key(nullptr, VELL_INT, VELL_OPTION, FIELD(pixel_perfect)).options("pixel_perfect"),
    vell_key(nullptr, VELL_RECT, VELL_OPTION, FIELD(draw_rect_x)).options("draw_rect"),
    vell_key(nullptr, VELL_INT, VELL_OPTION, FIELD(timeout)).options("timeout").within(VELL_CLAMP_OPTION, 1, 240),
    vell_key(nullptr, VELL_MARK, VELL_OPTION, FIELD(headless)).options("headless"),
};

// A line holds at most this many characters; longer lines continue as the
// next line, as fgets with a buffer of 255 bytes reads them.
constexpr int k_config_line_max = 254;

// The value's integers: the first, and the ones that follow it in the record.
int32_t *ints(void *record, size_t field) { return reinterpret_cast<int32_t *>(static_cast<char *>(record) + field); }
const int32_t *ints(const void *record, size_t field) {
  return reinterpret_cast<const int32_t *>(static_cast<const char *>(record) + field);
}
char *text(void *record, size_t field) { return static_cast<char *>(record) + field; }

// Integers an integer value has in its record.
int int_count(const vell_config_key &key) {
  switch (key.type) {
    case VELL_INT: case VELL_FLAG: case VELL_MARK: return 1;
    case VELL_PAIR: return 2;
    case VELL_RECT: return 4;
    case VELL_LIST: return static_cast<int>(key.size);
    default: return 0;
  }
}

// A command-line number: text that is not one reads as 0.
int read_int(const char *s) {
  int v = 0;
  if (sscanf(s, "%d", &v) != 1) v = 0;
  return v;
}

// A frame count: a whole positive decimal number; anything else (a typo, a
// negative or a fractional count) reads as 0, no limit.
int64_t read_count(const char *s) {
  char *end = nullptr;
  const long long v = strtoll(s, &end, 10);
  return (end != s && *end == 0 && v > 0) ? v : 0;
}

int32_t clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// Reads the key's value from s (the text right after the key's name) into one record.
void read_value(const vell_config_key &key, const char *s, void *record) {
  int32_t *v = ints(record, key.field);
  switch (key.type) {
    case VELL_INT: {
      int x;
      if (sscanf(s, "%d", &x) == 1) v[0] = x;
      break;
    }
    case VELL_PAIR: {
      int x, y;
      const int n = sscanf(s, "%d %d", &x, &y);
      if (n >= 1) v[0] = x;
      if (n >= 2) v[1] = y;
      if (key.mirror) memcpy(ints(record, key.mirror), v, 2 * sizeof *v);
      break;
    }
    case VELL_TEXT: {
      if (*s) s++;  // the one separator after the key
      while (*s && static_cast<unsigned char>(*s) <= ' ') s++;
      size_t n = strlen(s);
      while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') n--;
      snprintf(text(record, key.field), key.size, "%.*s", static_cast<int>(n), s);
      break;
    }
    case VELL_FOLDER: {
      // A value without a separator becomes empty; one without a trailing
      // separator loses its last component.
      char *out = text(record, key.field);
      snprintf(out, key.size, "%s", *s ? s + 1 : "");
      char *cut = nullptr;
      for (char *p = out; *p; p++)
        if (*p == '/' || *p == '\\') cut = p;
      if (cut) cut[1] = 0;
      else out[0] = 0;
      break;
    }
    case VELL_LIST:
      for (size_t i = 0; i < key.size; i++) {
        int x, used = 0;
        if (sscanf(s, "%d%n", &x, &used) != 1) break;
        v[i] = x;
        s += used;
      }
      break;
    default: break;
  }
}

}  // namespace

const vell_config_key *vell_config_keys(size_t *count) {
  *count = sizeof k_keys / sizeof *k_keys;
  return k_keys;
}

int vell_config_read_key(const vell_config_key &key, const char *line, void *live, void *snapshot) {
  if (!key.name || key.use == VELL_OPTION || key.use == VELL_WRITE_ONLY) return 0;
  const size_t n = strlen(key.name);
  if (strncmp(line, key.name, n) != 0) return 0;
  // Both records take what the file says; the snapshot is consulted only
  // for the keys written from it.
  read_value(key, line + n, live);
  read_value(key, line + n, snapshot);
  return 1;
}

void vell_config_write_key(FILE *f, const vell_config_key &key, const void *live, const void *snapshot) {
  if (!key.name || key.use == VELL_OPTION || key.use == VELL_READ_ONLY) return;
  const void *record = key.use == VELL_SNAPSHOT ? snapshot : live;
  const char *at = strstr(key.layout, "%s");
  fwrite(key.layout, 1, static_cast<size_t>(at - key.layout), f);
  fprintf(f, "%s ", key.name);
  const int32_t *v = ints(record, key.field);
  switch (key.type) {
    case VELL_INT: fprintf(f, "%d", v[0]); break;
    case VELL_PAIR: fprintf(f, "%d %d", v[0], v[1]); break;
    case VELL_TEXT: case VELL_FOLDER: fputs(static_cast<const char *>(record) + key.field, f); break;
    case VELL_LIST:
      for (size_t i = 0; i < key.size; i++) fprintf(f, "%d ", v[i]);
      break;
    case VELL_FIXED: fputs(key.fixed, f); break;
    default: break;
  }
  fputs(at + 2, f);
}

void vell_config_clamp_key(const vell_config_key &key, void *record, const void *defaults) {
  if (key.range != VELL_CLAMP_FILE && key.range != VELL_DEFAULT_FILE) return;
  int32_t *v = ints(record, key.field);
  const int32_t *d = ints(defaults, key.field);
  for (int i = 0; i < int_count(key); i++) {
    if (key.range == VELL_CLAMP_FILE) v[i] = clamp(v[i], key.lo, key.hi);
    else if (v[i] < key.lo || v[i] > key.hi) v[i] = d[i];
  }
}

void vell_config_apply_key(const vell_config_key &key, int part, const char *value, void *record) {
  int32_t *v = ints(record, key.field);
  switch (key.type) {
    case VELL_INT: case VELL_PAIR: {
      int32_t x = read_int(value);
      if (key.range == VELL_CLAMP_OPTION) x = clamp(x, key.lo, key.hi);
      v[key.type == VELL_PAIR ? part : 0] = x;
      break;
    }
    case VELL_TEXT: case VELL_FOLDER: snprintf(text(record, key.field), key.size, "%s", value); break;
    case VELL_FLAG: case VELL_MARK: v[0] = 1; break;
    case VELL_RECT: {
      int r[4] = {0, 0, 4096, 4096};
      sscanf(value, "%d,%d,%d,%d", &r[0], &r[1], &r[2], &r[3]);
      for (int i = 0; i < 4; i++) v[i] = r[i];
      break;
    }
    case VELL_COUNT: {
      const int64_t n = read_count(value);
      memcpy(static_cast<char *>(record) + key.field, &n, sizeof n);
      break;
    }
    default: break;
  }
}

const vell_config_t &vell_config() { return g.live; }

void vell_config_set(int32_t vell_config_t::*field, int32_t value) {
  // The volumes are read by the mixer on the audio thread.
  __atomic_store_n(&(g.live.*field), value, __ATOMIC_RELAXED);
}

void vell_config_set_text(char (vell_config_t::*field)[k_config_path_max], const char *value) {
  snprintf(g.live.*field, sizeof(g.live.*field), "%s", value);
}

void vell_config_apply(const vell_config_key &key, int part, const char *value) {
  vell_config_apply_key(key, part, value, &g.live);
}

void vell_config_default() { g = config_state{}; }

void vell_config_fit_window_size() {
  vell_fit_window_size(&g.live.window_size_w, &g.live.window_size_h);
  vell_fit_window_size(&g.snapshot.window_size_w, &g.snapshot.window_size_h);
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
    const vell_config_key *matched = nullptr;
    for (const vell_config_key &key : k_keys)
      if (vell_config_read_key(key, line, &g.live, &g.snapshot)) {
        matched = &key;
        break;
      }
    if (!matched) vell_platform_hook().read_config_line(line);
    else if (strcmp(matched->name, "window_position") == 0)
      vell_debugf("new window position: %d, %d\n", g.live.window_position_x, g.live.window_position_y);
  }
  fclose(f);
  vell_debug("<\n");
  const vell_config_t defaults;
  for (const vell_config_key &key : k_keys) {
    vell_config_clamp_key(key, &g.live, &defaults);
    vell_config_clamp_key(key, &g.snapshot, &defaults);
  }
  g.live.loaded = g.snapshot.loaded = 1;
  return 0;
}

int vell_config_save() {
  // The text is composed in memory and written through a temporary file, so
  // that a failed write never leaves a cut-off config.txt behind.
  char *out = nullptr;
  size_t size = 0;
  FILE *f = open_memstream(&out, &size);
  if (!f) return 1;
  // Without a window (headless runs) the configured value stands.
  if (!g.live.headless) g.live.windowed = vell_get_windowed();

  const char *dashes = "// - - - - - - - - - - - - - - - - - - - - - - - - - - - -\n";
  fputs(dashes, f);
  fprintf(f, "// Configuration for %s\n// \n", vell_state.app_title);
  fputs("// config.txt is read on startup and saved on exit.\n", f);
  fputs("// To generate the default config.txt, delete this file.\n// \n", f);
  fputs(dashes, f);
  for (const vell_config_key &key : k_keys) vell_config_write_key(f, key, &g.live, &g.snapshot);
  fputs("\n\n// :: \n\n", f);
  vell_platform_hook().write_config(f);
  const bool complete = fflush(f) == 0 && !ferror(f);
  fclose(f);
  const std::string path = vell_prefix_with_appdata_path("config.txt");
  const int result = complete && vell_write_file_replacing(path.c_str(), out, size) == VELL_WRITE_OK ? 0 : 1;
  free(out);
  return result;
}
