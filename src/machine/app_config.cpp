#include "machine/app_config.h"

#include <cstring>

namespace {

// The console's configuration: set at start-up from config.txt and the
// command line, changed by the key configuration screen, written to
// config.txt at exit.
struct app_config_state {
  orrery_config_t live;      // what the run uses
  orrery_config_t snapshot;  // the defaults and what config.txt held: VELL_SNAPSHOT keys are written from it
  std::string named_cart;    // the cartridge named on the command line
};

app_config_state g;

#define FIELD(f) offsetof(orrery_config_t, f)

// In the order config.txt lists them; the command-line options follow. The
// options match the whole text after '-'. As with the engine's keys, no
// key's name starts another's (nor an engine key's), so the order does not
// decide which key a line is.
constexpr vell_config_key k_keys[] = {
    vell_key("version", VELL_FIXED, VELL_WRITE_ONLY, 0).constant(ORRERY_VERSION_TEXT).written("%s\n\n"),
    vell_key("root_path", VELL_FOLDER, VELL_LIVE, FIELD(root_path), k_config_path_max)
        .written("\n// Location of orrery's root folder\n%s\n\n"),
    vell_key("cdata_path", VELL_FOLDER, VELL_LIVE, FIELD(cdata_path), k_config_path_max)
        .written("\n// Location of cartridge save data\n%s\n\n"),
    vell_key("joystick_index", VELL_INT, VELL_LIVE, FIELD(joystick_index))
        .options("joystick")
        .written("\n// Specify which player index joystick control begins at (0..7)\n%s\n\n"),
    vell_key("button_keys", VELL_LIST, VELL_LIVE, FIELD(button_keys), k_button_key_slots)
        .written("\n// Custom keyboard scancodes for buttons. player0 0..6, player1 0..5\n%s\n\n"),
    vell_key("live_notes", VELL_INT, VELL_LIVE, FIELD(live_notes))
        .written("// Play notes as they are plotted in frequency mode\n%s\n\n"),
    vell_key("cursor_snap", VELL_INT, VELL_LIVE, FIELD(cursor_snap))
        .written("// iff 1: when using keyboard cursor, snap to closest pixel / map cel\n%s\n\n"),
    vell_key("gif_len", VELL_INT, VELL_LIVE, FIELD(gif_len))
        .options("gif_len")
        .written("// maximum length of gif in seconds (1..120, default 8)\n%s\n\n"),
    vell_key("gui_theme", VELL_INT, VELL_LIVE, FIELD(gui_theme))
        .options("gui_theme")
        .written("// 0 classic  1 dark blue background in code editor\n%s\n\n"),
    vell_key("screenshot_scale", VELL_INT, VELL_LIVE, FIELD(screenshot_scale))
        .options("screenshot_scale")
        .written("// scale of screenshots and gifs // 2 means 256x256\n%s\n"),
    vell_key("gif_scale", VELL_INT, VELL_WRITE_ONLY, FIELD(gif_scale)).options("gif_scale").written("%s\n\n"),
    vell_key("shift_glyphs", VELL_INT, VELL_LIVE, FIELD(shift_glyphs))
        .written("// when 1 can enter glyphs using shift-A..Z\n%s\n\n"),
    vell_key("show_backup_messages", VELL_INT, VELL_LIVE, FIELD(show_backup_messages))
        .written("// 0 for off. 1 to notify whenever unsaved changes are backed up\n%s\n\n"),
    vell_key("host_framerate_control", VELL_INT, VELL_LIVE, FIELD(host_framerate_control))
        .written("// 0 for off. 1 to allow control of a cart's framerate due to host machine's cpu capacity "
                 "(recommended)\n%s\n\n"),
    vell_key("catalogue_url", VELL_TEXT, VELL_SNAPSHOT, FIELD(catalogue_url), k_config_path_max)
        .options("catalogue_url")
        .written("// address of the cartridge catalogue server, e.g. http://127.0.0.1:8000 (empty: offline)\n%s\n\n"),
    // The command line only.
    vell_key(nullptr, VELL_INT, VELL_OPTION, FIELD(gpio_base)).options("gpio_base"),
    vell_key(nullptr, VELL_FLAG, VELL_OPTION, FIELD(run_after_boot)).options("run"),
    vell_key(nullptr, VELL_FLAG, VELL_OPTION, FIELD(cartfind_at_boot)).options("cartfind"),
    vell_key(nullptr, VELL_FLAG, VELL_OPTION, FIELD(exec_mode)).options("x"),
    vell_key(nullptr, VELL_FLAG, VELL_OPTION, FIELD(exec_mode)).options("exec"),
    vell_key(nullptr, VELL_FLAG, VELL_OPTION, FIELD(fast)).options("fast"),
    vell_key(nullptr, VELL_COUNT, VELL_OPTION, FIELD(frame_limit)).options("frames"),
    vell_key(nullptr, VELL_INT, VELL_OPTION, FIELD(glitch_test)).options("glitch_test"),
    vell_key(nullptr, VELL_FLAG, VELL_OPTION, FIELD(watch)).options("watch"),
    vell_key(nullptr, VELL_TEXT, VELL_OPTION, FIELD(param_string), k_param_string_max + 1).options("p"),
};

}  // namespace

const orrery_config_t &orrery_config() { return g.live; }

void orrery_config_set(int32_t orrery_config_t::*field, int32_t value) { g.live.*field = value; }

void orrery_config_set_text(char (orrery_config_t::*field)[k_config_path_max], const char *text) {
  snprintf(g.live.*field, sizeof(g.live.*field), "%s", text);
}

void orrery_config_set_button_key(int32_t slot, int32_t scancode) {
  if (slot >= 0 && slot < 16) g.live.button_keys[slot] = scancode;
}

const std::string &orrery_named_cart() { return g.named_cart; }
void orrery_set_named_cart(const char *name) { g.named_cart = name; }

void set_default_app_config() { g = app_config_state{}; }

const vell_config_key *orrery_config_keys(size_t *count) {
  *count = sizeof k_keys / sizeof *k_keys;
  return k_keys;
}

void orrery_config_apply(const vell_config_key &key, const char *value) {
  vell_config_apply_key(key, 0, value, &g.live);
}

void orrery_load_config(const char *line) {
  for (const vell_config_key &key : k_keys)
    if (vell_config_read_key(key, line, &g.live, &g.snapshot)) return;
}

void orrery_save_config(FILE *f) {
  for (const vell_config_key &key : k_keys) vell_config_write_key(f, key, &g.live, &g.snapshot);
}
