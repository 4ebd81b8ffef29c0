#include "platform/joystick.h"

#include <string>

#include "platform/backends.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"

namespace {

// An axis counts as centred within this distance of 0.
constexpr int32_t k_axis_centre = 16383;
// Axes read (and validated).
constexpr int k_axes_read = 2;

// What has been seen of one controller: its buttons and axes count only
// after they were once seen at rest, so that one held at start (or a stick
// that rests off centre) does not act by itself.
struct pad_validation {
  uint32_t released_seen = 0;                // bit b: button b was seen released
  uint8_t centred_seen[k_axes_read] = {};    // axis was seen near its centre
};

struct joystick_state {
  pad_validation slot[k_vell_max_joysticks];  // by controller slot
  int up = 0;                                 // vell_joystick_init ran
  // Each kind of warning is written once per run.
  int warned_button = 0, warned_x = 0, warned_y = 0;
  uint32_t warned_missing = 0;                // bit i: slot i was reported missing
};

joystick_state g_joy;

const char *k_mapping_file = "sdl_controllers.txt";

}  // namespace

void vell_joystick_init() {
  if (g_joy.up) return;
  g_joy = joystick_state{};
  g_joy.up = 1;
  const std::string home = vell_prefix_with_appdata_path(k_mapping_file);
  vell_backends.input.pads_open({vell_prefix_with_program_path(k_mapping_file), home});
  // The home folder's file is made for the user to add mappings to.
  if (!vell_file_exists(home.c_str())) {
    static const char k_header[] = "// add SDL2 game controller mappings to this file\n";
    vell_write_new_file(home.c_str(), k_header, sizeof k_header - 1);
  }
}

void vell_joystick_exit() {
  vell_backends.input.pads_close();
  g_joy = joystick_state{};
}

void vell_joystick_slot_added(int32_t slot) {
  if (slot < 0 || slot >= k_vell_max_joysticks) return;
  g_joy.slot[slot] = pad_validation{};
  g_joy.warned_missing &= ~(1u << slot);
}

void vell_joystick_slot_removed(int32_t slot) {
  if (slot < 0 || slot >= k_vell_max_joysticks) return;
  for (int32_t j = slot; j + 1 < k_vell_max_joysticks; j++) g_joy.slot[j] = g_joy.slot[j + 1];
  g_joy.slot[k_vell_max_joysticks - 1] = pad_validation{};
}

int vell_get_joystick(int32_t index, int32_t *x, int32_t *y, uint32_t *buttons) {
  *x = *y = 0;
  *buttons = 0;
  if (index < 0 || index >= k_vell_max_joysticks) return 1;
  int32_t axes[k_axes_read];
  uint32_t held = 0;
  if (vell_backends.input.pad_read(index, axes, &held) != 0) {
    if (!(g_joy.warned_missing & (1u << index))) {
      vell_debugf("** could not read joystick %d (not attached)\n", index);
      g_joy.warned_missing |= 1u << index;
    }
    return 1;
  }
  pad_validation &s = g_joy.slot[index];
  int32_t *out[k_axes_read] = {x, y};
  for (int a = 0; a < k_axes_read; a++) {
    const int32_t v = axes[a];
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
    const bool down = (held >> b) & 1;
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

int32_t vell_count_joysticks() { return vell_backends.input.pad_count(); }

int32_t vell_count_joystick_buttons(int32_t index) { return vell_backends.input.pad_buttons(index); }
