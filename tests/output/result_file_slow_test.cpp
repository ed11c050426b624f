// 100,000 digits through the whole computation, compared with the fixture.
// Slow with the plain kernels, hence a test of its own.
#include <gtest/gtest.h>

#include "fixedpoint/word_array.h"
#include "output/result_file.h"
#include "series/combine.h"
#include "tests/output/output_test_support.h"

namespace quarnel {
namespace {

double Noon() { return 45'000.5; }

TEST(ResultFile, HundredThousandDigitsMatchTheFixture) {
  testing::TempDir dir;
  const std::string path = dir.File("pi.txt");
  const RegionalSettings regional{};
  W = 100'000 / 8;
  RunAndCombine();
  WriteResultFile(100'000, W, Noon() - 75.0 / 86'400.0, {path.c_str(), Noon, &regional});
  EXPECT_EQ(testing::ReadWholeFile(path),
            "100,000 digits of the PI.  Caliculation time:0:01:15\r\n" +
                testing::ExpectedBody(testing::FixtureDecimals(100'000)));
}

}  // namespace
}  // namespace quarnel
