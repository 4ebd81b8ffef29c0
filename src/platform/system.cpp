#include "platform/system.h"

#include <SDL.h>

#include <ctime>

#include <string>

#include "platform/config.h"
#include "platform/engine_state.h"
#include "platform/key_names.h"
#include "platform/log.h"

namespace {

struct system_state {
  int sdl_up = 0;                  // SDL_Init succeeded
  vell_time_func clock = nullptr;  // injected clock, or null for SDL's ticks
  uint32_t start_ticks = 0;        // SDL ticks at vell_reset_timer
  int app_active = 1;              // 1 while the window has keyboard focus (always without one)
  uint32_t activation_time = 0;    // time the window last became active, ms
};

system_state g_sys;

int thread_trampoline(void *data) {
  reinterpret_cast<vell_thread_func>(data)();
  return 0;
}

}  // namespace

void vell_system_init() {
  // Video and audio are brought up later, and only when a window or an audio
  // device is really wanted, so that headless runs need no display and no
  // sound card. Controllers need neither.
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
    vell_fatal_error("Unable to initialize SDL");
    return;
  }
  g_sys.sdl_up = 1;
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER | SDL_INIT_HAPTIC) != 0)
    vell_debugf("** game controllers unavailable: %s\n", SDL_GetError());
  SDL_version compiled, linked;
  SDL_VERSION(&compiled);
  SDL_GetVersion(&linked);
  vell_debugf("Compiled against SDL version: %d.%d.%d\n", compiled.major, compiled.minor, compiled.patch);
  vell_debugf("Linked against SDL version:   %d.%d.%d\n", linked.major, linked.minor, linked.patch);
  std::string drivers;
  for (int i = 0; i < SDL_GetNumVideoDrivers(); i++) drivers += std::string(" ") + SDL_GetVideoDriver(i);
  vell_debugf("video drivers:%s\n", drivers.c_str());
  drivers.clear();
  for (int i = 0; i < SDL_GetNumRenderDrivers(); i++) {
    SDL_RendererInfo info;
    if (SDL_GetRenderDriverInfo(i, &info) == 0) drivers += std::string(" ") + info.name;
  }
  vell_debugf("render drivers:%s\n", drivers.c_str());
  vell_build_key_names();
}

void vell_system_exit() {
  if (g_sys.sdl_up) SDL_Quit();
  g_sys.sdl_up = 0;
}

void vell_set_time_func(vell_time_func f) { g_sys.clock = f; }

vell_time_func vell_get_time_func() { return g_sys.clock; }

void vell_reset_timer() { g_sys.start_ticks = SDL_GetTicks(); }

uint32_t vell_get_time() {
  if (g_sys.clock) return g_sys.clock();
  return SDL_GetTicks() - g_sys.start_ticks;
}

void vell_delay(uint32_t ms) {
  if (ms) SDL_Delay(ms);
}

int vell_is_app_active() { return g_sys.app_active; }

void vell_set_app_active(int active) {
  // Every activation counts, so that the Tab of an Alt+Tab back into the
  // window is recognised.
  if (active) g_sys.activation_time = vell_get_time();
  g_sys.app_active = active;
}

uint32_t vell_app_activation_time() { return g_sys.activation_time; }

void *vell_create_thread(vell_thread_func f) {
  return SDL_CreateThread(thread_trampoline, "orrery-worker", reinterpret_cast<void *>(f));
}

void vell_destroy_thread(void *handle) {
  if (handle) SDL_DetachThread(static_cast<SDL_Thread *>(handle));
}

void vell_wait_thread(void *handle) {
  if (handle) SDL_WaitThread(static_cast<SDL_Thread *>(handle), nullptr);
}

const char *vell_platform_error() { return g_sys.sdl_up ? SDL_GetError() : ""; }

int64_t vell_get_calendar_seconds() { return static_cast<int64_t>(time(nullptr)); }
