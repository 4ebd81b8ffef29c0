// The sound output contract: a device that pulls samples from the mixer.
#pragma once

#include <cstdint>

// Output format the mixer writes: signed 16-bit mono at this rate.
constexpr int32_t k_vell_sample_rate = 22050;

// Fills count samples. A device backend calls it on a thread of its own.
using vell_audio_fill = void (*)(int16_t *samples, int count);

struct vell_audio_out {
  // Starts pulling blocks of frames samples at rate from fill: 0 when the
  // output plays, else the output stays silent.
  int (*open)(int32_t rate, int32_t frames, vell_audio_fill fill);
  void (*lock)();    // keeps fill from running while the main thread changes mixer state
  void (*unlock)();
  void (*close)();   // stops pulling; fill is not called after it returns
};

// Installs the sound output; empty slots get defaults (open fails, so the
// console runs silent). Null hands the choice back to vell_backends_start.
void vell_audio_out_use(const vell_audio_out *backend);
