#include "support/audio_rig.h"

#include "support/test.h"

uint32_t audio_rig::now_ms = 0;

audio_rig::audio_rig() {
  vell_config_default();
  vell_config_set(&vell_config_t::headless, 1);
  now_ms = 1000;
  use_test_clock([] { return audio_rig::now_ms; });
  orrery_install_hooks();
  orrery_clear_console_state();
  EXPECT_EQ(orrery_create_machine(), 0);
  orrery_sound_init(16);
}

audio_rig::~audio_rig() {
  orrery_sound_exit();
  orrery_clear_machine();
  use_test_clock(nullptr);
}

orrery_cart *audio_rig::cart() const { return pstate.cart; }

std::vector<int16_t> audio_rig::mix(int count) const {
  std::vector<int16_t> out(static_cast<size_t>(count), 0x5555);
  vell_mixer_callback(out.data(), count);
  return out;
}

std::vector<int16_t> audio_rig::mix_ticks(int ticks) const {
  std::vector<int16_t> out;
  for (int k = 0; k < ticks; k++) {
    const std::vector<int16_t> tick = mix(183);
    out.insert(out.end(), tick.begin(), tick.end());
  }
  return out;
}

void set_sfx(orrery_cart *cart, int s, int speed, int loop_start, int loop_end) {
  cart->sfx[s].speed = speed;
  cart->sfx[s].loop_start = loop_start;
  cart->sfx[s].loop_end = loop_end;
}

void set_note(orrery_cart *cart, int s, int i, int pitch, int waveform, int volume, int effect, int custom) {
  cart->sfx[s].notes[i] = orrery_note{pitch, waveform, volume, effect, custom ? 128 : 0};
}

void set_pattern(orrery_cart *cart, int p, int c0, int c1, int c2, int c3, int flags) {
  cart->music[p] = orrery_pattern{{c0, c1, c2, c3}, flags};
}
