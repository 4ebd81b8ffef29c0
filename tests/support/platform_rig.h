// The platform started in a temporary home: the rig's clock and keyboard
// (g_rig_now, g_rig_keys) injected and no sleeping between polls; with a
// window, a 580x540 one on SDL's dummy video driver showing a 128x128 page
// (presented through the renderer, or the software path).
#pragma once

#include <cstdint>

#include "support/console_rig.h"
#include "support/temp_home.h"

struct platform_rig {
  temp_home home;
  bool window;

  explicit platform_rig(bool with_window = false, bool software = false);
  ~platform_rig();
  // One loop iteration at time t: the platform handles its messages.
  void poll_at(uint32_t t);
};
