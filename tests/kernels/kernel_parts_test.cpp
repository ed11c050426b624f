// The parts the kernels are built from: the reciprocal division, the round
// batch of every variant at the largest counters, and the dispatch.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "fixedpoint/kernels.h"
#include "fixedpoint/kernels/reciprocal.h"
#include "fixedpoint/kernels/variants.h"
#include "tests/kernels/kernel_variants.h"

namespace quarnel {
namespace {

// Divisors at the edges of each multiplier width, and those of the series.
constexpr Word kDivisors[] = {1,      2,       3,       5,       7,           17,
                              18,     57,      239,     3'249,   5'832,       57'121,
                              65'535, 65'537,  104'976, 131'071, 9'592'495,   (1u << 23) + 1,
                              (1u << 23) - 1, kMaxReciprocalDivisor};

TEST(WordDivisor, QuotientIsExactAtEveryRemainderEdge) {
  std::mt19937_64 random(testing::TestSeed());
  for (const Word d : kDivisors) {
    const WordDivisor divisor(d);
    // Dividends next to every multiple of d that the edges of the range
    // reach, where a multiplier one unit short would fail first.
    for (const DoubleWord r : {DoubleWord{0}, DoubleWord{1}, DoubleWord{d} / 2, DoubleWord{d} - 1}) {
      if (r >= d) continue;
      for (const Word w : {Word{0}, Word{1}, ~Word{0}, ~Word{0} - 1, Word{1} << 31}) {
        const DoubleWord v = (r << 32) | w;
        ASSERT_EQ(divisor.Quotient(v), v / d) << "d = " << d << ", v = " << v;
      }
    }
    for (int trial = 0; trial < 20'000; ++trial) {
      const DoubleWord q = random() % (DoubleWord{1} << 32);
      const DoubleWord v = q * d + random() % d;  // below d * 2^32
      ASSERT_EQ(divisor.Quotient(v), v / d) << "d = " << d << ", v = " << v;
    }
  }
}

// Runs K plain rounds over words lo..w: the power divided in place, the
// terms added with their signs to per-word sums.
void PlainBatch(WordArray& power, std::vector<std::int64_t>& sums, const RoundBatch& batch) {
  auto term = std::make_unique<WordArray>();
  for (std::int32_t j = 0; j < batch.rounds; ++j) {
    DivideInto(power, power, batch.stepDivisor, batch.lo + 1);
    DivideInto(power, *term, batch.counters[j], batch.lo + 1);
    for (std::int32_t i = batch.lo; i <= batch.w; ++i) {
      const auto at = static_cast<std::size_t>(i);
      sums[at] += batch.signs[j] * std::int64_t{(*term)[at]};
    }
  }
}

// The words of sum over i of sums[i] * 2^(-32 i), modulo 2^(32(w+1)).
std::vector<Word> Carried(const std::vector<std::int64_t>& sums) {
  std::vector<Word> words(sums.size());
  std::int64_t carry = 0;
  for (std::size_t i = sums.size(); i-- > 0;) {
    const std::int64_t v = sums[i] + carry;
    words[i] = static_cast<Word>(static_cast<std::uint64_t>(v));
    carry = v >> 32;
  }
  return words;
}

struct BatchKernelEntry {
  const char* variant;
  RoundBatchKernel kernel;
  std::int32_t rounds;
};

constexpr BatchKernelEntry kBatchKernels[] = {
    {"portable", RunRoundBatchPortable, kPortableBatchRounds},
    {"avx2", RunRoundBatchAvx2, kAvx2BatchRounds},
    {"avx512", RunRoundBatchAvx512, kAvx512BatchRounds},
};

const KernelVariant& VariantNamed(const std::string& name) {
  for (const KernelVariant& v : KernelVariants()) {
    if (name == v.name) return v;
  }
  throw std::logic_error("no variant " + name);
}

// The series reach only counters below 2^24 and step divisors below 2^17;
// at the top of both ranges the term remainders of the vector kernels are
// furthest from exact in a double. Random powers, every batch size.
TEST(RoundBatch, MatchesPlainRoundsAtTheLargestCountersAndDivisors) {
  const std::uint64_t seed = testing::TestSeed();
  SCOPED_TRACE(::testing::Message() << "QUARNEL_TEST_SEED=" << seed);
  std::mt19937_64 random(seed);
  constexpr std::int32_t kW = 157;
  W = kW;
  const Word stepDivisors[] = {2, 3'249, 104'976, kMaxWavefrontStepDivisor};
  const Word firstCounters[] = {1, 2'097'153, 9'592'001,
                                static_cast<Word>(kMaxWavefrontCounter) - 2 * kMaxBatchRounds};
  auto start = std::make_unique<WordArray>();
  auto expectedPower = std::make_unique<WordArray>();
  auto power = std::make_unique<WordArray>();
  for (const BatchKernelEntry& entry : kBatchKernels) {
    if (!VariantNamed(entry.variant).supported()) continue;
    SCOPED_TRACE(entry.variant);
    for (const Word d : stepDivisors) {
      for (const Word c0 : firstCounters) {
        for (std::int32_t k = 1; k <= entry.rounds; k += (k < 3 ? 1 : 7)) {
          const std::int32_t lo = static_cast<std::int32_t>(random() % 5);
          for (std::int32_t i = 0; i <= kW; ++i) {
            (*start)[static_cast<std::size_t>(i)] = i < lo ? 0 : testing::RunPatternWord(random);
          }
          std::vector<Word> counters;
          std::vector<std::int32_t> signs;
          for (std::int32_t j = 0; j < k; ++j) {
            counters.push_back(c0 + 2 * static_cast<Word>(j));
            signs.push_back(random() % 2 == 0 ? 1 : -1);
          }
          std::vector<std::int64_t> expectedSums(kW + 1, 0);
          std::vector<std::int64_t> sums(kW + 1, 0);
          *expectedPower = *start;
          *power = *start;
          const RoundBatch plain{expectedPower->data(), expectedSums.data(), lo, kW, d, k,
                                 counters.data(), signs.data()};
          PlainBatch(*expectedPower, expectedSums, plain);
          entry.kernel(RoundBatch{power->data(), sums.data(), lo, kW, d, k, counters.data(),
                                  signs.data()});
          SCOPED_TRACE(::testing::Message() << "D = " << d << ", c0 = " << c0 << ", K = " << k
                                            << ", lo = " << lo);
          ASSERT_TRUE(std::equal(power->begin(), power->begin() + kW + 1, expectedPower->begin()));
          ASSERT_EQ(Carried(sums), Carried(expectedSums));
        }
      }
    }
  }
}

TEST(Dispatch, ChoosesTheLastSupportedVariant) {
  const auto variants = KernelVariants();
  ASSERT_FALSE(variants.empty());
  EXPECT_STREQ(variants.front().name, "plain");
  const KernelVariant* last = nullptr;
  for (const KernelVariant& v : variants) {
    if (v.supported()) last = &v;
  }
  EXPECT_EQ(&BestKernelVariant(), last);
  EXPECT_TRUE(BestKernelVariant().supported());
}

TEST(Dispatch, PortableVariantIsAlwaysAvailableAndNamesAreDistinct) {
  EXPECT_TRUE(VariantNamed("portable").supported());
  std::set<std::string> names;
  for (const KernelVariant& v : KernelVariants()) EXPECT_TRUE(names.insert(v.name).second);
}

}  // namespace
}  // namespace quarnel
