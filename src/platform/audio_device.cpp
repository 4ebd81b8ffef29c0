#include "platform/audio_device.h"

#include <SDL.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/config.h"
#include "platform/log.h"

namespace {

struct audio_device_state {
  SDL_AudioDeviceID device = 0;                     // open device, or 0
  int audio_up = 0;                                 // SDL's audio subsystem is initialised
  int lock_count = 0;                               // nesting of vell_lock_audio_plat (main thread only)
  std::atomic<vell_audio_callback> mixer{nullptr};  // read by the device thread
};

audio_device_state g_audio;

void device_callback(void *, Uint8 *stream, int len) {
  int16_t *samples = reinterpret_cast<int16_t *>(stream);
  const int count = len / static_cast<int>(sizeof(int16_t));
  if (vell_audio_callback f = g_audio.mixer.load(std::memory_order_acquire)) f(samples, count);
  else memset(stream, 0, static_cast<size_t>(len));
}

}  // namespace

void vell_set_audio_callback(vell_audio_callback f) { g_audio.mixer.store(f, std::memory_order_release); }

void vell_sound_init_plat(int32_t voices) {
  if (voices != 16 || vell_config().mix_buffer_size == 0 || vell_config().headless || g_audio.device) return;
  vell_debug("vell_sound_init\n");
  if (!g_audio.audio_up) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      vell_debugf("** could not start audio: %s\n", SDL_GetError());
      return;
    }
    g_audio.audio_up = 1;
  }
  vell_debug("SDL_INIT_AUDIO ok\n");

  SDL_AudioSpec want, have;
  SDL_zero(want);
  SDL_zero(have);
  want.freq = k_vell_sample_rate;
  want.format = AUDIO_S16LSB;
  want.channels = 1;
  want.samples = static_cast<Uint16>(vell_config().mix_buffer_size);
  want.callback = device_callback;
  // No changes allowed: SDL converts to whatever the hardware needs, so the
  // mixer always writes the format above.
  g_audio.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!g_audio.device) {
    vell_debugf("** could not open audio device: %s\n", SDL_GetError());
    return;
  }
  vell_debug("SDL_OpenAudio ok\n");
  if (have.freq != want.freq) vell_debugf("freq differs; got: %d\n", have.freq);
  if (have.format != want.format) vell_debugf("format differs; got: %d\n", have.format);
  if (have.channels != want.channels) vell_debugf("channels differs; got: %d\n", have.channels);
  if (have.silence != want.silence) vell_debugf("silence differs; got: %d\n", have.silence);
  if (have.samples != want.samples) vell_debugf("samples differs; got: %d\n", have.samples);
  if (have.callback != want.callback) vell_debug("callback differs\n");
  SDL_PauseAudioDevice(g_audio.device, 0);
  std::string drivers;
  for (int i = 0; i < SDL_GetNumAudioDrivers(); i++) drivers += std::string(" ") + SDL_GetAudioDriver(i);
  vell_debugf("audio drivers:%s\n", drivers.c_str());
  vell_debugf("audio driver: %s\n", SDL_GetCurrentAudioDriver());
}

void vell_sound_exit_plat() {
  if (g_audio.device) {
    // Closing waits for a running callback to end, which needs the lock free.
    if (g_audio.lock_count > 0) SDL_UnlockAudioDevice(g_audio.device);
    SDL_CloseAudioDevice(g_audio.device);
    g_audio.device = 0;
  }
  g_audio.lock_count = 0;
  if (g_audio.audio_up) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  g_audio.audio_up = 0;
}

int vell_sound_running() { return g_audio.device ? 1 : 0; }

void vell_lock_audio_plat() {
  if (g_audio.lock_count++ == 0 && g_audio.device) SDL_LockAudioDevice(g_audio.device);
}

void vell_unlock_audio_plat() {
  if (g_audio.lock_count <= 0) return;
  if (--g_audio.lock_count == 0 && g_audio.device) SDL_UnlockAudioDevice(g_audio.device);
}
