#include "output/elapsed_time.h"

#include <cmath>
#include <cstdint>

#include "platform/clock.h"

namespace quarnel {

namespace {
std::string TwoDigits(std::int64_t value) {
  return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}
}  // namespace

std::string FormatElapsedTime(double earlier, double later, const RegionalSettings& regional) {
  constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
  const double days = std::fabs(later - earlier);
  // std::round rounds halves away from zero.
  const auto milliseconds =
      static_cast<std::int64_t>(std::round(days * kSecondsPerDay * 1000.0)) % kMillisecondsPerDay;
  const std::int64_t seconds = milliseconds / 1000;
  const std::int64_t hours = seconds / 3600;
  const std::string hourText = regional.hourLeadingZero ? TwoDigits(hours) : std::to_string(hours);
  return hourText + regional.timeSeparator + TwoDigits(seconds / 60 % 60) +
         regional.timeSeparator + TwoDigits(seconds % 60);
}

}  // namespace quarnel
