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

// Fills n samples of one channel: what is left of its current tick, then
// new ticks. At half rate it makes n/2 + 1 samples and plays each twice.
void fill_channel(orrery_channel *ch, int16_t *out, int32_t n, const int32_t *masks) {
  const bool half = masks[MASK_HALF_RATE] & (1 << ch->identity);
  const int32_t needed = half ? n / 2 + 1 : n;
  for (int32_t pos = 0; pos < needed;) {
    if (ch->tick_pos >= k_tick_samples) make_tick(ch, masks);
    const int32_t take = std::min(k_tick_samples - ch->tick_pos, needed - pos);
    memcpy(out + pos, ch->tick + ch->tick_pos, sizeof(int16_t) * take);
    pos += take;
    ch->tick_pos += take;
  }
  // Spread backwards, so that every source sample is read before it is overwritten.
  if (half)
    for (int32_t j = n - 1; j > 0; j--) out[j] = out[j / 2];
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
  // A sound effect takes the place of the music column it is paired with.
  for (int32_t c = 0; c < k_sfx_channels; c++)
    if (orrery_audio.channel[c].sound >= 0) memset(g_channel_buffer[c + 4], 0, sizeof(int16_t) * n);

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
