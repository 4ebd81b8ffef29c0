#include "audio/sound_data.h"

#include <algorithm>

bool orrery_pattern_silent(const orrery_pattern &p) {
  for (int32_t c = 0; c < 4; c++)
    if (orrery_pattern_column_on(p, c)) return false;
  return true;
}

int32_t orrery_pattern_length(const orrery_cart *cart, int32_t p) {
  const orrery_pattern &pat = cart->music[p & 63];
  int32_t longest_loop = 0;
  for (int32_t c = 0; c < 4; c++) {
    if (!orrery_pattern_column_on(pat, c)) continue;
    const orrery_sfx &s = cart->sfx[orrery_pattern_column_sound(pat, c)];
    if (!orrery_sfx_loops(s)) return orrery_sfx_length_ticks(s);
    longest_loop = std::max(longest_loop, orrery_sfx_length_ticks(s));
  }
  return longest_loop;
}
