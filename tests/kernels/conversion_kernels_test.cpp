// Every conversion kernel against the plain passes: the groups and every
// word the passes leave behind, on random numbers and on pi itself.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "fixedpoint/kernels.h"
#include "series/combine.h"
#include "series/series_tasks.h"
#include "tests/kernels/kernel_variants.h"

namespace quarnel {
namespace {

using testing::AllVariantIndices;
using testing::VariantName;

class ConversionKernel : public ::testing::TestWithParam<std::size_t> {};

// Converts x both ways and compares the groups and words 0..w + 8 (words
// above w must stay as they were).
void ExpectSameConversion(const KernelVariant& variant, const WordArray& x, std::int32_t w,
                          std::int32_t groupCount) {
  auto expected = std::make_unique<WordArray>(x);
  auto actual = std::make_unique<WordArray>(x);
  std::vector<Word> expectedGroups(static_cast<std::size_t>(groupCount), 0xDEADBEEFu);
  std::vector<Word> groups(static_cast<std::size_t>(groupCount), 0xFEEDFACEu);
  ConvertToGroupsPlain(*expected, w, groupCount, expectedGroups.data());
  variant.convertToGroups(*actual, w, groupCount, groups.data());
  for (std::size_t i = 0; i < groups.size(); ++i) {
    ASSERT_EQ(groups[i], expectedGroups[i]) << "group " << i + 1;
  }
  for (std::int32_t i = 0; i <= w + 8; ++i) {
    const auto at = static_cast<std::size_t>(i);
    ASSERT_EQ((*actual)[at], (*expected)[at]) << "word " << i;
  }
}

TEST_P(ConversionKernel, MatchesThePlainPassesOnRandomNumbers) {
  QUARNEL_VARIANT_OR_SKIP(GetParam());
  const std::uint64_t seed = testing::TestSeed();
  SCOPED_TRACE(::testing::Message() << "QUARNEL_TEST_SEED=" << seed);
  std::mt19937_64 random(seed);
  auto x = std::make_unique<WordArray>();
  for (int trial = 0; trial < 200; ++trial) {
    // Mostly small numbers, where batches are cut short by the group count
    // and the highest indices, some larger ones.
    const std::int32_t w = 1 + static_cast<std::int32_t>(random() % (trial % 10 == 0 ? 3000u : 90u));
    // Up to the largest count the highest index allows (w - groupCount/2 >= 0).
    const std::int32_t groupCount = 1 + static_cast<std::int32_t>(random() % static_cast<std::uint64_t>(2 * w + 1));
    for (std::int32_t i = 0; i <= w + 8; ++i) {
      (*x)[static_cast<std::size_t>(i)] = testing::RunPatternWord(random);
    }
    SCOPED_TRACE(::testing::Message() << "w = " << w << ", groups = " << groupCount);
    ExpectSameConversion(variant, *x, w, groupCount);
    if (HasFatalFailure()) return;
  }
}

// The numbers the program converts: pi, for the digit counts whose digits
// the whole program is checked on, as many groups as it takes.
TEST_P(ConversionKernel, MatchesThePlainPassesOnPi) {
  QUARNEL_VARIANT_OR_SKIP(GetParam());
  for (const std::int32_t n : {1'000, 7'000, 40'000}) {
    SCOPED_TRACE(::testing::Message() << "N = " << n);
    W = n / 8;
    RunAndCombine();
    ASSERT_EQ(ResultSlot(1)[0], 3u);
    ExpectSameConversion(variant, ResultSlot(1), W, n / 5);
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, ConversionKernel, ::testing::ValuesIn(AllVariantIndices()),
                         VariantName);

}  // namespace
}  // namespace quarnel
