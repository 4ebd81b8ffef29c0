// Test helpers for the sound system: a machine with its live cartridge and
// the sound system started without a device, sound-effect builders, mixer
// output pulled sample by sample, and an injectable clock.
#pragma once

#include <cstdint>
#include <vector>

struct orrery_cart;

// Defaults, a fresh machine and the sound system (headless: the tests call
// the mixer themselves). The clock reads audio_rig::now_ms.
struct audio_rig {
  static uint32_t now_ms;  // what the platform clock returns while the rig exists

  audio_rig();
  ~audio_rig();

  orrery_cart *cart() const;
  // count samples of mixer output, in one callback.
  std::vector<int16_t> mix(int count) const;
  // ticks * 183 samples, one callback per tick.
  std::vector<int16_t> mix_ticks(int ticks) const;
};

// Header fields of sound s of cart.
void set_sfx(orrery_cart *cart, int s, int speed, int loop_start = 0, int loop_end = 0);
// Note i of sound s.
void set_note(orrery_cart *cart, int s, int i, int pitch, int waveform, int volume, int effect = 0, int custom = 0);
// Pattern p: four channel values and the flag set.
void set_pattern(orrery_cart *cart, int p, int c0, int c1, int c2, int c3, int flags = 0);
