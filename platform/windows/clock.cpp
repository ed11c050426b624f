#include "platform/clock.h"

#include <windows.h>

#include <cstdint>

namespace quarnel {

double LocalTimestampNow() {
  SYSTEMTIME local{};
  ::GetLocalTime(&local);
  // The local reading counted as if it were UTC: 100-nanosecond ticks since
  // 1601-01-01 on the local wall clock.
  FILETIME ticks{};
  ::SystemTimeToFileTime(&local, &ticks);
  const std::uint64_t count =
      (static_cast<std::uint64_t>(ticks.dwHighDateTime) << 32) | ticks.dwLowDateTime;
  constexpr std::uint64_t kTicksPerMillisecond = 10'000;
  const std::uint64_t milliseconds = count / kTicksPerMillisecond;
  return static_cast<double>(milliseconds) / (kSecondsPerDay * 1000.0);
}

}  // namespace quarnel
