// The pass batch in portable C++: the skewed sweep in place, one carry per
// pass. The K passes at one step touch K different words, so their carry
// chains overlap.
#include <algorithm>
#include <array>

#include "fixedpoint/decimal_groups.h"
#include "fixedpoint/kernels/variants.h"

namespace quarnel {

void RunPassBatchPortable(const PassBatch& b) {
  constexpr int kWordBits = 32;
  constexpr DoubleWord kFactor = 100'000;
  const std::int32_t k = b.passes;
  std::array<std::int32_t, kPortableBatchPasses> highest{};
  std::array<DoubleWord, kPortableBatchPasses> carry{};
  for (std::int32_t j = 0; j < k; ++j) {
    highest[static_cast<std::size_t>(j)] = GroupHighestIndex(b.w, b.firstPass + j);
  }
  const std::int32_t top = highest[0];

  // One step with every rule: passes above their highest word skip it, and
  // at word 0 a pass (word 0 being reset before it) takes just its carry.
  const auto edgeStep = [&](std::int32_t t) {
    const std::int32_t jFirst = std::max(0, t - top);
    const std::int32_t jLast = std::min(k - 1, t);
    for (std::int32_t j = jFirst; j <= jLast; ++j) {
      const auto at = static_cast<std::size_t>(j);
      const std::int32_t m = top - t + j;
      if (m > highest[at]) continue;
      if (m == 0) {
        b.x[0] = static_cast<Word>(carry[at]);
        b.groups[at] = b.x[0];
        continue;
      }
      const DoubleWord v = b.x[m] * kFactor + carry[at];
      b.x[m] = static_cast<Word>(v);
      carry[at] = v >> kWordBits;
    }
  };

  // From step `steady` until word 0 every pass covers its word (pass j
  // reaches its highest word at step top - highest_j + j), and the steps
  // need no test at all.
  std::int32_t steady = 0;
  for (std::int32_t j = 0; j < k; ++j) {
    steady = std::max(steady, top - highest[static_cast<std::size_t>(j)] + j);
  }
  steady = std::min(steady, top);
  std::int32_t t = 0;
  for (; t < steady; ++t) edgeStep(t);
  // A full batch has a fixed pass count: unrolled whole, the carries stay
  // in registers, and each word goes from pass to pass through the store
  // just made to the same address.
  if (k == kPortableBatchPasses) {
    for (; t < top; ++t) {
      Word* const words = b.x + (top - t);  // pass j works on words[j]
#pragma GCC unroll 16
      for (std::int32_t j = 0; j < kPortableBatchPasses; ++j) {
      const auto at = static_cast<std::size_t>(j);
      const DoubleWord v = words[j] * kFactor + carry[at];
      words[j] = static_cast<Word>(v);
      carry[at] = v >> kWordBits;
      }
    }
  }
  for (; t <= top + k - 1; ++t) edgeStep(t);
}

}  // namespace quarnel
