#include "platform/joystick.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"

namespace {

// An axis counts as centred within this distance of 0.
constexpr int32_t k_axis_centre = 16383;
// An axis reading 0 until validated.
constexpr int k_axes_read = 2;

struct joystick_slot {
  SDL_GameController *controller;  // when the platform knows a mapping, else null
  SDL_Joystick *joystick;          // the device (owned by controller when that is set)
  SDL_JoystickID instance;         // the platform's id of the device
  uint32_t released_seen;          // bit b: button b was seen released
  uint8_t centred_seen[k_axes_read];  // axis was seen near its centre
};

struct joystick_state {
  joystick_slot slot[k_vell_max_joysticks];  // opened devices, in order
  int32_t count;                             // slots in use
  int up;                                    // vell_joystick_init ran
  // Each kind of warning is written once per run.
  int warned_button, warned_x, warned_y;
  uint32_t warned_missing;                   // bit i: index i was reported missing
};

joystick_state g_joy;

const char *k_mapping_file = "sdl_controllers.txt";

// Adds every mapping line of one file; returns 0 when the file was read.
int add_mappings_from(const std::string &path) {
  FILE *f = fopen(path.c_str(), "r");
  if (!f) return 1;
  char line[2048];
  while (fgets(line, sizeof line, f)) {
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    if (n == 0 || line[0] == '/') continue;
    int r = SDL_GameControllerAddMapping(line);
    if (r == 1) vell_debugf(" added controller mapping: %s\n", line);
    else if (r == 0) vell_debugf(" updated controller mapping: %s\n", line);
    else vell_debugf(" failed to add controller mapping: %s\n", line);
  }
  fclose(f);
  return 0;
}

void add_sdl_controllers() {
  add_mappings_from(vell_prefix_with_program_path(k_mapping_file));
  const std::string home = vell_prefix_with_appdata_path(k_mapping_file);
  if (add_mappings_from(home) != 0) {
    static const char k_header[] = "// add SDL2 game controller mappings to this file\n";
    vell_write_new_file(home.c_str(), k_header, sizeof k_header - 1);
  }
}

bool is_open(SDL_JoystickID id) {
  for (int32_t i = 0; i < g_joy.count; i++)
    if (g_joy.slot[i].instance == id) return true;
  return false;
}

// Opens one device into the next free slot, logging what it is.
void open_device(int device_index) {
  if (g_joy.count >= k_vell_max_joysticks) return;
  if (is_open(SDL_JoystickGetDeviceInstanceID(device_index))) return;
  joystick_slot s = {};
  const int32_t n = g_joy.count;
  if (SDL_IsGameController(device_index)) {
    s.controller = SDL_GameControllerOpen(device_index);
    if (!s.controller) return;
    s.joystick = SDL_GameControllerGetJoystick(s.controller);
    const char *name = SDL_GameControllerName(s.controller);
    vell_debugf("Controller %d: %s\n", n, name ? name : "");
    vell_debugf("Number of Axes: %d\n", SDL_JoystickNumAxes(s.joystick));
    vell_debugf("Number of Buttons: %d\n", SDL_JoystickNumButtons(s.joystick));
    vell_debugf("Number of Balls: %d\n", SDL_JoystickNumBalls(s.joystick));
    char *mapping = SDL_GameControllerMapping(s.controller);
    vell_debugf("Mapping: %s\n", mapping ? mapping : "");
    SDL_free(mapping);
  } else {
    s.joystick = SDL_JoystickOpen(device_index);
    if (!s.joystick) return;
    const char *name = SDL_JoystickName(s.joystick);
    vell_debugf("Unmapped Joystick %d: %s\n", n, name ? name : "");
    vell_debugf("Number of Axes: %d\n", SDL_JoystickNumAxes(s.joystick));
    vell_debugf("Number of Buttons: %d\n", SDL_JoystickNumButtons(s.joystick));
    vell_debugf("Number of Balls: %d\n", SDL_JoystickNumBalls(s.joystick));
  }
  s.instance = SDL_JoystickInstanceID(s.joystick);
  g_joy.slot[g_joy.count++] = s;
  g_joy.warned_missing &= ~(1u << n);
}

void close_slot(joystick_slot &s) {
  if (s.controller) SDL_GameControllerClose(s.controller);
  else if (s.joystick) SDL_JoystickClose(s.joystick);
  s = joystick_slot{};
}

int16_t read_axis(const joystick_slot &s, int axis) {
  if (s.controller)
    return SDL_GameControllerGetAxis(s.controller, axis == 0 ? SDL_CONTROLLER_AXIS_LEFTX : SDL_CONTROLLER_AXIS_LEFTY);
  return SDL_JoystickGetAxis(s.joystick, axis);
}

bool read_button(const joystick_slot &s, int b) {
  if (s.controller) return SDL_GameControllerGetButton(s.controller, static_cast<SDL_GameControllerButton>(b)) != 0;
  return SDL_JoystickGetButton(s.joystick, b) != 0;
}

}  // namespace

void vell_joystick_init() {
  if (g_joy.up) return;
  g_joy = joystick_state{};
  g_joy.up = 1;
  // SDL's own built-in mapping database is loaded with its joystick layer;
  // the files add to it and override it.
  add_sdl_controllers();
  vell_debug(">searching for joysticks\n");
  const int found = SDL_WasInit(SDL_INIT_JOYSTICK) ? SDL_NumJoysticks() : 0;
  vell_debugf("found %d joysticks\n", found < 0 ? 0 : found);
  for (int i = 0; i < found && g_joy.count < k_vell_max_joysticks; i++) open_device(i);
  vell_debug("<ok\n");
}

void vell_joystick_exit() {
  for (int32_t i = 0; i < g_joy.count; i++) close_slot(g_joy.slot[i]);
  g_joy = joystick_state{};
}

void vell_joystick_device_added(int32_t device_index) {
  if (!g_joy.up) return;
  open_device(device_index);
}

void vell_joystick_device_removed(int32_t instance_id) {
  for (int32_t i = 0; i < g_joy.count; i++) {
    if (g_joy.slot[i].instance != instance_id) continue;
    vell_debugf("joystick %d removed\n", i);
    close_slot(g_joy.slot[i]);
    // Later controllers move up, so the opened ones stay numbered 0..count-1.
    for (int32_t j = i; j + 1 < g_joy.count; j++) g_joy.slot[j] = g_joy.slot[j + 1];
    g_joy.slot[--g_joy.count] = joystick_slot{};
    return;
  }
}

int vell_get_joystick(int32_t index, int32_t *x, int32_t *y, uint32_t *buttons) {
  *x = *y = 0;
  *buttons = 0;
  if (index < 0 || index >= k_vell_max_joysticks) return 1;
  if (index >= g_joy.count || !SDL_JoystickGetAttached(g_joy.slot[index].joystick)) {
    if (!(g_joy.warned_missing & (1u << index))) {
      vell_debugf("** could not read joystick %d (not attached)\n", index);
      g_joy.warned_missing |= 1u << index;
    }
    return 1;
  }
  joystick_slot &s = g_joy.slot[index];
  int32_t *out[k_axes_read] = {x, y};
  for (int a = 0; a < k_axes_read; a++) {
    const int32_t v = read_axis(s, a);
    if (v >= -k_axis_centre && v <= k_axis_centre) s.centred_seen[a] = 1;
    if (s.centred_seen[a]) {
      *out[a] = v;
    } else if (a == 0 ? !g_joy.warned_x : !g_joy.warned_y) {
      vell_debugf(a == 0 ? "** x axis %d not validated on joystick %d\n" : "** y axis %d not validated on joystick %d\n",
                  a, index);
      (a == 0 ? g_joy.warned_x : g_joy.warned_y) = 1;
    }
  }
  for (int b = 0; b < k_vell_joystick_buttons; b++) {
    const bool down = read_button(s, b);
    if (!down) s.released_seen |= 1u << b;
    if (!down) continue;
    if (s.released_seen & (1u << b)) {
      *buttons |= 1u << b;
    } else if (!g_joy.warned_button) {
      vell_debugf("** button %d not validated on joystick %d\n", b, index);
      g_joy.warned_button = 1;
    }
  }
  return 0;
}

int32_t vell_count_joysticks() { return g_joy.count; }

int32_t vell_count_joystick_buttons(int32_t index) {
  if (index < 0 || index >= g_joy.count) return 0;
  if (g_joy.slot[index].controller) return SDL_CONTROLLER_BUTTON_MAX;
  return SDL_JoystickNumButtons(g_joy.slot[index].joystick);
}
