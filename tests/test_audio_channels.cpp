// Channels and the music sequencer through sfx, music and stat: argument
// rules, channel choice, sound ends, pattern lengths, loops, stops, fades,
// release, and the script functions that reach them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "api/api.h"
#include "audio/audio.h"
#include "audio/channels.h"
#include "audio/sound_data.h"
#include "lauxlib.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"
#include "script/interp.h"
#include "shell/resources.h"
#include "support/audio_rig.h"
#include "support/cart_support.h"
#include "support/cases.h"

namespace {

// Sound s: 32 audible notes at the given speed.
void audible(orrery_cart *cart, int s, int speed, int loop_start = 0, int loop_end = 0) {
  set_sfx(cart, s, speed, loop_start, loop_end);
  for (int i = 0; i < 32; i++) set_note(cart, s, i, 30 + i % 5, 3, 5);
}

int stat(int n) { return orrery_audio_stat(n); }
std::vector<int> sfx_stats() { return {stat(16), stat(17), stat(18), stat(19)}; }
using ints = std::vector<int>;

}  // namespace

TEST(AudioChannels, SfxFollowsItsArgumentRules) {
  audio_rig rig;
  for (int s = 0; s < 64; s++) audible(rig.cart(), s, 4);
  // Each call, then the sounds on channels 0-3.
  const std::tuple<int, int, int, int, ints> calls[] = {
      {0, 3, 0, 0, {-1, -1, -1, -1}},  // no argument does nothing
      {1, 3, 0, 0, {3, -1, -1, -1}},
      {1, 3, 0, 0, {3, -1, -1, -1}},   // a second sfx(3) restarts it
      {2, 4, 4, 0, {3, -1, -1, -1}},   // channels outside -2..3 do nothing
      {2, 4, -3, 0, {3, -1, -1, -1}},
      {3, 90, 1, -5, {3, 63, -1, -1}},  // n clamps to 0-63, the offset to 0-31
      {3, 4, 2, 40, {3, 63, 4, -1}},
      {2, -7, 3, 0, {3, 63, 4, 0}},
      {2, -1, -2, 0, {3, 63, 4, 0}},   // sfx(-1, -2) stops nothing
      {2, -1, 1, 0, {3, -1, 4, 0}},
  };
  for (const auto &[nargs, n, channel, offset, after] : calls) {
    orrery_sfx_call(nargs, n, channel, offset, 0);
    EXPECT_EQ(sfx_stats(), after) << "sfx(" << n << ", " << channel << ", " << offset << ") of " << nargs;
  }
  EXPECT_EQ(stat(22), 31);
  EXPECT_EQ(orrery_sfx_call(1, 3, 0, 0, 0), k_audio_call_cost);
  EXPECT_EQ(orrery_sfx_call(0, 3, 0, 0, 0), 0);
  // sfx(n, -2) stops n wherever it plays, a music column included, which
  // then leaves the song; sfx(-1) clears the effect channels, not the music.
  set_pattern(rig.cart(), 0, 4, 5, 0x46, 0x47);
  orrery_music_call(0, 0, 0);
  orrery_sfx_call(2, 4, -2, 0, 0);
  EXPECT_EQ(stat(18), -1);
  EXPECT_EQ(vell_get_orrery_channel_sfx(4), -1);
  EXPECT_EQ(orrery_audio.channel[4].music, 0);
  orrery_sfx_call(1, -1, 0, 0, 0);
  EXPECT_EQ(sfx_stats(), (ints{-1, 5, -1, -1})) << "channel 1 now reports its music column";
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
  // Notes 0-2 audible, then silence: the sound ends when note 3 comes up,
  // unless note 3 slides into silence, which is still heard.
  set_sfx(c, 2, 2);
  for (int i = 0; i < 3; i++) set_note(c, 2, i, 20, 0, 4);
  EXPECT_EQ(playing(2, 2, 0, 7), (ints{0, 0, 1, 1, 2, 2, -1}));
  set_note(c, 2, 3, 20, 0, 0, 1);
  EXPECT_EQ(playing(2, 2, 0, 9), (ints{0, 0, 1, 1, 2, 2, 3, 3, -1}));

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

TEST(AudioChannels, AutomaticChoiceTakesFreeChannelsThenTheSlowestSound) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  const int speeds[6] = {5, 3, 3, 7, 9, 5};
  for (int s = 0; s < 6; s++) audible(c, s, speeds[s]);
  audible(c, 10, 8);
  // The pattern's columns, the music mask, the channels busy beforehand,
  // the sound started, and the channels after.
  const std::tuple<ints, int, int, int, ints> cases[] = {
      {{0x40, 0x40, 0x40, 0x40}, 0, 4, 4, {0, 1, 4, 3}},  // the smallest speed goes, the later of a tie
      {{10, 10, 10, 10}, 0b0011, 0, 1, {10, 10, 1, 10}},  // free channels in order unless reserved by music
      {{10, 10, 10, 0x40}, 0, 0, 1, {10, 10, 10, 1}},     // a column off in the pattern frees its channel first
      {{10, 10, 10, 10}, 0b0010, 4, 4, {0, 1, 4, 3}},     // channel 1 reserved: not taken over
  };
  for (const auto &[columns, mask, busy, sound, after] : cases) {
    vell_stop_all_sounds();
    set_pattern(c, 0, columns[0], columns[1], columns[2], columns[3]);
    if (columns[0] != 0x40) orrery_music_call(0, 0, mask);
    for (int s = 0; s < busy; s++) orrery_sfx_call(2, s, s, 0, 0);
    orrery_sfx_call(1, sound, 0, 0, 0);
    EXPECT_EQ(sfx_stats(), after) << "sound " << sound << " with mask " << mask;
  }
  orrery_sfx_call(1, 5, 0, 0, 0);
  EXPECT_EQ(sfx_stats(), (ints{5, 1, 4, 3})) << "speed 5 on channel 0 is now the smallest besides channel 1";
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
  EXPECT_EQ(orrery_pattern_length(c, 0), 512);
  EXPECT_EQ(orrery_pattern_length(c, 1), 1024) << "every column loops: the longest";
  EXPECT_EQ(orrery_pattern_length(c, 2), 0);
  orrery_music_call(0, 0, 0);
  rig.mix_ticks(511);
  EXPECT_EQ((ints{stat(24), stat(25), stat(26)}), (ints{0, 0, 511}));
  rig.mix_ticks(1);
  EXPECT_EQ((ints{stat(24), stat(25), stat(26)}), (ints{1, 1, 0}));
  EXPECT_EQ(sfx_stats(), (ints{1, -1, -1, 3}));
  rig.mix_ticks(1024);
  EXPECT_FALSE(vell_music_is_playing()) << "pattern 2 plays nothing, so the song ends after pattern 1";

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
  EXPECT_EQ(stat(25), 9);
  c->music[2].flags = 0;
  EXPECT_EQ(play(3, 5), (ints{3, 4, 5, 0, 1})) << "without a loop start before it, back to pattern 0";
  c->music[4].flags = k_pattern_flag_loop_start | k_pattern_flag_loop_back;
  EXPECT_EQ(play(3, 4), (ints{3, 4, 4, 4}));
  // The stop flag and the end of pattern 63 end the music after the pattern.
  c->music[4].flags = k_pattern_flag_stop;
  EXPECT_EQ(play(3, 3), (ints{3, 4, 0}));
  EXPECT_EQ(sfx_stats(), (ints{-1, -1, -1, -1}));
  EXPECT_EQ(play(63, 2), (ints{63, 0}));
  EXPECT_FALSE(vell_music_is_playing());
  orrery_music_call(10, 0, 0);
  EXPECT_FALSE(vell_music_is_playing()) << "a pattern whose columns are all off does not start";
}

TEST(AudioChannels, MusicFadesInAndOutByTheClock) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  audible(c, 1, 16, 0, 8);
  set_pattern(c, 0, 1, 0x41, 0x41, 0x41);
  auto level_after = [](uint32_t ms) {
    audio_rig::now_ms += ms;
    orrery_update_music_fade();
    return orrery_audio.fade_level.load();
  };
  orrery_music_call(0, 1000, 0);
  EXPECT_EQ(level_after(0), 0);
  EXPECT_EQ(level_after(250), 16384);
  EXPECT_EQ(level_after(250), 32768);
  rig.mix_ticks(1);
  EXPECT_EQ(orrery_audio.channel[4].osc.volume, 640) << "5 * 256 at half level";
  EXPECT_EQ(level_after(600), 65536);
  orrery_music_call(-1, 500, 0);
  EXPECT_EQ(level_after(100), 65536 * 400 / 500);
  EXPECT_TRUE(vell_music_is_playing());
  EXPECT_EQ(level_after(400), 0);
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

TEST(AudioChannels, BootSoundPlaysTheSystemCartridgesFirstSoundToItsEnd) {
  audio_rig rig;
  ASSERT_EQ(orrery_load_resources(ORRERY_BUILD_DIR "/data.pod"), 0);
  orrery_play_boot_sound();
  EXPECT_EQ(stat(16), 0);
  const std::vector<int16_t> start = rig.mix(22050 / 2);
  EXPECT_GT(*std::max_element(start.begin(), start.end()), 4000);
  rig.mix(22050 * 3);
  EXPECT_EQ(stat(16), -1) << "the jingle is over within a few seconds";
  orrery_release_resources();
}

TEST(AudioChannels, ScriptFunctionsStartPlaybackAndChargeTheirCost) {
  audio_rig rig;
  lua_State *L = orrery_lua_open();
  add_c_functions(L);
  static int32_t charged;
  charged = 0;
  orrery_set_cpu_observer([](int32_t n, int) { charged += n; });
  orrery_poke(&pstate, pstate.cart, 0x3100 + 2 * 4, 1);  // pattern 2 plays sound 1 in column 0
  // Each snippet, then the sounds on channels 0 and 1, the song's pattern
  // and the charge. Stopping a sound starts nothing and costs nothing.
  const std::pair<const char *, ints> cases[] = {
      {"sfx(3, 1)", {-1, 3, 0, 16}}, {"sfx(-1, 1)", {-1, -1, 0, 0}}, {"music(2)", {1, -1, 2, 16}}};
  for (const auto &[code, after] : cases) {
    charged = 0;
    ASSERT_EQ(luaL_loadstring(L, code) || lua_pcall(L, 0, 0, 0), 0) << code;
    EXPECT_EQ((ints{stat(16), stat(17), stat(24), charged}), after) << code;
  }
  orrery_set_cpu_observer(nullptr);
  orrery_lua_close(L);
}
