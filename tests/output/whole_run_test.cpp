// The program itself, run as a child with its reply piped in, in a scratch
// working directory: the whole console transcript, the exit status and the
// result file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/output/output_test_support.h"

namespace quarnel {
namespace {

using testing::ExpectedBody;
using testing::FixtureDecimals;
using testing::ReadWholeFile;
using testing::RunChild;
using testing::TempDir;

// True when text is prefix, then `count` characters each in `allowed`.
bool IsPrefixAndChars(const std::string& text, const std::string& prefix, std::size_t count,
                      const std::string& allowed) {
  return text.size() == prefix.size() + count && text.starts_with(prefix) &&
         text.find_first_not_of(allowed, prefix.size()) == std::string::npos;
}

// The text split at CR LF; the part after the last CR LF comes last.
std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(text.substr(at, end - at));
  }
  lines.push_back(text.substr(at));
  return lines;
}

TEST(WholeRun, ThousandDigitsGiveTheTypicalTranscriptAndFile) {
  TempDir dir;
  const testing::ChildResult run =
      RunChild(QUARNEL_PROGRAM, "1000\n", dir.Path().string(), {"LC_ALL=C", "LANG=C"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");

  const std::vector<std::string> lines = SplitCrLf(run.out);
  ASSERT_EQ(lines.size(), 16u) << run.out;
  EXPECT_TRUE(lines[0].starts_with("Quarnel version 3.10 ")) << lines[0];
  EXPECT_TRUE(lines[0].ends_with(" / multithread - parallel processing")) << lines[0];
  EXPECT_EQ(lines[1], "");
  // The prompt's line is ended by the empty line written after the reply.
  EXPECT_EQ(lines[2], "Digits to calculate (multiple of 1,000, upto 10,000,000) = ");
  EXPECT_EQ(lines[3], "1,000 digits of the PI calculation started...");
  // Eight task lines in an order that depends on the processors; each task
  // starts before it finishes.
  const std::vector<std::string> taskLines(lines.begin() + 4, lines.begin() + 12);
  std::set<std::string> seen(taskLines.begin(), taskLines.end());
  std::set<std::string> want;
  for (int k = 1; k <= 4; ++k) {
    const std::string task = "Thread " + std::to_string(k);
    want.insert(task + " started");
    want.insert(task + " finished");
    const auto started = std::find(taskLines.begin(), taskLines.end(), task + " started");
    const auto finished = std::find(taskLines.begin(), taskLines.end(), task + " finished");
    EXPECT_LT(started, finished) << task;
  }
  EXPECT_EQ(seen, want);
  EXPECT_EQ(lines[12], "Calculation finished.");
  EXPECT_EQ(lines[13], "Now converting the result to decimal");
  EXPECT_EQ(lines[14], "Finished successfully. Saved in pi.txt.");
  EXPECT_EQ(lines[15], "") << "nothing after the last line end";

  const std::string file = ReadWholeFile(dir.File("pi.txt"));
  const std::size_t headerEnd = file.find("\r\n");
  ASSERT_NE(headerEnd, std::string::npos);
  // A run of 1,000 digits takes well under ten seconds.
  EXPECT_TRUE(IsPrefixAndChars(file.substr(0, headerEnd),
                               "1,000 digits of the PI.  Caliculation time:0:00:0", 1, "0123456789"))
      << file.substr(0, headerEnd);
  EXPECT_EQ(file.substr(headerEnd + 2), ExpectedBody(FixtureDecimals(1'000)));
}

TEST(WholeRun, AFileThatCannotBeCreatedEndsTheRunWithStatus217) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "pi.txt");
  const testing::ChildResult run =
      RunChild(QUARNEL_PROGRAM, "1000\n", dir.Path().string(), {"LC_ALL=C", "LANG=C"});
  EXPECT_EQ(run.status, 217);
  EXPECT_TRUE(run.out.ends_with("Now converting the result to decimal\r\n")) << run.out;
  const std::vector<std::string> report = SplitCrLf(run.err);
  ASSERT_GE(report.size(), 4u) << run.err;
  EXPECT_TRUE(report[0].ends_with(":") &&
              IsPrefixAndChars(report[0].substr(0, report[0].size() - 1),
                               "An unhandled exception occurred at $", 8, "0123456789ABCDEF"))
      << report[0];
  EXPECT_EQ(report[1], "EInOutError: Access denied");
  EXPECT_TRUE(run.err.ends_with("\r\n\r\n"));
}

}  // namespace
}  // namespace quarnel
