// The console's sound system as seen by start-up and shutdown.
#pragma once

#include <cstdint>

// Starts the sound system with the given number of voices.
void orrery_sound_init(int32_t voices);
void orrery_sound_exit();
void orrery_music_stop();
