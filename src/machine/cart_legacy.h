// Bringing cartridges written by older consoles up to the current format.
#pragma once

#include <cstdint>

struct orrery_cart;

// Cartridges below this version get the pattern, note and code changes.
constexpr int32_t k_legacy_old_version = 5;
// Cartridges up to this version get the effect change.
constexpr int32_t k_legacy_effect_version = 10;
// The line whose presence marks a program written for the oldest
// collection functions.
extern const char *const k_legacy_marker_line;
// The text put in front of such a program (1270 characters): the older
// foreach, all, add, count and del.
extern const char *const k_legacy_prelude;

// Applies the changes the cartridge's version calls for, printing what it
// changed, and sets the version to the current one:
// - below 5: in each pattern whose first on, non-looping column is shorter
//   than its longest on column, column 0 is swapped with the first column
//   1-3 that is on, non-looping and that long; notes of waveform 6 at
//   volume 6 or 7 get volume 5; a program holding the marker line gets the
//   prelude when both fit in the code buffer;
// - up to 10: when no sound uses a later feature (editor mode 2 or above,
//   a loop point of 64 or above, a custom-instrument note), notes with
//   effect 1 at volume 0 get effect 0.
void apply_legacy_changes(orrery_cart *cart);
