#include "audio/audio.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "audio/channels.h"
#include "audio/mixer.h"
#include "machine/cart.h"
#include "machine/cart_text.h"
#include "machine/pstate.h"
#include "platform/audio_device.h"

namespace {

orrery_cart *g_system_cart = nullptr;  // holds the boot sound; loaded on first use

orrery_cart *load_system_cart(std::string text) {
  if (text.empty()) return nullptr;
  FILE *f = fmemopen(text.data(), text.size(), "rb");
  if (!f) return nullptr;
  orrery_cart *cart = vell_load_orrery_cart_from_file(f);
  fclose(f);
  return cart;
}

// Clears sound-effect channel 0-3, or all four for -1.
void stop_sfx_channels(int32_t channel) {
  if (channel >= 0) {
    vell_stop_orrery_channel(channel);
    return;
  }
  for (int32_t c = 0; c < k_sfx_channels; c++) vell_stop_orrery_channel(c);
}

}  // namespace

void orrery_sound_init(int32_t voices) {
  vell_audio_reset();
  vell_sound_init_plat(voices, vell_mixer_callback);
}

void orrery_sound_exit() {
  vell_stop_all_sounds();
  // The mixer is not called once the output is closed, so the boot sound's
  // cartridge can go.
  vell_sound_exit_plat();
  vell_destroy_orrery_cart(g_system_cart);
  g_system_cart = nullptr;
}

void orrery_music_stop() { vell_stop_music(0); }

void orrery_play_boot_sound(const std::string &system_cart_text) {
  if (!g_system_cart) g_system_cart = load_system_cart(system_cart_text);
  if (g_system_cart) vell_play_sfx_ex(0, 0, 0, g_system_cart, -1);
}

void orrery_update_music_fade() { vell_update_music_fading(); }

int32_t orrery_sfx_call(int nargs, int32_t n, int32_t channel, int32_t offset, int32_t length) {
  if (nargs < 1) return 0;
  if (nargs < 2) channel = -1;
  offset = nargs < 3 ? 0 : std::clamp(offset, 0, 31);
  if (nargs < 4) length = 0;
  if (channel < -2 || channel > 3) return 0;

  if (n == -1) {
    // Channel -2 names no channel to stop.
    if (channel != -2) stop_sfx_channels(channel);
    return 0;
  }
  if (n == -2) {
    if (channel >= 0) vell_release_looping_orrery_channel(channel);
    return 0;
  }
  if (channel == -2) {
    if (n >= 0 && n <= 63) vell_stop_sfx(n);
    return 0;
  }
  n = std::clamp(n, 0, 63);
  // One lock over both steps, so that the mixer never sees the sound stopped but not restarted.
  vell_lock_audio_plat();
  vell_stop_sfx(n);
  vell_play_sfx_ex(n, offset, length, pstate.cart, channel);
  vell_unlock_audio_plat();
  return k_audio_call_cost;
}

int32_t orrery_music_call(int32_t n, int32_t fade_ms, int32_t mask) {
  if (n == -1) {
    vell_stop_music(fade_ms);
  } else {
    vell_set_music_mask(mask);
    vell_play_orrery_song(pstate.cart, std::clamp(n, 0, 63), fade_ms);
  }
  return k_audio_call_cost;
}

int32_t orrery_audio_stat(int32_t index) {
  if (index < 16 || index > 26) return 0;
  vell_lock_audio_plat();
  int32_t result = 0;
  if (index <= 23) {
    const int32_t c = (index - 16) & 3;
    int32_t sound = vell_get_orrery_channel_sfx(c);
    if (sound < 0) sound = vell_get_orrery_channel_sfx(c + k_sfx_channels);
    result = index <= 19 ? sound : vell_get_sfx_playing_note(sound);
  } else if (index == 26) {
    result = vell_get_orrery_song_ticks();
  } else if (vell_music_is_playing()) {
    result = index == 24 ? vell_get_orrery_song_pattern() : vell_get_patterns_ended();
  }
  vell_unlock_audio_plat();
  return result;
}
