// Reads an error report back: the checks of its layout that every test of a
// failing run needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarnel::test {

struct ErrorReport {
  std::uint32_t raisedAt = 0;         // the address in the first line
  std::string error;                  // the second line: kind, ": ", message
  std::vector<std::uint32_t> trace;   // the "  $XXXXXXXX" lines, in order
};

// The report in text, or nothing unless text is exactly one report: the
// first line, the error line, at least one trace line, an empty line, each
// ending with CR LF, every address eight upper-case hexadecimal digits.
std::optional<ErrorReport> ParseErrorReport(const std::string& text);

}  // namespace quarnel::test
