// The pass batch with AVX-512: eight passes per register, eight registers,
// 64 passes in flight. Lane j of register g holds pass 8g + j, in 64-bit
// lanes whose low 32 bits are the word; after every step the words move one
// lane up (pass j + 1 takes the word pass j has just multiplied), lane 0
// takes the next lower word of x and the last lane stores a finished word.
//
// Per lane: t = word * m + carry, word := t mod 2^32, carry := t div 2^32,
// with m = 100000 where the pass covers the word and m = 1 where it does
// not (above its highest index, or beyond the batch's passes): multiplying
// by 1 with a zero carry passes the word through unchanged. At word 0 a pass
// takes 0 in place of the word, so its result there is its carry: its group.
// The intrinsics' own placeholder for an undefined register reads as
// uninitialised to g++ 12 once inlined; the header is not ours to change.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include <array>

#include "fixedpoint/decimal_groups.h"
#include "fixedpoint/kernels/variants.h"

namespace quarnel {

namespace {

constexpr int kLanes = 8;
constexpr int kRegisters = kAvx512BatchPasses / kLanes;

// Lane 0 takes lane 7 of `below`, lane j takes lane j - 1 of v.
inline __m512i ShiftUp(__m512i v, __m512i below) {
  return _mm512_alignr_epi64(v, below, kLanes - 1);
}

inline Word LastLaneWord(__m512i v) {
  return static_cast<Word>(_mm_extract_epi64(_mm512_extracti64x2_epi64(v, 3), 1));
}

}  // namespace

void RunPassBatchAvx512(const PassBatch& b) {
  constexpr std::int32_t kPasses = kAvx512BatchPasses;
  // Passes beyond the batch get highest index -1: they cover no word.
  alignas(64) std::array<std::int64_t, kPasses> highest{}, laneIndex{};
  for (std::int32_t j = 0; j < kPasses; ++j) {
    const auto at = static_cast<std::size_t>(j);
    highest[at] = j < b.passes ? GroupHighestIndex(b.w, b.firstPass + j) : -1;
    laneIndex[at] = j;
  }
  const std::int32_t top = static_cast<std::int32_t>(highest[0]);
  // From step `steady` on, every pass of the batch covers its word (pass j
  // reaches its highest word at step top - highest_j + j).
  std::int64_t steady = 0;
  for (std::int32_t j = 0; j < b.passes; ++j) {
    steady = std::max(steady, top - highest[static_cast<std::size_t>(j)] + j);
  }

  const __m512i one = _mm512_set1_epi64(1);
  const __m512i factor = _mm512_set1_epi64(100'000);
  __m512i hv[kRegisters], jv[kRegisters], steadyFactor[kRegisters], word[kRegisters], carry[kRegisters];
  for (int g = 0; g < kRegisters; ++g) {
    const auto at = static_cast<std::size_t>(g);
    hv[at] = _mm512_load_si512(&highest[at * kLanes]);
    jv[at] = _mm512_load_si512(&laneIndex[at * kLanes]);
    steadyFactor[at] = _mm512_mask_blend_epi64(
        _mm512_cmpge_epi64_mask(hv[at], _mm512_setzero_si512()), one, factor);
    word[at] = carry[at] = _mm512_setzero_si512();
  }

  // One step; kEdge adds the per-lane coverage test and the word-0 rule.
  auto step = [&]<bool kEdge>(std::int32_t t) {
    const std::int32_t m0 = top - t;  // the word of pass 0
    const Word incoming = m0 >= 1 ? b.x[m0] : 0;
    const std::int32_t atZero = t - top;  // the pass at word 0, if any
    // Unrolled whole, so that the registers stay registers.
#pragma GCC unroll 16
    for (int g = kRegisters - 1; g >= 0; --g) {
      const auto at = static_cast<std::size_t>(g);
      const __m512i below = g > 0 ? word[at - 1] : _mm512_set1_epi64(incoming);
      __m512i in = ShiftUp(word[at], below);
      __m512i mult = steadyFactor[at];
      if constexpr (kEdge) {
        const __m512i m = _mm512_add_epi64(_mm512_set1_epi64(m0), jv[at]);
        mult = _mm512_mask_blend_epi64(_mm512_cmple_epi64_mask(m, hv[at]), one, factor);
        if (atZero >= 0 && atZero < b.passes && atZero / kLanes == g) {
          in = _mm512_maskz_mov_epi64(static_cast<__mmask8>(~(1u << (atZero % kLanes))), in);
        }
      }
      const __m512i sum = _mm512_add_epi64(_mm512_mul_epu32(in, mult), carry[at]);
      carry[at] = _mm512_srli_epi64(sum, 32);
      word[at] = sum;
    }
    const std::int32_t done = m0 + kPasses - 1;
    if (done <= top) b.x[done] = LastLaneWord(word[kRegisters - 1]);
    if constexpr (kEdge) {
      if (atZero >= 0 && atZero < b.passes) {
        alignas(64) std::array<std::uint64_t, kLanes> lanes;
        _mm512_store_si512(lanes.data(), word[static_cast<std::size_t>(atZero / kLanes)]);
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
