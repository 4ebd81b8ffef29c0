// The SDL backend's clock and clipboard.
#include "platform/sdl/sdl_api.h"
#include "platform/sdl/sdl_backend.h"

namespace {

struct sdl_clock_state {
  uint32_t start_ticks = 0;  // SDL ticks at the last restart
};

sdl_clock_state g_sc;

const vell_sdl_api &sdl = vell_sdl();

uint32_t now_ms() { return vell_sdl_load() == 0 ? sdl.SDL_GetTicks() - g_sc.start_ticks : 0; }

void restart() { g_sc.start_ticks = vell_sdl_load() == 0 ? sdl.SDL_GetTicks() : 0; }

void sleep_ms(uint32_t ms) {
  if (vell_sdl_load() == 0) sdl.SDL_Delay(ms);
}

// The desktop's clipboard is reached through the video subsystem.
int clipboard_available() { return vell_sdl_load() == 0 && sdl.SDL_WasInit(SDL_INIT_VIDEO) != 0; }

void set_clipboard(const char *text) { sdl.SDL_SetClipboardText(text); }

std::string get_clipboard() {
  char *t = sdl.SDL_GetClipboardText();
  std::string out = t ? t : "";
  sdl.SDL_free(t);
  return out;
}

constexpr vell_clock_source k_sdl_clock = {now_ms, restart, sleep_ms, nullptr};
constexpr vell_clipboard_store k_sdl_clipboard = {clipboard_available, set_clipboard, get_clipboard};

}  // namespace

const vell_clock_source *vell_sdl_clock() { return &k_sdl_clock; }
const vell_clipboard_store *vell_sdl_clipboard() { return &k_sdl_clipboard; }
