// The local clock as a day-fraction timestamp: the integer part counts days,
// the fraction is the time of day. Only differences of two readings matter.
#pragma once

namespace quarnel {

inline constexpr double kSecondsPerDay = 86'400.0;

// The current local date and time, to the millisecond.
double LocalTimestampNow();

}  // namespace quarnel
