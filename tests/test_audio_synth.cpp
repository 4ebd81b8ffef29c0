// Note synthesis: phase steps, waveforms, effects, custom instruments and
// the tick crossfade, checked against values worked out from the formulas.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "audio/audio.h"
#include "audio/channels.h"
#include "audio/synth.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/rng.h"
#include "support/audio_rig.h"

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

std::vector<int32_t> pitches(const std::vector<orrery_osc> &states) {
  std::vector<int32_t> p;
  for (const orrery_osc &o : states) p.push_back(o.pitch >> 16);
  return p;
}

}  // namespace

TEST(AudioSynth, PitchToPhaseStepFollowsTheSemitoneTableAndClamps) {
  EXPECT_EQ(orrery_pitch_to_dx(0), 194);
  EXPECT_EQ(orrery_pitch_to_dx(33 << 16), 1307);
  EXPECT_EQ(orrery_pitch_to_dx(63 << 16), 7392);
  // Half a semitone above 33 mixes the table's neighbours.
  EXPECT_EQ(orrery_pitch_to_dx((33 << 16) | 0x8000), 1346);
  // Below pitch 0 the semitone still counts from 0-11.
  EXPECT_EQ(orrery_pitch_to_dx(-1 * 65536), 182);
  EXPECT_EQ(orrery_pitch_to_dx(-24 * 65536), 48);
  EXPECT_EQ(orrery_pitch_to_dx(-100 * 65536), 8);
  EXPECT_EQ(orrery_pitch_to_dx(200 * 65536), 32768);
}

TEST(AudioSynth, WaveformsGiveTheirValuesAtEdgePhases) {
  const int32_t phases[9] = {0, 16384, 32767, 32768, 45055, 45056, 57343, 57344, 65535};
  // Samples at full volume (W * 2688 / 2048), by waveform and phase above.
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
  vell_rng_t rng;
  vell_srand_state(&rng, 0);
  for (int w = 0; w < 8; w++) {
    if (w == 6) continue;
    for (int k = 0; k < 9; k++) {
      orrery_osc o{};
      o.waveform = w;
      o.volume = k_full_volume;
      o.phase = phases[k];
      o.phase2 = static_cast<uint32_t>(phases[k]);  // the phaser's second phase, here equal to the first
      int16_t s = 0;
      orrery_osc_render(&o, &s, 1, &rng);
      EXPECT_EQ(s, expected[w][k]) << "waveform " << w << " phase " << phases[k];
    }
  }
  // The phaser's second phase wraps as 32-bit signed arithmetic does.
  const uint32_t second[3] = {0x7fffffffu, 0x80000000u, 0xfffffff0u};
  const int16_t phaser[3] = {-20847, -20847, -20843};
  for (int k = 0; k < 3; k++) {
    orrery_osc o{};
    o.waveform = 7;
    o.volume = k_full_volume;
    o.phase = 1000;
    o.phase2 = second[k];
    int16_t s = 0;
    orrery_osc_render(&o, &s, 1, &rng);
    EXPECT_EQ(s, phaser[k]) << "second phase " << second[k];
  }
}

TEST(AudioSynth, OneTickTriangleFadesInOverTheCrossfadeAndOutAfterItsTick) {
  audio_rig rig;
  set_sfx(rig.cart(), 0, 1);
  set_note(rig.cart(), 0, 0, 33, 0, 7);
  orrery_sfx_call(1, 0, 0, 0, 0);
  const std::vector<int16_t> out = rig.mix(183 * 3);
  // The new note fades in from silence over 64 samples, then plays whole.
  const std::pair<int, int16_t> tick[] = {{0, 0},    {1, -231},   {2, -423},     {10, -509},
                                          {32, 3606}, {63, 406},  {64, 1701},   {100, -15761},
                                          {182, 7762}};
  for (auto [i, v] : tick) EXPECT_EQ(out[i], v) << "sample " << i;
  // With no note left the sound ends after its tick; the oscillator fades
  // out over the next 64 samples and then stays silent.
  EXPECT_EQ(orrery_audio_stat(16), -1);
  EXPECT_EQ(out[183], 6475);
  EXPECT_EQ(out[184], 5107);
  EXPECT_EQ(out[183 + 31], 593);
  EXPECT_EQ(out[183 + 63], -157);
  EXPECT_TRUE(std::all_of(out.begin() + 183 + 64, out.end(), [](int16_t s) { return s == 0; }));

  // A longer note at volume 7 peaks just short of +-16128.
  set_sfx(rig.cart(), 1, 8);
  set_note(rig.cart(), 1, 0, 33, 0, 7);
  orrery_sfx_call(1, 1, 0, 0, 0);
  const std::vector<int16_t> held = rig.mix(183 * 8);
  const auto [lo, hi] = std::minmax_element(held.begin(), held.end());
  EXPECT_GE(*hi, 16000);
  EXPECT_LE(*hi, 16128);
  EXPECT_LE(*lo, -16000);
  EXPECT_GE(*lo, -16128);
}

TEST(AudioSynth, NotesWrittenToMemoryPlayAndSpeedZeroPlaysAsSpeedOne) {
  audio_rig rig;
  // Note word 0x0c21: pitch 33, waveform 0, volume 6, no effect.
  orrery_poke(&pstate, rig.cart(), 0x3200 + 68 * 5, 0x21);
  orrery_poke(&pstate, rig.cart(), 0x3200 + 68 * 5 + 1, 0x0c);
  orrery_poke(&pstate, rig.cart(), 0x3200 + 68 * 5 + 65, 4);  // speed
  const orrery_note &n = rig.cart()->sfx[5].notes[0];
  EXPECT_EQ(n.pitch, 33);
  EXPECT_EQ(n.waveform, 0);
  EXPECT_EQ(n.volume, 6);
  EXPECT_EQ(n.effect, 0);
  EXPECT_EQ(n.custom, 0);
  orrery_sfx_call(1, 5, 0, 0, 0);
  const std::vector<int16_t> out = rig.mix(183 * 4);
  // Volume 6 peaks at 12288 * 2304 / 2048 = 13824.
  const int16_t peak = *std::max_element(out.begin(), out.end());
  EXPECT_GE(peak, 13700);
  EXPECT_LE(peak, 13824);

  // The same notes at speed 0 and speed 1 give the same samples.
  for (int s : {1, 2}) {
    set_sfx(rig.cart(), s, s == 1 ? 0 : 1);
    set_note(rig.cart(), s, 0, 30, 1, 5);
    set_note(rig.cart(), s, 1, 40, 5, 7, 1);
    set_note(rig.cart(), s, 2, 20, 7, 3, 5);
  }
  std::vector<int16_t> runs[2];
  for (int s : {1, 2}) {
    orrery_audio_reset();
    orrery_sfx_call(1, s, 0, 0, 0);
    runs[s - 1] = rig.mix(183 * 5);
  }
  EXPECT_EQ(runs[0], runs[1]);
}

TEST(AudioSynth, NoiseDrawsFromTheMixersOwnGenerator) {
  audio_rig rig;
  set_sfx(rig.cart(), 0, 4);
  set_note(rig.cart(), 0, 0, 45, 6, 7);
  vell_srand(1234);
  const vell_rng_t engine = vell_rng;
  orrery_sfx_call(1, 0, 0, 0, 0);
  const std::vector<int16_t> out = rig.mix(183);
  // Samples of the first noise tick (seed 0), faded in by i / 64.
  EXPECT_EQ(out[1], 2205 * 1 / 64);
  EXPECT_EQ(out[2], 8190 * 2 / 64);
  EXPECT_EQ(out[7], -3570 * 7 / 64);
  EXPECT_EQ(out[100], -525);
  // The engine's generator, used on the main thread, is left alone.
  EXPECT_EQ(vell_rng.a, engine.a);
  EXPECT_EQ(vell_rng.b, engine.b);
}

TEST(AudioSynth, SlidesFadesAndDropFollowTheTickWithinTheNote) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  set_sfx(c, 0, 4);
  set_note(c, 0, 0, 36, 0, 7, 1);  // slide into the first note: from pitch 24
  set_note(c, 0, 1, 40, 0, 3, 1);  // slide from the previous note's pitch and volume
  set_note(c, 0, 2, 33, 0, 4, 4);  // fade in
  set_note(c, 0, 3, 33, 0, 4, 5);  // fade out
  set_note(c, 0, 4, 33, 0, 4, 3);  // drop
  const std::vector<orrery_osc> st = tick_states(c, 0, 20);
  EXPECT_EQ(pitches(st), (std::vector<int32_t>{24, 27, 30, 33, 36, 37, 38, 39, 33, 33, 33, 33, 33, 33, 33, 33, 33,
                                               33, 33, 33}));
  for (int t = 0; t < 4; t++) EXPECT_EQ(st[t].volume, 1792) << "the first note's volume does not slide, tick " << t;
  EXPECT_EQ(st[4].volume, 1792);
  EXPECT_EQ(st[5].volume, (768 * 1 + 1792 * 3) / 4);
  EXPECT_EQ(st[7].volume, (768 * 3 + 1792 * 1) / 4);
  for (int r = 0; r < 4; r++) {
    EXPECT_EQ(st[8 + r].volume, 1024 * r / 4) << "fade in";
    EXPECT_EQ(st[12 + r].volume, 1024 * (4 - r) / 4) << "fade out";
    EXPECT_EQ(st[16 + r].dx, 1307 * (4 - r) / 4) << "drop";
  }
}

TEST(AudioSynth, ArpeggiosWalkTheirGroupOfFourAtTheRateTheSpeedSets) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  for (int s = 0; s < 4; s++) {
    const int speed = s % 2 == 0 ? 8 : 9;
    set_sfx(c, s, speed);
    for (int i = 0; i < 8; i++) set_note(c, s, i, 10 * (i + 1), 0, 5, s < 2 ? 6 : 7);
  }
  auto steps = [&](int sound, int ticks) { return pitches(tick_states(c, sound, ticks)); };
  // Fast at speed 8: a new note every 2 ticks; back to the group's first
  // note after four.
  EXPECT_EQ(steps(0, 10), (std::vector<int32_t>{10, 10, 20, 20, 30, 30, 40, 40, 10, 10}));
  // Fast at speed 9, and slow at speed 8: every 4 ticks.
  EXPECT_EQ(steps(1, 9), (std::vector<int32_t>{10, 10, 10, 10, 20, 20, 20, 20, 30}));
  EXPECT_EQ(steps(2, 9), (std::vector<int32_t>{10, 10, 10, 10, 20, 20, 20, 20, 30}));
  // Slow at speed 9: every 8 ticks.
  EXPECT_EQ(steps(3, 9), (std::vector<int32_t>{10, 10, 10, 10, 10, 10, 10, 10, 20}));
  // Note 5 walks notes 4-7 (pitches 50-80), from where the tick counter stands.
  const std::vector<int32_t> group = pitches(tick_states(c, 0, 4, 40));
  EXPECT_EQ(group, (std::vector<int32_t>{50, 50, 60, 60}));
}

TEST(AudioSynth, VibratoChangesTheStepEverySecondTickWithA16TickPeriod) {
  audio_rig rig;
  set_sfx(rig.cart(), 0, 40);
  set_note(rig.cart(), 0, 0, 33, 0, 5, 2);
  const std::vector<orrery_osc> st = tick_states(rig.cart(), 0, 32);
  const int32_t cycle[16] = {1307, 1307, 1317, 1317, 1327, 1327, 1317, 1317,
                             1307, 1307, 1296, 1296, 1286, 1286, 1296, 1296};
  for (int t = 0; t < 32; t++) EXPECT_EQ(st[t].dx, cycle[t % 16]) << "tick " << t;
}

TEST(AudioSynth, CustomInstrumentsTransposeAroundPitch24AndContinueAcrossEqualNotes) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  // Instrument 2: speed 1, notes pitch 24 square at 7, pitch 36 tilted saw at 3, looping over notes 1-3.
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
  EXPECT_EQ(st[0].waveform, 3);
  EXPECT_EQ(st[0].pitch, 33 << 16);
  EXPECT_EQ(st[0].volume, 1792);
  EXPECT_EQ(st[1].waveform, 1);
  EXPECT_EQ(st[1].pitch, 45 << 16);
  EXPECT_EQ(st[1].volume, 768);
  EXPECT_EQ(st[1].int_pitch, 45);
  EXPECT_EQ(st[1].int_volume, 3);
  // The loop end (3) sends the instrument back to its note 1.
  std::vector<int32_t> inst;
  for (const orrery_osc &o : st) inst.push_back(o.inst_ticks);
  EXPECT_EQ(inst, (std::vector<int32_t>{0, 1, 2, 1, 2, 1, 2, 1, 0, 1, 2, 1}))
      << "the equal note 1 continues the instrument; the new pitch of note 2 restarts it";

  // An instrument of silent notes plays silence.
  set_sfx(c, 3, 2);
  set_sfx(c, 1, 4);
  set_note(c, 1, 0, 33, 3, 7, 0, 1);
  orrery_sfx_call(1, 1, 0, 0, 0);
  const std::vector<int16_t> out = rig.mix(183 * 4);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 0; }));
}
