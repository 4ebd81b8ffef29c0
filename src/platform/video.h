// The window, its renderer and the presentation of the engine back page.
#pragma once

#include <cstdint>

struct vell_bitmap;

// Creates the engine palette (a grey ramp) and the all-black palette and,
// unless headless, reads the desktop size.
void vell_video_init();
// Releases the back page, palettes and window.
void vell_video_exit();

// Sets up the screen: the window (unless headless) and a back page of
// width x height x depth. flags: 0x100 windowed when configured, 4 windowed,
// 8 full screen. Returns 0.
int vell_set_screen(int32_t width, int32_t height, int32_t depth, int32_t flags);
// The engine back page, or null before vell_set_screen.
vell_bitmap *vell_back_page();
// Makes the back page w x h (8-bit), keeping it when it has that size.
void vell_resize_back_page(int32_t w, int32_t h);

// Stores window_size and remembers that the application chose it.
void vell_set_window_size(int32_t w, int32_t h);
void vell_set_windowed(int on);
void vell_toggle_fullscreen();
int vell_get_windowed();  // 1 in windowed mode

void vell_set_palette(const uint8_t rgb[768]);
void vell_set_window_title(const char *title);
void vell_set_window_icon(const vell_bitmap *icon);  // 32-bit bitmap

// Presents the back page in the window (through the engine palette when it
// is 8-bit) and folds the time since the last present into the frame rate.
void vell_blit_to_video_plat(const vell_bitmap *page);
// Integer part of the smoothed frame rate.
int32_t vell_get_fps();
