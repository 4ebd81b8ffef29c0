// The script runtime's hook table: calls up into the layers above it
// (registering the script API in a new interpreter state, blocking the
// buttons when a program starts or stops) and an observer of CPU charges
// for tests. Filled once at start-up (orrery_install_hooks); slots left
// empty do nothing.
#pragma once

#include <cstdint>

struct lua_State;

struct orrery_script_hooks {
  void (*install_api)(lua_State *L) = nullptr;  // installs every API function as a global of L
  // Buttons held now count only after they are released, so that the key
  // that started or stopped a program does not act again.
  void (*block_buttons)() = nullptr;
  // Sees every charge as requested (before spend_cpu raises 0 to 1);
  // refund is 1 for refund_cpu.
  void (*cpu_charged)(int32_t cycles, int refund) = nullptr;
};

// Installs the table, with do-nothing functions in its empty slots.
void orrery_script_hooks_use(const orrery_script_hooks &hooks);
// The installed table; every slot may be called.
const orrery_script_hooks &orrery_script_hook();
