// The round batch in portable C++: the skewed sweep with scalar reciprocal
// divisions. The K rounds at one step are independent, so the processor
// overlaps their division chains.
#include <algorithm>
#include <array>

#include "fixedpoint/kernels/reciprocal.h"
#include "fixedpoint/kernels/variants.h"

namespace quarnel {

void RunRoundBatchPortable(const RoundBatch& b) {
  constexpr int kWordBits = 32;
  const std::int32_t k = b.rounds;
  const WordDivisor step(b.stepDivisor);
  std::array<WordDivisor, kPortableBatchRounds> counter{};
  std::array<std::int64_t, kPortableBatchRounds> sign{};
  std::array<Word, kPortableBatchRounds> powerRemainder{};
  std::array<Word, kPortableBatchRounds> termRemainder{};
  for (std::int32_t j = 0; j < k; ++j) {
    const auto at = static_cast<std::size_t>(j);
    counter[at] = WordDivisor(b.counters[at]);
    sign[at] = b.signs[at];
  }

  for (std::int32_t t = b.lo; t <= b.w + k - 1; ++t) {
    const std::int32_t jFirst = std::max(0, t - b.w);
    const std::int32_t jLast = std::min(k - 1, t - b.lo);
    for (std::int32_t j = jFirst; j <= jLast; ++j) {
      const auto at = static_cast<std::size_t>(j);
      const auto i = static_cast<std::size_t>(t - j);
      // The remainders are below their divisors, so v - q*d is exact in 32 bits.
      const DoubleWord v = (DoubleWord{powerRemainder[at]} << kWordBits) | b.power[i];
      const Word q = step.Quotient(v);
      powerRemainder[at] = static_cast<Word>(v) - q * b.stepDivisor;
      b.power[i] = q;
      const DoubleWord u = (DoubleWord{termRemainder[at]} << kWordBits) | q;
      const Word term = counter[at].Quotient(u);
      termRemainder[at] = static_cast<Word>(u) - term * counter[at].divisor();
      b.termSums[i] += sign[at] * std::int64_t{term};
    }
  }
}

}  // namespace quarnel
