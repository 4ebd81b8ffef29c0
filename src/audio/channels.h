// The eight mixer channels and the music sequencer: starting and stopping
// sounds and songs, the automatic channel choice, per-tick loops and ends,
// pattern changes, the music fade and the playback readings.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/synth.h"
#include "machine/cart.h"
#include "platform/rng.h"

constexpr int32_t k_channels = 8;        // 0-3 sound effects, 4-7 the music columns
constexpr int32_t k_sfx_channels = 4;    // channel k+4 is the music column paired with channel k
constexpr int32_t k_echo_ticks = 8;      // echo history length in ticks
constexpr int32_t k_fade_full = 65536;   // music fade level at full volume
constexpr int32_t k_duck_ramp = 32;      // samples a music column takes to fade out or in under a sound effect

// One mixer channel. Changed by the main thread only under the audio lock;
// otherwise owned by the mixer on the audio thread.
struct orrery_channel {
  const orrery_cart *cart;   // cartridge whose sounds and patterns it plays; null when idle
  int32_t sound;             // sound number 0-63 being played, -1 none
  int32_t t;                 // ticks since note 0 of the sound
  int32_t ticks_remaining;   // ticks left before the sound or pattern ends; -1 unlimited
  int32_t loop_enabled;      // 1 while the sound's loop is honoured (cleared by release)
  int32_t identity;          // column 0-3: the bit this channel answers to in the effect masks
  int32_t music;             // 1 while the channel carries a music column
  int32_t pattern;           // music: the pattern being played, 0-63
  orrery_osc osc;            // oscillator state
  int16_t tick[k_tick_samples];                 // the current tick's samples, after effects
  int32_t tick_pos;                             // next sample of tick to use; k_tick_samples when used up
  int16_t echo[k_echo_ticks][k_tick_samples];   // finished ticks, for the echo effect
  int32_t echo_slot;                            // next history slot to write
  int32_t last_sample;                          // last sample of the previous finished tick (low-pass start)
  int32_t half_carry;        // mixer only: 1 when half rate played half_sample once at the end of the last block
  int16_t half_sample;       // mixer only: the sample it plays once more at the start of the next block
  int32_t duck_gain;         // mixer only, music columns: gain 0..k_duck_ramp under a sound effect; -1 before the first block
};

// The audio system's state. Fields without a note are under the audio lock
// (the mixer runs with the device lock held).
struct orrery_audio_t {
  orrery_channel channel[k_channels];
  int32_t current_pattern;          // pattern of the song, -1 when stopped
  int32_t patterns_ended;           // patterns ended since the song started
  int32_t pattern_ended_now;        // mixer only: a pattern ended during this callback
  std::atomic<int32_t> music_mask;  // channel mask given to music (bits 0-3); written without the lock
  std::atomic<int32_t> fade_level;  // music fade level L, 0-65536; written by the main thread without the lock
  int32_t fade_start;               // main thread: level the fade started from
  int32_t fade_target;              // main thread: level it moves to
  int32_t fade_duration_ms;         // main thread: length of the fade; 0 or less is immediate
  uint32_t fade_start_ms;           // main thread: when it started (platform clock)
  vell_rng_t rng;                   // mixer only: noise generator, apart from the engine's own
  // 0 audio runs; 1..5 audio paused (the mixer writes silence). Written by
  // the main loop without the lock.
  std::atomic<int32_t> pause_counter;
};

extern orrery_audio_t orrery_audio;

// All channels idle, music stopped at fade level 0, the noise generator
// seeded with 0. Call only while no callback runs.
void orrery_audio_reset();
// The audio pause counter (0 runs, 1..5 paused), read and set by the main loop.
int32_t orrery_audio_pause_counter();
void orrery_audio_set_pause_counter(int32_t n);

// Produces the next tick of a channel into out (183 samples) and applies
// the sequencer: loops, the end of a sound, the end of a pattern. Mixer only.
void orrery_channel_next_tick(orrery_channel *ch, int16_t *out);

// The operations below run on the main thread and take the audio lock.

// Starts sound on channel 0-3, or on the automatically chosen one for -1;
// offset in notes (0-31), length in notes (0 or less: no limit). Returns
// the channel used, or -1 when none was free.
int32_t vell_play_sfx_ex(int32_t sound, int32_t offset, int32_t length, const orrery_cart *cart, int32_t channel);
// Stops sound number sound on every channel that plays it, music channels
// included (such a music channel leaves the song).
void vell_stop_sfx(int32_t sound);
// Clears channel 0-7.
void vell_stop_orrery_channel(int32_t channel);
// Lets the sound on channel 0-7 play on past its loop end.
void vell_release_looping_orrery_channel(int32_t channel);
// Starts cart's song at pattern 0-63, fading in over fade_ms.
void vell_play_orrery_song(const orrery_cart *cart, int32_t pattern, int32_t fade_ms);
// Stops every channel, music or not, that reads from cart (before it is released).
void vell_stop_orrery_song(const orrery_cart *cart);
// Fades the music out over fade_ms, then stops it (at once for 0 or less).
void cmusic_stop(int32_t fade_ms);
// Moves the music fade on by the clock; at level 0 the music stops.
void vell_update_music_fading();
// Some channel carries music.
bool vell_music_is_playing();
// Sound on channel 0-7, or -1.
int32_t vell_get_orrery_channel_sfx(int32_t channel);
// Note index of sound on the first channel 0-7 that plays it, or -1.
int32_t vell_get_sfx_playing_note(int32_t sound);
// Largest tick counter among music channels with a sound (0 when none).
int32_t vell_get_orrery_song_ticks();
