#include "shell/main_loop.h"

#include "platform/input.h"
#include "platform/video.h"
#include "shell/engine.h"

void vell_main_update() {}

void vell_main_draw() {}

void vell_main_iteration() {
  vell_state.skip_frame = 0;
  vell_main_update();
  vell_main_draw();
  vell_blit_to_video_plat(vell_back_page());
  vell_handle_system_messages();
  vell_store_mouse_position();
}
