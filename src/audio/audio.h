// The console's sound system as seen by the rest of the console: start and
// stop, the boot sound, and the per-iteration music fade.
#pragma once

#include <cstdint>

// Starts the sound system with the given number of voices and opens the
// audio device (unless headless).
void orrery_sound_init(int32_t voices);
void orrery_sound_exit();
// Stops the music.
void orrery_music_stop();
// Stops every sound and the music.
void vell_stop_all_sounds();
// Plays the boot sound: sound effect 0 of the system cartridge from the
// resource file.
void orrery_play_boot_sound();
// Advances the music fade; called once per loop iteration.
void orrery_update_music_fade();
