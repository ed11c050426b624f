// What the program writes, as the black-box tests expect it: console lines,
// the error report and the result file, checked byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quarnel::testing {

inline constexpr const char* kPrompt =
    "Digits to calculate (multiple of 1,000, upto 10,000,000) = ";
inline constexpr const char* kStartLine1000 = "1,000 digits of the PI calculation started...";
inline constexpr const char* kCalculationFinished = "Calculation finished.";
inline constexpr const char* kConverting = "Now converting the result to decimal";
inline constexpr const char* kFinished = "Finished successfully. Saved in pi.txt.";

// The banner: its version and closing words are fixed, the owner notice
// between them is the program's own.
bool IsBanner(const std::string& line);

// Splits text into its lines, each of which must end with CR LF; nothing
// when a line ends otherwise or a CR or LF stands alone.
std::optional<std::vector<std::string>> CrLfLines(const std::string& text);

// Success when `text` is exactly one error report for `kindAndMessage`
// ("EInOutError: Disk Full"): the header with its address, the kind and
// message, at least one trace line (the first being the raising address)
// and an empty line, every line ending with CR LF.
::testing::AssertionResult IsErrorReport(const std::string& text,
                                         const std::string& kindAndMessage);

// The first `count` decimals of pi (count up to 1,000), from a fixture
// computed independently of the program.
std::string KnownPiDecimals(int count);

// The result file for n decimals without its header line: "3." and the
// digit lines, each ending with CR LF.
std::string ExpectedPiBody(int n);

// Success when `file` is the complete result file for 1,000 decimals, its
// header line well formed.
::testing::AssertionResult IsResultFileOf1000(const std::string& file);

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// A fresh directory under the system's temporary directory, removed with
// everything in it at destruction (if it still exists).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The processors this process may run on.
std::vector<int> UsableProcessors();

}  // namespace quarnel::testing
