// The result file: pi in decimal with a header line.
//
//   line 1:  "<N rendered> digits of the PI.  Caliculation time:<elapsed>"
//   line 2:  the integer part and "."
//   then N/50 lines of fifty decimals in five blocks of ten, one blank
//   between blocks; every line ends with CR LF.
#pragma once

#include <cstdint>

#include "platform/regional.h"

namespace quarnel {

struct ResultFileSetting {
  const char* path = "pi.txt";
  double (*clock)() = nullptr;  // null: the local clock
  const RegionalSettings* regional = nullptr;  // null: the user's settings
};

// Converts result slot 1 (consumed) to n decimals and writes the file,
// created or emptied, the groups written as they are converted. The elapsed
// time is the clock reading taken just after the file is opened, less
// startTime. Any failure to open, write or close raises EInOutError at once
// and leaves the file incomplete.
void WriteResultFile(std::int32_t n, std::int32_t w, double startTime,
                     const ResultFileSetting& setting = {});

}  // namespace quarnel
