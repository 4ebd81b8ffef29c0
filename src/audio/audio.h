// The console's sound system as seen by the rest of the console: start and
// stop, the boot sound, the per-iteration music fade, and the behaviour of
// the script functions sfx, music and the playback values of stat.
#pragma once

#include <cstdint>
#include <string>

// CPU units charged by music, and by sfx when it starts a sound.
constexpr int32_t k_audio_call_cost = 16;

// Starts the sound system (all channels idle) with the given number of
// voices and opens the sound output in use for the mixer.
void orrery_sound_init(int32_t voices);
// Stops every sound, closes the sound output and releases the boot sound's
// cartridge.
void orrery_sound_exit();
// Stops the music at once.
void orrery_music_stop();
// Plays the boot sound: sound effect 0 of the system cartridge, a text
// cartridge the resource file carries. The text is read on the first call
// and the cartridge kept until orrery_sound_exit.
void orrery_play_boot_sound(const std::string &system_cart_text);
// Advances the music fade; called once per loop iteration.
void orrery_update_music_fade();

// sfx(n, [channel], [offset], [length]) on the live cartridge. nargs is the
// number of arguments the script passed (later ones read as missing),
// values are their integer parts. Returns the CPU units the call costs:
// k_audio_call_cost when it went on to start a sound, else 0.
int32_t orrery_sfx_call(int nargs, int32_t n, int32_t channel, int32_t offset, int32_t length);
// music(n, [fade_ms], [mask]) on the live cartridge; missing arguments are
// 0. Returns the CPU units the call costs (always k_audio_call_cost).
int32_t orrery_music_call(int32_t n, int32_t fade_ms, int32_t mask);
// stat(16) to stat(26): the sound on each channel, its note, the music
// pattern, the patterns ended and the ticks into the pattern. 0 for any
// other index.
int32_t orrery_audio_stat(int32_t index);
