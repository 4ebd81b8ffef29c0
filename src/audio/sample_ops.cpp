#include "audio/sample_ops.h"

#include <algorithm>

#include "audio/lanes.h"
#include "audio/mixer.h"

namespace {

inline int16_t to_sample(int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

#ifdef ORRERY_AUDIO_SSE2

// vell_soft_sum on four lanes: with off = s clamped to -24576 ... 24576
// the rule is off + (s - off) / 5, the division truncating toward zero
// (below the knee s - off is 0). Summing 16-bit samples, or sums that came
// out of this limiter, |s - off| stays below 2^16, where (t * 52429) >> 18
// is t / 5; the product is formed from 16-bit halves.
inline __m128i soft_sum4(__m128i a, __m128i b) {
  const __m128i s = _mm_add_epi32(a, b);
  // The clamp in 16-bit lanes: packing saturates s to 16 bits first, which
  // is beyond the knee either way.
  const __m128i s16 = _mm_packs_epi32(s, s);
  const __m128i off = widen_lo(_mm_min_epi16(_mm_max_epi16(s16, _mm_set1_epi16(-24576)), _mm_set1_epi16(24576)));
  const __m128i t = _mm_sub_epi32(s, off);
  const __m128i sign = _mm_srai_epi32(t, 31);
  const __m128i size = _mm_sub_epi32(_mm_xor_si128(t, sign), sign);
  // The high half of every lane of size and of the factor is 0.
  const __m128i fifth = _mm_srli_epi32(_mm_mulhi_epu16(size, splat(52429)), 2);
  return _mm_add_epi32(off, _mm_sub_epi32(_mm_xor_si128(fifth, sign), sign));
}

inline __m128i mix4(const __m128i c[8]) {
  const __m128i sfx = soft_sum4(soft_sum4(c[0], c[1]), soft_sum4(c[2], c[3]));
  const __m128i music = soft_sum4(soft_sum4(c[4], c[5]), soft_sum4(c[6], c[7]));
  return soft_sum4(sfx, music);
}

// s * volume >> 8 on four lanes with |s| <= 32768 and 0 <= volume <= 256:
// the product fits 32 bits and is formed from 16-bit halves.
inline __m128i scale4(__m128i s, __m128i volume16) {
  const __m128i s16 = _mm_packs_epi32(s, s);
  const __m128i lo = _mm_mullo_epi16(s16, volume16), hi = _mm_mulhi_epi16(s16, volume16);
  return _mm_srai_epi32(_mm_unpacklo_epi16(lo, hi), 8);
}

#endif

}  // namespace

void orrery_mix_run(const int16_t *const ch[8], int16_t *out, int32_t n, int32_t volume) {
  int32_t i = 0;
#ifdef ORRERY_AUDIO_SSE2
  const __m128i volume16 = _mm_set1_epi16(static_cast<int16_t>(volume));
  for (; i + 4 <= n; i += 4) {
    __m128i c[8];
    for (int k = 0; k < 8; k++) c[k] = widen_lo(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(ch[k] + i)));
    __m128i a = mix4(c);
    if (volume != 256) a = scale4(a, volume16);
    // The limiter keeps every sum within 16 bits: packing changes nothing.
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out + i), _mm_packs_epi32(a, a));
  }
#endif
  for (; i < n; i++) {
    int32_t c[8];
    for (int k = 0; k < 8; k++) c[k] = ch[k][i];
    int32_t s = vell_mix_channels(c);
    if (volume != 256) s = s * volume >> 8;
    out[i] = static_cast<int16_t>(s);
  }
}

void orrery_echo_run(int16_t *x, const int16_t *e, int32_t n) {
  int32_t i = 0;
#ifdef ORRERY_AUDIO_SSE2
  for (; i + 8 <= n; i += 8) {
    const __m128i xv = _mm_loadu_si128(reinterpret_cast<const __m128i *>(x + i));
    const __m128i ev = _mm_loadu_si128(reinterpret_cast<const __m128i *>(e + i));
    auto half = [](__m128i a, __m128i b) {
      const __m128i v = _mm_add_epi32(_mm_add_epi32(a, _mm_add_epi32(a, a)), _mm_add_epi32(b, b));
      return div_pow2<2>(v);
    };
    const __m128i lo = half(widen_lo(xv), widen_lo(ev)), hi = half(widen_hi(xv), widen_hi(ev));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(x + i), _mm_packs_epi32(lo, hi));  // packs clamps
  }
#endif
  for (; i < n; i++) x[i] = to_sample((x[i] * 3 + e[i] * 2) / 4);
}

void orrery_bit_reduce_run(int16_t *x, int32_t n) {
  int32_t i = 0;
#ifdef ORRERY_AUDIO_SSE2
  // In 16 bits: |x| & 0xf000 with x's sign put back; -32768 keeps its one
  // set bit, as in the 32-bit rule.
  const __m128i keep = _mm_set1_epi16(static_cast<int16_t>(0xf000));
  for (; i + 8 <= n; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(x + i));
    const __m128i sign = _mm_srai_epi16(v, 15);
    const __m128i m = _mm_and_si128(_mm_sub_epi16(_mm_xor_si128(v, sign), sign), keep);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(x + i), _mm_sub_epi16(_mm_xor_si128(m, sign), sign));
  }
#endif
  for (; i < n; i++) {
    const int32_t v = x[i];
    x[i] = static_cast<int16_t>(v >= 0 ? v & 0xf000 : -((-v) & 0xf000));
  }
}

namespace {

inline int32_t low_pass_step(int32_t x, int32_t y) {
  const int32_t v = x + 7 * y;
  return (v < 0 ? v + 7 : v) >> 3;  // v / 8, truncating
}

// Four runs side by side, each in registers of its own.
void low_pass_four(int16_t *x0, int16_t *x1, int16_t *x2, int16_t *x3, int32_t *last[4], int32_t n) {
  int32_t y0 = *last[0], y1 = *last[1], y2 = *last[2], y3 = *last[3];
  for (int32_t i = 0; i < n; i++) {
    y0 = low_pass_step(x0[i], y0);
    y1 = low_pass_step(x1[i], y1);
    y2 = low_pass_step(x2[i], y2);
    y3 = low_pass_step(x3[i], y3);
    x0[i] = static_cast<int16_t>(y0);
    x1[i] = static_cast<int16_t>(y1);
    x2[i] = static_cast<int16_t>(y2);
    x3[i] = static_cast<int16_t>(y3);
  }
  *last[0] = y0;
  *last[1] = y1;
  *last[2] = y2;
  *last[3] = y3;
}

}  // namespace

void orrery_low_pass_run(int16_t *x, int32_t n, int32_t *last) {
  int32_t y = *last;
  for (int32_t i = 0; i < n; i++) {
    y = low_pass_step(x[i], y);
    x[i] = static_cast<int16_t>(y);
  }
  *last = y;
}

#ifdef ORRERY_AUDIO_SSE2
namespace {

// Transposes an 8x8 block of 16-bit samples: row k of the result holds
// element k of every input row.
inline void transpose8(__m128i r[8]) {
  const __m128i t0 = _mm_unpacklo_epi16(r[0], r[1]), t1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i t2 = _mm_unpacklo_epi16(r[2], r[3]), t3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i t4 = _mm_unpacklo_epi16(r[4], r[5]), t5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i t6 = _mm_unpacklo_epi16(r[6], r[7]), t7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i u0 = _mm_unpacklo_epi32(t0, t2), u1 = _mm_unpackhi_epi32(t0, t2);
  const __m128i u2 = _mm_unpacklo_epi32(t1, t3), u3 = _mm_unpackhi_epi32(t1, t3);
  const __m128i u4 = _mm_unpacklo_epi32(t4, t6), u5 = _mm_unpackhi_epi32(t4, t6);
  const __m128i u6 = _mm_unpacklo_epi32(t5, t7), u7 = _mm_unpackhi_epi32(t5, t7);
  r[0] = _mm_unpacklo_epi64(u0, u4);
  r[1] = _mm_unpackhi_epi64(u0, u4);
  r[2] = _mm_unpacklo_epi64(u1, u5);
  r[3] = _mm_unpackhi_epi64(u1, u5);
  r[4] = _mm_unpacklo_epi64(u2, u6);
  r[5] = _mm_unpackhi_epi64(u2, u6);
  r[6] = _mm_unpacklo_epi64(u3, u7);
  r[7] = _mm_unpackhi_epi64(u3, u7);
}

// One step of eight runs, four in each half: y = (x + 7 * y) / 8.
inline __m128i low_pass_step4(__m128i x, __m128i y) {
  return div_pow2<3>(_mm_add_epi32(_mm_sub_epi32(x, y), _mm_slli_epi32(y, 3)));
}

// Eight runs side by side, one in each 16-bit lane: blocks of eight
// samples are turned so that each step works on all eight runs at once.
void low_pass_eight(int16_t *const x[8], int32_t *const last[8], int32_t n) {
  __m128i lo = _mm_setr_epi32(*last[0], *last[1], *last[2], *last[3]);
  __m128i hi = _mm_setr_epi32(*last[4], *last[5], *last[6], *last[7]);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128i r[8];
    for (int k = 0; k < 8; k++) r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(x[k] + i));
    transpose8(r);
    for (int j = 0; j < 8; j++) {
      lo = low_pass_step4(widen_lo(r[j]), lo);
      hi = low_pass_step4(widen_hi(r[j]), hi);
      r[j] = _mm_packs_epi32(lo, hi);  // every y lies within 16 bits
    }
    transpose8(r);
    for (int k = 0; k < 8; k++) _mm_storeu_si128(reinterpret_cast<__m128i *>(x[k] + i), r[k]);
  }
  int32_t y[8];
  _mm_storeu_si128(reinterpret_cast<__m128i *>(y), lo);
  _mm_storeu_si128(reinterpret_cast<__m128i *>(y + 4), hi);
  for (int k = 0; k < 8; k++) {
    for (int32_t j = i; j < n; j++) {
      y[k] = low_pass_step(x[k][j], y[k]);
      x[k][j] = static_cast<int16_t>(y[k]);
    }
    *last[k] = y[k];
  }
}

}  // namespace
#endif

void orrery_low_pass_runs(int16_t *const x[], int32_t *const last[], int32_t count, int32_t n) {
  int32_t k = 0;
#ifdef ORRERY_AUDIO_SSE2
  constexpr int32_t k_spare = 256;  // longest run the spare places cover
  if (count >= 2 && n <= k_spare) {
    // Up to eight runs at once; free places filter silence.
    int16_t spare[6][k_spare] = {};
    int32_t spare_last[6] = {};
    for (; k < count; k += 8) {
      int16_t *xs[8];
      int32_t *ls[8];
      for (int j = 0; j < 8; j++) {
        const bool real = k + j < count;
        xs[j] = real ? x[k + j] : spare[j % 6];
        ls[j] = real ? last[k + j] : &spare_last[j % 6];
      }
      low_pass_eight(xs, ls, n);
    }
    return;
  }
#endif
  for (; k + 4 <= count; k += 4) {
    int32_t *l[4] = {last[k], last[k + 1], last[k + 2], last[k + 3]};
    low_pass_four(x[k], x[k + 1], x[k + 2], x[k + 3], l, n);
  }
  for (; k < count; k++) orrery_low_pass_run(x[k], n, last[k]);
}
