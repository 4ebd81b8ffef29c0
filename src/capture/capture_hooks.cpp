#include "capture/capture_hooks.h"

#include "capture/capture.h"
#include "shell/hooks.h"

void orrery_capture_entry_points(orrery_hook_tables &hooks) {
  orrery_shell_hooks &s = hooks.shell;
  s.save_screenshot = save_png_screenshot;
  s.record_video_frame = record_video_frame;
  s.reset_video = reset_video;
  s.start_gif_save = start_gif_save;
  s.poll_gif_save = poll_gif_save;
}
