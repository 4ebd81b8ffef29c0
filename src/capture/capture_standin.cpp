// Stand-in for capture until it is built: nothing is recorded, and saving
// reports failure so that the user is told nothing was written.
#include "capture/capture.h"

int save_png_screenshot(const vell_bitmap *) { return 1; }

void record_video_frame(const vell_bitmap *) {}

void reset_video() {}

int save_gif() { return 1; }
