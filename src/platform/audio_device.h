// The audio device: opening it for the mixer callback, and the counted audio lock.
#pragma once

#include <cstdint>

// Opens the device for the mixer (only with 16 voices and a non-zero
// mix_buffer_size). A device that fails to open leaves the system silent.
void vell_sound_init_plat(int32_t voices);
void vell_sound_exit_plat();
void vell_lock_audio_plat();
void vell_unlock_audio_plat();
