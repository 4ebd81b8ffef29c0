// The SDL library linked into the program rather than loaded: the web
// player's host loads no libraries. Built into that program alone (the
// platform library leaves this file out), it fills the SDL backend's table
// from SDL's own functions before main runs.
#include "platform/sdl/sdl_api.h"

namespace {

vell_sdl_api linked_functions() {
  vell_sdl_api api;
#define VELL_SDL_LINKED(f) api.f = &::f;
  VELL_SDL_FUNCTIONS(VELL_SDL_LINKED)
#undef VELL_SDL_LINKED
  return api;
}

// (The table it writes is constant-initialised, so it is there before this runs.)
const int g_installed = (vell_sdl_use_linked(linked_functions()), 0);

}  // namespace
