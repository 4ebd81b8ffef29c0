#include "capture/capture_hooks.h"

#include "capture/capture.h"
#include "shell/hooks.h"

void orrery_install_capture() {
  orrery_capture_hooks hooks = {};
  hooks.save_png_screenshot = save_png_screenshot;
  hooks.record_video_frame = record_video_frame;
  hooks.reset_video = reset_video;
  hooks.start_gif_save = start_gif_save;
  hooks.poll_gif_save = poll_gif_save;
  orrery_set_capture_hooks(hooks);
}
