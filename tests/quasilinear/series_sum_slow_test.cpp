// The quasi-linear series sum against the word-array rounds at larger counts.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "fixedpoint/quasilinear/quasilinear.h"
#include "series/series_tasks.h"

namespace quarnel {
namespace {

class LargeCount : public testing::TestWithParam<std::int32_t> {};

TEST_P(LargeCount, MatchesTheRoundsForEveryTask) {
  W = GetParam() / 8;
  for (int task = 1; task <= kSeriesTaskCount; ++task) {
    const SeriesRecipe& recipe = kSeriesTasks[static_cast<std::size_t>(task - 1)];
    auto reference = std::make_unique<WordArray>();
    auto engine = std::make_unique<WordArray>();
    const SeriesOutcome expected = SumSeriesPlain(recipe, *reference);
    const SeriesOutcome got = SumSeriesQuasiLinear(recipe, *engine);
    EXPECT_EQ(got.rounds, expected.rounds) << task;
    EXPECT_EQ(got.finalCounter, expected.finalCounter) << task;
    int first = -1;
    for (int i = 0; i <= W && first < 0; ++i) {
      if ((*reference)[static_cast<std::size_t>(i)] != (*engine)[static_cast<std::size_t>(i)]) {
        first = i;
      }
    }
    EXPECT_EQ(first, -1) << "task " << task;
  }
}

INSTANTIATE_TEST_SUITE_P(Digits, LargeCount, testing::Values(50'000, 100'000, 200'000));

}  // namespace
}  // namespace quarnel
