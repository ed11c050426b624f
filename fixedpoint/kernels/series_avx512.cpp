// The round batch with AVX-512: eight rounds per register, four registers,
// 32 rounds in flight. Lane j of register g holds round 8g + j; after every
// step the power words move one lane up (round j + 1 takes the word round j
// has just divided), lane 0 takes the next word of the power and the last
// lane hands a finished word back.
//
// Every number is an integer held exactly in a double (below 2^53).
//
// Power chain, divisor D < 2^17, canonical digits: v = r * 2^32 + w with
// 0 <= r < D, so v < 2^49. With inv = 1/D rounded up, v * inv lies in
// [v/D, v/D + 2^-20), and v/D = q + f/D with f <= D - 1, so
// floor(v * inv) = q as 2^-20 < 1/D. The fused multiply-add rounded down
// onto 2^52 (where doubles are the integers) takes that floor of the exact
// product; r = v - q*D is exact in a fused multiply-add.
//
// Term chain, divisor c < 2^24, redundant remainder: v = r * 2^32 + q_p may
// reach 2^56, so it is held only approximately, as v~, to guess a quotient
// t = round(v~ / c); the new remainder r' = (r * 2^32 - t*c) + q_p is then
// exact (the fused step's true result is below 2^34, so its one rounding is
// none). The guess is within 1/2 + 3*2^-53 * |v|/c of v/c, so
// |r'| <= c/2 + 24 < c for the counters here (c/2 + 1 for c < 2^19), and
// the term words t are not corrected at all: they may be negative or pass
// 2^32, but sum to floor(P/c) - floor(r_W/c) exactly, r_W being the
// remainder after the last word. The term sums take that floor as -1 when
// r_W < 0. Rounds of the batch beyond K divide by 1 and add nothing.
// The intrinsics' own placeholder for an undefined register reads as
// uninitialised to g++ 12 once inlined; the header is not ours to change.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include <array>
#include <cmath>

#include "fixedpoint/kernels/variants.h"

namespace quarnel {

namespace {

constexpr int kLanes = 8;
constexpr int kRegisters = kAvx512BatchRounds / kLanes;
constexpr double kWordScale = 4294967296.0;           // 2^32
constexpr double kIntegerOffset = 4503599627370496.0;  // 2^52
constexpr double kRoundingOffset = 6755399441055744.0; // 1.5 * 2^52

// 1/d rounded up.
double ReciprocalRoundedUp(double d) {
  const double inv = 1.0 / d;
  return std::fma(inv, d, -1.0) < 0 ? std::nextafter(inv, 2.0) : inv;
}

// Lane 0 takes lane 7 of `below`, lane j takes lane j - 1 of v.
inline __m512d ShiftUp(__m512d v, __m512d below) {
  return _mm512_castsi512_pd(
      _mm512_alignr_epi64(_mm512_castpd_si512(v), _mm512_castpd_si512(below), kLanes - 1));
}

inline double LastLane(__m512d v) {
  const __m128d top = _mm512_extractf64x2_pd(v, 3);
  return _mm_cvtsd_f64(_mm_unpackhi_pd(top, top));
}

}  // namespace

void RunRoundBatchAvx512(const RoundBatch& b) {
  constexpr std::int32_t kRounds = kAvx512BatchRounds;
  alignas(64) std::array<double, kRounds> stepDivisor{}, stepInverse{}, counter{},
      counterInverse{}, sign{};
  const double d = static_cast<double>(b.stepDivisor);
  for (std::int32_t j = 0; j < kRounds; ++j) {
    const auto at = static_cast<std::size_t>(j);
    const bool real = j < b.rounds;
    stepDivisor[at] = real ? d : 1.0;
    stepInverse[at] = real ? ReciprocalRoundedUp(d) : 1.0;
    counter[at] = real ? static_cast<double>(b.counters[at]) : 1.0;
    counterInverse[at] = 1.0 / counter[at];
    sign[at] = real ? static_cast<double>(b.signs[at]) : 0.0;
  }
  __m512d dv[kRegisters], dinv[kRegisters], cv[kRegisters], cinv[kRegisters], sv[kRegisters], word[kRegisters], termSum[kRegisters], powerRem[kRegisters], termRem[kRegisters];
  for (int g = 0; g < kRegisters; ++g) {
    const auto at = static_cast<std::size_t>(g);
    const std::size_t lane = at * kLanes;
    dv[at] = _mm512_load_pd(&stepDivisor[lane]);
    dinv[at] = _mm512_load_pd(&stepInverse[lane]);
    cv[at] = _mm512_load_pd(&counter[lane]);
    cinv[at] = _mm512_load_pd(&counterInverse[lane]);
    sv[at] = _mm512_load_pd(&sign[lane]);
    word[at] = termSum[at] = powerRem[at] = termRem[at] = _mm512_setzero_pd();
  }
  const __m512d scale = _mm512_set1_pd(kWordScale);
  const __m512d integerOffset = _mm512_set1_pd(kIntegerOffset);
  const __m512d roundingOffset = _mm512_set1_pd(kRoundingOffset);
  alignas(64) std::array<double, kRounds> lastRemainder{};

  // Words below lo and above w enter as zeros; what they produce is never
  // stored, and each round's remainder after word w is kept aside.
  const std::int32_t lastStep = b.w + kRounds - 1;
  for (std::int32_t t = b.lo; t <= lastStep; ++t) {
    const double incoming = t <= b.w ? static_cast<double>(b.power[t]) : 0.0;
    // Unrolled whole, so that the registers stay registers.
#pragma GCC unroll 16
    for (int g = kRegisters - 1; g >= 0; --g) {
      const auto at = static_cast<std::size_t>(g);
      const __m512d below = g > 0 ? word[at - 1] : _mm512_set1_pd(incoming);
      const __m512d sumBelow = g > 0 ? termSum[at - 1] : _mm512_setzero_pd();
      const __m512d in = ShiftUp(word[at], below);
      const __m512d sumIn = ShiftUp(termSum[at], sumBelow);

      const __m512d v = _mm512_fmadd_pd(powerRem[at], scale, in);
      const __m512d q = _mm512_sub_pd(
          _mm512_fmadd_round_pd(v, dinv[at], integerOffset,
                                _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC),
          integerOffset);
      powerRem[at] = _mm512_fnmadd_pd(q, dv[at], v);

      const __m512d high = _mm512_mul_pd(termRem[at], scale);
      const __m512d approx = _mm512_fmadd_pd(termRem[at], scale, q);
      const __m512d term = _mm512_sub_pd(
          _mm512_fmadd_pd(approx, cinv[at], roundingOffset), roundingOffset);
      termRem[at] = _mm512_add_pd(_mm512_fnmadd_pd(term, cv[at], high), q);
      termSum[at] = _mm512_fmadd_pd(term, sv[at], sumIn);
      word[at] = q;
    }
    const std::int32_t done = t - (kRounds - 1);
    if (done >= b.lo) {
      const auto i = static_cast<std::size_t>(done);
      b.power[i] = static_cast<Word>(LastLane(word[kRegisters - 1]));
      b.termSums[i] += static_cast<std::int64_t>(LastLane(termSum[kRegisters - 1]));
    }
    if (t >= b.w) {
      const std::int32_t j = t - b.w;  // the round that has just divided word w
      alignas(64) std::array<double, kLanes> lanes;
      _mm512_store_pd(lanes.data(), termRem[static_cast<std::size_t>(j / kLanes)]);
      lastRemainder[static_cast<std::size_t>(j)] = lanes[static_cast<std::size_t>(j % kLanes)];
    }
  }
  for (std::int32_t j = 0; j < b.rounds; ++j) {
    const auto at = static_cast<std::size_t>(j);
    if (lastRemainder[at] < 0) b.termSums[static_cast<std::size_t>(b.w)] -= b.signs[at];
  }
}

}  // namespace quarnel
