#include "platform/audio_device.h"

void vell_sound_init_plat(int32_t) {}
void vell_sound_exit_plat() {}
void vell_lock_audio_plat() {}
void vell_unlock_audio_plat() {}
