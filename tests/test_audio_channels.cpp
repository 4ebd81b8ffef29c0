// Channels and the music sequencer through the sfx, music and stat
// behaviour: argument rules, channel choice, sound ends, pattern lengths,
// loops, stops, fades and release.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/channels.h"
#include "audio/sound_data.h"
#include "machine/cart.h"
#include "machine/pstate.h"
#include "shell/resources.h"
#include "support/audio_rig.h"

namespace {

// Sound s: 32 audible notes at the given speed.
void audible(orrery_cart *cart, int s, int speed, int loop_start = 0, int loop_end = 0) {
  set_sfx(cart, s, speed, loop_start, loop_end);
  for (int i = 0; i < 32; i++) set_note(cart, s, i, 30 + i % 5, 3, 5);
}

int stat(int n) { return orrery_audio_stat(n); }

std::vector<int> sfx_stats() { return {stat(16), stat(17), stat(18), stat(19)}; }

}  // namespace

TEST(AudioChannels, SfxFollowsItsArgumentRules) {
  audio_rig rig;
  for (int s = 0; s < 64; s++) audible(rig.cart(), s, 4);

  EXPECT_EQ(orrery_sfx_call(0, 3, 0, 0, 0), 0) << "no argument does nothing";
  EXPECT_EQ(sfx_stats(), (std::vector<int>{-1, -1, -1, -1}));

  EXPECT_EQ(orrery_sfx_call(1, 3, 0, 0, 0), k_audio_call_cost);
  EXPECT_EQ(orrery_sfx_call(1, 3, 0, 0, 0), k_audio_call_cost);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{3, -1, -1, -1})) << "a second sfx(3) restarts it";

  orrery_sfx_call(2, 4, 4, 0, 0);
  orrery_sfx_call(2, 4, -3, 0, 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{3, -1, -1, -1})) << "channels outside -2..3 do nothing";

  // Offsets are clamped to 0-31 notes; n to 0-63.
  orrery_sfx_call(3, 4, 2, 40, 0);
  EXPECT_EQ(stat(22), 31);
  orrery_sfx_call(3, 90, 1, -5, 0);
  EXPECT_EQ(stat(17), 63);
  EXPECT_EQ(stat(21), 0);
  orrery_sfx_call(2, -7, 3, 0, 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{3, 63, 4, 0}));

  orrery_sfx_call(2, -1, -2, 0, 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{3, 63, 4, 0})) << "sfx(-1, -2) stops nothing";
  orrery_sfx_call(2, -1, 1, 0, 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{3, -1, 4, 0}));

  // sfx(n, -2) stops n wherever it plays, a music column included, which
  // then leaves the song for good.
  set_pattern(rig.cart(), 0, 4, 5, 0x46, 0x47);
  set_pattern(rig.cart(), 1, 4, 5, 0x46, 0x47);
  orrery_music_call(0, 0, 0);
  orrery_sfx_call(2, 4, -2, 0, 0);
  EXPECT_EQ(stat(18), -1);
  EXPECT_EQ(vell_get_orrery_channel_sfx(4), -1);
  EXPECT_EQ(orrery_audio.channel[4].music, 0);
  EXPECT_EQ(vell_get_orrery_channel_sfx(5), 5);

  // sfx(-1) clears the sound-effect channels and leaves the music.
  orrery_sfx_call(1, -1, 0, 0, 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{-1, 5, -1, -1})) << "channel 1 now reports its music column";
  EXPECT_TRUE(vell_music_is_playing());
}

TEST(AudioChannels, SoundsEndAfterTheirLengthOrTheirLastAudibleNote) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  // Length 2 notes at speed 3: six ticks.
  audible(c, 1, 3);
  orrery_sfx_call(4, 1, 0, 0, 2);
  rig.mix_ticks(5);
  EXPECT_EQ(stat(16), 1);
  rig.mix_ticks(1);
  EXPECT_EQ(stat(16), -1);

  // Notes 0-2 audible, then silence: the sound ends once note 3 comes up...
  set_sfx(c, 2, 2);
  for (int i = 0; i < 3; i++) set_note(c, 2, i, 20, 0, 4);
  orrery_sfx_call(2, 2, 0, 0, 0);
  rig.mix_ticks(5);
  EXPECT_EQ(stat(20), 2);
  rig.mix_ticks(1);
  EXPECT_EQ(stat(16), -1);
  // ...unless note 3 slides into silence, which is still heard.
  set_note(c, 2, 3, 20, 0, 0, 1);
  orrery_sfx_call(2, 2, 0, 0, 0);
  rig.mix_ticks(6);
  EXPECT_EQ(stat(20), 3);
  rig.mix_ticks(2);
  EXPECT_EQ(stat(16), -1);

  // A looping sound plays on; released, it runs past its loop end and ends
  // after its last audible note.
  set_sfx(c, 3, 1, 0, 2);
  for (int i = 0; i < 4; i++) set_note(c, 3, i, 20, 0, 4);
  orrery_sfx_call(2, 3, 1, 0, 0);
  rig.mix_ticks(101);
  EXPECT_EQ(stat(17), 3);
  EXPECT_EQ(stat(21), 1) << "tick 101 of a loop over notes 0-1";
  orrery_sfx_call(2, -2, 1, 0, 0);
  rig.mix_ticks(1);
  EXPECT_EQ(stat(21), 2);
  rig.mix_ticks(2);
  EXPECT_EQ(stat(17), -1);
}

TEST(AudioChannels, AutomaticChoiceTakesFreePairsThenTheSlowestSound) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  const int speeds[5] = {5, 3, 3, 7, 9};
  for (int s = 0; s < 5; s++) audible(c, s, speeds[s]);
  for (int s = 0; s < 4; s++) orrery_sfx_call(1, s, 0, 0, 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{0, 1, 2, 3}));
  // Four busy channels: the smallest speed value goes, the later of a tie.
  orrery_sfx_call(1, 4, 0, 0, 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{0, 1, 4, 3}));

  // With music playing on every column, free channels come in order unless
  // the music mask reserves them.
  vell_stop_all_sounds();
  audible(c, 10, 8);
  set_pattern(c, 0, 10, 10, 10, 10);
  orrery_music_call(0, 0, 0b0011);
  orrery_sfx_call(1, 1, 0, 0, 0);
  EXPECT_EQ(vell_get_orrery_channel_sfx(2), 1);
  // A column that is off in the pattern frees its channel first.
  vell_stop_all_sounds();
  set_pattern(c, 0, 10, 10, 10, 0x40);
  orrery_music_call(0, 0, 0);
  orrery_sfx_call(1, 1, 0, 0, 0);
  EXPECT_EQ(vell_get_orrery_channel_sfx(3), 1);
  // All four busy and channel 1 reserved by music: channel 1 is not taken
  // over even with the smallest speed.
  vell_stop_all_sounds();
  set_pattern(c, 0, 10, 10, 10, 10);
  orrery_music_call(0, 0, 0b0010);
  for (int s = 0; s < 4; s++) orrery_sfx_call(2, s, s, 0, 0);
  orrery_sfx_call(1, 4, 0, 0, 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{0, 1, 4, 3}));
  orrery_sfx_call(1, 5, 0, 0, 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{5, 1, 4, 3})) << "speed 5 on channel 0 is now the smallest besides channel 1";
}

TEST(AudioChannels, PatternLengthComesFromTheFirstNonLoopingColumn) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  audible(c, 1, 8, 0, 4);  // looping, 256 ticks
  audible(c, 2, 16);       // not looping, 512 ticks
  audible(c, 3, 32, 0, 8);  // looping, 1024 ticks
  set_pattern(c, 0, 1, 0x40, 2, 0x40);
  set_pattern(c, 1, 1, 0x40, 0x40, 3);
  set_pattern(c, 2, 0x41, 0x42, 0x43, 0x44);
  EXPECT_EQ(orrery_pattern_length(c, 0), 512);
  EXPECT_EQ(orrery_pattern_length(c, 1), 1024) << "every column loops: the longest";
  EXPECT_EQ(orrery_pattern_length(c, 2), 0);

  orrery_music_call(0, 0, 0);
  rig.mix_ticks(511);
  EXPECT_EQ(stat(24), 0);
  EXPECT_EQ(stat(25), 0);
  EXPECT_EQ(stat(26), 511);
  rig.mix_ticks(1);
  EXPECT_EQ(stat(24), 1);
  EXPECT_EQ(stat(25), 1);
  EXPECT_EQ(stat(26), 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{1, -1, -1, 3}));
  // Pattern 2 plays nothing, so the song ends after pattern 1.
  rig.mix_ticks(1024);
  EXPECT_FALSE(vell_music_is_playing());
  EXPECT_EQ(stat(24), 0);
}

TEST(AudioChannels, PatternFlagsLoopBackToTheNearestLoopStartOrStop) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  audible(c, 1, 1);  // 32-tick patterns
  for (int p = 0; p < 8; p++) set_pattern(c, p, 1, 0x41, 0x41, 0x41);
  c->music[2].flags = k_pattern_flag_loop_start;
  c->music[5].flags = k_pattern_flag_loop_back;

  auto play = [&](int start, int patterns) {
    std::vector<int> order;
    orrery_music_call(start, 0, 0);
    for (int k = 0; k < patterns; k++) {
      order.push_back(stat(24));
      rig.mix_ticks(32);
    }
    return order;
  };
  EXPECT_EQ(play(2, 9), (std::vector<int>{2, 3, 4, 5, 2, 3, 4, 5, 2}));
  EXPECT_EQ(stat(25), 9);
  // Without a loop start before it, play returns to pattern 0.
  c->music[2].flags = 0;
  EXPECT_EQ(play(3, 5), (std::vector<int>{3, 4, 5, 0, 1}));
  // A pattern with both flags repeats itself.
  c->music[4].flags = k_pattern_flag_loop_start | k_pattern_flag_loop_back;
  EXPECT_EQ(play(3, 4), (std::vector<int>{3, 4, 4, 4}));

  // The stop flag ends the music after its pattern; so does the end of pattern 63.
  c->music[4].flags = k_pattern_flag_stop;
  EXPECT_EQ(play(3, 2), (std::vector<int>{3, 4}));
  EXPECT_FALSE(vell_music_is_playing());
  EXPECT_EQ(stat(24), 0);
  EXPECT_EQ(stat(25), 0);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{-1, -1, -1, -1}));
  set_pattern(c, 63, 1, 0x41, 0x41, 0x41);
  EXPECT_EQ(play(63, 1), (std::vector<int>{63}));
  EXPECT_FALSE(vell_music_is_playing());

  // A pattern whose columns are all off does not start.
  orrery_music_call(10, 0, 0);
  EXPECT_FALSE(vell_music_is_playing());
}

TEST(AudioChannels, MusicFadesInAndOutByTheClock) {
  audio_rig rig;
  orrery_cart *c = rig.cart();
  audible(c, 1, 16, 0, 8);
  set_pattern(c, 0, 1, 0x41, 0x41, 0x41);
  orrery_music_call(0, 1000, 0);
  EXPECT_EQ(orrery_audio.fade_level.load(), 0);
  audio_rig::now_ms += 250;
  orrery_update_music_fade();
  EXPECT_EQ(orrery_audio.fade_level.load(), 16384);
  audio_rig::now_ms += 250;
  orrery_update_music_fade();
  EXPECT_EQ(orrery_audio.fade_level.load(), 32768);
  // The level scales the music channel's volume: 5 * 256 at half level.
  rig.mix_ticks(1);
  EXPECT_EQ(orrery_audio.channel[4].osc.volume, 640);
  audio_rig::now_ms += 600;
  orrery_update_music_fade();
  EXPECT_EQ(orrery_audio.fade_level.load(), 65536);

  orrery_music_call(-1, 500, 0);
  audio_rig::now_ms += 100;
  orrery_update_music_fade();
  EXPECT_EQ(orrery_audio.fade_level.load(), 65536 * 400 / 500);
  EXPECT_TRUE(vell_music_is_playing());
  audio_rig::now_ms += 400;
  orrery_update_music_fade();
  EXPECT_EQ(orrery_audio.fade_level.load(), 0);
  EXPECT_FALSE(vell_music_is_playing());
  EXPECT_EQ(stat(16), -1);

  // A second song fades in from silence too; music(-1) stops at once.
  orrery_music_call(0, 0, 0);
  EXPECT_EQ(orrery_audio.fade_level.load(), 65536);
  orrery_music_call(0, 200, 0);
  EXPECT_EQ(orrery_audio.fade_level.load(), 0);
  orrery_music_call(-1, 0, 0);
  EXPECT_FALSE(vell_music_is_playing());
}

TEST(AudioChannels, ReleasingACartridgeStopsWhatPlaysFromIt) {
  audio_rig rig;
  orrery_cart *other = vell_create_orrery_cart();
  ASSERT_NE(other, nullptr);
  audible(other, 2, 4, 0, 4);
  audible(rig.cart(), 1, 4, 0, 4);
  audible(rig.cart(), 3, 4, 0, 4);
  set_pattern(rig.cart(), 0, 1, 0x41, 1, 0x41);
  orrery_music_call(0, 0, 0);
  orrery_sfx_call(2, 3, 0, 0, 0);
  vell_play_sfx_ex(2, 0, 0, other, 1);
  rig.mix_ticks(3);

  vell_destroy_orrery_cart(pstate.cart);
  EXPECT_EQ(sfx_stats(), (std::vector<int>{-1, 2, -1, -1}));
  EXPECT_FALSE(vell_music_is_playing());
  rig.mix_ticks(3);  // nothing reads the released cartridge
  EXPECT_EQ(stat(17), 2);

  vell_stop_all_sounds();
  EXPECT_EQ(stat(17), -1);
  vell_destroy_orrery_cart(other);
}

TEST(AudioChannels, BootSoundPlaysTheSystemCartridgesFirstSoundToItsEnd) {
  audio_rig rig;
  ASSERT_EQ(orrery_load_resources(std::string(ORRERY_BUILD_DIR) + "/data.pod"), 0);
  orrery_play_boot_sound(orrery_resource_system_cart());
  EXPECT_EQ(stat(16), 0);
  const std::vector<int16_t> start = rig.mix(22050 / 2);
  EXPECT_GT(*std::max_element(start.begin(), start.end()), 4000);
  rig.mix(22050 * 3);
  EXPECT_EQ(stat(16), -1) << "the jingle is over within a few seconds";
  EXPECT_EQ(rig.mix(1000), std::vector<int16_t>(1000, 0));
  orrery_release_resources();
}
