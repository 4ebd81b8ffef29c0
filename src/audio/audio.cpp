#include "audio/audio.h"

#include "platform/audio_device.h"

void orrery_sound_init(int32_t voices) { vell_sound_init_plat(voices); }
void orrery_sound_exit() {}
void orrery_music_stop() {}
