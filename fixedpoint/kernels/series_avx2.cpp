// The round batch with AVX2 and FMA: four rounds per register, four
// registers, 16 rounds in flight. The sweep, the lane movement and both
// division chains are those of the AVX-512 kernel (series_avx512.cpp, where
// their exactness is shown), except that the power quotient is taken as
// floor(round(v * inv)) with inv = 1/D rounded up: v * inv lies in
// [v/D, v/D + 2^-20), so its rounding (at most 2^-21 away, as v/D < 2^32)
// neither falls below the integer q = floor(v/D) nor reaches q + 1, which is
// at least 1/D > 2^-17 above v/D.
#include <immintrin.h>

#include <array>
#include <cmath>

#include "fixedpoint/kernels/variants.h"

namespace quarnel {

namespace {

constexpr int kLanes = 4;
constexpr int kRegisters = kAvx2BatchRounds / kLanes;
constexpr double kWordScale = 4294967296.0;            // 2^32
constexpr double kRoundingOffset = 6755399441055744.0;  // 1.5 * 2^52

double ReciprocalRoundedUp(double d) {
  const double inv = 1.0 / d;
  return std::fma(inv, d, -1.0) < 0 ? std::nextafter(inv, 2.0) : inv;
}

// The lanes rotated one up: [v3, v0, v1, v2].
inline __m256d RotateUp(__m256d v) { return _mm256_permute4x64_pd(v, 0x93); }

inline double LastLane(__m256d v) {
  const __m128d top = _mm256_extractf128_pd(v, 1);
  return _mm_cvtsd_f64(_mm_unpackhi_pd(top, top));
}

}  // namespace

void RunRoundBatchAvx2(const RoundBatch& b) {
  constexpr std::int32_t kRounds = kAvx2BatchRounds;
  alignas(32) std::array<double, kRounds> stepDivisor{}, stepInverse{}, counter{},
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
  __m256d dv[kRegisters], dinv[kRegisters], cv[kRegisters], cinv[kRegisters], sv[kRegisters], word[kRegisters], termSum[kRegisters], powerRem[kRegisters], termRem[kRegisters];
  for (int g = 0; g < kRegisters; ++g) {
    const auto at = static_cast<std::size_t>(g);
    const std::size_t lane = at * kLanes;
    dv[at] = _mm256_load_pd(&stepDivisor[lane]);
    dinv[at] = _mm256_load_pd(&stepInverse[lane]);
    cv[at] = _mm256_load_pd(&counter[lane]);
    cinv[at] = _mm256_load_pd(&counterInverse[lane]);
    sv[at] = _mm256_load_pd(&sign[lane]);
    word[at] = termSum[at] = powerRem[at] = termRem[at] = _mm256_setzero_pd();
  }
  const __m256d scale = _mm256_set1_pd(kWordScale);
  const __m256d roundingOffset = _mm256_set1_pd(kRoundingOffset);
  alignas(32) std::array<double, kRounds> lastRemainder{};

  const std::int32_t lastStep = b.w + kRounds - 1;
  for (std::int32_t t = b.lo; t <= lastStep; ++t) {
    const double incoming = t <= b.w ? static_cast<double>(b.power[t]) : 0.0;
    // Unrolled whole, so that the registers stay registers.
#pragma GCC unroll 16
    for (int g = kRegisters - 1; g >= 0; --g) {
      const auto at = static_cast<std::size_t>(g);
      const __m256d below = g > 0 ? RotateUp(word[at - 1]) : _mm256_set1_pd(incoming);
      const __m256d sumBelow = g > 0 ? RotateUp(termSum[at - 1]) : _mm256_setzero_pd();
      const __m256d in = _mm256_blend_pd(RotateUp(word[at]), below, 1);
      const __m256d sumIn = _mm256_blend_pd(RotateUp(termSum[at]), sumBelow, 1);

      const __m256d v = _mm256_fmadd_pd(powerRem[at], scale, in);
      const __m256d q = _mm256_floor_pd(_mm256_mul_pd(v, dinv[at]));
      powerRem[at] = _mm256_fnmadd_pd(q, dv[at], v);

      const __m256d high = _mm256_mul_pd(termRem[at], scale);
      const __m256d approx = _mm256_fmadd_pd(termRem[at], scale, q);
      const __m256d term = _mm256_sub_pd(
          _mm256_fmadd_pd(approx, cinv[at], roundingOffset), roundingOffset);
      termRem[at] = _mm256_add_pd(_mm256_fnmadd_pd(term, cv[at], high), q);
      termSum[at] = _mm256_fmadd_pd(term, sv[at], sumIn);
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
      alignas(32) std::array<double, kLanes> lanes;
      _mm256_store_pd(lanes.data(), termRem[static_cast<std::size_t>(j / kLanes)]);
      lastRemainder[static_cast<std::size_t>(j)] = lanes[static_cast<std::size_t>(j % kLanes)];
    }
  }
  for (std::int32_t j = 0; j < b.rounds; ++j) {
    const auto at = static_cast<std::size_t>(j);
    if (lastRemainder[at] < 0) b.termSums[static_cast<std::size_t>(b.w)] -= b.signs[at];
  }
}

}  // namespace quarnel
