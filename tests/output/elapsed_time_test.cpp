// The elapsed time text, from pairs of day-fraction timestamps taken at
// realistic dates as well as near the origin.
#include "output/elapsed_time.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/clock.h"

namespace quarnel {
namespace {

struct ElapsedCase {
  const char* why;
  double seconds;  // later - earlier
  RegionalSettings regional;
  const char* text;
};

void PrintTo(const ElapsedCase& c, std::ostream* out) { *out << c.why; }

const RegionalSettings kDefaults{};
const RegionalSettings kLeadingZero{",", ':', true};
const RegionalSettings kDotSeparator{".", '.', false};

const ElapsedCase kCases[] = {
    {"a run of 42 seconds", 42.0, kDefaults, "0:00:42"},
    {"hours with a leading zero where asked", 42.0, kLeadingZero, "00:00:42"},
    {"the regional time separator", 42.0, kDotSeparator, "0.00.42"},
    {"two-digit hours need no leading zero", 13 * 3600.0 + 5 * 60 + 9, kDefaults, "13:05:09"},
    {"two-digit hours with the leading zero", 13 * 3600.0 + 5 * 60 + 9, kLeadingZero, "13:05:09"},
    {"only the part below one day: 25 h 3 min", 25 * 3600.0 + 3 * 60, kDefaults, "1:03:00"},
    {"a negative difference shows its absolute value", -42.0, kDefaults, "0:00:42"},
    {"negative and over a day", -(25 * 3600.0 + 3 * 60), kDefaults, "1:03:00"},
    {"x.4995 s rounds to x.500 s, still x whole seconds", 42.4995, kDefaults, "0:00:42"},
    {"x.9995 s rounds up to the next second", 42.9995, kDefaults, "0:00:43"},
    {"x.9994 s rounds down", 42.9994, kDefaults, "0:00:42"},
    {"negative x.9995 s rounds away from zero", -42.9995, kDefaults, "0:00:43"},
    {"milliseconds are dropped, not rounded", 59.999, kDefaults, "0:00:59"},
    {"a whole minute after rounding", 59.9996, kDefaults, "0:01:00"},
    {"just below a day rounds up to the next day, shown as 0", 86'399.9995, kDefaults, "0:00:00"},
    {"nothing elapsed", 0.0, kDefaults, "0:00:00"},
};

// Start readings: the origin, today's dates and the far future, with
// fractions that are not binary.
const double kStarts[] = {0.0, 20'437.613'25, 45'000.3, 45'678.987'654'321, 73'000.999};

class ElapsedTimeText : public ::testing::TestWithParam<ElapsedCase> {};

TEST_P(ElapsedTimeText, IsTheSameAtEveryDate) {
  const ElapsedCase& c = GetParam();
  for (const double start : kStarts) {
    const double later = start + c.seconds / kSecondsPerDay;
    EXPECT_EQ(FormatElapsedTime(start, later, c.regional), c.text) << c.why << ", start " << start;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ElapsedTimeText, ::testing::ValuesIn(kCases));

TEST(ElapsedTimeText, ClockReadingsOfWholeMillisecondsGiveTheirDifference) {
  // Readings as the clock makes them, milliseconds over milliseconds per day;
  // every difference from 0 to 3 s in 1 ms steps, at a date of today.
  const long long startMs = 1'765'000'000'123LL + 3'600'000LL;
  const double start = static_cast<double>(startMs) / 86'400'000.0;
  for (int ms = 0; ms <= 3'000; ++ms) {
    const double later = static_cast<double>(startMs + ms) / 86'400'000.0;
    const std::string want = "0:00:0" + std::to_string(ms / 1000);
    ASSERT_EQ(FormatElapsedTime(start, later, {}), want) << ms << " ms";
  }
}

}  // namespace
}  // namespace quarnel
