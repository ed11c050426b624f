// Every series kernel against the plain rounds, slot word for word, and the
// plain rounds against the exact integer the series stands for (GMP).
#include <gmp.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "fixedpoint/kernels.h"
#include "series/series_tasks.h"
#include "tests/kernels/kernel_variants.h"

namespace quarnel {
namespace {

using testing::AllVariantIndices;
using testing::VariantName;

struct Reference {
  std::unique_ptr<WordArray> slot;
  SeriesOutcome outcome;
};

// The plain sum of task k at digit count n, computed once per process.
const Reference& PlainSum(std::int32_t n, int k) {
  static std::map<std::pair<std::int32_t, int>, Reference> cache;
  auto [it, fresh] = cache.try_emplace({n, k});
  if (fresh) {
    W = n / 8;
    it->second.slot = std::make_unique<WordArray>();
    it->second.slot->fill(0x5A5A5A5Au);  // the plain sum rewrites every word
    it->second.outcome =
        SumSeriesPlain(kSeriesTasks[static_cast<std::size_t>(k - 1)], *it->second.slot);
  }
  return it->second;
}

class SeriesKernel : public ::testing::TestWithParam<std::size_t> {};

// Digit counts: the smallest; batch counts that leave every remainder of a
// batch; and one large enough for words well past the first batches.
#ifdef QUARNEL_SLOW_SIZES
constexpr std::int32_t kDigitCounts[] = {100'000};
#else
constexpr std::int32_t kDigitCounts[] = {1'000, 2'000, 3'000, 8'000, 13'000, 40'000};
#endif

TEST_P(SeriesKernel, SlotsAndOutcomesMatchThePlainSum) {
  QUARNEL_VARIANT_OR_SKIP(GetParam());
  auto slot = std::make_unique<WordArray>();
  for (const std::int32_t n : kDigitCounts) {
    for (int k = 1; k <= kSeriesTaskCount; ++k) {
      SCOPED_TRACE(::testing::Message() << "N = " << n << ", task " << k);
      const Reference& reference = PlainSum(n, k);
      W = n / 8;
      slot->fill(0xA5A5A5A5u);
      const SeriesOutcome outcome =
          variant.sumSeries(kSeriesTasks[static_cast<std::size_t>(k - 1)], *slot);
      EXPECT_EQ(outcome.rounds, reference.outcome.rounds);
      EXPECT_EQ(outcome.finalCounter, reference.outcome.finalCounter);
      std::size_t mismatches = 0;
      for (std::size_t i = 0; i < slot->size() && mismatches < 5; ++i) {
        if ((*slot)[i] != (*reference.slot)[i]) {
          ADD_FAILURE() << "word " << i << ": " << (*slot)[i] << " != " << (*reference.slot)[i];
          ++mismatches;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, SeriesKernel, ::testing::ValuesIn(AllVariantIndices()),
                         VariantName);

#ifndef QUARNEL_SLOW_SIZES

// Words 0..w of the series integer: floor(P0/c_0) + sum of sign_j * floor(P_j/c_j)
// modulo 2^(32(w+1)), P0 = floor(coefficient * 2^(32w) / firstDivisor),
// P_j = floor(P0 / D^j), over the rounds j = 1.. up to the first P_j < 2^32.
std::pair<std::vector<Word>, SeriesOutcome> SeriesInteger(const SeriesRecipe& recipe,
                                                          std::int32_t w) {
  mpz_t p, term, sum, limit;
  mpz_inits(p, term, sum, limit, nullptr);
  mpz_set_ui(p, recipe.coefficient);
  mpz_mul_2exp(p, p, 32 * static_cast<mp_bitcnt_t>(w));
  mpz_fdiv_q_ui(p, p, recipe.firstDivisor);
  std::int32_t c = recipe.counterStart;
  mpz_fdiv_q_ui(sum, p, static_cast<unsigned long>(c));
  mpz_set_ui(limit, 1);
  mpz_mul_2exp(limit, limit, 32);
  SeriesOutcome outcome{0, c};
  do {
    c += recipe.counterStep;
    mpz_fdiv_q_ui(p, p, recipe.stepDivisor);
    mpz_fdiv_q_ui(term, p, static_cast<unsigned long>(c));
    if (TermIsAdded(recipe.sign, c)) {
      mpz_add(sum, sum, term);
    } else {
      mpz_sub(sum, sum, term);
    }
    ++outcome.rounds;
  } while (mpz_cmp(p, limit) >= 0);
  outcome.finalCounter = c;
  mpz_fdiv_r_2exp(sum, sum, 32 * (static_cast<mp_bitcnt_t>(w) + 1));
  std::vector<Word> words(static_cast<std::size_t>(w) + 1, 0);
  std::size_t count = 0;
  std::vector<Word> exported(words.size() + 1);
  mpz_export(exported.data(), &count, 1, sizeof(Word), 0, 0, sum);
  std::copy(exported.begin(), exported.begin() + static_cast<std::ptrdiff_t>(count),
            words.end() - static_cast<std::ptrdiff_t>(count));
  mpz_clears(p, term, sum, limit, nullptr);
  return {words, outcome};
}

// The plain rounds are the integer the header of series_rounds.h states, so
// the kernels held to them compute that integer too.
TEST(SeriesInteger, PlainRoundsSumTheSeriesInteger) {
  for (const std::int32_t n : {1'000, 3'000, 8'000}) {
    for (int k = 1; k <= kSeriesTaskCount; ++k) {
      SCOPED_TRACE(::testing::Message() << "N = " << n << ", task " << k);
      const auto [words, outcome] = SeriesInteger(kSeriesTasks[static_cast<std::size_t>(k - 1)],
                                                  n / 8);
      const Reference& reference = PlainSum(n, k);
      EXPECT_EQ(reference.outcome.rounds, outcome.rounds);
      EXPECT_EQ(reference.outcome.finalCounter, outcome.finalCounter);
      for (std::size_t i = 0; i < words.size(); ++i) {
        ASSERT_EQ((*reference.slot)[i], words[i]) << "word " << i;
      }
    }
  }
}

// A recipe beyond the bounds the wavefront is proven for (a step divisor of
// 2^17 or more) still gets the plain result from every variant.
TEST_P(SeriesKernel, RecipeBeyondTheWavefrontBoundsMatchesThePlainSum) {
  QUARNEL_VARIANT_OR_SKIP(GetParam());
  const SeriesRecipe wide{7, 3, 1, 200'003, 2, TermSign::kAlternateByCounter};
  W = 300;
  auto expected = std::make_unique<WordArray>();
  auto slot = std::make_unique<WordArray>();
  const SeriesOutcome plain = SumSeriesPlain(wide, *expected);
  const SeriesOutcome outcome = variant.sumSeries(wide, *slot);
  EXPECT_EQ(outcome.rounds, plain.rounds);
  EXPECT_EQ(outcome.finalCounter, plain.finalCounter);
  EXPECT_TRUE(std::equal(slot->begin(), slot->begin() + W + 1, expected->begin()));
}

#endif

}  // namespace
}  // namespace quarnel
