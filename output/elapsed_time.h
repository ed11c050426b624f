// The elapsed time of a run as the header line shows it.
#pragma once

#include <string>

#include "platform/regional.h"

namespace quarnel {

// |later - earlier| (day-fraction timestamps) rounded to the millisecond,
// halves away from zero, shown below one day as H:MM:SS on a 24-hour clock
// with whole seconds: the regional time separator, and two-digit hours only
// where the settings ask for a leading zero.
std::string FormatElapsedTime(double earlier, double later, const RegionalSettings& regional);

}  // namespace quarnel
