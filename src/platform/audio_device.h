// The sound output in use: opening it for the mixer, and the counted audio lock.
#pragma once

#include <cstdint>

#include "platform/audio_out.h"

// Opens the sound output for the mixer fill (only with 16 voices and a
// non-zero mix_buffer_size), pulling blocks of mix_buffer_size samples at
// k_vell_sample_rate. An output that fails to open leaves the system silent
// but running; an open one stays as it is.
void vell_sound_init_plat(int32_t voices, vell_audio_fill fill);
// Closes the output: the mixer is not called after it returns.
void vell_sound_exit_plat();
// 1 while the output is open and playing.
int vell_sound_running();

// A counted lock around changes of mixer state from the main thread: the
// output's lock is taken on the first lock and released when the count
// returns to 0.
void vell_lock_audio_plat();
void vell_unlock_audio_plat();
