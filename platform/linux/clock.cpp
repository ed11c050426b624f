#include "platform/clock.h"

#include <ctime>

namespace quarnel {

double LocalTimestampNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  // Days since the epoch in local time; the offset from UTC turns the
  // system's UTC count into the local wall-clock reading.
  const long long localSeconds = static_cast<long long>(now.tv_sec) + local.tm_gmtoff;
  const long long milliseconds = localSeconds * 1000 + now.tv_nsec / 1'000'000;
  return static_cast<double>(milliseconds) / (kSecondsPerDay * 1000.0);
}

}  // namespace quarnel
