// Note synthesis: phase steps, waveforms, effects, custom instruments and
// the tick crossfade, checked against values worked out from the formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "audio/audio.h"
#include "audio/channels.h"
#include "audio/synth.h"
#include "machine/cart.h"
#include "shell/rng.h"
#include "support/audio_rig.h"
#include "support/cases.h"

namespace {

// Runs the oscillator through ticks t0 .. t0+count-1 of a sound, as the
// channel would, and returns its state after each tick's set-up.
std::vector<orrery_osc> tick_states(const orrery_cart *cart, int sound, int count, int t0 = 0) {
  std::vector<orrery_osc> states;
  orrery_osc o{};
  vell_rng_t rng;
  vell_srand_state(&rng, 0);
  int16_t out[k_tick_samples];
  for (int t = t0; t < t0 + count; t++) {
    orrery_osc probe = o;
    orrery_osc_set_tick(&probe, cart, sound, t, nullptr);
    states.push_back(probe);
    orrery_synth_tick(&o, cart, sound, t, nullptr, out, &rng);
  }
  return states;
}

std::vector<int32_t> field(const std::vector<orrery_osc> &states, int32_t orrery_osc::*f, int shift = 0) {
  std::vector<int32_t> v;
  for (const orrery_osc &o : states) v.push_back(o.*f >> shift);
  return v;
}

// One sample of waveform w at full volume at the given phases.
int16_t sample(int w, int32_t phase, uint32_t phase2) {
  orrery_osc o{};
  o.waveform = w;
  o.volume = k_full_volume;
  o.phase = phase;
  o.phase2 = phase2;
  vell_rng_t rng;
  vell_srand_state(&rng, 0);
  int16_t s = 0;
  orrery_osc_render(&o, &s, 1, &rng);
  return s;
}

}  // namespace

TEST(AudioSynth, PitchStepsAndWaveformsGiveTheirValuesAtEdgePhases) {
  expect_rows({ROW(orrery_pitch_to_dx(0), 194), ROW(orrery_pitch_to_dx(33 << 16), 1307),
               ROW(orrery_pitch_to_dx(63 << 16), 7392), ROW(orrery_pitch_to_dx((33 << 16) | 0x8000), 1346),
               ROW(orrery_pitch_to_dx(-1 * 65536), 182), ROW(orrery_pitch_to_dx(-24 * 65536), 48),
               ROW(orrery_pitch_to_dx(-100 * 65536), 8), ROW(orrery_pitch_to_dx(200 * 65536), 32768)});
  const int32_t phases[9] = {0, 16384, 32767, 32768, 45055, 45056, 57343, 57344, 65535};
  // Samples at full volume (W * 2688 / 2048), by waveform and phase above;
  // waveform 6 is noise.
  const int32_t expected[8][9] = {
      {-16128, 0, 16126, 16128, 4032, 4032, -8062, -8064, -16126},
      {-16125, -6911, 2302, 2303, 9213, 9213, 16124, 16121, -16125},
      {-10752, -5376, 0, 0, 4030, 4032, 8062, 8064, 10750},
      {-8062, -8062, -8062, 8062, 8062, 8062, 8062, 8062, 8062},
      {-8062, -8062, -8062, -8062, -8062, 8062, 8062, 8062, 8062},
      {-10752, 10752, -10750, -10752, -1, 0, -3583, -3584, -10752},
      {},
      {-21504, -5418, 10665, 10666, -1228, -1231, -13293, -13295, -21336},
  };
  for (int w = 0; w < 8; w++)
    for (int k = 0; w != 6 && k < 9; k++)
      EXPECT_EQ(sample(w, phases[k], static_cast<uint32_t>(phases[k])), expected[w][k]) << w << " at " << phases[k];
  // The phaser's second phase wraps as 32-bit signed arithmetic does.
  expect_rows({ROW(sample(7, 1000, 0x7fffffffu), -20847), ROW(sample(7, 1000, 0x80000000u), -20847),
               ROW(sample(7, 1000, 0xfffffff0u), -20843)});
}

TEST(AudioSynth, OneTickTriangleFadesInOverTheCrossfadeAndOutAfterItsTick) {
  audio_rig rig;
  set_sfx(rig.cart(), 0, 1);
  set_note(rig.cart(), 0, 0, 33, 0, 7);
  orrery_sfx_call(1, 0, 0, 0, 0);
  const std::vector<int16_t> out = rig.mix(183 * 3);
  // The new note fades in from silence over 64 samples, then plays whole;
  // with no note left the oscillator fades out over the next 64 samples.
  const std::pair<int, int16_t> samples[] = {{0, 0},       {1, -231},  {2, -423},  {10, -509},  {32, 3606},
                                             {63, 406},    {64, 1701}, {100, -15761}, {182, 7762}, {183, 6475},
                                             {184, 5107}, {214, 593}, {246, -157}};
  for (auto [i, v] : samples) EXPECT_EQ(out[i], v) << "sample " << i;
  EXPECT_EQ(orrery_audio_stat(16), -1);
  EXPECT_TRUE(std::all_of(out.begin() + 183 + 64, out.end(), [](int16_t s) { return s == 0; }));
}

TEST(AudioSynth, NoiseDrawsFromTheMixersOwnGenerator) {
  audio_rig rig;
  set_sfx(rig.cart(), 0, 4);
  set_note(rig.cart(), 0, 0, 45, 6, 7);
  vell_srand(1234);
  const vell_rng_t engine = vell_rng;
  orrery_sfx_call(1, 0, 0, 0, 0);
  const std::vector<int16_t> out = rig.mix(183);
  // Samples of the first noise tick (seed 0), faded in by i / 64; the
  // engine's generator, used on the main thread, is left alone.
  expect_rows({ROW(out[1], 2205 * 1 / 64), ROW(out[2], 8190 * 2 / 64), ROW(out[7], -3570 * 7 / 64),
               ROW(out[100], -525), ROW(vell_rng.a, engine.a), ROW(vell_rng.b, engine.b)});
}

TEST(AudioSynth, EffectsFollowTheTickWithinTheNote) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  set_sfx(c, 0, 4);
  set_note(c, 0, 0, 36, 0, 7, 1);  // slide into the first note: from pitch 24
  set_note(c, 0, 1, 40, 0, 3, 1);  // slide from the previous note's pitch and volume
  set_note(c, 0, 2, 33, 0, 4, 4);  // fade in
  set_note(c, 0, 3, 33, 0, 4, 5);  // fade out
  set_note(c, 0, 4, 33, 0, 4, 3);  // drop
  const std::vector<orrery_osc> st = tick_states(c, 0, 20);
  EXPECT_EQ(field(st, &orrery_osc::pitch, 16),
            (std::vector<int32_t>{24, 27, 30, 33, 36, 37, 38, 39, 33, 33, 33, 33, 33, 33, 33, 33, 33, 33, 33, 33}));
  EXPECT_EQ(field(st, &orrery_osc::volume),
            (std::vector<int32_t>{1792, 1792, 1792, 1792, 1792, (768 + 1792 * 3) / 4, (768 * 2 + 1792 * 2) / 4,
                                  (768 * 3 + 1792) / 4, 0, 256, 512, 768, 1024, 768, 512, 256, 1024, 1024, 1024, 1024}));
  EXPECT_EQ(field(std::vector<orrery_osc>(st.begin() + 16, st.end()), &orrery_osc::dx),
            (std::vector<int32_t>{1307, 1307 * 3 / 4, 1307 / 2, 1307 / 4}));

  // Vibrato changes the step every second tick with a 16-tick period.
  set_sfx(c, 1, 40);
  set_note(c, 1, 0, 33, 0, 5, 2);
  const std::vector<int32_t> dx = field(tick_states(c, 1, 32), &orrery_osc::dx);
  const int32_t cycle[16] = {1307, 1307, 1317, 1317, 1327, 1327, 1317, 1317,
                             1307, 1307, 1296, 1296, 1286, 1286, 1296, 1296};
  for (int t = 0; t < 32; t++) EXPECT_EQ(dx[t], cycle[t % 16]) << "tick " << t;
}

TEST(AudioSynth, ArpeggiosWalkTheirGroupOfFourAtTheRateTheSpeedSets) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  for (int s = 0; s < 4; s++) {
    set_sfx(rig.cart(), s, s % 2 == 0 ? 8 : 9);
    for (int i = 0; i < 8; i++) set_note(c, s, i, 10 * (i + 1), 0, 5, s < 2 ? 6 : 7);
  }
  auto steps = [&](int sound, int ticks, int t0 = 0) {
    return field(tick_states(c, sound, ticks, t0), &orrery_osc::pitch, 16);
  };
  // Fast at speed 8: a new note every 2 ticks, back to the group's first
  // after four. Fast at 9 and slow at 8: every 4 ticks; slow at 9: every 8.
  EXPECT_EQ(steps(0, 10), (std::vector<int32_t>{10, 10, 20, 20, 30, 30, 40, 40, 10, 10}));
  EXPECT_EQ(steps(1, 9), (std::vector<int32_t>{10, 10, 10, 10, 20, 20, 20, 20, 30}));
  EXPECT_EQ(steps(2, 9), (std::vector<int32_t>{10, 10, 10, 10, 20, 20, 20, 20, 30}));
  EXPECT_EQ(steps(3, 9), (std::vector<int32_t>{10, 10, 10, 10, 10, 10, 10, 10, 20}));
  // Note 5 walks notes 4-7 from where the tick counter stands.
  EXPECT_EQ(steps(0, 4, 40), (std::vector<int32_t>{50, 50, 60, 60}));
}

TEST(AudioSynth, CustomInstrumentsTransposeAroundPitch24AndContinueAcrossEqualNotes) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  // Instrument 2: speed 1, looping over notes 1-3.
  set_sfx(c, 2, 1, 1, 3);
  set_note(c, 2, 0, 24, 3, 7);
  set_note(c, 2, 1, 36, 1, 3);
  set_note(c, 2, 2, 30, 1, 7);
  // Sound 0 plays it: two equal notes, then a new pitch.
  set_sfx(c, 0, 4);
  set_note(c, 0, 0, 33, 2, 7, 0, 1);
  set_note(c, 0, 1, 33, 2, 7, 0, 1);
  set_note(c, 0, 2, 35, 2, 7, 0, 1);
  const std::vector<orrery_osc> st = tick_states(c, 0, 12);
  expect_rows({ROW(st[0].waveform, 3), ROW(st[0].pitch, 33 << 16), ROW(st[0].volume, 1792), ROW(st[1].waveform, 1),
               ROW(st[1].pitch, 45 << 16), ROW(st[1].volume, 768), ROW(st[1].int_pitch, 45), ROW(st[1].int_volume, 3)});
  EXPECT_EQ(field(st, &orrery_osc::inst_ticks), (std::vector<int32_t>{0, 1, 2, 1, 2, 1, 2, 1, 0, 1, 2, 1}))
      << "the equal note 1 continues the instrument; the new pitch of note 2 restarts it";
}
