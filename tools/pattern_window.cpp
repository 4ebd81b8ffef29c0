// Starts the console exactly as orrery does (same command line), then keeps
// presenting a known picture in the back page instead of the console's
// screen, so that the window, its scaling and placement can be checked from
// a screenshot. Prints "ready" once the picture has been presented, and
// ends by itself after the number of seconds in ORRERY_PATTERN_SECONDS
// (default 20) or when the window is closed.
#include <cstdio>
#include <cstdlib>

#include "gfx/bitmap.h"
#include "platform/input.h"
#include "platform/system.h"
#include "platform/video.h"
#include "shell/console.h"
#include "shell/engine.h"
#include "shell/hooks.h"

namespace {

// Palette entries 1..4 of the picture: red, green, blue, yellow.
constexpr uint8_t k_colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};

}  // namespace

int main(int argc, char **argv) {
  orrery_install_hooks();
  vell_main_init(argc, argv);
  uint8_t palette[768] = {};
  for (int i = 0; i < 4; i++)
    for (int c = 0; c < 3; c++) palette[(i + 1) * 3 + c] = k_colours[i][c];
  vell_set_palette(palette);

  vell_bitmap *page = vell_back_page();
  if (!page) return 1;
  // Neighbouring pixels always differ, so a shift by one shows.
  for (int y = 0; y < page->h; y++)
    for (int x = 0; x < page->w; x++) vell_putpixel(page, x, y, 1 + (x + 2 * y) % 4);

  const char *env = getenv("ORRERY_PATTERN_SECONDS");
  const uint32_t limit_ms = static_cast<uint32_t>(env ? atoi(env) : 20) * 1000;
  const uint32_t start = vell_get_time();
  int frames = 0;
  while (!vell_state.quit && vell_get_time() - start < limit_ms) {
    vell_blit_to_video_plat(page);
    vell_handle_system_messages();
    if (++frames == 30) {
      printf("ready\n");
      fflush(stdout);
    }
  }
  vell_exit();
  return 0;
}
