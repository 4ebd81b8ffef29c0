// The engine configuration record, its snapshot, and config.txt's engine part.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int k_config_path_max = 1024;

struct vell_config_t {
  int32_t loaded;               // 1 once config.txt was read
  int32_t screen_size_w;        // kept and saved only
  int32_t screen_size_h;
  int32_t window_size_w;        // client size in windowed mode; under 32 means 640x480
  int32_t window_size_h;
  int32_t windowed;             // 1 start in a window, 0 full screen
  int32_t sound_volume;         // 0..256
  int32_t music_volume;         // 0..256
  int32_t foreground_sleep_ms;  // sleep per loop iteration with keyboard focus
  int32_t background_sleep_ms;  // the same without focus
  int32_t frameless;            // 1 borderless window
  int32_t window_position_x;    // -1 lets the window manager place the window
  int32_t window_position_y;
  int32_t mix_buffer_size;      // audio device buffer in sample frames
  int32_t windib;               // read from the file; no effect
  int32_t opengl_blit;          // read from the file; no effect
  int32_t show_fps;             // draw the measured frame rate in the corner
  int32_t large_window;         // read from the file; no effect
  int32_t mixer_flag;           // 1 once the console has started its sound system
  int32_t rmb_key;              // scancode that turns a left click into a right click; 0 none
  int32_t fullscreen_method;    // 0 maximised, 1 desktop-sized borderless, 2 true full screen
  int32_t software_blit;        // 1 present through the window surface
  int32_t pixel_perfect;        // -1 decide at screen set-up; 1 integer scaling
  int32_t keep_aspect;          // letterbox when not pixel-perfect
  int32_t draw_rect_x;          // fixed destination rectangle; used when w and h > 0
  int32_t draw_rect_y;
  int32_t draw_rect_w;
  int32_t draw_rect_h;
  int32_t sessions;             // count of program starts
  int32_t timeout;              // download time-out in seconds
  int32_t headless;             // 1 no window, video or audio device
  char home_path[k_config_path_max];     // overrides the home folder when set
  char desktop_path[k_config_path_max];  // overrides the desktop folder when set
};

// The live configuration.
extern vell_config_t vell_config;

// Takes the snapshot of the live configuration that vell_config_save writes
// several values from: start-up takes it right after config.txt was read,
// before the command line is applied the second time, so that command-line
// overrides of those values last one run only.
void vell_config_take_snapshot();
// Shrinks the window size, live and in the snapshot, to what the display can
// show, so that a size the display cannot hold is neither used nor written
// back to config.txt.
void vell_config_fit_window_size();

void vell_config_default();
// Reads config.txt from the home folder, else the program folder; missing
// files leave the defaults. Returns 0 when a file was read, 1 otherwise.
int vell_config_load();
// Writes config.txt into the home folder; returns 0, or 1 when it cannot be opened.
int vell_config_save();

// Reads one engine configuration line into cfg; returns 1 when an engine key
// matched, 0 when the line belongs to the application.
int vell_config_parse_line(vell_config_t &cfg, const char *line);
// Applies the clamps that follow reading the file.
void vell_config_clamp(vell_config_t &cfg);
