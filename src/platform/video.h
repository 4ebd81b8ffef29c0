// The screen: the engine back page, the window mode and layout, and the
// presentation of the page through the video output in use.
#pragma once

#include <cstdint>

#include "platform/layout.h"

struct vell_bitmap;

// Resets the engine palette to a grey ramp. The desktop size is read when
// the first window is made, so that nothing here needs a display.
void vell_video_init();
// Releases the back page, the window and everything drawn with it.
void vell_video_exit();

// Sets up the screen: the window (none on the headless backend) and a back page of
// width x height x depth. flags: 0x100 windowed when configured, 4 windowed,
// 8 full screen. Returns 0.
int vell_set_screen(int32_t width, int32_t height, int32_t depth, int32_t flags);
// The engine back page, or null before vell_set_screen.
vell_bitmap *vell_back_page();
// Makes the back page w x h (8-bit), keeping it when it has that size.
void vell_resize_back_page(int32_t w, int32_t h);

// Shrinks a window size (of at least 32 x 32) to what the first display
// can show; nothing changes without a display.
void vell_fit_window_size(int32_t *w, int32_t *h);
// Stores window_size and remembers that the application chose it.
void vell_set_window_size(int32_t w, int32_t h);
// Switch between windowed (1) and full screen (0); the window is made anew.
void vell_set_windowed(int on);
void vell_toggle_fullscreen();
int vell_get_windowed();  // 1 in windowed mode

void vell_set_palette(const uint8_t rgb[768]);
// Used when the window is (re)made; applied at once to an existing window.
void vell_set_window_title(const char *title);
void vell_set_window_icon(const vell_bitmap *icon);  // 32-bit bitmap, copied

// Presents the back page in the window (through the engine palette when it
// is 8-bit) and folds the time since the last present into the frame rate.
// Without a window only the frame rate is measured.
void vell_blit_to_video_plat(const vell_bitmap *page);
// Integer part of the smoothed frame rate.
int32_t vell_get_fps();

// 1 while a window exists.
int vell_has_window();
// The window's drawable size in real pixels (0 x 0 without a window).
void vell_get_drawable_size(int32_t *w, int32_t *h);
// The rectangle the page is drawn into, in drawable pixels, as laid out for
// the current window size and page size.
vell_rect vell_get_dest_rect();
// Lays the picture out again for the current window size; called on window
// resizes and display changes.
void vell_update_layout();
// Maps a mouse position in window coordinates (which differ from drawable
// pixels on high-DPI displays) to back-page pixels.
void vell_window_point_to_page(int32_t wx, int32_t wy, int32_t *px, int32_t *py);
