// The mixer: per-channel effects from memory 0x5f40-0x5f43, music silenced
// under sound effects, the limiter, volumes and pause; and the callback on
// the device's own thread while the main thread plays.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/channels.h"
#include "audio/mixer.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/audio_device.h"
#include "platform/system.h"
#include "shell/config.h"
#include "shell/console.h"
#include "support/audio_rig.h"
#include "support/cases.h"
#include "support/temp_home.h"

namespace {

using samples = std::vector<int16_t>;

void poke(int32_t addr, int32_t value) { orrery_poke(&pstate, pstate.cart, addr, value); }

// From silence: one effect mask set, sound s (or song 0 when s < 0) started, ticks mixed one by one.
samples run_with_mask(const audio_rig &rig, int s, int32_t mask_at, int32_t value, int ticks, int count = 0) {
  orrery_audio_reset();
  for (int32_t a = 0x5f40; a <= 0x5f43; a++) poke(a, a == mask_at ? value : 0);
  if (s >= 0) orrery_sfx_call(2, s, 0, 0, 0);
  else orrery_music_call(0, 0, 0);
  return count ? rig.mix(count) : rig.mix_ticks(ticks);
}

// Rising zero crossings over one second mixed in device-sized buffers.
int crossings_in_a_second(const audio_rig &rig) {
  int n = 0, last = 0;
  for (int k = 0; k < 21; k++)
    for (int16_t v : rig.mix(1050)) {
      n += last < 0 && v >= 0;
      last = v;
    }
  return n;
}

}  // namespace

TEST(AudioMixer, LimiterKeepsEightLoudChannelsWithin16Bits) {
  expect_rows({ROW(orrery_soft_sum(20000, 4575), 24575), ROW(orrery_soft_sum(20000, 4576), 24576),
               ROW(orrery_soft_sum(24576, 24576), 29491), ROW(orrery_soft_sum(-30000, 5000), -24660),
               ROW(orrery_soft_sum(32767, 32767), 32767), ROW(orrery_soft_sum(-32768, -32768), -32768)});
  std::mt19937 gen(5);
  const int32_t levels[3] = {-32768, 0, 32767};
  // Every mix of full-scale and silent channels, then random ones.
  for (int n = 0; n < 6561 + 100000; n++) {
    int32_t c[8];
    for (int k = 0, v = n; k < 8; k++, v /= 3)
      c[k] = n < 6561 ? levels[v % 3] : static_cast<int32_t>(gen() % 65536) - 32768;
    const int32_t s = orrery_mix_channels(c);
    ASSERT_TRUE(s >= -32768 && s <= 32767) << n;
  }
  // Four loud squares in step: pairs sum to 16124, the four to 26110, and
  // the limiter acts once more when the silent music half is added.
  audio_rig rig;
  set_sfx(rig.cart(), 1, 255);
  set_note(rig.cart(), 1, 0, 33, 3, 7);
  set_pattern(rig.cart(), 0, 1, 1, 1, 1);
  orrery_music_call(0, 0, 0);
  for (int c = 0; c < 4; c++) vell_play_sfx_ex(1, 0, 0, rig.cart(), c);
  const samples out = rig.mix(183 * 4);
  for (size_t i = 64; i < out.size(); i++) ASSERT_EQ(std::abs(out[i]), 24882) << "sample " << i;
}

TEST(AudioMixer, HalfRatePlaysEachSampleTwiceAnOctaveLowerAtHalfTempo) {
  audio_rig rig;
  set_sfx(rig.cart(), 1, 255);
  set_note(rig.cart(), 1, 0, 33, 3, 7);
  set_sfx(rig.cart(), 2, 1);
  for (int i = 0; i < 32; i++) set_note(rig.cart(), 2, i, 30, 3, 5);
  set_pattern(rig.cart(), 0, 1, 0x41, 0x41, 0x41);
  // The bit reaches sound effects and music column 0 alike.
  for (int s : {1, -1}) {
    const samples full = run_with_mask(rig, s, 0x5f40, 0, 0, 1024), half = run_with_mask(rig, s, 0x5f40, 1, 0, 1024);
    for (int j = 0; j < 1024; j++) ASSERT_EQ(half[j], full[j / 2]) << "sound " << s << " sample " << j;
  }
  run_with_mask(rig, 1, 0x5f40, 0, 0);
  EXPECT_NEAR(crossings_in_a_second(rig), 440, 2);
  run_with_mask(rig, 1, 0x5f40, 1, 0);
  EXPECT_NEAR(crossings_in_a_second(rig), 220, 2);
  run_with_mask(rig, 2, 0x5f40, 1, 20);
  EXPECT_NEAR(orrery_audio_stat(20), 10, 1) << "notes advance at half the rate too";
}

TEST(AudioMixer, EchoBitReductionAndLowPassReshapeEachTick) {
  audio_rig rig;
  set_sfx(rig.cart(), 3, 2);
  for (int i = 0; i < 16; i++) set_note(rig.cart(), 3, i, 20 + 3 * i, i % 2 ? 2 : 1, 6);
  const int ticks = 14;
  const samples raw = run_with_mask(rig, 3, 0, 0, ticks);
  const samples crushed = run_with_mask(rig, 3, 0x5f42, 1, ticks);
  const samples smooth = run_with_mask(rig, 3, 0x5f43, 1, ticks);
  const samples echo = run_with_mask(rig, 3, 0x5f41, 1, ticks);
  ASSERT_NE(raw, samples(raw.size(), 0));
  int32_t y = 0;
  for (size_t i = 0; i < raw.size(); i++) {
    // Bit reduction keeps the top four bits of each magnitude; the low-pass
    // is y = (x + 7 y') / 8 carried across ticks; echo mixes in the output
    // of four ticks before.
    const int32_t x = raw[i], earlier = i >= 4 * 183 ? echo[i - 4 * 183] : 0;
    y = (x + 7 * y) / 8;
    ASSERT_EQ(crushed[i], x >= 0 ? x & 0xf000 : -((-x) & 0xf000)) << "sample " << i;
    ASSERT_EQ(smooth[i], y) << "sample " << i;
    ASSERT_EQ(echo[i], (x * 3 + earlier * 2) / 4) << "sample " << i;
  }
  EXPECT_EQ(run_with_mask(rig, 3, 0x5f42, 2, ticks), raw) << "the masks select channels by their bit";
}

TEST(AudioMixer, MusicYieldsToSoundEffectsAndVolumesScaleTheMix) {
  audio_rig rig;
  set_sfx(rig.cart(), 1, 255);
  set_note(rig.cart(), 1, 0, 33, 3, 7);
  set_sfx(rig.cart(), 2, 255);
  set_note(rig.cart(), 2, 0, 40, 0, 7);
  set_pattern(rig.cart(), 0, 1, 0x41, 0x41, 0x41);
  const samples alone = run_with_mask(rig, 2, 0, 0, 0, 2000);
  EXPECT_NE(run_with_mask(rig, -1, 0, 0, 0, 2000), samples(2000, 0));
  orrery_audio_reset();
  orrery_music_call(0, 0, 0);
  orrery_sfx_call(2, 2, 0, 0, 0);
  EXPECT_EQ(rig.mix(2000), alone) << "the sound on channel 0 silences music column 0";
  vell_config.sound_volume = 96;
  const samples quiet = run_with_mask(rig, 2, 0, 0, 0, 2000);
  for (size_t i = 0; i < quiet.size(); i++) ASSERT_EQ(quiet[i], alone[i] * 96 >> 8) << "sample " << i;
  vell_config.sound_volume = 256;
  vell_config.music_volume = 0;
  EXPECT_EQ(run_with_mask(rig, -1, 0, 0, 0, 2000), samples(2000, 0));

  // Paused audio is silent and holds every channel where it was.
  set_sfx(rig.cart(), 3, 1);
  for (int i = 0; i < 32; i++) set_note(rig.cart(), 3, i, 30, 3, 5);
  run_with_mask(rig, 3, 0, 0, 5);
  orrery_state.audio_pause_counter = 3;
  EXPECT_EQ(rig.mix(183 * 10), samples(183 * 10, 0));
  EXPECT_EQ(orrery_audio_stat(20), 5);
  orrery_state.audio_pause_counter = 0;
  rig.mix_ticks(2);
  EXPECT_EQ(orrery_audio_stat(20), 7);
}

// The callback runs on the device's thread while this thread starts, stops
// and reads sounds, rewrites sound memory and flips the effect masks. Run
// under ThreadSanitizer, this shows that every shared access is locked or
// atomic.
TEST(AudioThreads, MainThreadPlaysAndStopsWhileTheDeviceMixes) {
  temp_home home;
  vell_config.mix_buffer_size = 512;
  vell_system_init();
  ASSERT_EQ(orrery_create_machine(), 0);
  orrery_sound_init(16);
  ASSERT_EQ(vell_sound_running(), 1);
  for (int s = 0; s < 8; s++) {
    poke(0x3200 + 68 * s + 65, 1 + s);
    for (int i = 0; i < 32; i++) {
      poke(0x3200 + 68 * s + 2 * i, 20 + i);
      poke(0x3200 + 68 * s + 2 * i + 1, (s << 4 & 0x70) | 0x0b | (s == 7 ? 0x80 : 0));
    }
  }
  for (int p = 0; p < 4; p++)
    for (int c = 0; c < 4; c++) poke(0x3100 + 4 * p + c, (p + c) | (p == 3 && c == 1 ? 0x80 : 0));
  // The callback advances what the main thread started.
  orrery_sfx_call(1, 6, 0, 0, 0);
  bool advanced = false;
  for (int k = 0; k < 200 && !advanced; k++) {
    advanced = orrery_audio_stat(20) > 0 || orrery_audio_stat(16) != 6;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(advanced);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
  for (int k = 0; std::chrono::steady_clock::now() < end; k++) {
    orrery_sfx_call(k % 4 + 1, k % 9, k % 5 - 1, k % 7, k % 3);
    if (k % 11 == 0) orrery_music_call(k % 5, k % 3 * 50, k & 15);
    if (k % 17 == 0) orrery_music_call(-1, k % 2 * 100, 0);
    orrery_update_music_fade();
    for (int n = 16; n <= 26; n++) orrery_audio_stat(n);
    poke(0x5f40 + k % 4, k);
    orrery_state.audio_pause_counter = k % 13 == 0 ? 1 : 0;
    // Rewrite notes of the sounds in play, then give the callback time to
    // read them before the next locked call.
    poke(0x3200 + 68 * (k % 9) + 2 * (k % 32) + 1, 0x0b | (k % 8) << 4);
    poke(0x3100 + k % 16, k % 9);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  orrery_state.audio_pause_counter = 0;
  vell_stop_all_sounds();
  orrery_sound_exit();
  vell_sound_exit_plat();
  orrery_clear_machine();
  vell_system_exit();
}
