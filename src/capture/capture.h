// Screenshots and GIF recordings of the console screen, saved on the
// desktop under numbered names that never replace an existing file.
#pragma once

#include <string>

struct vell_bitmap;

// Saves the 8-bit screen as a PNG on the desktop, screenshot_scale times
// its size: 0 when the file exists afterwards, else 1.
int save_png_screenshot(const vell_bitmap *screen);
// The same picture written to path (replacing a file there): 0 or 1.
int write_png_screenshot(const vell_bitmap *screen, const char *path);

// Adds the screen to the recording; once per recorded frame (30 a second).
void record_video_frame(const vell_bitmap *screen);
// Sets the recording's starting point to now.
void reset_video();
// Frames recorded since the starting point (at most the clip's length - 1).
int recorded_frame_count();

// Writes the recorded frames as a GIF on the desktop, in the calling
// thread: 0 on success, else 1.
int save_gif();
// The same GIF written to path (replacing a file there): 0 or 1.
int write_gif(const char *path);

// Saving a GIF from the main loop: the frames are taken at once, encoded
// and written by a worker thread, and the outcome is collected later, so
// that no frame waits for the encoder.
enum {
  GIF_SAVE_IDLE = 0,     // no save running or unreported
  GIF_SAVE_RUNNING = 1,  // the worker is encoding or writing
  GIF_SAVE_DONE = 2,     // the last save wrote its file
  GIF_SAVE_FAILED = 3,   // the last save wrote nothing
};
// Starts saving the recorded frames: 0 when started, 1 when an earlier
// save is still running (nothing is started then).
int start_gif_save();
// GIF_SAVE_RUNNING while a save runs; GIF_SAVE_DONE or GIF_SAVE_FAILED once
// when it has ended; GIF_SAVE_IDLE otherwise.
int poll_gif_save();
// Waits until a running save has ended; its outcome is still reported by
// poll_gif_save. Also done at process exit, so a save is never cut off.
void finish_gif_save();

// The first part of capture file names: the resource file's title, made
// safe for file names, else "ORRERY".
std::string capture_name_base();
