// The audio device: opening it for the mixer callback, and the counted audio lock.
#pragma once

#include <cstdint>

// Output format the mixer writes: signed 16-bit mono at this rate.
constexpr int32_t k_vell_sample_rate = 22050;

// The mixer: fills count samples. Runs on the audio device's thread.
using vell_audio_callback = void (*)(int16_t *samples, int count);
// Installs the mixer (null: the device plays silence). May be called at any
// time; the device thread picks the new function up at its next buffer.
void vell_set_audio_callback(vell_audio_callback f);

// Opens the device for the mixer (only with 16 voices and a non-zero
// mix_buffer_size, and never when headless). A device that fails to open
// leaves the system silent but running.
void vell_sound_init_plat(int32_t voices);
void vell_sound_exit_plat();
// 1 while the device is open and playing.
int vell_sound_running();

// A counted lock around changes of mixer state from the main thread: the
// device lock is taken on the first lock and released when the count
// returns to 0.
void vell_lock_audio_plat();
void vell_unlock_audio_plat();
