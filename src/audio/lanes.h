// Integer helpers for the mixer's and synthesiser's four-lane SSE2 code.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstdint>

#define ORRERY_AUDIO_SSE2 1

// Four 32-bit lanes of v.
inline __m128i splat(int32_t v) { return _mm_set1_epi32(v); }

// Lanes where mask is set take a, the others b.
inline __m128i select4(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Lanes of v at least limit.
inline __m128i at_least(__m128i v, int32_t limit) { return _mm_cmpgt_epi32(v, splat(limit - 1)); }

// v / 2^K, truncating toward zero like C.
template <int K>
inline __m128i div_pow2(__m128i v) {
  const __m128i bias = _mm_and_si128(_mm_srai_epi32(v, 31), splat((1 << K) - 1));
  return _mm_srai_epi32(_mm_add_epi32(v, bias), K);
}

// (n * M) >> K for lanes 0 <= n < 2^32 whose quotient fits 32 bits, with
// the product formed in 64 bits: with M = ceil(2^K / d) it is n / d for
// every n below 2^K / (M * d - 2^K).
template <uint32_t M, int K>
inline __m128i mul_shift(__m128i n) {
  const __m128i m = splat(static_cast<int32_t>(M));
  const __m128i even = _mm_srli_epi64(_mm_mul_epu32(n, m), K);
  const __m128i odd = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(n, 32), m), K);
  return _mm_or_si128(_mm_and_si128(even, _mm_setr_epi32(-1, 0, -1, 0)), _mm_slli_epi64(odd, 32));
}

// Four 32-bit lanes from the low or high four 16-bit samples, sign extended.
inline __m128i widen_lo(__m128i x) { return _mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16); }
inline __m128i widen_hi(__m128i x) { return _mm_srai_epi32(_mm_unpackhi_epi16(x, x), 16); }

#endif
