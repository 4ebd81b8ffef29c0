// The SDL backend's input: SDL's start-up, its event queue, keyboard and
// mouse states, and its game controllers.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/engine_state.h"
#include "platform/joystick.h"
#include "platform/log.h"
#include "platform/sdl/sdl_api.h"
#include "platform/sdl/sdl_backend.h"

namespace {

struct pad {
  SDL_GameController *controller = nullptr;  // when SDL knows a mapping, else null
  SDL_Joystick *joystick = nullptr;          // the device (owned by controller when that is set)
  SDL_JoystickID instance = -1;              // SDL's id of the device
};

struct sdl_input_state {
  int up = 0;                         // SDL_Init ran and succeeded
  pad pads[k_vell_max_joysticks];     // opened controllers, in order
  int32_t pad_count = 0;              // slots in use
  int pads_open = 0;                  // pads_open ran, so hot-plugged controllers are opened
};

sdl_input_state g_si;

const vell_sdl_api &sdl = vell_sdl();

void start() {
  if (g_si.up) return;
  // Video and audio are brought up later, and only when a window or an audio
  // device is really wanted. Controllers need neither.
  if (vell_sdl_load() != 0 || sdl.SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
    vell_fatal_error("Unable to initialize SDL");
    return;
  }
  g_si.up = 1;
  if (sdl.SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER | SDL_INIT_HAPTIC) != 0)
    vell_debugf("** game controllers unavailable: %s\n", sdl.SDL_GetError());
  SDL_version compiled, linked;
  SDL_VERSION(&compiled);
  sdl.SDL_GetVersion(&linked);
  vell_debugf("Compiled against SDL version: %d.%d.%d\n", compiled.major, compiled.minor, compiled.patch);
  vell_debugf("Linked against SDL version:   %d.%d.%d\n", linked.major, linked.minor, linked.patch);
  std::string drivers;
  for (int i = 0; i < sdl.SDL_GetNumVideoDrivers(); i++) drivers += std::string(" ") + sdl.SDL_GetVideoDriver(i);
  vell_debugf("video drivers:%s\n", drivers.c_str());
  drivers.clear();
  for (int i = 0; i < sdl.SDL_GetNumRenderDrivers(); i++) {
    SDL_RendererInfo info;
    if (sdl.SDL_GetRenderDriverInfo(i, &info) == 0) drivers += std::string(" ") + info.name;
  }
  vell_debugf("render drivers:%s\n", drivers.c_str());
}

void stop() {
  if (g_si.up) sdl.SDL_Quit();
  g_si.up = 0;
}

const uint8_t *keys(int *count) {
  static const uint8_t k_none[1] = {0};
  if (!g_si.up) {
    *count = 0;
    return k_none;
  }
  return sdl.SDL_GetKeyboardState(count);
}

uint32_t modifiers() {
  if (!g_si.up) return 0;
  const SDL_Keymod m = sdl.SDL_GetModState();
  const int mask[6] = {KMOD_LCTRL, KMOD_RCTRL, KMOD_LALT, KMOD_RALT, KMOD_LGUI, KMOD_RGUI};
  uint32_t bits = 0;
  for (int i = 0; i < 6; i++)
    if (m & mask[i]) bits |= 1u << i;
  return bits;
}

// Adds every mapping line of one file; returns 0 when the file was read.
int add_mappings_from(const std::string &path) {
  FILE *f = fopen(path.c_str(), "r");
  if (!f) return 1;
  char line[2048];
  while (fgets(line, sizeof line, f)) {
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    if (n == 0 || line[0] == '/') continue;
    int r = sdl.SDL_GameControllerAddMapping(line);
    if (r == 1) vell_debugf(" added controller mapping: %s\n", line);
    else if (r == 0) vell_debugf(" updated controller mapping: %s\n", line);
    else vell_debugf(" failed to add controller mapping: %s\n", line);
  }
  fclose(f);
  return 0;
}

bool is_open(SDL_JoystickID id) {
  for (int32_t i = 0; i < g_si.pad_count; i++)
    if (g_si.pads[i].instance == id) return true;
  return false;
}

// Opens one device into the next free slot, logging what it is. Returns
// the slot, or -1.
int32_t open_device(int device_index) {
  if (g_si.pad_count >= k_vell_max_joysticks) return -1;
  if (is_open(sdl.SDL_JoystickGetDeviceInstanceID(device_index))) return -1;
  pad s;
  const int32_t n = g_si.pad_count;
  if (sdl.SDL_IsGameController(device_index)) {
    s.controller = sdl.SDL_GameControllerOpen(device_index);
    if (!s.controller) return -1;
    s.joystick = sdl.SDL_GameControllerGetJoystick(s.controller);
    const char *name = sdl.SDL_GameControllerName(s.controller);
    vell_debugf("Controller %d: %s\n", n, name ? name : "");
    vell_debugf("Number of Axes: %d\n", sdl.SDL_JoystickNumAxes(s.joystick));
    vell_debugf("Number of Buttons: %d\n", sdl.SDL_JoystickNumButtons(s.joystick));
    vell_debugf("Number of Balls: %d\n", sdl.SDL_JoystickNumBalls(s.joystick));
    char *mapping = sdl.SDL_GameControllerMapping(s.controller);
    vell_debugf("Mapping: %s\n", mapping ? mapping : "");
    sdl.SDL_free(mapping);
  } else {
    s.joystick = sdl.SDL_JoystickOpen(device_index);
    if (!s.joystick) return -1;
    const char *name = sdl.SDL_JoystickName(s.joystick);
    vell_debugf("Unmapped Joystick %d: %s\n", n, name ? name : "");
    vell_debugf("Number of Axes: %d\n", sdl.SDL_JoystickNumAxes(s.joystick));
    vell_debugf("Number of Buttons: %d\n", sdl.SDL_JoystickNumButtons(s.joystick));
    vell_debugf("Number of Balls: %d\n", sdl.SDL_JoystickNumBalls(s.joystick));
  }
  s.instance = sdl.SDL_JoystickInstanceID(s.joystick);
  g_si.pads[g_si.pad_count++] = s;
  return n;
}

void close_pad(pad &s) {
  if (s.controller) sdl.SDL_GameControllerClose(s.controller);
  else if (s.joystick) sdl.SDL_JoystickClose(s.joystick);
  s = pad{};
}

// Closes the device with that instance id; returns the slot it had, or -1.
int32_t remove_device(SDL_JoystickID instance) {
  for (int32_t i = 0; i < g_si.pad_count; i++) {
    if (g_si.pads[i].instance != instance) continue;
    vell_debugf("joystick %d removed\n", i);
    close_pad(g_si.pads[i]);
    // Later controllers move up, so the opened ones stay numbered 0..count-1.
    for (int32_t j = i; j + 1 < g_si.pad_count; j++) g_si.pads[j] = g_si.pads[j + 1];
    g_si.pads[--g_si.pad_count] = pad{};
    return i;
  }
  return -1;
}

void pads_open(const std::vector<std::string> &mapping_files) {
  if (!g_si.up) return;
  // SDL's own built-in mapping database is loaded with its joystick layer;
  // the files add to it and override it.
  for (const std::string &path : mapping_files) add_mappings_from(path);
  g_si.pads_open = 1;
  vell_debug(">searching for joysticks\n");
  const int found = sdl.SDL_WasInit(SDL_INIT_JOYSTICK) ? sdl.SDL_NumJoysticks() : 0;
  vell_debugf("found %d joysticks\n", found < 0 ? 0 : found);
  for (int i = 0; i < found && g_si.pad_count < k_vell_max_joysticks; i++) open_device(i);
  vell_debug("<ok\n");
}

void pads_close() {
  for (int32_t i = 0; i < g_si.pad_count; i++) close_pad(g_si.pads[i]);
  g_si.pad_count = 0;
  g_si.pads_open = 0;
}

int32_t pad_count() { return g_si.pad_count; }

int32_t pad_buttons(int32_t slot) {
  if (slot < 0 || slot >= g_si.pad_count) return 0;
  if (g_si.pads[slot].controller) return SDL_CONTROLLER_BUTTON_MAX;
  return sdl.SDL_JoystickNumButtons(g_si.pads[slot].joystick);
}

int pad_read(int32_t slot, int32_t axes[2], uint32_t *buttons) {
  axes[0] = axes[1] = 0;
  *buttons = 0;
  if (slot < 0 || slot >= g_si.pad_count || !sdl.SDL_JoystickGetAttached(g_si.pads[slot].joystick)) return 1;
  const pad &s = g_si.pads[slot];
  for (int a = 0; a < 2; a++)
    axes[a] = s.controller ? sdl.SDL_GameControllerGetAxis(
                                 s.controller, a == 0 ? SDL_CONTROLLER_AXIS_LEFTX : SDL_CONTROLLER_AXIS_LEFTY)
                           : sdl.SDL_JoystickGetAxis(s.joystick, a);
  for (int b = 0; b < k_vell_joystick_buttons; b++) {
    const bool down = s.controller
                          ? sdl.SDL_GameControllerGetButton(s.controller, static_cast<SDL_GameControllerButton>(b))
                          : sdl.SDL_JoystickGetButton(s.joystick, b);
    if (down) *buttons |= 1u << b;
  }
  return 0;
}

// Translates one SDL event; returns 0 for events nobody above needs.
int translate(const SDL_Event &e, vell_input_event *out) {
  *out = vell_input_event{};
  switch (e.type) {
    case SDL_QUIT:
      out->type = k_vell_event_quit;
      return 1;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          out->type = k_vell_event_active;
          out->a = 1;
          return 1;
        case SDL_WINDOWEVENT_HIDDEN:
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_FOCUS_LOST:
          out->type = k_vell_event_active;
          return 1;
        case SDL_WINDOWEVENT_CLOSE:
          out->type = k_vell_event_window_close;
          out->a = static_cast<int32_t>(e.window.windowID);
          return 1;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESIZED:
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
          out->type = k_vell_event_layout;
          return 1;
        default:
          return 0;
      }
    case SDL_MOUSEBUTTONDOWN:
      out->type = k_vell_event_mouse_down;
      out->a = static_cast<int32_t>(SDL_BUTTON(e.button.button));
      return 1;
    case SDL_MOUSEWHEEL: {
      const int dir = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
      out->type = k_vell_event_wheel;
      out->a = e.wheel.x * dir;
      out->b = e.wheel.y * dir;
      return 1;
    }
    case SDL_TEXTINPUT:
      out->type = k_vell_event_text;
      snprintf(out->text, sizeof out->text, "%s", e.text.text);
      return 1;
    case SDL_KEYDOWN:
      // SDL's key codes follow the same scheme as k_vell_sym_scancode.
      out->type = k_vell_event_key_down;
      out->a = e.key.keysym.scancode;
      out->b = e.key.keysym.sym;
      out->repeat = e.key.repeat ? 1 : 0;
      return 1;
    case SDL_JOYDEVICEADDED:
      if (!g_si.pads_open) return 0;
      out->type = k_vell_event_pad_added;
      out->a = open_device(e.jdevice.which);
      return out->a >= 0;
    case SDL_JOYDEVICEREMOVED:
      out->type = k_vell_event_pad_removed;
      out->a = remove_device(e.jdevice.which);
      return out->a >= 0;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
      out->type = k_vell_event_layout;
      return 1;
    default:
      return 0;
  }
}

int poll(vell_input_event *out) {
  if (!g_si.up) return 0;
  SDL_Event e;
  while (sdl.SDL_PollEvent(&e))
    if (translate(e, out)) return 1;
  return 0;
}

uint32_t mouse(int32_t *wx, int32_t *wy) {
  int x = 0, y = 0;
  const Uint32 b = g_si.up ? sdl.SDL_GetMouseState(&x, &y) : 0;
  *wx = x;
  *wy = y;
  // SDL's button masks are the k_vell_mouse_ bits.
  return b & (k_vell_mouse_left | k_vell_mouse_middle | k_vell_mouse_right);
}

void warp_mouse(int32_t wx, int32_t wy) {
  if (SDL_Window *w = vell_sdl_window()) sdl.SDL_WarpMouseInWindow(w, wx, wy);
}

void hide_cursor() {
  if (g_si.up) sdl.SDL_ShowCursor(SDL_DISABLE);
}

// SDL's key names are a table inside the library: they need it loaded, but
// no device and no initialisation.
const char *key_name(int32_t scancode) {
  if (vell_sdl_load() != 0) return "";
  const char *n = sdl.SDL_GetScancodeName(static_cast<SDL_Scancode>(scancode));
  return n ? n : "";
}

constexpr vell_input_devices k_sdl_input = {
    start,    stop,       keys,      modifiers, poll,        mouse,       warp_mouse, hide_cursor,
    key_name, pads_open, pads_close, pad_count, pad_buttons, pad_read,
};

}  // namespace

const vell_input_devices *vell_sdl_input() { return &k_sdl_input; }
