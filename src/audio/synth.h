// Note synthesis: the oscillator of one channel, the per-tick note state
// with effects and custom instruments, the eight waveforms and the
// crossfade that joins ticks.
#pragma once

#include <cstdint>

#include "machine/cart.h"
#include "platform/rng.h"

constexpr int32_t k_tick_samples = 183;      // samples per tick at 22050 Hz (about 120.5 ticks a second)
constexpr int32_t k_crossfade_samples = 64;  // length of the old/new crossfade at the start of a tick
constexpr int32_t k_full_volume = 7 << 8;    // V of a note at volume 7
constexpr int32_t k_dx_min = 8;              // phase-step clamps
constexpr int32_t k_dx_max = 32768;

// Oscillator state of one channel, kept across ticks. Only the audio thread
// touches it once the channel plays (the main thread under the audio lock).
struct orrery_osc {
  int32_t waveform = 0;            // 0-7 of the sound being produced
  int32_t phase = 0;               // 0-65535, advances by dx per sample
  int32_t dx = 0;                  // phase step per sample; the tone is dx * 22050 / 65536 Hz
  uint32_t phase2 = 0;             // second accumulator (phaser), wraps at 2^32
  int32_t noise_level = 0;         // noise random-walk level, kept within -6143..6143
  int32_t noise_toggle = 0;        // 0/1; the walk moves when it becomes 1
  int32_t volume = 0;              // V: 0-1792 (note volume * 256, after scaling and effects)
  int32_t pitch = 0;               // P: semitones, 16.16
  int32_t int_pitch = 0;           // whole semitones, for the noise gain
  int32_t int_volume = 0;          // 0-7, for the noise spikes
  int32_t cur_volume = 0;          // note in use: volume 0-7
  int32_t cur_pitch = 0;           // note in use: pitch 0-63
  int32_t cur_waveform = 0;        // note in use: waveform 0-7
  int32_t prev_volume = 0;         // note before it: volume (start of a slide)
  int32_t prev_pitch = 0;          // note before it: pitch
  int32_t prev_waveform = 0;       // note before it: waveform
  int32_t inst_ticks = 0;          // ticks into the custom instrument being played
  int32_t prev_inst_pitch = 0;     // the instrument's previous note: pitch
  int32_t prev_inst_volume = 0;    // the instrument's previous note: volume
  int32_t prev_inst_waveform = 0;  // the instrument's previous note: waveform
};

// How a music channel scales its volume: fade level L (0-65536) and music
// volume M (0-256). Sound-effect channels pass null instead.
struct orrery_music_scale {
  int32_t level;   // L
  int32_t volume;  // M
};

// Phase step for a 16.16 pitch in semitones (pitch 33 is 440 Hz), clamped
// to 8..32768.
int32_t orrery_pitch_to_dx(int32_t pitch);

// Sets the oscillator for tick t of sound number sound of cart (t counts
// from the sound's note 0): note, effect and custom instrument. Does not
// advance anything.
void orrery_osc_set_tick(orrery_osc *o, const orrery_cart *cart, int32_t sound, int32_t t,
                         const orrery_music_scale *music);

// Writes count samples of the oscillator's current waveform, volume and
// step, advancing its phase, second accumulator and noise state. Noise
// draws from rng.
void orrery_osc_render(orrery_osc *o, int16_t *out, int32_t count, vell_rng_t *rng);

// Produces one tick (183 samples) of a channel that plays tick t of the
// sound: the new state, its samples, and the crossfade from the previous
// state over the first 64; then advances the instrument tick counter.
void orrery_synth_tick(orrery_osc *o, const orrery_cart *cart, int32_t sound, int32_t t,
                       const orrery_music_scale *music, int16_t *out, vell_rng_t *rng);

// One tick of a channel without a sound: a still-sounding oscillator fades
// out over 64 samples and falls silent; otherwise the tick is silent.
void orrery_synth_silent_tick(orrery_osc *o, int16_t *out, vell_rng_t *rng);
