// Names of keys as the platform reports them, in upper case, by scancode.
#pragma once

#include <cstdint>

// Number of scancodes that have a name (0..310).
constexpr int32_t k_vell_named_keys = 311;

// The name of a scancode ("" outside 0..310 or for keys without a name),
// from the input devices in use, in upper case; names of 20 characters or
// more read "?". The table is filled at the first call.
const char *vell_get_key_name(int32_t scancode);
