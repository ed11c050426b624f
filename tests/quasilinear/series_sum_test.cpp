// The quasi-linear series sum against the word-array rounds, bit for bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "fixedpoint/quasilinear/quasilinear.h"
#include "fixedpoint/quasilinear/series_sum.h"
#include "series/series_tasks.h"

namespace quarnel {
namespace {

struct Slots {
  std::unique_ptr<WordArray> reference = std::make_unique<WordArray>();
  std::unique_ptr<WordArray> engine = std::make_unique<WordArray>();
};

// Index of the first word of 0..W where the two arrays differ, or -1.
int FirstDifference(const WordArray& a, const WordArray& b) {
  for (int i = 0; i <= W; ++i) {
    if (a[static_cast<std::size_t>(i)] != b[static_cast<std::size_t>(i)]) return i;
  }
  return -1;
}

// Runs task `task` both ways at digit count n and expects identical results.
void ExpectSameAsRounds(std::int32_t n, int task, const SeriesSumTuning& tuning = {}) {
  W = n / 8;
  const SeriesRecipe& recipe = kSeriesTasks[static_cast<std::size_t>(task - 1)];
  Slots s;
  s.engine->fill(0x5A5A5A5Au);  // every word must be written
  const SeriesOutcome expected = SumSeriesPlain(recipe, *s.reference);
  SeriesOutcome got{};
  ASSERT_TRUE(SumSeriesCertified(recipe, *s.engine, got, tuning)) << "N " << n << " task " << task;
  EXPECT_EQ(got.rounds, expected.rounds) << "N " << n << " task " << task;
  EXPECT_EQ(got.finalCounter, expected.finalCounter) << "N " << n << " task " << task;
  EXPECT_EQ(FirstDifference(*s.reference, *s.engine), -1) << "N " << n << " task " << task;
}

TEST(SumSeriesQuasiLinear, MatchesTheRoundsForEveryTask) {
  // Smallest count, an odd word count, counts that are not powers of two.
  for (std::int32_t n : {1'000, 3'000, 7'000, 12'000}) {
    for (int task = 1; task <= kSeriesTaskCount; ++task) ExpectSameAsRounds(n, task);
  }
}

TEST(SumSeriesQuasiLinear, KnownRoundCountsAtOneThousandDigits) {
  W = 125;
  const SeriesOutcome expected[] = {{238, 953}, {238, 955}, {341, 683}, {251, 503}};
  for (int task = 1; task <= kSeriesTaskCount; ++task) {
    auto slot = std::make_unique<WordArray>();
    const SeriesOutcome got =
        SumSeriesQuasiLinear(kSeriesTasks[static_cast<std::size_t>(task - 1)], *slot);
    EXPECT_EQ(got.rounds, expected[task - 1].rounds) << task;
    EXPECT_EQ(got.finalCounter, expected[task - 1].finalCounter) << task;
  }
}

TEST(SumSeriesQuasiLinear, EveryBlockShapeGivesTheSameSlot) {
  // One round per block (the tree all the way down), a prime block length,
  // and blocks longer than some whole series.
  for (std::int64_t blockRounds : {1, 7, 500}) {
    SeriesSumTuning tuning;
    tuning.blockRounds = blockRounds;
    for (int task = 1; task <= kSeriesTaskCount; ++task) ExpectSameAsRounds(3'000, task, tuning);
  }
}

TEST(SumSeriesQuasiLinear, ExactBlockStartsGiveTheSameSlot) {
  // A margin of a quarter of the circle sends about half the blocks through
  // the direct computation from P0.
  SeriesSumTuning tuning;
  tuning.exactMargin = std::uint64_t{1} << 62;
  tuning.blockRounds = 5;
  for (int task = 1; task <= kSeriesTaskCount; ++task) ExpectSameAsRounds(2'000, task, tuning);
}

TEST(SumSeriesQuasiLinear, CertificateCatchesWrongFractions) {
  // Fractions off by 2^-24 each put the sum far from any integer: the engine
  // must refuse rather than round, and the public entry falls back.
  W = 125;
  SeriesSumTuning tuning;
  tuning.fractionFault = std::uint64_t{1} << 40;
  Slots s;
  SeriesOutcome got{};
  for (const SeriesRecipe& recipe : kSeriesTasks) {
    EXPECT_FALSE(SumSeriesCertified(recipe, *s.engine, got, tuning));
  }
  SumSeriesPlain(kSeriesTasks[2], *s.reference);
  SumSeriesQuasiLinear(kSeriesTasks[2], *s.engine);
  EXPECT_EQ(FirstDifference(*s.reference, *s.engine), -1);
}

TEST(SumSeriesQuasiLinear, RecipesOutsideTheInvariantFallBack) {
  // A zero coefficient leaves the power zero, so the leading index no longer
  // follows its first non-zero word and the rounds just walk it to W.
  W = 125;
  const SeriesRecipe odd{0, 57, 1, 3'249, 2, TermSign::kAlternateByCounter};
  Slots s;
  SeriesOutcome got{};
  EXPECT_FALSE(SumSeriesCertified(odd, *s.engine, got));
  const SeriesOutcome expected = SumSeriesPlain(odd, *s.reference);
  const SeriesOutcome fallback = SumSeriesQuasiLinear(odd, *s.engine);
  EXPECT_EQ(fallback.rounds, expected.rounds);
  EXPECT_EQ(FirstDifference(*s.reference, *s.engine), -1);
}

}  // namespace
}  // namespace quarnel
