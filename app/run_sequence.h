// The whole order of a run, from the banner to the closing message.
#pragma once

#include <cstdint>

#include "app/reply_reader.h"

namespace quarnel {

inline constexpr std::int32_t kMinDigits = 1'000;
inline constexpr std::int32_t kMaxDigits = 10'000'000;

// True for a digit count the program computes: a multiple of 1,000 from
// 1,000 to 10,000,000.
constexpr bool IsValidDigitCount(std::int32_t n) {
  return n % 1'000 == 0 && n >= kMinDigits && n <= kMaxDigits;
}

// Asks for a digit count until a valid one is given. The end of input before
// one raises EInOutError "Read past end of file" (100): asking again would
// never end.
std::int32_t AskDigitCount(ReplyReader& reader);

// Runs the program; errors pass through to the caller.
void RunSequence(ReplyReader& reader);

// The entry point's work: the run, and the error report with status 217 for
// an error that ends it. Returns the exit status.
int RunProgram();

}  // namespace quarnel
