// The SDL backend's sound device.
#include <cstring>
#include <string>

#include "platform/log.h"
#include "platform/sdl/sdl_api.h"
#include "platform/sdl/sdl_backend.h"

namespace {

struct sdl_audio_state {
  SDL_AudioDeviceID device = 0;  // open device, or 0
  int audio_up = 0;              // SDL's audio subsystem is initialised
  vell_audio_fill fill = nullptr;  // the mixer, set before the device starts
};

sdl_audio_state g_sa;

const vell_sdl_api &sdl = vell_sdl();

void device_callback(void *, Uint8 *stream, int len) {
  g_sa.fill(reinterpret_cast<int16_t *>(stream), len / static_cast<int>(sizeof(int16_t)));
}

int open_device(int32_t rate, int32_t frames, vell_audio_fill fill) {
  if (g_sa.device) return 0;
  vell_debug("vell_sound_init\n");
  if (!g_sa.audio_up) {
    if (vell_sdl_load() != 0 || sdl.SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      vell_debugf("** could not start audio: %s\n", vell_sdl_load() == 0 ? sdl.SDL_GetError() : "no SDL");
      return 1;
    }
    g_sa.audio_up = 1;
  }
  vell_debug("SDL_INIT_AUDIO ok\n");

  SDL_AudioSpec want, have;
  memset(&want, 0, sizeof want);
  memset(&have, 0, sizeof have);
  want.freq = rate;
  want.format = AUDIO_S16LSB;
  want.channels = 1;
  want.samples = static_cast<Uint16>(frames);
  want.callback = device_callback;
  g_sa.fill = fill;
  // No changes allowed: SDL converts to whatever the hardware needs, so the
  // mixer always writes the format above.
  g_sa.device = sdl.SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!g_sa.device) {
    vell_debugf("** could not open audio device: %s\n", sdl.SDL_GetError());
    return 1;
  }
  vell_debug("SDL_OpenAudio ok\n");
  if (have.freq != want.freq) vell_debugf("freq differs; got: %d\n", have.freq);
  if (have.format != want.format) vell_debugf("format differs; got: %d\n", have.format);
  if (have.channels != want.channels) vell_debugf("channels differs; got: %d\n", have.channels);
  if (have.silence != want.silence) vell_debugf("silence differs; got: %d\n", have.silence);
  if (have.samples != want.samples) vell_debugf("samples differs; got: %d\n", have.samples);
  if (have.callback != want.callback) vell_debug("callback differs\n");
  sdl.SDL_PauseAudioDevice(g_sa.device, 0);
  std::string drivers;
  for (int i = 0; i < sdl.SDL_GetNumAudioDrivers(); i++) drivers += std::string(" ") + sdl.SDL_GetAudioDriver(i);
  vell_debugf("audio drivers:%s\n", drivers.c_str());
  vell_debugf("audio driver: %s\n", sdl.SDL_GetCurrentAudioDriver());
  return 0;
}

void lock() {
  if (g_sa.device) sdl.SDL_LockAudioDevice(g_sa.device);
}

void unlock() {
  if (g_sa.device) sdl.SDL_UnlockAudioDevice(g_sa.device);
}

// Closing waits for a running callback to end, so the caller must not hold the lock.
void close_device() {
  if (g_sa.device) sdl.SDL_CloseAudioDevice(g_sa.device);
  g_sa.device = 0;
  if (g_sa.audio_up) sdl.SDL_QuitSubSystem(SDL_INIT_AUDIO);
  g_sa.audio_up = 0;
}

constexpr vell_audio_out k_sdl_audio = {open_device, lock, unlock, close_device};

}  // namespace

const vell_audio_out *vell_sdl_audio() { return &k_sdl_audio; }
