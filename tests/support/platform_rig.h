// The platform started without a window in a temporary home: the rig's
// clock and keyboard (g_rig_now, g_rig_keys) injected and no sleeping
// between polls.
#pragma once

#include <cstdint>

#include "support/console_rig.h"

struct platform_rig {
  temp_home home;

  platform_rig();
  ~platform_rig();
  // One loop iteration at time t: the platform handles its messages.
  void poll_at(uint32_t t);
};
