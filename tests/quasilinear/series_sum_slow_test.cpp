// The quasi-linear series sum against the word-array rounds at larger counts.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// The whole computation with the engine: four slots, the combination and the
// conversion, checked against the digits of pi ending at decimal n.
struct PiTail {
  std::int32_t n;
  const char* lastTen;  // decimals n-9..n of pi
};

class WholeEngine : public testing::TestWithParam<PiTail> {};

TEST_P(WholeEngine, EndsWithTheDigitsOfPi) {
  const PiTail tail = GetParam();
  W = tail.n / 8;
  for (int k = 1; k <= kSeriesTaskCount; ++k) {
    SumSeriesQuasiLinear(kSeriesTasks[static_cast<std::size_t>(k - 1)], ResultSlot(k));
  }
  WordArray& pi = ResultSlot(1);
  SubtractWords(pi, ResultSlot(2), 1);
  AddWords(pi, ResultSlot(3), 1);
  SubtractWords(pi, ResultSlot(4), 1);
  ASSERT_EQ(pi[0], 3u);
  std::vector<Word> groups(static_cast<std::size_t>(tail.n / 5));
  ConvertToGroupsQuasiLinear(pi, W, tail.n / 5, groups.data());
  EXPECT_EQ(groups[0], 14159u);
  EXPECT_EQ(groups[1], 26535u);
  std::string last;
  for (std::size_t i = groups.size() - 2; i < groups.size(); ++i) {
    const std::string g = "0000" + std::to_string(groups[i]);
    last += g.substr(g.size() - 5);
  }
  EXPECT_EQ(last, tail.lastTen);
}

INSTANTIATE_TEST_SUITE_P(Digits, WholeEngine,
                         testing::Values(PiTail{200'000, "1444759928"},
                                         PiTail{1'000'000, "5779458151"}));

}  // namespace
}  // namespace quarnel
