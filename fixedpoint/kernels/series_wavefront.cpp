#include "fixedpoint/kernels/series_wavefront.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace quarnel {

namespace {

constexpr int kWordBits = 32;

// A bound on the number of rounds: P_j < 2^32 once D^j >= 2^(32w), as
// P_0 < 2^(32(w+1)); one round more covers the rounding of the logarithm.
std::int64_t MaxRounds(Word stepDivisor, std::int32_t w) {
  const double bits = kWordBits * static_cast<double>(w);
  return static_cast<std::int64_t>(std::ceil(bits / std::log2(static_cast<double>(stepDivisor)))) +
         1;
}

// sums[i] := floor(power / c) word by word, over words 0..w.
void SetFirstTerm(const WordArray& power, Word c, std::int32_t w, std::int64_t* sums) {
  DoubleWord r = 0;
  for (std::int32_t i = 0; i <= w; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const DoubleWord v = (r << kWordBits) | power[at];
    sums[at] = static_cast<std::int64_t>(v / c);
    r = v % c;
  }
}

// slot := sum over i of sums[i] * 2^(-32 i), modulo 2^(32(w+1)); words above
// w are cleared, as the plain sum leaves them.
void ResolveCarries(const std::int64_t* sums, std::int32_t w, WordArray& slot) {
  std::int64_t carry = 0;
  for (std::int32_t i = w; i >= 0; --i) {
    const auto at = static_cast<std::size_t>(i);
    const std::int64_t v = sums[at] + carry;
    slot[at] = static_cast<Word>(static_cast<std::uint64_t>(v));
    carry = v >> kWordBits;  // floor division: a negative word borrows
  }
  std::fill(slot.begin() + w + 1, slot.end(), Word{0});
}

}  // namespace

bool WavefrontFits(const SeriesRecipe& recipe, std::int32_t w) {
  if (recipe.stepDivisor < 2 || recipe.stepDivisor > kMaxWavefrontStepDivisor) return false;
  if (recipe.firstDivisor < 1 || recipe.counterStart < 1 || recipe.counterStep < 0) return false;
  const std::int64_t lastCounter =
      recipe.counterStart + recipe.counterStep * MaxRounds(recipe.stepDivisor, w);
  return lastCounter <= kMaxWavefrontCounter;
}

SeriesOutcome SumSeriesWavefront(const SeriesRecipe& recipe, WordArray& slot,
                                 RoundBatchKernel kernel, std::int32_t batchRounds) {
  const auto power = std::make_unique<WordArray>();
  std::vector<std::int64_t> sums(static_cast<std::size_t>(W) + 1);

  ClearWords(*power);
  std::int32_t s = 1;
  std::int32_t c = recipe.counterStart;
  (*power)[0] = recipe.coefficient;
  DivideInPlace(*power, recipe.firstDivisor, s);
  SetFirstTerm(*power, static_cast<Word>(c), W, sums.data());

  std::array<Word, kMaxBatchRounds> counters{};
  std::array<std::int32_t, kMaxBatchRounds> signs{};
  SeriesOutcome outcome{0, c};
  while (s < W) {
    // s advances at most one word per round, so the next W - s rounds are
    // certain to run.
    const std::int32_t k = std::min(batchRounds, W - s);
    for (std::int32_t j = 0; j < k; ++j) {
      c += recipe.counterStep;
      counters[static_cast<std::size_t>(j)] = static_cast<Word>(c);
      signs[static_cast<std::size_t>(j)] = TermIsAdded(recipe.sign, c) ? 1 : -1;
    }
    kernel(RoundBatch{power->data(), sums.data(), s - 1, W, recipe.stepDivisor, k,
                      counters.data(), signs.data()});
    outcome.rounds += k;
    // The plain rule, once per round: s := s + 1 while word s is zero.
    for (std::int32_t j = 0; j < k && (*power)[static_cast<std::size_t>(s)] == 0; ++j) ++s;
  }
  outcome.finalCounter = c;
  ResolveCarries(sums.data(), W, slot);
  return outcome;
}

}  // namespace quarnel
