#include "tests/support/error_report.h"

#include <string_view>

namespace quarnel::test {

namespace {

// Eight upper-case hexadecimal digits as a number.
std::optional<std::uint32_t> Hex8(std::string_view text) {
  if (text.size() != 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char ch : text) {
    std::uint32_t digit = 0;
    if (ch >= '0' && ch <= '9') {
      digit = static_cast<std::uint32_t>(ch - '0');
    } else if (ch >= 'A' && ch <= 'F') {
      digit = static_cast<std::uint32_t>(ch - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value * 16 + digit;
  }
  return value;
}

// Splits text into CR LF terminated lines; nothing if anything is left over.
std::optional<std::vector<std::string_view>> CrLfLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find("\r\n");
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = text.substr(0, end);
    if (line.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
    lines.push_back(line);
    text.remove_prefix(end + 2);
  }
  return lines;
}

}  // namespace

std::optional<ErrorReport> ParseErrorReport(const std::string& text) {
  const auto lines = CrLfLines(text);
  if (!lines || lines->size() < 4 || !lines->back().empty()) return std::nullopt;

  constexpr std::string_view kOpening = "An unhandled exception occurred at $";
  const std::string_view first = (*lines)[0];
  if (first.substr(0, kOpening.size()) != kOpening || first.back() != ':') return std::nullopt;
  const auto raisedAt = Hex8(first.substr(kOpening.size(), first.size() - kOpening.size() - 1));
  if (!raisedAt) return std::nullopt;

  ErrorReport report;
  report.raisedAt = *raisedAt;
  report.error = (*lines)[1];
  for (std::size_t i = 2; i + 1 < lines->size(); ++i) {
    const std::string_view line = (*lines)[i];
    const auto address = line.substr(0, 3) == "  $" ? Hex8(line.substr(3)) : std::nullopt;
    if (!address) return std::nullopt;
    report.trace.push_back(*address);
  }
  return report;
}

}  // namespace quarnel::test
