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

  for (std::int32_t t = 0; t <= top + k - 1; ++t) {
    const std::int32_t jFirst = std::max(0, t - top);
    const std::int32_t jLast = std::min(k - 1, t);
    for (std::int32_t j = jFirst; j <= jLast; ++j) {
      const auto at = static_cast<std::size_t>(j);
      const std::int32_t m = top - t + j;
      if (m > highest[at]) continue;  // above this pass's highest word
      const auto i = static_cast<std::size_t>(m);
      if (m == 0) {
        // Word 0 is reset before the pass, so it takes just the carry: the group.
        b.x[0] = static_cast<Word>(carry[at]);
        b.groups[at] = b.x[0];
        continue;
      }
      const DoubleWord v = b.x[i] * kFactor + carry[at];
      b.x[i] = static_cast<Word>(v);
      carry[at] = v >> kWordBits;
    }
  }
}

}  // namespace quarnel
