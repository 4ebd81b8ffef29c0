#include "audio/audio.h"

#include "platform/audio_device.h"

void orrery_sound_init(int32_t voices) { vell_sound_init_plat(voices); }
void orrery_sound_exit() {}
void orrery_music_stop() {}
void vell_stop_all_sounds() {}
void orrery_play_boot_sound() {}
void orrery_update_music_fade() {}
