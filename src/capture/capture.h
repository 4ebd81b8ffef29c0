// Screenshots and GIF recordings of the console screen.
#pragma once

struct vell_bitmap;

// Saves the 8-bit screen as a PNG on the desktop: 0 when the file exists
// afterwards, else 1.
int save_png_screenshot(const vell_bitmap *screen);
// Adds the screen to the recording; once per logical frame.
void record_video_frame(const vell_bitmap *screen);
// Sets the recording's starting point to now.
void reset_video();
// Writes the recorded frames as a GIF on the desktop: 0 on success, else 1.
int save_gif();
