// The whole program run as a child process: the exact bytes of its standard
// output and standard error, its exit status and the files it leaves.
#include <gtest/gtest.h>
#include <locale.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/error_report.h"

namespace quarnel {
namespace {

using test::ChildResult;
using test::ChildSetting;
using test::Stream;

const std::string kBanner =
    "Quarnel version 3.10 (c) the Quarnel authors / multithread - parallel processing\r\n";
const std::string kPrompt = "Digits to calculate (multiple of 1,000, upto 10,000,000) = ";
const std::string kFirstDigitLine = "1415926535 8979323846 2643383279 5028841971 6939937510\r\n";

// The environment with no regional settings at all.
std::vector<std::pair<std::string, std::optional<std::string>>> NoLocale() {
  return {{"LC_ALL", std::nullopt},  {"LC_NUMERIC", std::nullopt}, {"LC_TIME", std::nullopt},
          {"LC_CTYPE", std::nullopt}, {"LANG", std::nullopt},      {"LANGUAGE", std::nullopt}};
}

// Runs the program in `directory` with the given input and no locale.
ChildResult RunProgramIn(const test::TemporaryDirectory& directory, const std::string& input,
                ChildSetting setting = {}) {
  setting.input = input;
  setting.workingDirectory = directory.Path();
  auto environment = NoLocale();
  for (const auto& entry : setting.environment) environment.push_back(entry);
  setting.environment = environment;
  return test::RunChild(QUARNEL_PROGRAM, setting);
}

bool HasResultFile(const test::TemporaryDirectory& directory) {
  return std::filesystem::exists(directory.Path() / "pi.txt");
}

std::string ResultFile(const test::TemporaryDirectory& directory) {
  return test::ReadWholeFile(directory.Path() / "pi.txt");
}

// The standard output of a complete run for a rendered digit count, with
// the task lines (whose order depends on the processors) left out.
std::string CompleteRun(const std::string& prompts, const std::string& rendered) {
  return kBanner + "\r\n" + prompts + "\r\n" + rendered +
         " digits of the PI calculation started...\r\n" +
         "Calculation finished.\r\nNow converting the result to decimal\r\n" +
         "Finished successfully. Saved in pi.txt.\r\n";
}

bool IsTaskLine(const std::string& line) {
  for (int k = 1; k <= 4; ++k) {
    const std::string thread = "Thread " + std::to_string(k);
    if (line == thread + " started\r\n" || line == thread + " finished\r\n") return true;
  }
  return false;
}

// Standard output without the task lines, and the task lines sorted.
std::pair<std::string, std::vector<std::string>> SplitTaskLines(const std::string& out) {
  std::string rest;
  std::vector<std::string> tasks;
  std::size_t at = 0;
  while (at < out.size()) {
    const std::size_t end = std::min(out.find('\n', at), out.size() - 1) + 1;
    const std::string line = out.substr(at, end - at);
    (IsTaskLine(line) ? tasks.emplace_back(line) : rest += line);
    at = end;
  }
  std::sort(tasks.begin(), tasks.end());
  return {rest, tasks};
}

std::vector<std::string> AllTaskLines() {
  std::vector<std::string> lines;
  for (int k = 1; k <= 4; ++k) {
    lines.push_back("Thread " + std::to_string(k) + " finished\r\n");
    lines.push_back("Thread " + std::to_string(k) + " started\r\n");
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Checks the error report's layout and returns its second line.
std::string ReportedError(const std::string& err) {
  const std::optional<test::ErrorReport> report = test::ParseErrorReport(err);
  if (!report) {
    ADD_FAILURE() << "not an error report: [" << err << "]";
    return {};
  }
  EXPECT_EQ(report->raisedAt, report->trace.front()) << "the first trace line is the raising address";
  return report->error;
}

bool LocaleInstalled(const char* name) {
  locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return false;
  freelocale(locale);
  return true;
}

TEST(Program, RejectedReplyBringsThePromptBackOnTheSameLine) {
  test::TemporaryDirectory directory;
  const ChildResult result = RunProgramIn(directory, "999\n1000\n");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  const auto [rest, tasks] = SplitTaskLines(result.out);
  EXPECT_EQ(rest, CompleteRun(kPrompt + kPrompt, "1,000"));
  EXPECT_EQ(tasks, AllTaskLines());

  const std::string file = ResultFile(directory);
  const std::string header = "1,000 digits of the PI.  Caliculation time:0:00:0";
  EXPECT_EQ(file.substr(0, header.size()), header);
  EXPECT_EQ(file.find("\r\n"), header.size() + 1) << "one digit of seconds, then the line end";
  EXPECT_EQ(file.substr(file.find('\n') + 1, 4 + kFirstDigitLine.size()), "3.\r\n" + kFirstDigitLine);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 22);
}

TEST(Program, EveryLineAndPromptIsOneWrite) {
  test::TemporaryDirectory directory;
  ChildSetting setting;
  setting.out = Stream::kPackets;
  const ChildResult result = RunProgramIn(directory, "0\n1000\n", setting);
  ASSERT_EQ(result.exitStatus, 0);
  std::vector<std::string> writes;
  for (const std::string& write : result.outWrites) {
    if (write.rfind("Thread ", 0) != 0) writes.push_back(write);
  }
  const std::vector<std::string> expected = {
      kBanner, "\r\n", kPrompt, kPrompt, "\r\n", "1,000 digits of the PI calculation started...\r\n",
      "Calculation finished.\r\n", "Now converting the result to decimal\r\n",
      "Finished successfully. Saved in pi.txt.\r\n"};
  EXPECT_EQ(writes, expected);
  EXPECT_EQ(result.outWrites.size(), expected.size() + 8) << "each task line is one write";
}

TEST(Program, AcceptedRepliesStartTheRunWithTheirDigitCount) {
  struct Case {
    const char* input;
    const char* rendered;
  };
  const Case cases[] = {
      {"   2000   more words\n", "2,000"},
      {"$3E8\n", "1,000"},
      {"-$FFFFFC18\n", "1,000"},
      {"\n\n 3000\r\n", "3,000"},
      {"999\r1500\r0\r-1000\r10001000\r$FFFFFFFF\r4000\r", "4,000"},
  };
  for (const Case& c : cases) {
    test::TemporaryDirectory directory;
    const ChildResult result = RunProgramIn(directory, c.input);
    EXPECT_EQ(result.exitStatus, 0) << c.input;
    const std::size_t start = result.out.find(" digits of the PI calculation started...\r\n");
    ASSERT_NE(start, std::string::npos) << c.input;
    const std::size_t lineStart = result.out.rfind('\n', start) + 1;
    EXPECT_EQ(result.out.substr(lineStart, start - lineStart), c.rendered) << c.input;
  }
}

// The prompt must reach the console before the program waits for the reply,
// and a reply ended by CR alone must be acted on at once.
TEST(Program, PromptsBeforeWaitingAndNeedsNothingAfterTheReply) {
  test::TemporaryDirectory directory;
  ChildSetting setting;
  setting.workingDirectory = directory.Path();
  setting.environment = NoLocale();
  test::ChildProcess child(QUARNEL_PROGRAM, setting);
  ASSERT_TRUE(child.AwaitOutput(kPrompt, std::chrono::seconds(20)));
  child.SendInput("999\r");
  ASSERT_TRUE(child.AwaitOutput(kPrompt + kPrompt, std::chrono::seconds(20)));
  child.SendInput("1000\r");
  EXPECT_TRUE(child.AwaitOutput("Finished successfully", std::chrono::seconds(60)))
      << "the input is still open";
  const ChildResult result = child.Finish();
  EXPECT_EQ(result.exitStatus, 0);
}

TEST(Program, InvalidReplyEndsTheRunWithAReport) {
  for (const char* input : {"1,000\n", "abc\n", "1000.0\n", "$100000000\n", "2147483648\n"}) {
    test::TemporaryDirectory directory;
    const ChildResult result = RunProgramIn(directory, input);
    EXPECT_EQ(result.exitStatus, 217) << input;
    EXPECT_EQ(result.out, kBanner + "\r\n" + kPrompt) << input;
    EXPECT_EQ(ReportedError(result.err), "EInOutError: Invalid input") << input;
    EXPECT_FALSE(HasResultFile(directory)) << input;
  }
}

TEST(Program, EndOfInputBeforeAValidReplyIsReadPastEnd) {
  struct Case {
    const char* why;
    std::string input;
    std::string prompts;
  };
  const Case cases[] = {
      {"empty input", "", kPrompt},
      {"rejected reply, then the end", "999\n", kPrompt + kPrompt},
      {"blank lines only", "\n  \n", kPrompt},
      {"Ctrl-Z", "\x1a" "1000\n", kPrompt},
      {"Ctrl-Z after a rejected reply", "999 \x1a\n1000\n", kPrompt + kPrompt},
  };
  for (const Case& c : cases) {
    test::TemporaryDirectory directory;
    const ChildResult result = RunProgramIn(directory, c.input);
    EXPECT_EQ(result.exitStatus, 217) << c.why;
    EXPECT_EQ(result.out, kBanner + "\r\n" + c.prompts) << c.why;
    EXPECT_EQ(ReportedError(result.err), "EInOutError: Read past end of file") << c.why;
    EXPECT_FALSE(HasResultFile(directory)) << c.why;
  }
}

TEST(Program, ErrorReportAddressesLieInTheProgram) {
  test::TemporaryDirectory directory;
  const ChildResult result = RunProgramIn(directory, "x\n");
  ASSERT_EQ(result.exitStatus, 217);
  const auto programSize = std::filesystem::file_size(QUARNEL_PROGRAM);
  const std::optional<test::ErrorReport> report = test::ParseErrorReport(result.err);
  ASSERT_TRUE(report.has_value()) << result.err;
  std::vector<std::uint32_t> addresses = report->trace;
  addresses.push_back(report->raisedAt);
  const std::size_t count = addresses.size();
  for (const std::uint32_t offset : addresses) {
    EXPECT_GT(offset, 0u);
    EXPECT_LT(offset, programSize) << "an offset beyond the executable";
  }
  EXPECT_GE(count, 3u) << "the raising address twice, and at least one caller";
}

// A standard stream that cannot be used ends the run with its report.
TEST(Program, ConsoleFailuresEndTheRun) {
  struct Case {
    const char* why;
    ChildSetting setting;
    std::string input;
    std::string error;
  };
  ChildSetting closedOut;
  closedOut.out = Stream::kClosed;
  ChildSetting brokenOut;
  brokenOut.out = Stream::kBrokenPipe;
  ChildSetting fullOut;
  fullOut.out = Stream::kFile;
  fullOut.outPath = "/dev/full";
  ChildSetting closedIn;
  closedIn.in = Stream::kClosed;
  const Case cases[] = {
      {"standard output closed", closedOut, "1000\n", "EInOutError: Invalid file handle"},
      {"nobody reads standard output", brokenOut, "1000\n",
       "EInOutError: Unknown Run-Time error : 232"},
      {"standard output on a full disk", fullOut, "1000\n", "EInOutError: Disk Full"},
      {"standard input closed", closedIn, "", "EInOutError: Invalid file handle"},
  };
  for (const Case& c : cases) {
    test::TemporaryDirectory directory;
    const ChildResult result = RunProgramIn(directory, c.input, c.setting);
    EXPECT_EQ(result.signal, 0) << c.why;
    EXPECT_EQ(result.exitStatus, 217) << c.why;
    EXPECT_EQ(ReportedError(result.err), c.error) << c.why;
    EXPECT_FALSE(HasResultFile(directory)) << c.why;
  }
}

TEST(Program, ClosedStandardErrorStillEndsWith217) {
  test::TemporaryDirectory directory;
  ChildSetting setting;
  setting.err = Stream::kClosed;
  const ChildResult result = RunProgramIn(directory, "1,000\n", setting);
  EXPECT_EQ(result.exitStatus, 217);
  EXPECT_EQ(result.out, kBanner + "\r\n" + kPrompt);
}

// With standard output closed the run stops at the banner, before the
// result file is created.
TEST(Program, ClosedStandardOutputStopsTheRunBeforeTheResultFile) {
  test::TemporaryDirectory directory;
  ChildSetting setting;
  setting.out = Stream::kClosed;
  const ChildResult result = RunProgramIn(directory, "1000\n", setting);
  EXPECT_EQ(result.exitStatus, 217);
  EXPECT_FALSE(HasResultFile(directory));
}

// A standard descriptor closed at start is filled with /dev/null, so that no
// file the program opens can take its number and receive console text.
TEST(Program, ClosedStandardErrorIsFilledWithDevNull) {
  test::TemporaryDirectory directory;
  ChildSetting setting;
  setting.workingDirectory = directory.Path();
  setting.environment = NoLocale();
  setting.err = Stream::kClosed;
  test::ChildProcess child(QUARNEL_PROGRAM, setting);
  ASSERT_TRUE(child.AwaitOutput(kPrompt, std::chrono::seconds(20)));
  const std::string link = "/proc/" + std::to_string(child.Pid()) + "/fd/2";
  std::error_code error;
  EXPECT_EQ(std::filesystem::read_symlink(link, error), "/dev/null") << error.message();
  child.SendInput("1000\n");
  const ChildResult result = child.Finish();
  EXPECT_EQ(result.exitStatus, 0);
  const std::string file = ResultFile(directory);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 22);
}

// A file size limit makes the result file's write fail; the program reports
// it instead of being killed.
TEST(Program, FileSizeLimitIsADiskFullError) {
  test::TemporaryDirectory directory;
  ChildSetting setting;
  setting.fileSizeLimit = 512;
  const ChildResult result = RunProgramIn(directory, "1000\n", setting);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exitStatus, 217);
  EXPECT_EQ(ReportedError(result.err), "EInOutError: Disk Full");
  const auto [rest, tasks] = SplitTaskLines(result.out);
  EXPECT_EQ(rest.substr(rest.size() - 38), "Now converting the result to decimal\r\n");
}

TEST(Program, RegionalSettingsShapeTheRenderedTexts) {
  struct Case {
    const char* why;
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
    const char* needed;  // the locale the case needs installed
    std::string rendered;
    std::string zeroTime;
  };
  const Case cases[] = {
      {"no locale", {}, nullptr, "1,000", "0:00:00"},
      {"C", {{"LANG", "C"}}, nullptr, "1,000", "0:00:00"},
      {"C.UTF-8", {{"LC_ALL", "C.UTF-8"}}, nullptr, "1,000", "0:00:00"},
      {"LANG German", {{"LANG", "de_DE.UTF-8"}}, "de_DE.UTF-8", "1.000", "00:00:00"},
      {"LC_NUMERIC only", {{"LC_NUMERIC", "de_DE.UTF-8"}}, "de_DE.UTF-8", "1.000", "0:00:00"},
      {"LC_ALL wins", {{"LC_ALL", "de_DE.UTF-8"}, {"LC_NUMERIC", "en_US.UTF-8"}}, "de_DE.UTF-8",
       "1.000", "00:00:00"},
      {"a missing numeric locale leaves the time one",
       {{"LC_NUMERIC", "xx_YY.UTF-8"}, {"LC_TIME", "de_DE.UTF-8"}}, "de_DE.UTF-8", "1,000",
       "00:00:00"},
      {"narrow no-break space", {{"LANG", "fr_FR.UTF-8"}}, "fr_FR.UTF-8", "1\xE2\x80\xAF" "000",
       "00:00:00"},
      {"empty separator, hours without zero", {{"LANG", "bg_BG.UTF-8"}}, "bg_BG.UTF-8", "1000",
       "0:00:00"},
      {"period as time separator", {{"LANG", "fi_FI.UTF-8"}}, "fi_FI.UTF-8",
       "1\xE2\x80\xAF" "000", "00.00.00"},
  };
  for (const Case& c : cases) {
    if (c.needed != nullptr && !LocaleInstalled(c.needed)) {
      std::printf("skipped \"%s\": locale %s is not installed\n", c.why, c.needed);
      continue;
    }
    test::TemporaryDirectory directory;
    ChildSetting setting;
    setting.environment = c.environment;
    const ChildResult result = RunProgramIn(directory, "1000\n", setting);
    ASSERT_EQ(result.exitStatus, 0) << c.why;
    EXPECT_NE(result.out.find(kPrompt + "\r\n" + c.rendered + " digits of the PI calculation started...\r\n"),
              std::string::npos)
        << c.why;
    const std::string file = ResultFile(directory);
    const std::string header = c.rendered + " digits of the PI.  Caliculation time:";
    EXPECT_EQ(file.substr(0, header.size()), header) << c.why;
    // A run this short takes no whole second; the seconds may still tick over.
    const std::string time = file.substr(header.size(), c.zeroTime.size());
    EXPECT_EQ(time.substr(0, time.size() - 1), c.zeroTime.substr(0, c.zeroTime.size() - 1))
        << c.why;
  }
}

}  // namespace
}  // namespace quarnel
