#include "machine/app_config.h"

#include <cstring>

// The console's configuration: set at start-up from config.txt and the
// command line, changed by the key configuration screen, written to
// config.txt at exit.
orrery_config_t orrery_config;
// The console's command-line settings, set once at start-up.
orrery_args_t orrery_args;

namespace {

bool starts_with(const char *line, const char *key) { return strncmp(line, key, strlen(key)) == 0; }

// Copies the value that starts at offset from (the key plus one separator),
// cut right after its last '/' or '\'. A value without a separator becomes
// empty; one without a trailing separator loses its last component.
void read_folder(const char *line, size_t offset, char *out, size_t out_size) {
  out[0] = 0;
  if (strlen(line) < offset) return;
  snprintf(out, out_size, "%s", line + offset);
  char *cut = nullptr;
  for (char *p = out; *p; p++)
    if (*p == '/' || *p == '\\') cut = p;
  if (cut) cut[1] = 0;
  else out[0] = 0;
}

// Copies the text after the key and one separator, without the white space
// around it.
void read_text(const char *line, size_t offset, char *out, size_t out_size) {
  out[0] = 0;
  if (strlen(line) < offset) return;
  const char *start = line + offset;
  while (*start && static_cast<unsigned char>(*start) <= ' ') start++;
  size_t n = strlen(start);
  while (n > 0 && static_cast<unsigned char>(start[n - 1]) <= ' ') n--;
  snprintf(out, out_size, "%.*s", static_cast<int>(n), start);
}

}  // namespace

void set_default_app_config() {
  orrery_config_t &c = orrery_config;
  memset(&c, 0, sizeof c);
  c.screenshot_scale = 3;
  c.gif_scale = 2;
  c.gif_len = 8;
  c.gpio_base = -1;
  c.shift_glyphs = 1;
  c.show_backup_messages = 1;
  c.host_framerate_control = 1;
}

void orrery_load_config(const char *line) {
  orrery_config_t &c = orrery_config;
  if (starts_with(line, "root_path")) {
    read_folder(line, 10, c.root_path, sizeof c.root_path);
    return;
  }
  if (starts_with(line, "cdata_path")) {
    read_folder(line, 11, c.cdata_path, sizeof c.cdata_path);
    return;
  }
  if (starts_with(line, "catalogue_url")) {
    read_text(line, 14, c.catalogue_url, sizeof c.catalogue_url);
    snprintf(c.catalogue_url_saved, sizeof c.catalogue_url_saved, "%s", c.catalogue_url);
    return;
  }
  struct int_key {
    const char *name;
    int32_t *value;
  };
  const int_key keys[] = {
      {"joystick_index", &c.joystick_index},
      {"live_notes", &c.live_notes},
      {"cursor_snap", &c.cursor_snap},
      {"gif_len", &c.gif_len},
      {"gui_theme", &c.gui_theme},
      {"screenshot_scale", &c.screenshot_scale},
      {"shift_glyphs", &c.shift_glyphs},
      {"show_backup_messages", &c.show_backup_messages},
      {"host_framerate_control", &c.host_framerate_control},
  };
  for (const int_key &k : keys) {
    if (!starts_with(line, k.name)) continue;
    int v;
    if (sscanf(line + strlen(k.name), "%d", &v) == 1) *k.value = v;
    return;
  }
  if (starts_with(line, "button_keys")) {
    const char *p = line + 11;
    for (int i = 0; i < k_button_key_slots; i++) {
      int v, used = 0;
      if (sscanf(p, "%d%n", &v, &used) != 1) break;
      c.button_keys[i] = v;
      p += used;
    }
  }
  // gif_scale and version are deliberately not read.
}

void orrery_save_config(FILE *f) {
  const orrery_config_t &c = orrery_config;
  fprintf(f, "version %s\n\n", ORRERY_VERSION_TEXT);
  fprintf(f, "\n// Location of orrery's root folder\n");
  fprintf(f, "root_path %s\n\n", c.root_path);
  fprintf(f, "\n// Location of cartridge save data\n");
  fprintf(f, "cdata_path %s\n\n", c.cdata_path);
  fprintf(f, "\n// Specify which player index joystick control begins at (0..7)\n");
  fprintf(f, "joystick_index %d\n\n", c.joystick_index);
  fprintf(f, "\n// Custom keyboard scancodes for buttons. player0 0..6, player1 0..5\n");
  fprintf(f, "button_keys ");
  for (int i = 0; i < k_button_key_slots; i++) fprintf(f, "%d ", c.button_keys[i]);
  fprintf(f, "\n\n");
  fprintf(f, "// Play notes as they are plotted in frequency mode\n");
  fprintf(f, "live_notes %d\n\n", c.live_notes);
  fprintf(f, "// iff 1: when using keyboard cursor, snap to closest pixel / map cel\n");
  fprintf(f, "cursor_snap %d\n\n", c.cursor_snap);
  fprintf(f, "// maximum length of gif in seconds (1..120, default 8)\n");
  fprintf(f, "gif_len %d\n\n", c.gif_len);
  fprintf(f, "// 0 classic  1 dark blue background in code editor\n");
  fprintf(f, "gui_theme %d\n\n", c.gui_theme);
  fprintf(f, "// scale of screenshots and gifs // 2 means 256x256\n");
  fprintf(f, "screenshot_scale %d\n", c.screenshot_scale);
  fprintf(f, "gif_scale %d\n\n", c.gif_scale);
  fprintf(f, "// when 1 can enter glyphs using shift-A..Z\n");
  fprintf(f, "shift_glyphs %d\n\n", c.shift_glyphs);
  fprintf(f, "// 0 for off. 1 to notify whenever unsaved changes are backed up\n");
  fprintf(f, "show_backup_messages %d\n\n", c.show_backup_messages);
  fprintf(f,
          "// 0 for off. 1 to allow control of a cart's framerate due to host machine's cpu capacity "
          "(recommended)\n");
  fprintf(f, "host_framerate_control %d\n\n", c.host_framerate_control);
  fprintf(f, "// address of the cartridge catalogue server, e.g. http://127.0.0.1:8000 (empty: offline)\n");
  fprintf(f, "catalogue_url %s\n\n", c.catalogue_url_saved);
}
