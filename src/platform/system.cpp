#include "platform/system.h"

#include <SDL.h>

#include "shell/config.h"
#include "shell/engine.h"
#include "shell/log.h"

namespace {

struct system_state {
  int sdl_up = 0;                  // SDL_Init succeeded
  vell_time_func clock = nullptr;  // injected clock, or null for SDL's ticks
  uint32_t start_ticks = 0;        // SDL ticks at vell_reset_timer
  int app_active = 1;
  uint32_t activation_time = 0;
};

system_state g_sys;

int thread_trampoline(void *data) {
  reinterpret_cast<vell_thread_func>(data)();
  return 0;
}

}  // namespace

void vell_system_init() {
  // Video and audio are brought up later, and only when a window or an audio
  // device is really wanted, so that headless runs need no display.
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
    vell_fatal_error("Unable to initialize SDL");
    return;
  }
  g_sys.sdl_up = 1;
  SDL_version compiled, linked;
  SDL_VERSION(&compiled);
  SDL_GetVersion(&linked);
  vell_debugf("Compiled against SDL version: %d.%d.%d\n", compiled.major, compiled.minor, compiled.patch);
  vell_debugf("Linked against SDL version:   %d.%d.%d\n", linked.major, linked.minor, linked.patch);
}

void vell_system_exit() {
  if (g_sys.sdl_up) SDL_Quit();
  g_sys.sdl_up = 0;
}

void vell_set_time_func(vell_time_func f) { g_sys.clock = f; }

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
  if (active && !g_sys.app_active) g_sys.activation_time = vell_get_time();
  g_sys.app_active = active;
}

uint32_t vell_app_activation_time() { return g_sys.activation_time; }

void *vell_create_thread(vell_thread_func f) {
  return SDL_CreateThread(thread_trampoline, "orrery-worker", reinterpret_cast<void *>(f));
}

void vell_destroy_thread(void *handle) {
  if (handle) SDL_DetachThread(static_cast<SDL_Thread *>(handle));
}

const char *vell_platform_error() { return g_sys.sdl_up ? SDL_GetError() : ""; }
