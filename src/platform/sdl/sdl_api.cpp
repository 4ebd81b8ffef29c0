#include "platform/sdl/sdl_api.h"

#include <dlfcn.h>

#include <initializer_list>

#include "platform/log.h"

namespace {

// SDL and the fifty libraries it brings (sound servers, X11, Wayland, the
// decoders of its sound layer) take a third of the start-up time of a run
// that needs none of them, so they are loaded only for a window or a device.
struct sdl_library {
  vell_sdl_api api;  // filled by load_library
  int tried = 0;     // load_library ran
  int result = 1;    // its result: 0 loaded
};

sdl_library g_lib;

int load_library() {
#ifdef __EMSCRIPTEN__
  // A web program has SDL linked in or none at all.
  vell_debug("** SDL is not linked into this program\n");
  return 1;
#else
  void *lib = nullptr;
  for (const char *name : {"libSDL2-2.0.so.0", "libSDL2.so"})
    if ((lib = dlopen(name, RTLD_NOW | RTLD_GLOBAL))) break;
  if (!lib) {
    vell_debugf("** could not load SDL: %s\n", dlerror());
    return 1;
  }
  int missing = 0;
#define VELL_SDL_LOOKUP(f)                                                   \
  g_lib.api.f = reinterpret_cast<decltype(g_lib.api.f)>(dlsym(lib, #f)); \
  if (!g_lib.api.f) missing++;
  VELL_SDL_FUNCTIONS(VELL_SDL_LOOKUP)
#undef VELL_SDL_LOOKUP
  if (missing) {
    vell_debugf("** SDL lacks %d functions\n", missing);
    g_lib.api = vell_sdl_api{};
    return 1;
  }
  // The library stays loaded for the rest of the process.
  return 0;
#endif
}

}  // namespace

int vell_sdl_load() {
  if (!g_lib.tried) {
    g_lib.tried = 1;
    g_lib.result = load_library();
  }
  return g_lib.result;
}

const vell_sdl_api &vell_sdl() { return g_lib.api; }

void vell_sdl_use_linked(const vell_sdl_api &api) {
  g_lib.api = api;
  g_lib.tried = 1;
  g_lib.result = 0;
}
