#include "platform/audio_device.h"

#include "platform/backends.h"
#include "platform/config.h"

namespace {

struct audio_device_state {
  int open = 0;        // the output is open
  int lock_count = 0;  // nesting of vell_lock_audio_plat (main thread only)
};

audio_device_state g_audio;

}  // namespace

void vell_sound_init_plat(int32_t voices, vell_audio_fill fill) {
  if (voices != 16 || vell_config().mix_buffer_size == 0 || g_audio.open || !fill) return;
  g_audio.open = vell_backends.audio.open(k_vell_sample_rate, vell_config().mix_buffer_size, fill) == 0;
  // A lock taken before the output opened is held on it too.
  if (g_audio.open && g_audio.lock_count > 0) vell_backends.audio.lock();
}

void vell_sound_exit_plat() {
  // Closing waits for a running fill to end, which needs the lock free.
  if (g_audio.open && g_audio.lock_count > 0) vell_backends.audio.unlock();
  vell_backends.audio.close();
  g_audio = audio_device_state{};
}

int vell_sound_running() { return g_audio.open; }

void vell_lock_audio_plat() {
  if (g_audio.lock_count++ == 0 && g_audio.open) vell_backends.audio.lock();
}

void vell_unlock_audio_plat() {
  if (g_audio.lock_count <= 0) return;
  if (--g_audio.lock_count == 0 && g_audio.open) vell_backends.audio.unlock();
}
