#include "fixedpoint/word_array.h"

#include <gtest/gtest.h>

#include <memory>

namespace quarnel {
namespace {

TEST(DivideInPlace, FortyEightOverEighteenIsTwoAndTwoThirds) {
  W = 125;
  auto a = std::make_unique<WordArray>();
  ClearWords(*a);
  (*a)[0] = 48;
  std::int32_t s = 1;
  DivideInPlace(*a, 18, s);
  EXPECT_EQ((*a)[0], 2u);
  for (int i = 1; i <= W; ++i) EXPECT_EQ((*a)[static_cast<std::size_t>(i)], 0xAAAAAAAAu) << i;
  EXPECT_EQ(s, 1);
}

}  // namespace
}  // namespace quarnel
