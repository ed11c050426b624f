#include "tests/faults/transcript.h"

#include <sched.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace quarnel::testing {

namespace {

constexpr const char* kReportHeader = "An unhandled exception occurred at $";
constexpr const char* kTraceLead = "  $";

bool IsHex8(const std::string& text) {
  if (text.size() != 8) return false;
  for (const char ch : text) {
    if (!std::isdigit(static_cast<unsigned char>(ch)) && (ch < 'A' || ch > 'F')) return false;
  }
  return true;
}

// "H:MM:SS" or "HH:MM:SS" with the default separator.
bool IsElapsedTime(const std::string& text) {
  const std::size_t hours = text.size() == 7 ? 1 : 2;
  if (text.size() != hours + 6 || text[hours] != ':' || text[hours + 3] != ':') return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != hours && i != hours + 3 && !std::isdigit(static_cast<unsigned char>(text[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsBanner(const std::string& line) {
  const std::string head = "Quarnel version 3.10 ";
  const std::string tail = " / multithread - parallel processing";
  return line.size() > head.size() + tail.size() && line.starts_with(head) &&
         line.ends_with(tail);
}

std::optional<std::vector<std::string>> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t end = text.find("\r\n", from);
    if (end == std::string::npos) return std::nullopt;  // an unfinished last line
    std::string line = text.substr(from, end - from);
    if (line.find_first_of("\r\n") != std::string::npos) return std::nullopt;
    lines.push_back(std::move(line));
    from = end + 2;
  }
  return lines;
}

::testing::AssertionResult IsErrorReport(const std::string& text,
                                         const std::string& kindAndMessage) {
  auto fail = [&](const std::string& why) {
    return ::testing::AssertionFailure() << why << " in the error report:\n" << text;
  };
  const auto lines = CrLfLines(text);
  if (!lines) return fail("a line not ending with CR LF");
  if (lines->size() < 4) return fail("fewer than four lines");
  const std::string& header = lines->front();
  const std::size_t lead = std::string(kReportHeader).size();
  if (!header.starts_with(kReportHeader) || header.size() != lead + 9 || header.back() != ':' ||
      !IsHex8(header.substr(lead, 8))) {
    return fail("a malformed header line");
  }
  if ((*lines)[1] != kindAndMessage) return fail("not \"" + kindAndMessage + "\"");
  if (!lines->back().empty()) return fail("no empty last line");
  for (std::size_t i = 2; i + 1 < lines->size(); ++i) {
    const std::string& trace = (*lines)[i];
    if (!trace.starts_with(kTraceLead) || !IsHex8(trace.substr(3)) || trace.size() != 11) {
      return fail("a malformed trace line");
    }
  }
  if ((*lines)[2].substr(3) != header.substr(lead, 8)) {
    return fail("a first trace line other than the raising address");
  }
  return ::testing::AssertionSuccess();
}

std::string KnownPiDecimals(int count) {
  // The first 1,000 decimals, from bc -l: 4*a(1) at scale 1010.
  const auto fixture =
      ReadWholeFile(std::string(QUARNEL_SOURCE_DIR) + "/tests/faults/data/pi_1000_digits.txt");
  std::string digits;
  for (const char ch : fixture.value_or("")) {
    if (std::isdigit(static_cast<unsigned char>(ch))) digits += ch;
  }
  return digits.substr(0, static_cast<std::size_t>(count));
}

std::string ExpectedPiBody(int n) {
  const std::string digits = KnownPiDecimals(n);
  std::string body = "3.\r\n";
  for (std::size_t i = 0; i < digits.size(); i += 10) {
    body += digits.substr(i, 10);
    body += (i + 10) % 50 == 0 ? "\r\n" : " ";
  }
  return body;
}

::testing::AssertionResult IsResultFileOf1000(const std::string& file) {
  const std::size_t headerEnd = file.find("\r\n");
  if (headerEnd == std::string::npos) return ::testing::AssertionFailure() << "no header line";
  const std::string header = file.substr(0, headerEnd);
  const std::string rendered = "1,000 digits of the PI.  Caliculation time:";
  if (!header.starts_with(rendered) || !IsElapsedTime(header.substr(rendered.size()))) {
    return ::testing::AssertionFailure() << "header line \"" << header << "\"";
  }
  if (file.substr(headerEnd + 2) != ExpectedPiBody(1'000)) {
    return ::testing::AssertionFailure() << "digits differ from the known digits of pi";
  }
  return ::testing::AssertionSuccess();
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

TempDir::TempDir() {
  // mkdtemp replaces the six trailing X.
  std::string pattern =
      std::filesystem::temp_directory_path().string() + "/quarnel-faults-" + std::string(6, 'X');
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  // Open to every user: some children run unprivileged.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all |
                                          std::filesystem::perms::group_read |
                                          std::filesystem::perms::group_exec |
                                          std::filesystem::perms::others_read |
                                          std::filesystem::perms::others_exec);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<int> UsableProcessors() {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  std::vector<int> cpus;
  if (sched_getaffinity(0, sizeof mask, &mask) != 0) return cpus;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(static_cast<std::size_t>(cpu), &mask)) cpus.push_back(cpu);
  }
  return cpus;
}

}  // namespace quarnel::testing
