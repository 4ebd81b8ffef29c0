// The mixer: per-channel effects from memory 0x5f40-0x5f43, silencing of
// music under sound effects, the limiter, volumes and pause; and the
// callback on the device's own thread while the main thread plays.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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
#include "platform/config.h"
#include "platform/system.h"
#include "shell/console.h"
#include "support/audio_rig.h"
#include "support/temp_home.h"

namespace {

void poke(int32_t addr, int32_t value) { orrery_poke(&pstate, pstate.cart, addr, value); }

// A long note: sound s plays pitch on waveform at volume 7 for speed ticks.
void long_note(orrery_cart *cart, int s, int pitch, int waveform, int speed = 255) {
  set_sfx(cart, s, speed);
  set_note(cart, s, 0, pitch, waveform, 7);
}

// Rising zero crossings in the samples.
int rising_crossings(const std::vector<int16_t> &v) {
  int n = 0;
  for (size_t i = 1; i < v.size(); i++) n += v[i - 1] < 0 && v[i] >= 0;
  return n;
}

// From silence: the masks set, sound s started on channel 0, ticks mixed one by one.
std::vector<int16_t> run_with_masks(const audio_rig &rig, int s, int32_t masks_at, int32_t value, int ticks) {
  orrery_audio_reset();
  for (int32_t a = 0x5f40; a <= 0x5f43; a++) poke(a, a == masks_at ? value : 0);
  orrery_sfx_call(2, s, 0, 0, 0);
  return rig.mix_ticks(ticks);
}

}  // namespace

TEST(AudioMixer, LimiterKeepsEightLoudChannelsWithin16Bits) {
  EXPECT_EQ(orrery_soft_sum(20000, 4575), 24575);
  EXPECT_EQ(orrery_soft_sum(20000, 4576), 24576);
  EXPECT_EQ(orrery_soft_sum(24576, 24576), 29491);
  EXPECT_EQ(orrery_soft_sum(-30000, 5000), -24660);
  EXPECT_EQ(orrery_soft_sum(32767, 32767), 32767);
  EXPECT_EQ(orrery_soft_sum(-32768, -32768), -32768);

  // Every mix of full-scale, silent and random channels stays in range.
  const int32_t levels[3] = {-32768, 0, 32767};
  for (int combo = 0; combo < 6561; combo++) {
    int32_t c[8];
    for (int k = 0, v = combo; k < 8; k++, v /= 3) c[k] = levels[v % 3];
    const int32_t s = orrery_mix_channels(c);
    ASSERT_GE(s, -32768);
    ASSERT_LE(s, 32767);
  }
  std::mt19937 gen(5);
  for (int n = 0; n < 100000; n++) {
    int32_t c[8];
    for (int32_t &v : c) v = static_cast<int32_t>(gen() % 65536) - 32768;
    const int32_t s = orrery_mix_channels(c);
    ASSERT_GE(s, -32768);
    ASSERT_LE(s, 32767);
  }

  // Four loud squares in step: pairs sum to 16124, the four to 26110, and
  // the limiter acts once more when the silent music half is added.
  audio_rig rig;
  long_note(rig.cart(), 1, 33, 3);
  set_pattern(rig.cart(), 0, 1, 1, 1, 1);
  orrery_music_call(0, 0, 0);
  for (int c = 0; c < 4; c++) vell_play_sfx_ex(1, 0, 0, rig.cart(), c);
  const std::vector<int16_t> out = rig.mix(183 * 4);
  for (size_t i = 64; i < out.size(); i++) ASSERT_EQ(std::abs(out[i]), 24882) << "sample " << i;
}

TEST(AudioMixer, HalfRatePlaysEachSampleTwiceAnOctaveLowerAtHalfTempo) {
  audio_rig rig;
  long_note(rig.cart(), 1, 33, 3);
  run_with_masks(rig, 1, 0x5f40, 0, 0);
  std::vector<int16_t> full = rig.mix(1024);
  run_with_masks(rig, 1, 0x5f40, 1, 0);
  std::vector<int16_t> half = rig.mix(1024);
  for (int j = 0; j < 1024; j++) ASSERT_EQ(half[j], full[j / 2]) << "sample " << j;

  // Over a second in device-sized buffers: 440 Hz, and 220 Hz at half rate.
  auto one_second = [&rig] {
    std::vector<int16_t> second;
    for (int k = 0; k < 21; k++) {
      const std::vector<int16_t> b = rig.mix(1050);
      second.insert(second.end(), b.begin(), b.end());
    }
    return second;
  };
  run_with_masks(rig, 1, 0x5f40, 0, 0);
  EXPECT_NEAR(rising_crossings(one_second()), 440, 2);
  run_with_masks(rig, 1, 0x5f40, 1, 0);
  EXPECT_NEAR(rising_crossings(one_second()), 220, 2);

  // Notes advance at half the rate too, and the bit also reaches music column 0.
  set_sfx(rig.cart(), 2, 1);
  for (int i = 0; i < 32; i++) set_note(rig.cart(), 2, i, 30, 3, 5);
  run_with_masks(rig, 2, 0x5f40, 1, 20);
  EXPECT_NEAR(orrery_audio_stat(20), 10, 1);
  set_pattern(rig.cart(), 0, 1, 0x41, 0x41, 0x41);
  orrery_audio_reset();
  poke(0x5f40, 0);
  orrery_music_call(0, 0, 0);
  full = rig.mix(1024);
  orrery_audio_reset();
  poke(0x5f40, 1);
  orrery_music_call(0, 0, 0);
  half = rig.mix(1024);
  for (int j = 0; j < 1024; j++) ASSERT_EQ(half[j], full[j / 2]) << "music sample " << j;
}

TEST(AudioMixer, EchoBitReductionAndLowPassReshapeEachTick) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  set_sfx(c, 3, 2);
  for (int i = 0; i < 16; i++) set_note(c, 3, i, 20 + 3 * i, i % 2 ? 2 : 1, 6);
  const int ticks = 14;
  const std::vector<int16_t> raw = run_with_masks(rig, 3, 0, 0, ticks);
  ASSERT_NE(raw, std::vector<int16_t>(raw.size(), 0));

  // Bit reduction keeps the top four bits of each magnitude.
  const std::vector<int16_t> crushed = run_with_masks(rig, 3, 0x5f42, 1, ticks);
  for (size_t i = 0; i < raw.size(); i++) {
    const int32_t x = raw[i];
    ASSERT_EQ(crushed[i], x >= 0 ? x & 0xf000 : -((-x) & 0xf000)) << "sample " << i;
  }

  // Low-pass: y = (x + 7 y') / 8, carried from tick to tick.
  const std::vector<int16_t> smooth = run_with_masks(rig, 3, 0x5f43, 1, ticks);
  int32_t y = 0;
  for (size_t i = 0; i < raw.size(); i++) {
    y = (raw[i] + 7 * y) / 8;
    ASSERT_EQ(smooth[i], y) << "sample " << i;
  }

  // Echo mixes in the output of four ticks before.
  const std::vector<int16_t> echo = run_with_masks(rig, 3, 0x5f41, 1, ticks);
  for (size_t i = 0; i < raw.size(); i++) {
    const int32_t earlier = i >= 4 * 183 ? echo[i - 4 * 183] : 0;
    ASSERT_EQ(echo[i], (raw[i] * 3 + earlier * 2) / 4) << "sample " << i;
  }

  // The masks select channels by their bit: bit 1 leaves channel 0 alone.
  EXPECT_EQ(run_with_masks(rig, 3, 0x5f42, 2, ticks), raw);
}

TEST(AudioMixer, MusicYieldsToSoundEffectsAndVolumesScaleTheMix) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  long_note(c, 1, 33, 3);
  long_note(c, 2, 40, 0);
  set_pattern(c, 0, 1, 0x41, 0x41, 0x41);
  orrery_sfx_call(2, 2, 0, 0, 0);
  const std::vector<int16_t> alone = rig.mix(2000);

  orrery_audio_reset();
  orrery_music_call(0, 0, 0);
  const std::vector<int16_t> music = rig.mix(2000);
  EXPECT_NE(music, std::vector<int16_t>(2000, 0));
  orrery_audio_reset();
  orrery_music_call(0, 0, 0);
  orrery_sfx_call(2, 2, 0, 0, 0);
  EXPECT_EQ(rig.mix(2000), alone) << "the sound on channel 0 silences music column 0";

  orrery_audio_reset();
  vell_config.sound_volume = 96;
  orrery_sfx_call(2, 2, 0, 0, 0);
  const std::vector<int16_t> quiet = rig.mix(2000);
  for (size_t i = 0; i < quiet.size(); i++) ASSERT_EQ(quiet[i], alone[i] * 96 >> 8) << "sample " << i;

  vell_config.sound_volume = 256;
  vell_config.music_volume = 0;
  orrery_audio_reset();
  orrery_music_call(0, 0, 0);
  EXPECT_EQ(rig.mix(2000), std::vector<int16_t>(2000, 0));
}

TEST(AudioMixer, PausedAudioIsSilentAndHoldsEveryChannel) {
  audio_rig rig;
  set_sfx(rig.cart(), 2, 1);
  for (int i = 0; i < 32; i++) set_note(rig.cart(), 2, i, 30, 3, 5);
  orrery_sfx_call(1, 2, 0, 0, 0);
  rig.mix_ticks(5);
  orrery_audio.pause_counter = 3;
  EXPECT_EQ(rig.mix(183 * 10), std::vector<int16_t>(183 * 10, 0));
  EXPECT_EQ(orrery_audio_stat(20), 5);
  orrery_audio.pause_counter = 0;
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
    orrery_audio.pause_counter = k % 13 == 0 ? 1 : 0;
    // Rewrite notes of the sounds in play, then give the callback time to
    // read them before the next locked call.
    poke(0x3200 + 68 * (k % 9) + 2 * (k % 32) + 1, 0x0b | (k % 8) << 4);
    poke(0x3100 + k % 16, k % 9);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  orrery_audio.pause_counter = 0;
  vell_stop_all_sounds();

  orrery_sound_exit();
  vell_sound_exit_plat();
  orrery_clear_machine();
  vell_system_exit();
}

namespace {

// Largest difference between neighbouring samples.
int largest_step(const std::vector<int16_t> &v) {
  int step = 0;
  for (size_t i = 1; i < v.size(); i++) step = std::max(step, std::abs(v[i] - v[i - 1]));
  return step;
}

}  // namespace

TEST(AudioMixer, EdgesOfBlocksLeaveNoClicksOrJumps) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  long_note(c, 1, 33, 3);
  set_pattern(c, 0, 1, 0x41, 0x41, 0x41);

  // Music alone, then a quiet one-note effect over its column: it fades out
  // and back in instead of being cut and restored at the blocks' edges.
  orrery_music_call(0, 0, 0);
  std::vector<int16_t> out = rig.mix(4096);
  const int music_step = largest_step(out);
  set_sfx(c, 2, 10);
  set_note(c, 2, 0, 20, 0, 1);
  orrery_sfx_call(4, 2, 0, 0, 1);
  for (int k = 0; k < 4; k++) {
    const std::vector<int16_t> b = rig.mix(1024);
    out.insert(out.end(), b.begin(), b.end());
  }
  EXPECT_EQ(orrery_audio.channel[0].sound, -1) << "the effect has ended";
  EXPECT_LT(largest_step(out), music_step + music_step / 2);

  // Half rate plays every sample twice also across blocks of odd length.
  orrery_audio_reset();
  orrery_sfx_call(2, 1, 0, 0, 0);
  const std::vector<int16_t> full = rig.mix(3000);
  orrery_audio_reset();
  poke(0x5f40, 1);
  orrery_sfx_call(2, 1, 0, 0, 0);
  std::vector<int16_t> half;
  for (int n : {999, 1001, 1, 999, 3000}) {
    const std::vector<int16_t> b = rig.mix(n);
    half.insert(half.end(), b.begin(), b.end());
  }
  ASSERT_EQ(half.size(), 2 * full.size());
  for (size_t j = 0; j < half.size(); j++) ASSERT_EQ(half[j], full[j / 2]) << "sample " << j;
  poke(0x5f40, 0);

  // Music volume 0 silences a slide too: it starts from the previous note's
  // volume scaled like the note it slides to.
  set_sfx(c, 3, 8);
  set_note(c, 3, 0, 30, 2, 7);
  set_note(c, 3, 1, 40, 2, 7, 1);
  set_pattern(c, 1, 3, 0x41, 0x41, 0x41);
  vell_config.music_volume = 0;
  orrery_audio_reset();
  orrery_music_call(1, 0, 0);
  EXPECT_EQ(rig.mix(183 * 20), std::vector<int16_t>(183 * 20, 0));
}
