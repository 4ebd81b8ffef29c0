// The video contract: the window and the presentation of pages in it.
#pragma once

#include <cstdint>

struct vell_bitmap;

struct vell_video_out {
  // Size of the first display's desktop; 0 x 0 when there is no display.
  void (*desktop_size)(int32_t *w, int32_t *h);
  // Shrinks a window size to what the first display can show.
  void (*fit_window)(int32_t *w, int32_t *h);
  // Makes the window anew: full screen (windowed 0) or a window of the
  // configured size, titled and with the icon set so far. A window that
  // cannot be made ends the process through vell_fatal_error.
  void (*open)(int windowed);
  int (*has_window)();  // 1 while a window exists
  // Draws the page (8-bit through the engine palette, or 32-bit) into the
  // window at vell_get_dest_rect().
  void (*present)(const vell_bitmap *page);
  // The window's drawable size in real pixels, and its size in window
  // coordinates (they differ on high-DPI displays); 0 x 0 without a window.
  void (*drawable_size)(int32_t *w, int32_t *h);
  void (*window_size)(int32_t *w, int32_t *h);
  void (*set_title)(const char *title);      // kept for the next window too
  void (*set_icon)(const vell_bitmap *icon);  // 32-bit, copied; null removes it
  void (*close)();                            // the window and everything of the display go
  const char *(*last_error)();                // the display library's last error, "" when none
};

// Installs the video output; empty slots get defaults (no display: no
// window, nothing presented). Null hands the choice back to vell_backends_start.
void vell_video_out_use(const vell_video_out *backend);
