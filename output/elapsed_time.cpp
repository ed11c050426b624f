#include "output/elapsed_time.h"

#include <cmath>
#include <cstdint>

namespace quarnel {

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
// The difference is first counted in units of 10 microseconds.
constexpr double kTicksPerDay = 8'640'000'000.0;
constexpr std::int64_t kTicksPerMillisecond = 100;

std::string TwoDigits(std::int64_t value) {
  return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

}  // namespace

std::string FormatElapsedTime(double earlier, double later, const RegionalSettings& regional) {
  // The difference first: two readings of today's magnitude (tens of
  // thousands of days) subtract exactly, while each alone resolves only about
  // a microsecond. Only the part below one day is shown; fmod is exact.
  const double days = std::fmod(std::fabs(later - earlier), 1.0);
  // Settled to 10-microsecond ticks, finer than a millisecond yet coarser
  // than the readings' error, so a difference meant as x.9995 s counts as
  // exactly half a millisecond above x.999 s; then rounded to the
  // millisecond, halves away from zero. A rounding up to a whole day shows
  // as 0:00:00.
  const std::int64_t ticks = std::llround(days * kTicksPerDay);
  const std::int64_t milliseconds =
      (ticks + kTicksPerMillisecond / 2) / kTicksPerMillisecond % kMillisecondsPerDay;
  const std::int64_t seconds = milliseconds / 1000;
  const std::int64_t hours = seconds / 3600;
  const std::string hourText = regional.hourLeadingZero ? TwoDigits(hours) : std::to_string(hours);
  return hourText + regional.timeSeparator + TwoDigits(seconds / 60 % 60) + regional.timeSeparator +
         TwoDigits(seconds % 60);
}

}  // namespace quarnel
