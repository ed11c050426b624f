// The user's regional settings for the texts the program renders.
#pragma once

#include <string>

namespace quarnel {

struct RegionalSettings {
  std::string thousandsSeparator = ",";  // may be empty, or one multi-byte character
  char timeSeparator = ':';
  bool hourLeadingZero = false;
};

// Reads the settings once from the environment's locale; where it gives none
// (no locale, C or POSIX) the defaults above apply.
RegionalSettings ReadRegionalSettings();

}  // namespace quarnel
