// Configuration keys and config.txt: the engine's settings record (live,
// and the snapshot of what config.txt held), the table of its keys, and
// the reading, writing and command-line setting of a key that the console's
// own table (machine/app_config) shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr int k_config_path_max = 1024;

// The engine's settings; the initialisers are the defaults.
struct vell_config_t {
  int32_t loaded = 0;                // 1 once config.txt was read
  int32_t screen_size_w = 0;         // kept and saved only
  int32_t screen_size_h = 0;
  int32_t window_size_w = 0;         // client size in windowed mode; under 32 means 640x480
  int32_t window_size_h = 0;
  int32_t windowed = 0;              // 1 start in a window, 0 full screen
  int32_t sound_volume = 256;        // 0..256; the mixer reads it on its own thread (atomic word)
  int32_t music_volume = 256;        // 0..256; likewise
  int32_t foreground_sleep_ms = 5;   // sleep per loop iteration with keyboard focus
  int32_t background_sleep_ms = 20;  // the same without focus
  int32_t frameless = 0;             // 1 borderless window
  int32_t window_position_x = -1;    // -1 lets the window manager place the window
  int32_t window_position_y = -1;
  int32_t mix_buffer_size = 1024;    // audio device buffer in sample frames
  int32_t windib = -1;               // read from the file; no effect
  int32_t opengl_blit = 0;           // read from the file; no effect
  int32_t show_fps = 0;              // draw the measured frame rate in the corner
  int32_t large_window = 0;          // read from the file; no effect
  int32_t rmb_key = 0;               // scancode that turns a left click into a right click; 0 none
  int32_t fullscreen_method = 1;     // 0 maximised, 1 desktop-sized borderless, 2 true full screen
  int32_t software_blit = 0;         // 1 present through the window surface
  int32_t pixel_perfect = -1;        // -1 decide at screen set-up; 1 integer scaling
  int32_t keep_aspect = 1;           // letterbox when not pixel-perfect
  int32_t draw_rect_x = 0;           // fixed destination rectangle; used when w and h > 0
  int32_t draw_rect_y = 0;
  int32_t draw_rect_w = 0;
  int32_t draw_rect_h = 0;
  int32_t sessions = 0;              // count of program starts
  int32_t timeout = 30;              // download time-out in seconds
  int32_t headless = 0;              // 1 no window, video or audio device
  char home_path[k_config_path_max] = "";     // overrides the home folder when set
  char desktop_path[k_config_path_max] = "";  // overrides the desktop folder when set
};

// The live configuration.
const vell_config_t &vell_config();
// Changes one setting of the live configuration (not what config.txt
// holds for it, for a key whose file value is written back).
void vell_config_set(int32_t vell_config_t::*field, int32_t value);
void vell_config_set_text(char (vell_config_t::*field)[k_config_path_max], const char *text);

// Back to the defaults, live and as config.txt holds them.
void vell_config_default();
// Reads config.txt from the home folder, else the program folder; missing
// files leave the defaults. Lines no engine key matches go to the platform
// hook read_config_line. Returns 0 when a file was read, 1 otherwise.
int vell_config_load();
// Writes config.txt into the home folder (the engine's keys, then the
// platform hook write_config); 0, or 1 when it could not be written.
int vell_config_save();
// Shrinks the window size, live and as written back, to what the display
// can show, so that a size the display cannot hold is neither used nor
// written back to config.txt.
void vell_config_fit_window_size();

// How a key's value reads and writes.
enum vell_value_type : uint8_t {
  VELL_INT,     // one integer ("%d")
  VELL_PAIR,    // two integers in neighbouring fields ("%d %d"); one missing keeps its value
  VELL_TEXT,    // the text after the key and one separator, without the white space around it
  VELL_FOLDER,  // the text after the key and one separator, cut right after its last '/' or '\'
  VELL_LIST,    // up to count integers in neighbouring fields, each written with a space after it
  VELL_FIXED,   // written only: the constant text
  VELL_FLAG,    // command line only, an option without a value: sets 1
  VELL_MARK,    // command line only: its value argument, whatever it says, sets 1
  VELL_RECT,    // command line only: "x,y,w,h" into four neighbouring fields; parts left out are 0, 0, 4096, 4096
  VELL_COUNT,   // command line only: a positive whole decimal number into an int64_t field, anything else 0
};

// Which value config.txt gets back.
enum vell_key_use : uint8_t {
  VELL_LIVE,        // the value the run ends with
  VELL_SNAPSHOT,    // the value the file held: the command line and changes while running last one run
  VELL_READ_ONLY,   // read, never written (a key kept for old files)
  VELL_WRITE_ONLY,  // written, never read: each start takes the default or the command line's value
  VELL_OPTION,      // command line only
};

// What a value outside lo..hi becomes.
enum vell_range_rule : uint8_t {
  VELL_ANY,           // no range
  VELL_CLAMP_FILE,    // read from the file: clamped (the command line is not)
  VELL_DEFAULT_FILE,  // read from the file: the default
  VELL_CLAMP_OPTION,  // from the command line: clamped
};

// One configuration key: a line of config.txt, a command-line option, or
// both. Tables of keys drive reading, writing and the command line; a
// table row is built as vell_key(...) followed by the builders below.
struct vell_config_key {
  const char *name = nullptr;     // key in config.txt; null: command line only
  vell_value_type type = VELL_INT;
  vell_key_use use = VELL_LIVE;
  size_t field = 0;               // offset of the value in its record
  size_t size = 0;                // bytes of a text, integers of a list
  const char *option = nullptr;   // command-line option without its '-' (a pair's first field); null: none
  const char *option2 = nullptr;  // command-line option of a pair's second field; null: none
  vell_range_rule range = VELL_ANY;
  int32_t lo = 0, hi = 0;         // the range, inclusive
  // config.txt's line: "%s" stands for the key's name, a space and its
  // value; the text around it (comments, blank lines) is written as it is.
  const char *layout = "%s\n";
  size_t mirror = 0;              // VELL_PAIR: a second pair of fields the value read is copied to (0: none)
  const char *fixed = nullptr;    // VELL_FIXED: the value written

  constexpr vell_config_key options(const char *first, const char *second = nullptr) const {
    vell_config_key k = *this;
    k.option = first;
    k.option2 = second;
    return k;
  }
  constexpr vell_config_key within(vell_range_rule rule, int32_t low, int32_t high) const {
    vell_config_key k = *this;
    k.range = rule;
    k.lo = low;
    k.hi = high;
    return k;
  }
  constexpr vell_config_key written(const char *line_layout) const {
    vell_config_key k = *this;
    k.layout = line_layout;
    return k;
  }
  constexpr vell_config_key constant(const char *text) const {
    vell_config_key k = *this;
    k.fixed = text;
    return k;
  }
  constexpr vell_config_key copied_to(size_t second_pair) const {
    vell_config_key k = *this;
    k.mirror = second_pair;
    return k;
  }
};

constexpr vell_config_key vell_key(const char *name, vell_value_type type, vell_key_use use, size_t field,
                                   size_t size = 0) {
  vell_config_key k;
  k.name = name;
  k.type = type;
  k.use = use;
  k.field = field;
  k.size = size;
  return k;
}

// The engine's keys, in the order they are written.
const vell_config_key *vell_config_keys(size_t *count);

// Reads line into the record(s) when it starts with the key's name: into
// live, and also into snapshot for a VELL_SNAPSHOT key. 1 when it did.
int vell_config_read_key(const vell_config_key &key, const char *line, void *live, void *snapshot);
// Writes the key's line (with the texts around it) for config.txt.
void vell_config_write_key(FILE *file, const vell_config_key &key, const void *live, const void *snapshot);
// Applies the key's file range to the record.
void vell_config_clamp_key(const vell_config_key &key, void *record, const void *defaults);
// Sets part (0, or 1 for a pair's option2) of the key from a command-line
// value (null for a VELL_FLAG).
void vell_config_apply_key(const vell_config_key &key, int part, const char *value, void *record);

// Sets an engine option of the command line: part as for
// vell_config_apply_key.
void vell_config_apply(const vell_config_key &key, int part, const char *value);
