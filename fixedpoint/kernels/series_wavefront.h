// The series sum as a wavefront over batches of rounds.
//
// Each round j of a recipe divides the power in place by the step divisor D
// (P_j = floor(P_{j-1} / D)) and adds or subtracts the term floor(P_j / c_j).
// Both divisions of word i in round j need only word i after round j - 1
// and the two remainders of round j at word i - 1. So a batch of K rounds
// runs as one skewed sweep: at step t, round j of the batch works on word
// t - j, and the K rounds are K independent remainder chains in flight,
// each word visited by all K rounds while it is still in cache.
//
// The terms are not carried as they are made: each round adds its term
// words (with their sign) to one signed 64-bit sum per word position, and
// the carries are resolved once, after the last round. That is the same
// integer modulo 2^(32(W+1)) as the plain sum, as no carry is dropped there
// either, and |sum| < rounds * 2^34 < 2^57 never overflows.
#pragma once

#include <cstdint>

#include "fixedpoint/series_rounds.h"
#include "fixedpoint/word_array.h"

namespace quarnel {

// The most rounds any variant runs in one batch.
inline constexpr std::int32_t kMaxBatchRounds = 32;

// The step divisors and odd counters the batch kernels are proven exact for.
inline constexpr Word kMaxWavefrontStepDivisor = (Word{1} << 17) - 1;
inline constexpr std::int64_t kMaxWavefrontCounter = (std::int64_t{1} << 24) - 1;

// K consecutive rounds over words lo..w; words below lo of the power are zero.
struct RoundBatch {
  Word* power;               // divided in place by stepDivisor once per round
  std::int64_t* termSums;    // += sign_j * floor(P_j / counters[j]) per word, uncarried
  std::int32_t lo;
  std::int32_t w;
  Word stepDivisor;          // 2 .. kMaxWavefrontStepDivisor
  std::int32_t rounds;       // K, 1 .. the variant's batch size
  const Word* counters;      // c_j, 1 .. kMaxWavefrontCounter
  const std::int32_t* signs; // +1 for an added term, -1 for a subtracted one
};

// Runs one batch: afterwards power holds P_K over words lo..w and termSums
// has every round's term added (sign included) at its word positions.
using RoundBatchKernel = void (*)(const RoundBatch& batch);

// Whether every round of recipe, at last word index w, lies within the
// bounds of the batch kernels (step divisor and every odd counter).
bool WavefrontFits(const SeriesRecipe& recipe, std::int32_t w);

// The result of SumSeriesPlain(recipe, slot), with the rounds run by kernel
// in batches of at most batchRounds (<= kMaxBatchRounds). Needs
// WavefrontFits(recipe, W). Allocates its working arrays once per call.
SeriesOutcome SumSeriesWavefront(const SeriesRecipe& recipe, WordArray& slot,
                                 RoundBatchKernel kernel, std::int32_t batchRounds);

}  // namespace quarnel
