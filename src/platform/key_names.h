// Names of keys as the platform reports them, in upper case, by scancode.
#pragma once

#include <cstdint>

// Number of scancodes that have a name (0..310).
constexpr int32_t k_vell_named_keys = 311;

// Fills the table from the platform's key names; names of 20 characters or
// more become "?". Called by vell_system_init.
void vell_build_key_names();
// The name of a scancode ("" outside 0..310 or for keys without a name).
const char *vell_get_key_name(int32_t scancode);
