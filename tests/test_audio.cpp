// The sound system: note synthesis checked against values worked out from
// the formulas, channels and the music sequencer through sfx, music and
// stat, the mixer's effects, limiter, volumes and pause, and the callback on
// the device's own thread while the main thread plays.
#include "support/test.h"

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
  o.waveform = w, o.volume = k_full_volume, o.phase = phase, o.phase2 = phase2;
  vell_rng_t rng;
  vell_srand_state(&rng, 0);
  int16_t s = 0;
  orrery_osc_render(&o, &s, 1, &rng);
  return s;
}

// Sound s: 32 audible notes at the given speed.
void audible(orrery_cart *cart, int s, int speed, int loop_start = 0, int loop_end = 0) {
  set_sfx(cart, s, speed, loop_start, loop_end);
  for (int i = 0; i < 32; i++) set_note(cart, s, i, 30 + i % 5, 3, 5);
}

int stat(int n) { return orrery_audio_stat(n); }
using ints = std::vector<int>;
ints sfx_stats() { return {stat(16), stat(17), stat(18), stat(19)}; }
using samples = std::vector<int16_t>;

void poke(int32_t addr, int32_t value) { orrery_poke(&pstate, pstate.cart, addr, value); }

// From silence: one effect mask set, sound s (or song 0 when s < 0) started, ticks mixed one by one.
samples run_with_mask(const audio_rig &rig, int s, int32_t mask_at, int32_t value, int ticks, int count = 0) {
  vell_audio_reset();
  for (int32_t a = 0x5f40; a <= 0x5f43; a++) poke(a, a == mask_at ? value : 0);
  if (s >= 0)
    orrery_sfx_call(2, s, 0, 0, 0);
  else
    orrery_music_call(0, 0, 0);
  return count ? rig.mix(count) : rig.mix_ticks(ticks);
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
  const int32_t expected[8][9] = {{-16128, 0, 16126, 16128, 4032, 4032, -8062, -8064, -16126},
                                  {-16125, -6911, 2302, 2303, 9213, 9213, 16124, 16121, -16125},
                                  {-10752, -5376, 0, 0, 4030, 4032, 8062, 8064, 10750},
                                  {-8062, -8062, -8062, 8062, 8062, 8062, 8062, 8062, 8062},
                                  {-8062, -8062, -8062, -8062, -8062, 8062, 8062, 8062, 8062},
                                  {-10752, 10752, -10750, -10752, -1, 0, -3583, -3584, -10752},
                                  {},
                                  {-21504, -5418, 10665, 10666, -1228, -1231, -13293, -13295, -21336}};
  for (int w = 0; w < 8; w++)
    for (int k = 0; w != 6 && k < 9; k++)
      EXPECT_EQ(sample(w, phases[k], static_cast<uint32_t>(phases[k])), expected[w][k]) << w << " at " << phases[k];
  // The phaser's second phase wraps as 32-bit signed arithmetic does.
  expect_rows({ROW(sample(7, 1000, 0x7fffffffu), -20847), ROW(sample(7, 1000, 0x80000000u), -20847),
               ROW(sample(7, 1000, 0xfffffff0u), -20843)});
}

TEST(AudioSynth, OneTickNotesFadeInOverTheCrossfadeAndOutAfterTheirTickAndNoiseUsesTheMixersGenerator) {
  audio_rig rig;
  set_sfx(rig.cart(), 0, 1);
  set_note(rig.cart(), 0, 0, 33, 0, 7);
  orrery_sfx_call(1, 0, 0, 0, 0);
  const std::vector<int16_t> out = rig.mix(183 * 3);
  // The new note fades in from silence over 64 samples, then plays whole;
  // with no note left the oscillator fades out over the next 64 samples.
  expect_rows({ROW(out[0], 0), ROW(out[1], -231), ROW(out[32], 3606), ROW(out[63], 406), ROW(out[64], 1701),
               ROW(out[100], -15761), ROW(out[182], 7762), ROW(out[183], 6475), ROW(out[214], 593), ROW(out[246], -157),
               ROW(orrery_audio_stat(16), -1)});
  EXPECT_TRUE(std::all_of(out.begin() + 183 + 64, out.end(), [](int16_t s) { return s == 0; }));
  // Noise: samples of the first tick (seed 0), faded in by i / 64; the
  // engine's generator, used on the main thread, is left alone.
  set_note(rig.cart(), 0, 0, 45, 6, 7);
  vell_srand(1234);
  const vell_rng_t engine = vell_rng_state();
  vell_audio_reset();
  orrery_sfx_call(1, 0, 0, 0, 0);
  const std::vector<int16_t> noise = rig.mix(183);
  expect_rows({ROW(noise[1], 2205 * 1 / 64), ROW(noise[2], 8190 * 2 / 64), ROW(noise[7], -3570 * 7 / 64),
               ROW(noise[100], -525), ROW(vell_rng_state().a, engine.a), ROW(vell_rng_state().b, engine.b)});
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
  // The second note slides its volume from 1792 to 768; fades go between 0 and 1024.
  EXPECT_EQ(field(st, &orrery_osc::volume),
            (std::vector<int32_t>{1792, 1792, 1792, 1792, 1792, 1536, 1280, 1024, 0,    256,
                                  512,  768,  1024, 768,  512,  256,  1024, 1024, 1024, 1024}));
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

TEST(AudioChannels, SoundsEndAfterTheirLengthOrTheirLastAudibleNote) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  // Plays sound s on channel 0 and returns stat(16) after each tick.
  auto playing = [&](int nargs, int s, int length, int ticks) {
    orrery_sfx_call(nargs, s, 0, 0, length);
    ints v;
    for (int t = 0; t < ticks; t++, rig.mix_ticks(1)) v.push_back(stat(16) < 0 ? -1 : stat(20));
    return v;
  };
  audible(c, 1, 3);  // length 2 notes at speed 3: six ticks
  EXPECT_EQ(playing(4, 1, 2, 7), (ints{0, 0, 0, 1, 1, 1, -1}));
  // Notes 0-2 audible, then silence: the sound ends when note 3 comes up.
  set_sfx(c, 2, 2);
  for (int i = 0; i < 3; i++) set_note(c, 2, i, 20, 0, 4);
  EXPECT_EQ(playing(2, 2, 0, 7), (ints{0, 0, 1, 1, 2, 2, -1}));

  // A looping sound plays on; released, it runs past its loop end and ends
  // after its last audible note.
  set_sfx(c, 3, 1, 0, 2);
  for (int i = 0; i < 4; i++) set_note(c, 3, i, 20, 0, 4);
  orrery_sfx_call(2, 3, 1, 0, 0);
  rig.mix_ticks(101);
  EXPECT_EQ(stat(21), 1) << "tick 101 of a loop over notes 0-1";
  orrery_sfx_call(2, -2, 1, 0, 0);
  rig.mix_ticks(1);
  EXPECT_EQ(stat(21), 2);
  rig.mix_ticks(2);
  EXPECT_EQ(stat(17), -1);
}

TEST(AudioChannels, PatternsLastTheirFirstNonLoopingColumnAndFollowTheirFlags) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  audible(c, 1, 8, 0, 4);   // looping, 256 ticks
  audible(c, 2, 16);        // not looping, 512 ticks
  audible(c, 3, 32, 0, 8);  // looping, 1024 ticks
  set_pattern(c, 0, 1, 0x40, 2, 0x40);
  set_pattern(c, 1, 1, 0x40, 0x40, 3);
  set_pattern(c, 2, 0x41, 0x42, 0x43, 0x44);
  // Every column looping: the longest. Pattern 2 plays nothing, so the song
  // ends after pattern 1.
  EXPECT_EQ((ints{orrery_pattern_length(c, 0), orrery_pattern_length(c, 1), orrery_pattern_length(c, 2)}),
            (ints{512, 1024, 0}));
  orrery_music_call(0, 0, 0);
  rig.mix_ticks(512);
  EXPECT_EQ((ints{stat(24), stat(25), stat(26), stat(16), stat(19)}), (ints{1, 1, 0, 1, 3}));
  rig.mix_ticks(1024);
  EXPECT_FALSE(vell_music_is_playing());

  // 32-tick patterns: the patterns played from a start, one per 32 ticks.
  audible(c, 1, 1);
  for (int p = 0; p < 8; p++) set_pattern(c, p, 1, 0x41, 0x41, 0x41);
  set_pattern(c, 63, 1, 0x41, 0x41, 0x41);
  auto play = [&](int start, int patterns) {
    ints order;
    orrery_music_call(start, 0, 0);
    for (int k = 0; k < patterns; k++, rig.mix_ticks(32)) order.push_back(stat(24));
    return order;
  };
  c->music[2].flags = k_pattern_flag_loop_start;
  c->music[5].flags = k_pattern_flag_loop_back;
  EXPECT_EQ(play(2, 9), (ints{2, 3, 4, 5, 2, 3, 4, 5, 2}));
  c->music[2].flags = 0;
  EXPECT_EQ(play(3, 5), (ints{3, 4, 5, 0, 1})) << "without a loop start before it, back to pattern 0";
  // The stop flag and the end of pattern 63 end the music after the pattern.
  c->music[4].flags = k_pattern_flag_stop;
  EXPECT_EQ(play(3, 3), (ints{3, 4, 0}));
  EXPECT_EQ(play(63, 2), (ints{63, 0}));
  EXPECT_FALSE(vell_music_is_playing());
}

TEST(AudioChannels, ReleasingACartridgeStopsWhatPlaysFromIt) {
  audio_rig rig;
  cart_ptr other(vell_create_orrery_cart());
  audible(other.get(), 2, 4, 0, 4);
  audible(rig.cart(), 1, 4, 0, 4);
  audible(rig.cart(), 3, 4, 0, 4);
  set_pattern(rig.cart(), 0, 1, 0x41, 1, 0x41);
  orrery_music_call(0, 0, 0);
  orrery_sfx_call(2, 3, 0, 0, 0);
  vell_play_sfx_ex(2, 0, 0, other.get(), 1);
  rig.mix_ticks(3);
  vell_destroy_orrery_cart(pstate.cart);
  EXPECT_EQ(sfx_stats(), (ints{-1, 2, -1, -1}));
  EXPECT_FALSE(vell_music_is_playing());
  rig.mix_ticks(3);  // nothing reads the released cartridge
  EXPECT_EQ(stat(17), 2);
}

TEST(AudioMixer, LimiterKeepsEightLoudChannelsWithin16Bits) {
  expect_rows({ROW(vell_soft_sum(20000, 4575), 24575), ROW(vell_soft_sum(20000, 4576), 24576),
               ROW(vell_soft_sum(24576, 24576), 29491), ROW(vell_soft_sum(-30000, 5000), -24660),
               ROW(vell_soft_sum(32767, 32767), 32767), ROW(vell_soft_sum(-32768, -32768), -32768)});
  // Every mix of full-scale and silent channels stays in range.
  const int32_t levels[3] = {-32768, 0, 32767};
  for (int n = 0; n < 6561; n++) {
    int32_t c[8];
    for (int k = 0, v = n; k < 8; k++, v /= 3) c[k] = levels[v % 3];
    const int32_t s = vell_mix_channels(c);
    ASSERT_TRUE(s >= -32768 && s <= 32767) << n;
  }
  // The block mixer gives what the per-sample rule gives, at every volume,
  // for samples near the knees and the ends of the range.
  const int16_t near[] = {-32768, -32767, -24577, -24576, -12289, -1, 0, 1, 12288, 24575, 24576, 32767};
  int16_t ch[8][256], mixed[256];
  const int16_t *const runs[8] = {ch[0], ch[1], ch[2], ch[3], ch[4], ch[5], ch[6], ch[7]};
  for (int32_t volume : {256, 255, 128, 1, 0}) {
    uint32_t x = static_cast<uint32_t>(volume);
    for (int i = 0; i < 8 * 256; i++) ch[i / 256][i % 256] = near[((x = x * 1103515245u + 12345u) >> 16) % 12];
    orrery_mix_run(runs, mixed, 253, volume);
    for (int i = 0; i < 253; i++) {
      int32_t c[8];
      for (int k = 0; k < 8; k++) c[k] = ch[k][i];
      ASSERT_EQ(mixed[i], vell_mix_channels(c) * volume >> 8) << "volume " << volume << ", sample " << i;
    }
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

TEST(AudioMixer, HalfRateAndTheEdgesOfBlocksLeaveNoClicksOrJumps) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  set_sfx(c, 1, 255);
  set_note(c, 1, 0, 33, 3, 7);
  set_sfx(c, 4, 1);
  for (int i = 0; i < 32; i++) set_note(c, 4, i, 30, 3, 5);
  set_pattern(c, 0, 1, 0x41, 0x41, 0x41);
  // Half rate plays each sample twice, an octave lower at half tempo. The
  // bit reaches sound effects and music column 0 alike, across blocks of
  // odd lengths too.
  for (int s : {1, -1}) {
    const samples full = run_with_mask(rig, s, 0x5f40, 0, 0, 3000);
    samples half = run_with_mask(rig, s, 0x5f40, 1, 0, 999);
    for (int n : {1001, 1, 999, 3000}) {
      const samples b = rig.mix(n);
      half.insert(half.end(), b.begin(), b.end());
    }
    ASSERT_EQ(half.size(), 2 * full.size());
    for (size_t j = 0; j < half.size(); j++) ASSERT_EQ(half[j], full[j / 2]) << "sound " << s << " sample " << j;
  }
  run_with_mask(rig, 4, 0x5f40, 1, 20);
  EXPECT_NEAR(orrery_audio_stat(20), 10, 1) << "notes advance at half the rate too";

  // Largest difference between neighbouring samples.
  auto largest_step = [](const samples &v) {
    int step = 0;
    for (size_t i = 1; i < v.size(); i++) step = std::max(step, std::abs(v[i] - v[i - 1]));
    return step;
  };
  // Music alone, then a quiet one-note effect over its column: it fades out
  // and back in instead of being cut and restored at the blocks' edges.
  run_with_mask(rig, -1, 0, 0, 0);
  samples out = rig.mix(4096);
  const int music_step = largest_step(out);
  set_sfx(c, 2, 10);
  set_note(c, 2, 0, 20, 0, 1);
  orrery_sfx_call(4, 2, 0, 0, 1);
  for (int k = 0; k < 4; k++) {
    const samples b = rig.mix(1024);
    out.insert(out.end(), b.begin(), b.end());
  }
  EXPECT_EQ(vell_get_orrery_channel_sfx(0), -1) << "the effect has ended";
  EXPECT_LT(largest_step(out), music_step + music_step / 2);

  // Music volume 0 silences a slide too: it starts from the previous note's
  // volume scaled like the note it slides to.
  set_sfx(c, 3, 8);
  set_note(c, 3, 0, 30, 2, 7);
  set_note(c, 3, 1, 40, 2, 7, 1);
  set_pattern(c, 1, 3, 0x41, 0x41, 0x41);
  vell_config_set(&vell_config_t::music_volume, 0);
  vell_audio_reset();
  orrery_music_call(1, 0, 0);
  EXPECT_EQ(rig.mix(183 * 20), samples(183 * 20, 0));
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

// The callback runs on the device's thread while this thread starts, stops
// and reads sounds, rewrites sound memory and flips the effect masks. Run
// under ThreadSanitizer, this shows that every shared access is locked or
// atomic.
TEST(AudioThreads, MainThreadPlaysAndStopsWhileTheDeviceMixes) {
  temp_home home;
  vell_config_set(&vell_config_t::mix_buffer_size, 512);
  vell_system_init();
  ASSERT_EQ(orrery_create_machine(), 0);
  orrery_sound_init(16);
  ASSERT_EQ(vell_sound_running(), 1);
  // Sounds 0-7 use effect s on every note, sound 7 as custom instruments.
  for (int s = 0; s < 8; s++) {
    set_sfx(pstate.cart, s, 1 + s);
    for (int i = 0; i < 32; i++) set_note(pstate.cart, s, i, 20 + i, 4, 5, s, s == 7);
  }
  for (int p = 0; p < 4; p++) set_pattern(pstate.cart, p, p, p + 1, p + 2, p + 3, p == 3 ? 2 : 0);
  // The callback advances what the main thread started.
  orrery_sfx_call(1, 6, 0, 0, 0);
  bool advanced = false;
  for (int k = 0; k < 200 && !advanced; k++) {
    advanced = orrery_audio_stat(20) > 0 || orrery_audio_stat(16) != 6;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(advanced);
  // Calls, readings, masks, pauses and sound memory rewritten while it
  // mixes, each followed by time for the callback to run.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
  for (int k = 0; std::chrono::steady_clock::now() < end; k++) {
    orrery_sfx_call(k % 4 + 1, k % 9, k % 5 - 1, k % 7, k % 3);
    if (k % 11 == 0) orrery_music_call(k % 17 == 0 ? -1 : k % 5, k % 3 * 50, k & 15);
    orrery_update_music_fade();
    for (int n = 16; n <= 26; n++) orrery_audio_stat(n);
    poke(0x5f40 + k % 4, k);
    vell_set_audio_pause_count(k % 13 == 0 ? 1 : 0);
    poke(0x3200 + 68 * (k % 9) + 2 * (k % 32) + 1, 0x0b | (k % 8) << 4);
    poke(0x3100 + k % 16, k % 9);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  vell_set_audio_pause_count(0);
  vell_stop_all_sounds();
  orrery_sound_exit();
  vell_sound_exit_plat();
  orrery_clear_machine();
  vell_system_exit();
}
