// Plays arbitrary sound data through the sound system. The input starts
// with the music and sound bytes (memory 0x3100-0x42ff, as far as it
// reaches); the rest is a stream of 6-byte commands: sfx and music calls
// with any arguments, effect masks, mixing, the clock and fades, readings,
// memory writes while playing, pause and volumes. Nothing may crash, read
// outside its buffers or overflow, and the readings stay in their ranges.
#include "fuzz_support.h"

static int16_t g_out[4096];

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  vell_config_default();
  vell_config_set(&vell_config_t::headless, 1);
  use_fuzz_clock();
  orrery_create_machine();
  orrery_sound_init(16);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  vell_audio_reset();
  orrery_clear_cart(pstate.cart);
  for (int32_t k = 0; k < 4; k++) pstate.audio_mask[k].store(0);
  vell_set_audio_pause_count(0);
  vell_config_set(&vell_config_t::sound_volume, 256);
  vell_config_set(&vell_config_t::music_volume, 256);

  const size_t sound_bytes = k_addr_user - k_addr_music;
  size_t pos = 0;
  for (; pos < size && pos < sound_bytes; pos++)
    orrery_poke(&pstate, pstate.cart, k_addr_music + static_cast<int32_t>(pos), data[pos]);

  for (; pos + 6 <= size; pos += 6) {
    const uint8_t *c = data + pos;
    const int8_t b = static_cast<int8_t>(c[2]);
    switch (c[0] % 8) {
      case 0: orrery_sfx_call(c[1] % 5, b, int8_t(c[3]), int8_t(c[4]), int8_t(c[5])); break;
      case 1: orrery_music_call(b, (c[3] << 8 | c[4]) - 1000, c[5]); break;
      case 2: orrery_poke(&pstate, pstate.cart, 0x5f40 + c[1] % 4, c[2]); break;
      case 3: vell_mixer_callback(g_out, 1 + (c[1] << 8 | c[2]) % 4096); break;
      case 4: g_fuzz_now += c[1] * 10u; orrery_update_music_fade(); break;
      case 5: {
        const int32_t n = 16 + c[1] % 11, v = orrery_audio_stat(n);
        check(n <= 19 ? v >= -1 && v <= 63 : n == 24 ? v >= 0 && v <= 63 : n == 25 || v >= -1);
        break;
      }
      case 6: orrery_poke(&pstate, pstate.cart, k_addr_music + (c[1] << 8 | c[2]) % sound_bytes, c[3]); break;
      default:
        vell_set_audio_pause_count(c[1] % 3 == 0);
        vell_config_set(&vell_config_t::sound_volume, c[2] + c[3]);
        vell_config_set(&vell_config_t::music_volume, c[4] + c[5]);
        break;
    }
    const int32_t level = vell_music_fade_level();
    check(level >= 0 && level <= k_fade_full);
  }
  vell_mixer_callback(g_out, 4096);
  return 0;
}
