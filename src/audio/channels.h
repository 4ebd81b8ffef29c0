// The eight mixer channels and the music sequencer: starting and stopping
// sounds and songs, the automatic channel choice, per-tick loops and ends,
// pattern changes, the music fade and the playback readings.
#pragma once

#include <cstdint>

#include "audio/synth.h"
#include "machine/cart.h"
#include "machine/pstate.h"
#include "platform/rng.h"

constexpr int32_t k_channels = 8;        // 0-3 sound effects, 4-7 the music columns
constexpr int32_t k_sfx_channels = 4;    // channel k+4 is the music column paired with channel k
constexpr int32_t k_echo_ticks = 8;      // echo history length in ticks
constexpr int32_t k_fade_full = 65536;   // music fade level at full volume
constexpr int32_t k_duck_ramp = 32;      // samples a music column takes to fade out or in under a sound effect

// One mixer channel. Changed by the main thread only under the audio lock;
// otherwise owned by the mixer on the audio thread.
struct orrery_channel {
  const orrery_cart *cart = nullptr;  // cartridge whose sounds and patterns it plays; null when idle
  int32_t sound = -1;                 // sound number 0-63 being played, -1 none
  int32_t t = 0;                      // ticks since note 0 of the sound
  int32_t ticks_remaining = 0;        // ticks left before the sound or pattern ends; -1 unlimited
  int32_t loop_enabled = 0;           // 1 while the sound's loop is honoured (cleared by release)
  int32_t identity = 0;               // column 0-3: the bit this channel answers to in the effect masks
  int32_t music = 0;                  // 1 while the channel carries a music column
  int32_t pattern = -1;               // music: the pattern being played, 0-63
  orrery_osc osc;                     // oscillator state
  int16_t tick[k_tick_samples] = {};                 // the current tick's samples, after effects
  int32_t tick_pos = k_tick_samples;                 // next sample of tick to use; k_tick_samples when used up
  int16_t echo[k_echo_ticks][k_tick_samples] = {};   // finished ticks, for the echo effect
  int32_t echo_slot = 0;                             // next history slot to write
  int32_t last_sample = 0;                           // last sample of the previous finished tick (low-pass start)
  int32_t half_carry = 0;      // mixer only: 1 when half rate played half_sample once at the end of the last block
  int16_t half_sample = 0;     // mixer only: the sample it plays once more at the start of the next block
  int32_t duck_gain = -1;      // mixer only, music columns: gain 0..k_duck_ramp under a sound effect; -1 before the first block
};

// The audio system's state, private to channels.cpp. Fields without a note
// are under the audio lock (the mixer runs with the device lock held).
struct orrery_audio_t {
  orrery_channel channel[k_channels];  // 0-3 sound effects, 4-7 music columns
  int32_t current_pattern = -1;     // pattern of the song, -1 when stopped
  int32_t patterns_ended = 0;       // patterns ended since the song started
  int32_t pattern_ended_now = 0;    // mixer only: a pattern ended during this callback
  atomic_word music_mask;           // channel mask given to music (bits 0-3); written without the lock
  atomic_word fade_level;           // music fade level L, 0-65536; written by the main thread without the lock
  int32_t fade_start = 0;           // main thread: level the fade started from
  int32_t fade_target = 0;          // main thread: level it moves to
  int32_t fade_duration_ms = 0;     // main thread: length of the fade; 0 or less is immediate
  uint32_t fade_start_ms = 0;       // main thread: when it started (platform clock)
  vell_rng_t rng = {0xdeadbeefu, 0x60009755u};  // mixer only: noise generator (seed 0), apart from the engine's own
  // 0 audio runs; 1..5 audio paused (the mixer writes silence). Written by
  // the main loop without the lock.
  atomic_word pause_counter;
};

// All channels idle, music stopped at fade level 0, the noise generator
// seeded with 0. Call only while no callback runs.
void vell_audio_reset();

// The audio pause counter (see orrery_audio_t), read and written by the
// main loop without the lock.
int32_t vell_audio_pause_count();
void vell_set_audio_pause_count(int32_t count);
// Music fade level, 0-65536.
int32_t vell_music_fade_level();

// The mixer's side, on the audio thread with the device lock held.
//
// The channels, k_channels of them.
orrery_channel *vell_mixer_channels();
// Brackets one mixed block: patterns that end within it count once.
void vell_mixer_begin_block();
void vell_mixer_end_block();
// Produces the next tick of a channel into out (183 samples) and applies
// the sequencer: loops, the end of a sound, the end of a pattern.
void vell_channel_next_tick(orrery_channel *ch, int16_t *out);

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
// Stops every sound and the music (boot, run, suspend).
void vell_stop_all_sounds();
// Fades the music out over fade_ms, then stops it (at once for 0 or less).
void vell_stop_music(int32_t fade_ms);
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
// The song's pattern (-1 when stopped) and the patterns ended since it
// started.
int32_t vell_get_orrery_song_pattern();
int32_t vell_get_patterns_ended();
// Sets the channel mask given to music (bits 0-3).
void vell_set_music_mask(int32_t mask);
