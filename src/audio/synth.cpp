#include "audio/synth.h"

#include <algorithm>
#include <cstring>

#include "audio/sound_data.h"

#include "audio/lanes.h"
#include "platform/audio_out.h"

namespace {

// Frequencies in Hz of the semitones of the octave that starts at pitch 36,
// indexed by semitone 0-11, with the next octave's first note at 12.
constexpr int32_t k_semitone_hz[13] = {523, 554, 587, 622, 659, 698, 740, 784, 831, 880, 932, 984, 1046};

// Vibrato: dx multiplier in 128ths, indexed by (t >> 1) & 7, so one cycle
// lasts 16 ticks.
constexpr int32_t k_vibrato[8] = {128, 129, 130, 129, 128, 127, 126, 127};

constexpr int32_t k_sample_rate = k_vell_sample_rate;
constexpr int32_t k_base_pitch = 24;  // a slide into note 0 starts here; instruments play relative to it

enum : int32_t {
  FX_NONE = 0,
  FX_SLIDE = 1,
  FX_VIBRATO = 2,
  FX_DROP = 3,
  FX_FADE_IN = 4,
  FX_FADE_OUT = 5,
  FX_ARP_FAST = 6,
  FX_ARP_SLOW = 7,
};

enum : int32_t {
  WAVE_TRIANGLE = 0,
  WAVE_TILTED_SAW = 1,
  WAVE_SAW = 2,
  WAVE_SQUARE = 3,
  WAVE_PULSE = 4,
  WAVE_ORGAN = 5,
  WAVE_NOISE = 6,
  WAVE_PHASER = 7,
};

// Samples are 16-bit; loud noise can reach past that range, and is held at
// its ends rather than wrapped into a full-scale click.
inline int16_t to_sample(int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

// Slide, fades and arpeggios of one note, applied to its pitch P (16.16)
// and volume V. i is the note index, r the tick within the note, s the
// ticks per note, t the tick counter the arpeggio runs on; from_pitch and
// from_volume are where a slide starts.
void apply_effect(int32_t effect, const orrery_sfx &sfx, int32_t i, int32_t r, int32_t s, int32_t t,
                  int32_t from_pitch, int32_t from_volume, int32_t &P, int32_t &V) {
  switch (effect) {
    case FX_SLIDE:
      P = static_cast<int32_t>((int64_t{P} * r + int64_t{from_pitch} * (s - r)) / s);
      V = static_cast<int32_t>((int64_t{V} * r + int64_t{from_volume} * (s - r)) / s);
      break;
    case FX_FADE_IN: V = V * r / s; break;
    case FX_FADE_OUT: V = V * (s - r) / s; break;
    case FX_ARP_FAST:
    case FX_ARP_SLOW: {
      // Slow sounds arpeggiate at half the rate; the walk covers the
      // aligned group of four notes that holds note i.
      const bool fast = effect == FX_ARP_FAST;
      const int32_t d = sfx.speed < 9 ? (fast ? 2 : 4) : (fast ? 4 : 8);
      P = (sfx.notes[(i & 28) + (t / d) % 4].pitch & 63) << 16;
      break;
    }
    default: break;
  }
}

// Does a custom-instrument note restart its instrument at the start of the
// note? A new pitch restarts it unless the note slides or drops into it; a
// repeated pitch restarts it only for drop and fade in; a change of
// instrument always does.
bool instrument_restarts(const orrery_osc &o, int32_t i, int32_t pitch, int32_t waveform, int32_t effect) {
  if ((i == 0 || pitch != o.prev_pitch) && effect != FX_SLIDE && effect != FX_DROP) return true;
  if (i != 0 && pitch == o.prev_pitch && (effect == FX_DROP || effect == FX_FADE_IN)) return true;
  return waveform != o.prev_waveform;
}

// Plays the outer note through instrument sound `waveform`: the
// instrument's own note and effect replace the waveform, scale the volume
// and transpose the pitch around pitch 24. r is the tick within the outer
// note; P and V are the outer note's values after its effect.
void apply_instrument(orrery_osc *o, const orrery_cart *cart, int32_t i, int32_t r, int32_t pitch,
                      int32_t waveform, int32_t effect, int32_t &P, int32_t &V) {
  const orrery_sfx &inst = cart->sfx[waveform & 7];
  const int32_t s = orrery_sfx_speed(inst);
  int32_t c = o->inst_ticks;
  if (r == 0 && instrument_restarts(*o, i, pitch, waveform, effect)) c = 0;
  if (orrery_sfx_loops(inst) && c >= inst.loop_end * s) c = inst.loop_start * s;
  o->inst_ticks = c;

  const int32_t j = c / s;
  const int32_t rj = c % s;
  if (j < 0 || j >= k_sfx_notes) {
    o->waveform = 0;
    o->int_volume = 0;
    V = 0;
    return;
  }
  const orrery_note &n = inst.notes[j];
  const int32_t inner_pitch = n.pitch & 63;
  const int32_t inner_volume = n.volume & 7;
  int32_t P2 = inner_pitch << 16;
  int32_t V2 = inner_volume << 8;
  const bool first = j == 0;
  apply_effect(n.effect & 7, inst, j, rj, s, c, (first ? k_base_pitch : o->prev_inst_pitch) << 16,
               first ? V2 : o->prev_inst_volume << 8, P2, V2);
  if (rj == s - 1) {
    o->prev_inst_pitch = inner_pitch;
    o->prev_inst_volume = inner_volume;
    o->prev_inst_waveform = n.waveform & 7;
  }
  o->waveform = n.waveform & 7;
  V = V2 * V / k_full_volume;
  P = P + P2 - (k_base_pitch << 16);
  o->int_pitch = pitch + inner_pitch - k_base_pitch;
  o->int_volume = inner_volume;
}

#ifdef ORRERY_AUDIO_SSE2

// n / 7 and n / 3 for 0 <= n < 2^18 (the rising saw's and the organ's
// divisions), in whole numbers: 299594 = ceil(2^21 / 7) is exact below
// 349525, 87382 = ceil(2^18 / 3) below 131072 (the organ's n is at most
// 32768).
inline __m128i div7(__m128i n) { return mul_shift<299594, 21>(n); }
inline __m128i div3(__m128i n) { return mul_shift<87382, 18>(n); }

// The waveforms of orrery_osc_render on four lanes of phase (0-65535) and
// second phase: the same integer rules as the one-sample forms below.
struct triangle_vec {
  __m128i operator()(__m128i ph, __m128i) const {
    const __m128i down = _mm_sub_epi32(splat(49152), ph);
    const __m128i up = _mm_sub_epi32(_mm_add_epi32(ph, _mm_add_epi32(ph, ph)), splat(49152));
    return div_pow2<2>(select4(at_least(ph, 32768), _mm_add_epi32(down, _mm_add_epi32(down, down)), up));
  }
};
struct tilted_saw_vec {
  __m128i operator()(__m128i ph, __m128i) const {
    // x * 6143 is (3x << 11) - x; both products are at most 352 million.
    auto times_6143 = [](__m128i x) {
      return _mm_sub_epi32(_mm_slli_epi32(_mm_add_epi32(x, _mm_add_epi32(x, x)), 11), x);
    };
    const __m128i fall = _mm_srli_epi32(times_6143(_mm_sub_epi32(splat(65535), ph)), 11);
    // floor(x / 14336) = floor(floor(x / 2048) / 7)
    const __m128i rise = div7(_mm_srli_epi32(times_6143(ph), 11));
    return _mm_sub_epi32(select4(at_least(ph, 57344), fall, rise), splat(12286));
  }
};
struct saw_vec {
  __m128i operator()(__m128i ph, __m128i) const { return div_pow2<2>(_mm_sub_epi32(ph, splat(32768))); }
};
struct square_vec {
  __m128i operator()(__m128i ph, __m128i) const { return select4(at_least(ph, 32768), splat(6143), splat(-6143)); }
};
struct pulse_vec {
  __m128i operator()(__m128i ph, __m128i) const { return select4(at_least(ph, 45056), splat(6143), splat(-6143)); }
};
struct organ_vec {
  __m128i operator()(__m128i ph, __m128i) const {
    const __m128i bit14 = _mm_cmpeq_epi32(_mm_and_si128(ph, splat(0x4000)), splat(0x4000));
    const __m128i high = _mm_add_epi32(select4(bit14, _mm_sub_epi32(splat(65536), ph), _mm_sub_epi32(ph, splat(32768))),
                                       select4(bit14, _mm_sub_epi32(splat(65536), ph), _mm_sub_epi32(ph, splat(32768))));
    const __m128i low = select4(bit14, _mm_sub_epi32(splat(32768), ph), ph);
    return _mm_sub_epi32(select4(at_least(ph, 32768), div3(high), low), splat(8192));
  }
};
struct phaser_vec {
  __m128i operator()(__m128i ph, __m128i ph2) const {
    const __m128i a = _mm_srai_epi32(select4(at_least(ph, 32768), _mm_sub_epi32(splat(65535), ph), ph), 1);
    // ph2 * 127 wraps as in 32 bits: (ph2 << 7) - ph2.
    const __m128i product = _mm_sub_epi32(_mm_slli_epi32(ph2, 7), ph2);
    const __m128i psi = _mm_and_si128(div_pow2<7>(product), splat(0xffff));
    const __m128i b = _mm_srai_epi32(select4(at_least(psi, 32768), _mm_sub_epi32(splat(65535), psi), psi), 2);
    return _mm_sub_epi32(_mm_add_epi32(a, b), splat(16384));
  }
};

// The samples of render_wave eight at a time; returns how many it made
// (all, unless amp is out of range) and leaves phase and phase2 after them. Every waveform
// value fits 16 bits and amp (0 ... 32767) does too, so each product is
// formed from 16-bit halves.
template <typename WaveVec>
int32_t render_wave_vec(int16_t *out, int32_t count, int32_t amp, int32_t dx, int32_t &phase, uint32_t &phase2,
                        WaveVec wave) {
  if (amp < 0 || amp > 32767) return 0;
  const __m128i amp16 = _mm_set1_epi16(static_cast<int16_t>(amp));
  const __m128i steps = _mm_setr_epi32(0, dx, 2 * dx, 3 * dx);
  const __m128i four = splat(4 * dx), eight = splat(8 * dx);
  // Unmasked phase: it grows by at most 183 * 32768 within a tick.
  __m128i acc = _mm_add_epi32(splat(phase), steps);
  __m128i acc2 = _mm_add_epi32(splat(static_cast<int32_t>(phase2)), steps);
  auto scaled = [&](__m128i ph, __m128i ph2) {
    const __m128i w = wave(_mm_and_si128(ph, splat(0xffff)), ph2);
    const __m128i w16 = _mm_packs_epi32(w, w);
    const __m128i lo = _mm_mullo_epi16(w16, amp16), hi = _mm_mulhi_epi16(w16, amp16);
    return div_pow2<11>(_mm_unpacklo_epi16(lo, hi));
  };
  int32_t k = 0;
  for (; k < count; k += 8) {
    const __m128i a = scaled(acc, acc2);
    const __m128i b = scaled(_mm_add_epi32(acc, four), _mm_add_epi32(acc2, four));
    const __m128i samples = _mm_packs_epi32(a, b);  // packs clamps as to_sample
    if (k + 8 <= count) {
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + k), samples);
    } else {
      // The last few samples: the group is made whole and cut.
      int16_t group[8];
      _mm_storeu_si128(reinterpret_cast<__m128i *>(group), samples);
      memcpy(out + k, group, sizeof(int16_t) * (count - k));
      k = count;
      break;
    }
    acc = _mm_add_epi32(acc, eight);
    acc2 = _mm_add_epi32(acc2, eight);
  }
  phase = static_cast<int32_t>((static_cast<uint32_t>(phase) + static_cast<uint32_t>(k) * static_cast<uint32_t>(dx)) & 0xffff);
  phase2 += static_cast<uint32_t>(k) * static_cast<uint32_t>(dx);
  return k;
}

#endif

// One sample loop per waveform: wave(phase, phase2) gives W before the
// volume scale; wave_vec, where the processor has vector instructions, the
// same for four samples.
template <typename Wave, typename WaveVec>
void render_wave(orrery_osc *o, int16_t *out, int32_t count, Wave wave, WaveVec wave_vec) {
  const int32_t amp = o->volume * 3 / 2;
  const int32_t dx = o->dx;
  int32_t phase = o->phase;
  uint32_t phase2 = o->phase2;
  int32_t k = 0;
#ifdef ORRERY_AUDIO_SSE2
  k = render_wave_vec(out, count, amp, dx, phase, phase2, wave_vec);
#else
  (void)wave_vec;
#endif
  for (; k < count; k++) {
    out[k] = to_sample(wave(phase, phase2) * amp / 2048);
    phase = (phase + dx) & 0xffff;
    phase2 += static_cast<uint32_t>(dx);
  }
  o->phase = phase;
  o->phase2 = phase2;
}

// Noise: a random walk that moves every other sample, with spikes whose
// density grows with pitch.
void render_noise(orrery_osc *o, int16_t *out, int32_t count, vell_rng_t *rng) {
  const int32_t dx = o->dx;
  const int32_t range = std::max(dx < 79 ? (dx - 79) * 60 + 1752 : dx * 8 + 1120, 0);
  const int32_t spike_threshold = (dx + 500) / 3;
  const int32_t gain = o->int_pitch <= 47 ? 80 : std::max(2048 / (o->int_pitch + 16) + 48, 64);
  const int32_t amp = o->volume * 3 / 2;
  const int32_t ivol = o->int_volume;
  int32_t phase = o->phase;
  uint32_t phase2 = o->phase2;
  int32_t level = o->noise_level;
  int32_t toggle = o->noise_toggle;
  // vell_random_state(rng, range) with the remainder taken by
  // multiplication (Lemire's direct remainder: exact for every 32-bit
  // value), since range stays the same for the whole run.
  const uint32_t d = static_cast<uint32_t>(range);
  const uint64_t inverse = d ? UINT64_MAX / d + 1 : 0;
  auto random_below_range = [&]() -> uint32_t {
    if (d == 0) return 0;  // as vell_random_state: no step
    const uint64_t low = inverse * vell_rand_state(rng);
    return static_cast<uint32_t>((static_cast<unsigned __int128>(low) * d) >> 64);
  };
  for (int32_t k = 0; k < count; k++) {
    toggle ^= 1;
    if (toggle) level += static_cast<int32_t>(random_below_range()) - range / 2;
    int32_t candidate = level;
    // Unsigned, so that the product may wrap; only its low 13 bits count.
    const uint32_t u = static_cast<uint32_t>(phase);
    if (static_cast<int32_t>(((u + 317u) * (u + 101u)) & 0x1fff) < spike_threshold)
      candidate = level + (static_cast<int32_t>(vell_random_state(rng, 12286)) - 6143) * ivol / 7;
    level = std::clamp(candidate, -6143, 6143);
    out[k] = to_sample(gain * (candidate >> 6) * amp / 2048);
    phase = (phase + dx) & 0xffff;
    phase2 += static_cast<uint32_t>(dx);
  }
  o->phase = phase;
  o->phase2 = phase2;
  o->noise_level = level;
  o->noise_toggle = toggle;
}

// out[i] = (before[i] * (64 - i) + out[i] * i) / 64 over the first 64
// samples, division truncating.
void crossfade(const int16_t *before, int16_t *out) {
  static_assert(k_crossfade_samples == 64, "the weights count to 64");
  int32_t i = 0;
#ifdef ORRERY_AUDIO_SSE2
  // Each pair (before, out) with weights (64 - i, i) makes one 32-bit sum.
  for (; i < k_crossfade_samples; i += 8) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(before + i));
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(out + i));
    const __m128i w_out = _mm_add_epi16(_mm_set1_epi16(static_cast<int16_t>(i)), _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7));
    const __m128i w_before = _mm_sub_epi16(_mm_set1_epi16(64), w_out);
    const __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi16(b, x), _mm_unpacklo_epi16(w_before, w_out));
    const __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi16(b, x), _mm_unpackhi_epi16(w_before, w_out));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packs_epi32(div_pow2<6>(lo), div_pow2<6>(hi)));
  }
#endif
  for (; i < k_crossfade_samples; i++)
    out[i] = static_cast<int16_t>((before[i] * (k_crossfade_samples - i) + out[i] * i) / k_crossfade_samples);
}

}  // namespace

int32_t orrery_pitch_to_dx(int32_t pitch) {
  const int32_t n = pitch >> 16;  // whole semitones, rounded down
  const int32_t f = pitch & 0xffff;
  const int32_t semitone = ((n % 12) + 12) % 12;
  const int32_t octave = (n + 48) / 12 - 4;
  int32_t dx = static_cast<int32_t>(
      (int64_t{f} * k_semitone_hz[semitone + 1] + int64_t{k_semitone_hz[semitone]} * (65536 - f)) / k_sample_rate);
  // The table's octave is octave 3.
  for (int32_t k = octave; k > 3 && dx <= k_dx_max; k--) dx *= 2;
  for (int32_t k = octave; k < 3 && dx > 0; k++) dx /= 2;
  return std::clamp(dx, k_dx_min, k_dx_max);
}

void orrery_osc_set_tick(orrery_osc *o, const orrery_cart *cart, int32_t sound, int32_t t,
                         const orrery_music_scale *music) {
  const orrery_sfx &sfx = cart->sfx[sound & 63];
  const int32_t s = orrery_sfx_speed(sfx);
  const int32_t i = t / s;
  const int32_t r = t % s;
  if (i >= k_sfx_notes || t < 0) {
    o->volume = 0;
    o->waveform = 0;
    o->dx = 0;
    return;
  }
  if (r == 0) {
    o->prev_volume = o->cur_volume;
    o->prev_pitch = o->cur_pitch;
    o->prev_waveform = o->cur_waveform;
  }
  const orrery_note &n = sfx.notes[i];
  const int32_t pitch = n.pitch & 63;
  const int32_t waveform = n.waveform & 7;
  const int32_t volume = n.volume & 7;
  const int32_t effect = n.effect & 7;
  int32_t P = pitch << 16;
  int32_t V = volume << 8;
  o->cur_volume = volume;
  o->cur_pitch = pitch;
  o->cur_waveform = waveform;
  o->waveform = waveform;
  o->int_pitch = pitch;
  o->int_volume = volume;
  // Music is scaled by its fade and volume, the volume a slide starts from
  // as much as the one it slides to.
  auto scaled = [music](int32_t v) { return music ? ((music->level >> 8) * v / 256) * music->volume / 256 : v; };
  V = scaled(V);

  const bool first = i == 0;
  apply_effect(effect, sfx, i, r, s, t, (first ? k_base_pitch : o->prev_pitch) << 16,
               first ? V : scaled(o->prev_volume << 8), P, V);
  if (n.custom) apply_instrument(o, cart, i, r, pitch, waveform, effect, P, V);
  else o->inst_ticks = 0;

  int32_t dx = orrery_pitch_to_dx(P);
  if (effect == FX_VIBRATO) dx = dx * k_vibrato[(t >> 1) & 7] >> 7;
  if (effect == FX_DROP && !n.custom) dx = dx * (s - r) / s;
  o->volume = V;
  o->pitch = P;
  o->dx = dx;
}

#ifdef ORRERY_AUDIO_SSE2
#define VEC(f) f()
#else
#define VEC(f) 0
#endif

void orrery_osc_render(orrery_osc *o, int16_t *out, int32_t count, vell_rng_t *rng) {
  switch (o->waveform) {
    case WAVE_TRIANGLE:
      render_wave(
          o, out, count,
          [](int32_t ph, uint32_t) { return ph >= 32768 ? (49152 - ph) * 3 / 4 : (3 * ph - 49152) / 4; },
          VEC(triangle_vec));
      break;
    case WAVE_TILTED_SAW:
      render_wave(
          o, out, count,
          [](int32_t ph, uint32_t) {
            return (ph > 57343 ? (65535 - ph) * 6143 / 2048 : ph * 6143 / 14336) - 12286;
          },
          VEC(tilted_saw_vec));
      break;
    case WAVE_SAW:
      render_wave(o, out, count, [](int32_t ph, uint32_t) { return (ph - 32768) / 4; }, VEC(saw_vec));
      break;
    case WAVE_SQUARE:
      render_wave(o, out, count, [](int32_t ph, uint32_t) { return ph >= 32768 ? 6143 : -6143; }, VEC(square_vec));
      break;
    case WAVE_PULSE:
      render_wave(o, out, count, [](int32_t ph, uint32_t) { return ph < 45056 ? -6143 : 6143; }, VEC(pulse_vec));
      break;
    case WAVE_ORGAN:
      render_wave(o, out, count, [](int32_t ph, uint32_t) {
        int32_t v;
        if (ph >= 32768) v = 2 * ((ph & 0x4000) ? 65536 - ph : ph - 32768) / 3;
        else v = (ph & 0x4000) ? 32768 - ph : ph;
        return v - 8192;
      }, VEC(organ_vec));
      break;
    case WAVE_NOISE: render_noise(o, out, count, rng); break;
    default:
      render_wave(o, out, count, [](int32_t ph, uint32_t ph2) {
        const int32_t a = ph >= 32768 ? (65535 - ph) >> 1 : ph >> 1;
        // The second phase runs at 127/128 of the first; the product wraps
        // as 32-bit signed arithmetic does.
        const int32_t psi = (static_cast<int32_t>(ph2 * 127u) / 128) & 0xffff;
        const int32_t b = psi >= 32768 ? (65535 - psi) >> 2 : psi >> 2;
        return a + b - 16384;
      }, VEC(phaser_vec));
      break;
  }
}

void orrery_synth_tick(orrery_osc *o, const orrery_cart *cart, int32_t sound, int32_t t,
                       const orrery_music_scale *music, int16_t *out, vell_rng_t *rng) {
  orrery_osc old = *o;
  orrery_osc_set_tick(o, cart, sound, t, music);
  if (o->volume == 0) {
    o->phase = 0;
    memset(out, 0, sizeof(int16_t) * k_tick_samples);
  } else {
    orrery_osc_render(o, out, k_tick_samples, rng);
  }
  int16_t before[k_crossfade_samples];
  if (old.volume == 0) memset(before, 0, sizeof before);
  else orrery_osc_render(&old, before, k_crossfade_samples, rng);
  crossfade(before, out);
  o->inst_ticks++;
}

void orrery_synth_silent_tick(orrery_osc *o, int16_t *out, vell_rng_t *rng) {
  memset(out, 0, sizeof(int16_t) * k_tick_samples);
  if (o->volume == 0 || o->dx == 0) return;
  orrery_osc_render(o, out, k_crossfade_samples, rng);
  for (int32_t i = 0; i < k_crossfade_samples; i++)
    out[i] = static_cast<int16_t>(out[i] * (k_crossfade_samples - i) / k_crossfade_samples);
  o->volume = 0;
}
