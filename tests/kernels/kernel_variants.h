// Test support: the kernel variants as test parameters, a replayable seed,
// and operands with long runs of zero and one bits.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "fixedpoint/kernels.h"

namespace quarnel::testing {

// Indices of every variant in the dispatch table, the plain one included.
inline std::vector<std::size_t> AllVariantIndices() {
  std::vector<std::size_t> indices;
  for (std::size_t i = 0; i < KernelVariants().size(); ++i) indices.push_back(i);
  return indices;
}

inline std::string VariantName(const ::testing::TestParamInfo<std::size_t>& info) {
  return KernelVariants()[info.param].name;
}

// The variant under test, or a skip where this CPU lacks its instructions.
#define QUARNEL_VARIANT_OR_SKIP(index)                                        \
  const KernelVariant& variant = KernelVariants()[index];                    \
  if (!variant.supported()) GTEST_SKIP() << variant.name << ": not on this CPU"

// QUARNEL_TEST_SEED replays a run; otherwise a fresh seed, printed on failure.
inline std::uint64_t TestSeed() {
  if (const char* text = std::getenv("QUARNEL_TEST_SEED")) return std::strtoull(text, nullptr, 0);
  return std::random_device{}();
}

// A word made of runs of zero and one bits (a fixed run pattern per call),
// which reach the carry and remainder edge cases far more often than
// uniform words.
inline Word RunPatternWord(std::mt19937_64& random) {
  switch (random() % 6) {
    case 0: return 0;
    case 1: return ~Word{0};
    case 2: return static_cast<Word>(random());
    default: {
      Word w = 0;
      int bit = 0;
      bool ones = random() % 2 == 0;
      while (bit < 32) {
        const int run = 1 + static_cast<int>(random() % 24);
        for (int b = bit; b < bit + run && b < 32; ++b) {
          if (ones) w |= Word{1} << b;
        }
        bit += run;
        ones = !ones;
      }
      return w;
    }
  }
}

}  // namespace quarnel::testing
