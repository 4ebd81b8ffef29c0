#include "audio/mixer.h"

#include <algorithm>
#include <cstring>

#include "audio/channels.h"
#include "machine/pstate.h"
#include "platform/config.h"

namespace {

// Each channel's share of one block; they live as long as the program.
int16_t g_channel_buffer[k_channels][k_mix_block];

enum : int32_t { MASK_HALF_RATE = 0, MASK_ECHO = 1, MASK_BIT_REDUCTION = 2, MASK_LOW_PASS = 3 };

inline int16_t to_sample(int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

// Makes the channel's next tick and puts it through the effects its
// identity bit selects in masks.
void make_tick(orrery_channel *ch, const int32_t *masks) {
  const int32_t bit = 1 << ch->identity;
  const bool echo = masks[MASK_ECHO] & bit;
  int16_t *x = ch->tick;
  if (echo) {
    memcpy(ch->echo[ch->echo_slot], x, sizeof ch->tick);
    ch->echo_slot = (ch->echo_slot + 1) % k_echo_ticks;
  }
  orrery_channel_next_tick(ch, x);
  if (echo) {
    // The history slot four ahead holds the tick finished four ticks ago.
    const int16_t *e = ch->echo[(ch->echo_slot + 4) % k_echo_ticks];
    for (int32_t i = 0; i < k_tick_samples; i++) x[i] = to_sample((x[i] * 3 + e[i] * 2) / 4);
  }
  if (masks[MASK_BIT_REDUCTION] & bit) {
    for (int32_t i = 0; i < k_tick_samples; i++) {
      const int32_t v = x[i];
      x[i] = static_cast<int16_t>(v >= 0 ? v & 0xf000 : -((-v) & 0xf000));
    }
  }
  if (masks[MASK_LOW_PASS] & bit) {
    int32_t y = ch->last_sample;
    for (int32_t i = 0; i < k_tick_samples; i++) {
      y = (x[i] + 7 * y) / 8;
      x[i] = static_cast<int16_t>(y);
    }
  }
  ch->last_sample = x[k_tick_samples - 1];
  ch->tick_pos = 0;
}

// Copies the channel's next n samples to out: what is left of its current
// tick, then new ticks.
void take_samples(orrery_channel *ch, int16_t *out, int32_t n, const int32_t *masks) {
  for (int32_t pos = 0; pos < n;) {
    if (ch->tick_pos >= k_tick_samples) make_tick(ch, masks);
    const int32_t take = std::min(k_tick_samples - ch->tick_pos, n - pos);
    memcpy(out + pos, ch->tick + ch->tick_pos, sizeof(int16_t) * take);
    pos += take;
    ch->tick_pos += take;
  }
}

// Fills n samples of one channel. At half rate every sample is played
// twice, across the edges of blocks too: a sample played once at the end
// of a block is played again at the start of the next, and no sample is
// made that is not played.
void fill_channel(orrery_channel *ch, int16_t *out, int32_t n, const int32_t *masks) {
  const bool half = masks[MASK_HALF_RATE] & (1 << ch->identity);
  if (!half) {
    ch->half_carry = 0;
    take_samples(ch, out, n, masks);
    return;
  }
  int32_t first = 0;
  if (ch->half_carry && n > 0) {
    out[0] = ch->half_sample;
    ch->half_carry = 0;
    first = 1;
  }
  const int32_t m = n - first;
  take_samples(ch, out + first, (m + 1) / 2, masks);
  // Spread backwards, so that every source sample is read before it is overwritten.
  for (int32_t j = m - 1; j > 0; j--) out[first + j] = out[first + j / 2];
  if (m % 2 == 1) {
    ch->half_carry = 1;
    ch->half_sample = out[first + m - 1];
  }
}

// A sound effect takes the place of the music column it is paired with.
// The column fades out (and back in once the effect has ended) over
// k_duck_ramp samples: switched at a block's edge it would click.
void duck_music(int32_t sfx_channel, int32_t n) {
  orrery_channel &music = orrery_audio.channel[sfx_channel + 4];
  int16_t *x = g_channel_buffer[sfx_channel + 4];
  const int32_t target = orrery_audio.channel[sfx_channel].sound >= 0 ? 0 : k_duck_ramp;
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
  if (orrery_audio.pause_counter.load(std::memory_order_relaxed) != 0) {
    memset(samples, 0, sizeof(int16_t) * n);
    return;
  }
  int32_t masks[4];
  for (int32_t k = 0; k < 4; k++) masks[k] = pstate.audio_mask[k].load(std::memory_order_relaxed) & 15;

  orrery_audio.pattern_ended_now = 0;
  for (int32_t c = 0; c < k_channels; c++) fill_channel(&orrery_audio.channel[c], g_channel_buffer[c], n, masks);
  if (orrery_audio.pattern_ended_now) orrery_audio.patterns_ended++;
  for (int32_t c = 0; c < k_sfx_channels; c++) duck_music(c, n);

  const int32_t volume = std::clamp(__atomic_load_n(&vell_config.sound_volume, __ATOMIC_RELAXED), 0, 256);
  for (int32_t i = 0; i < n; i++) {
    int32_t c[k_channels];
    for (int32_t k = 0; k < k_channels; k++) c[k] = g_channel_buffer[k][i];
    int32_t s = orrery_mix_channels(c);
    if (volume != 256) s = s * volume >> 8;
    samples[i] = static_cast<int16_t>(s);
  }
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
