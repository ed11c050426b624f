// The pass batch with AVX2: four passes per register, eight registers, 32
// passes in flight. The sweep and the lane rules are those of the AVX-512
// kernel (conversion_avx512.cpp).
#include <immintrin.h>

#include <algorithm>
#include <array>

#include "fixedpoint/decimal_groups.h"
#include "fixedpoint/kernels/variants.h"

namespace quarnel {

namespace {

constexpr int kLanes = 4;
constexpr int kRegisters = kAvx2BatchPasses / kLanes;

// The lanes rotated one up: [v3, v0, v1, v2].
inline __m256i RotateUp(__m256i v) { return _mm256_permute4x64_epi64(v, 0x93); }

}  // namespace

void RunPassBatchAvx2(const PassBatch& b) {
  constexpr std::int32_t kPasses = kAvx2BatchPasses;
  alignas(32) std::array<std::int64_t, kPasses> highest{}, laneIndex{};
  for (std::int32_t j = 0; j < kPasses; ++j) {
    const auto at = static_cast<std::size_t>(j);
    highest[at] = j < b.passes ? GroupHighestIndex(b.w, b.firstPass + j) : -1;
    laneIndex[at] = j;
  }
  const std::int32_t top = static_cast<std::int32_t>(highest[0]);
  std::int64_t steady = 0;
  for (std::int32_t j = 0; j < b.passes; ++j) {
    steady = std::max(steady, top - highest[static_cast<std::size_t>(j)] + j);
  }

  const __m256i one = _mm256_set1_epi64x(1);
  const __m256i factor = _mm256_set1_epi64x(100'000);
  __m256i hv[kRegisters], jv[kRegisters], steadyFactor[kRegisters], word[kRegisters], carry[kRegisters];
  for (int g = 0; g < kRegisters; ++g) {
    const auto at = static_cast<std::size_t>(g);
    hv[at] = _mm256_load_si256(reinterpret_cast<const __m256i*>(&highest[at * kLanes]));
    jv[at] = _mm256_load_si256(reinterpret_cast<const __m256i*>(&laneIndex[at * kLanes]));
    const __m256i uncovered = _mm256_cmpgt_epi64(_mm256_setzero_si256(), hv[at]);
    steadyFactor[at] = _mm256_blendv_epi8(factor, one, uncovered);
    word[at] = carry[at] = _mm256_setzero_si256();
  }

  auto step = [&]<bool kEdge>(std::int32_t t) {
    const std::int32_t m0 = top - t;
    const Word incoming = m0 >= 1 ? b.x[m0] : 0;
    const std::int32_t atZero = t - top;
    // Unrolled whole, so that the registers stay registers.
#pragma GCC unroll 16
    for (int g = kRegisters - 1; g >= 0; --g) {
      const auto at = static_cast<std::size_t>(g);
      const __m256i below = g > 0 ? RotateUp(word[at - 1]) : _mm256_set1_epi64x(incoming);
      __m256i in = _mm256_blend_epi32(RotateUp(word[at]), below, 0x03);
      __m256i mult = steadyFactor[at];
      if constexpr (kEdge) {
        const __m256i m = _mm256_add_epi64(_mm256_set1_epi64x(m0), jv[at]);
        mult = _mm256_blendv_epi8(factor, one, _mm256_cmpgt_epi64(m, hv[at]));
        if (atZero >= 0 && atZero < b.passes) {
          in = _mm256_andnot_si256(_mm256_cmpeq_epi64(jv[at], _mm256_set1_epi64x(atZero)), in);
        }
      }
      const __m256i sum = _mm256_add_epi64(_mm256_mul_epu32(in, mult), carry[at]);
      carry[at] = _mm256_srli_epi64(sum, 32);
      word[at] = sum;
    }
    const std::int32_t done = m0 + kPasses - 1;
    if (done <= top) b.x[done] = static_cast<Word>(_mm256_extract_epi64(word[kRegisters - 1], 3));
    if constexpr (kEdge) {
      if (atZero >= 0 && atZero < b.passes) {
        alignas(32) std::array<std::uint64_t, kLanes> lanes;
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.data()),
                           word[static_cast<std::size_t>(atZero / kLanes)]);
        b.groups[atZero] = static_cast<Word>(lanes[static_cast<std::size_t>(atZero % kLanes)]);
      }
    }
  };

  const std::int32_t lastStep = top + kPasses - 1;
  const auto steadyStep = static_cast<std::int32_t>(std::min<std::int64_t>(steady, top));
  std::int32_t t = 0;
  for (; t < steadyStep; ++t) step.operator()<true>(t);
  for (; t < top; ++t) step.operator()<false>(t);
  for (; t <= lastStep; ++t) step.operator()<true>(t);
}

}  // namespace quarnel
