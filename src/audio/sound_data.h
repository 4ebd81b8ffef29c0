// Sound effects and music patterns as playback reads them from a cartridge:
// speeds, loops, lengths and the pattern rules.
#pragma once

#include <cstdint>

#include "machine/cart.h"

constexpr int32_t k_sfx_notes = 32;            // notes per sound effect
constexpr int32_t k_pattern_channel_off = 64;  // channel value bit 6: column silent
constexpr int32_t k_pattern_flag_loop_start = 1;
constexpr int32_t k_pattern_flag_loop_back = 2;
constexpr int32_t k_pattern_flag_stop = 4;

// Ticks per note: the speed byte, with 0 playing as 1.
inline int32_t orrery_sfx_speed(const orrery_sfx &s) { return s.speed > 0 ? s.speed : 1; }
// A sound loops when its loop end lies above its loop start.
inline bool orrery_sfx_loops(const orrery_sfx &s) { return s.loop_end > s.loop_start; }
// Length in ticks of the whole sound: 32 notes.
inline int32_t orrery_sfx_length_ticks(const orrery_sfx &s) { return k_sfx_notes * orrery_sfx_speed(s); }

// Column c of a pattern plays (its channel value is below 64).
inline bool orrery_pattern_column_on(const orrery_pattern &p, int32_t c) {
  return (p.channel[c] & 127) < k_pattern_channel_off;
}
// The sound number a playing column names (0-63).
inline int32_t orrery_pattern_column_sound(const orrery_pattern &p, int32_t c) { return p.channel[c] & 63; }
// No column of the pattern plays: such a pattern neither starts nor continues a song.
bool orrery_pattern_silent(const orrery_pattern &p);

// Ticks a pattern lasts: the length of the first playing column whose
// sound does not loop; when every playing column loops, the longest of
// them; 0 when no column plays. p is 0-63.
int32_t orrery_pattern_length(const orrery_cart *cart, int32_t p);
