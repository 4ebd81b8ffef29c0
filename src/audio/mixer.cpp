#include "audio/mixer.h"

#include <algorithm>
#include <cstring>

#include "audio/channels.h"
#include "audio/sample_ops.h"
#include "machine/pstate.h"
#include "platform/config.h"

namespace {

enum : int32_t { MASK_HALF_RATE = 0, MASK_ECHO = 1, MASK_BIT_REDUCTION = 2, MASK_LOW_PASS = 3 };


// A block is made in two passes. First every channel, in order, makes the
// new ticks it needs (note synthesis and the sequencer, which share the
// noise generator and the song's state). Then the ticks go through their
// effects and out to the channels' buffers round by round: the first new
// tick of every channel, then the second, and so on, so that the low-pass
// filters of several channels, each a chain in which every sample waits
// for the one before, run side by side. Each channel still sees exactly
// the order of steps it would see alone: its ticks in turn, each one's
// effects after its synthesis, and every tick's effects before the next
// tick's.

constexpr int32_t k_block_ticks = k_mix_block / k_tick_samples + 2;  // most new ticks a channel makes in a block

// The mixer's buffers, used on the audio thread only; they live as long as
// the program.
struct mixer_record {
  int16_t channel_buffer[k_channels][k_mix_block] = {};  // each channel's share of one block
  int16_t new_ticks[k_channels][k_block_ticks][k_tick_samples] = {};  // new ticks of this block, before their effects
};
mixer_record g_mixer;

// How one channel takes its samples in the current block.
struct channel_take {
  int16_t *out;     // where its samples go
  int32_t wanted;   // samples it takes
  int32_t taken;    // samples taken so far
  int32_t ticks;    // new ticks made for it
  bool half;        // half rate: the taken samples are spread out afterwards
  int32_t first;    // half rate: 1 when the block starts with the carried sample
  int32_t spread;   // half rate: samples the taken ones fill
};

// Plans the channel's share of a block of n samples into its buffer out,
// takes what is left of its current tick, and makes its new ticks.
channel_take start_channel(orrery_channel *ch, int16_t *g_ticks_out[k_block_ticks], int16_t *out, int32_t n,
                           const int32_t *masks) {
  channel_take t{};
  // At half rate every sample is played twice, across the edges of blocks
  // too: a sample played once at the end of a block is played again at the
  // start of the next, and no sample is made that is not played.
  t.half = masks[MASK_HALF_RATE] & (1 << ch->identity);
  if (!t.half) {
    ch->half_carry = 0;
    t.out = out;
    t.wanted = n;
  } else {
    if (ch->half_carry && n > 0) {
      out[0] = ch->half_sample;
      ch->half_carry = 0;
      t.first = 1;
    }
    t.spread = n - t.first;
    t.out = out + t.first;
    t.wanted = (t.spread + 1) / 2;
  }
  const int32_t left = std::min(std::max(k_tick_samples - ch->tick_pos, 0), t.wanted);
  memcpy(t.out, ch->tick + ch->tick_pos, sizeof(int16_t) * left);
  ch->tick_pos += left;
  t.taken = left;
  const int32_t rest = t.wanted - t.taken;
  t.ticks = rest > 0 ? (rest + k_tick_samples - 1) / k_tick_samples : 0;
  for (int32_t k = 0; k < t.ticks; k++) vell_channel_next_tick(ch, g_ticks_out[k]);
  return t;
}

// The effects before the low-pass on the channel's new tick, which becomes
// its current tick.
void begin_effects(orrery_channel *ch, const int16_t *made, const int32_t *masks) {
  const int32_t bit = 1 << ch->identity;
  const bool echo = masks[MASK_ECHO] & bit;
  int16_t *x = ch->tick;
  if (echo) {
    memcpy(ch->echo[ch->echo_slot], x, sizeof ch->tick);
    ch->echo_slot = (ch->echo_slot + 1) % k_echo_ticks;
  }
  memcpy(x, made, sizeof ch->tick);
  if (echo) {
    // The history slot four ahead holds the tick finished four ticks ago.
    orrery_echo_run(x, ch->echo[(ch->echo_slot + 4) % k_echo_ticks], k_tick_samples);
  }
  if (masks[MASK_BIT_REDUCTION] & bit) orrery_bit_reduce_run(x, k_tick_samples);
}

// After the low-pass: the tick is finished and the channel takes from it.
void finish_tick(orrery_channel *ch, channel_take &t) {
  ch->last_sample = ch->tick[k_tick_samples - 1];
  const int32_t take = std::min(k_tick_samples, t.wanted - t.taken);
  memcpy(t.out + t.taken, ch->tick, sizeof(int16_t) * take);
  t.taken += take;
  ch->tick_pos = take;
}

// Half rate: each taken sample is played twice, spread backwards so that
// every source sample is read before it is overwritten.
void spread_half_rate(orrery_channel *ch, const channel_take &t) {
  const int32_t m = t.spread;
  int16_t *out = t.out;
  for (int32_t j = m - 1; j > 0; j--) out[j] = out[j / 2];
  if (m % 2 == 1) {
    ch->half_carry = 1;
    ch->half_sample = out[m - 1];
  }
}

void fill_channels(orrery_channel *channels, int32_t n, const int32_t *masks) {
  channel_take takes[k_channels];
  int32_t most_ticks = 0;
  for (int32_t c = 0; c < k_channels; c++) {
    int16_t *made[k_block_ticks];
    for (int32_t k = 0; k < k_block_ticks; k++) made[k] = g_mixer.new_ticks[c][k];
    takes[c] = start_channel(&channels[c], made, g_mixer.channel_buffer[c], n, masks);
    most_ticks = std::max(most_ticks, takes[c].ticks);
  }
  for (int32_t k = 0; k < most_ticks; k++) {
    int16_t *filter[k_channels];
    int32_t *filter_last[k_channels];
    int32_t filtered = 0;
    for (int32_t c = 0; c < k_channels; c++) {
      if (takes[c].ticks <= k) continue;
      orrery_channel *ch = &channels[c];
      begin_effects(ch, g_mixer.new_ticks[c][k], masks);
      if (masks[MASK_LOW_PASS] & (1 << ch->identity)) {
        filter[filtered] = ch->tick;
        filter_last[filtered] = &ch->last_sample;
        filtered++;
      }
    }
    // The low-pass starts from the last sample of the tick before, which
    // last_sample still holds.
    orrery_low_pass_runs(filter, filter_last, filtered, k_tick_samples);
    for (int32_t c = 0; c < k_channels; c++)
      if (takes[c].ticks > k) finish_tick(&channels[c], takes[c]);
  }
  for (int32_t c = 0; c < k_channels; c++)
    if (takes[c].half) spread_half_rate(&channels[c], takes[c]);
}

// A sound effect takes the place of the music column it is paired with.
// The column fades out (and back in once the effect has ended) over
// k_duck_ramp samples: switched at a block's edge it would click.
void duck_music(orrery_channel *channels, int32_t sfx_channel, int32_t n) {
  orrery_channel &music = channels[sfx_channel + 4];
  int16_t *x = g_mixer.channel_buffer[sfx_channel + 4];
  const int32_t target = channels[sfx_channel].sound >= 0 ? 0 : k_duck_ramp;
  int32_t g = music.duck_gain < 0 ? target : music.duck_gain;
  int32_t i = 0;
  for (; i < n && g != target; i++) {
    g += g < target ? 1 : -1;
    x[i] = static_cast<int16_t>(x[i] * g / k_duck_ramp);
  }
  // The rest of the block is at the target gain: as it is, or silent.
  if (g == 0) memset(x + i, 0, sizeof(int16_t) * (n - i));
  music.duck_gain = g;
}

void mix_block(int16_t *samples, int32_t n) {
  if (vell_audio_pause_count() != 0) {
    memset(samples, 0, sizeof(int16_t) * n);
    return;
  }
  int32_t masks[4];
  for (int32_t k = 0; k < 4; k++) masks[k] = pstate.audio_mask[k].load(std::memory_order_relaxed) & 15;

  orrery_channel *channels = vell_mixer_channels();
  vell_mixer_begin_block();
  fill_channels(channels, n, masks);
  vell_mixer_end_block();
  for (int32_t c = 0; c < k_sfx_channels; c++) duck_music(channels, c, n);

  const int32_t volume = std::clamp(__atomic_load_n(&vell_config().sound_volume, __ATOMIC_RELAXED), 0, 256);
  const int16_t *const buffers[k_channels] = {g_mixer.channel_buffer[0], g_mixer.channel_buffer[1], g_mixer.channel_buffer[2],
                                              g_mixer.channel_buffer[3], g_mixer.channel_buffer[4], g_mixer.channel_buffer[5],
                                              g_mixer.channel_buffer[6], g_mixer.channel_buffer[7]};
  orrery_mix_run(buffers, samples, n, volume);
}

}  // namespace

void vell_mixer_callback(int16_t *samples, int count) {
  while (count > 0) {
    const int32_t n = std::min<int32_t>(count, k_mix_block);
    mix_block(samples, n);
    samples += n;
    count -= n;
  }
}
