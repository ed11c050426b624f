// The digit count as people read it, in the header line and on the console.
#include "output/number_display.h"

#include <gtest/gtest.h>

namespace quarnel {
namespace {

struct RenderCase {
  std::int32_t n;
  const char* separator;
  const char* text;
};

TEST(RenderDigitCount, PutsTheSeparatorBetweenGroupsOfThree) {
  const RenderCase cases[] = {
      {1'000, ",", "1,000"},            // the smallest count
      {10'000'000, ",", "10,000,000"},  // the largest
      {100'000, ",", "100,000"},        // a full leading group
      {999, ",", "999"},                // no separator at all
      {2'000'000, ".", "2.000.000"},    // another regional separator
      {1'234'000, "", "1234000"},       // a setting that is present but empty
      {-1'000, ",", "-1,000"},          // the sign stays outside the groups
  };
  for (const RenderCase& c : cases) EXPECT_EQ(RenderDigitCount(c.n, c.separator), c.text) << c.n;
}

}  // namespace
}  // namespace quarnel
