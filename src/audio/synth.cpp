#include "audio/synth.h"

#include <algorithm>
#include <cstring>

#include "audio/sound_data.h"

namespace {

// Frequencies in Hz of the semitones of the octave that starts at pitch 36,
// indexed by semitone 0-11, with the next octave's first note at 12.
constexpr int32_t k_semitone_hz[13] = {523, 554, 587, 622, 659, 698, 740, 784, 831, 880, 932, 984, 1046};

// Vibrato: dx multiplier in 128ths, indexed by (t >> 1) & 7, so one cycle
// lasts 16 ticks.
constexpr int32_t k_vibrato[8] = {128, 129, 130, 129, 128, 127, 126, 127};

constexpr int32_t k_sample_rate = 22050;
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

// One sample loop per waveform: wave(phase, phase2) gives W before the
// volume scale.
template <typename Wave>
void render_wave(orrery_osc *o, int16_t *out, int32_t count, Wave wave) {
  const int32_t amp = o->volume * 3 / 2;
  const int32_t dx = o->dx;
  int32_t phase = o->phase;
  uint32_t phase2 = o->phase2;
  for (int32_t k = 0; k < count; k++) {
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
  for (int32_t k = 0; k < count; k++) {
    toggle ^= 1;
    if (toggle) level += static_cast<int32_t>(vell_random_state(rng, static_cast<uint32_t>(range))) - range / 2;
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

void orrery_osc_render(orrery_osc *o, int16_t *out, int32_t count, vell_rng_t *rng) {
  switch (o->waveform) {
    case WAVE_TRIANGLE:
      render_wave(o, out, count, [](int32_t ph, uint32_t) {
        return ph >= 32768 ? (49152 - ph) * 3 / 4 : (3 * ph - 49152) / 4;
      });
      break;
    case WAVE_TILTED_SAW:
      render_wave(o, out, count, [](int32_t ph, uint32_t) {
        return (ph > 57343 ? (65535 - ph) * 6143 / 2048 : ph * 6143 / 14336) - 12286;
      });
      break;
    case WAVE_SAW: render_wave(o, out, count, [](int32_t ph, uint32_t) { return (ph - 32768) / 4; }); break;
    case WAVE_SQUARE:
      render_wave(o, out, count, [](int32_t ph, uint32_t) { return ph >= 32768 ? 6143 : -6143; });
      break;
    case WAVE_PULSE:
      render_wave(o, out, count, [](int32_t ph, uint32_t) { return ph < 45056 ? -6143 : 6143; });
      break;
    case WAVE_ORGAN:
      render_wave(o, out, count, [](int32_t ph, uint32_t) {
        int32_t v;
        if (ph >= 32768) v = 2 * ((ph & 0x4000) ? 65536 - ph : ph - 32768) / 3;
        else v = (ph & 0x4000) ? 32768 - ph : ph;
        return v - 8192;
      });
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
      });
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
  for (int32_t i = 0; i < k_crossfade_samples; i++)
    out[i] = static_cast<int16_t>((before[i] * (k_crossfade_samples - i) + out[i] * i) / k_crossfade_samples);
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
