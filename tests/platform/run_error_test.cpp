// The run-time errors: their messages and the layout of the error report.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "platform/call_trace.h"
#include "platform/run_error.h"

namespace quarnel {
namespace {

TEST(InOutErrorMessage, NumbersWithAndWithoutMessages) {
  struct Case {
    int number;
    const char* message;
  };
  const Case cases[] = {
      {2, "File not found"},
      {3, "Invalid filename"},
      {4, "Too many open files"},
      {5, "Access denied"},
      {6, "Invalid file handle"},
      {15, "Invalid drive specified"},
      {100, "Read past end of file"},
      {101, "Disk Full"},
      {102, "File not assigned"},
      {103, "File not open"},
      {104, "File not open for input"},
      {105, "File not open for output"},
      {106, "Invalid input"},
      {8, "Unknown Run-Time error : 008"},
      {152, "Unknown Run-Time error : 152"},
      {1028, "Unknown Run-Time error : 1028"},
  };
  for (const Case& c : cases) EXPECT_EQ(InOutErrorMessage(c.number), c.message) << c.number;
}

TEST(FormatErrorReport, Layout) {
  const EInOutError error(io_error::kInvalidInput);
  const std::string report = FormatErrorReport(error);
  const std::regex layout(
      "An unhandled exception occurred at \\$([0-9A-F]{8}):\r\n"
      "EInOutError: Invalid input\r\n"
      "  \\$([0-9A-F]{8})\r\n"
      "(  \\$[0-9A-F]{8}\r\n)*"
      "\r\n");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(report, match, layout)) << report;
  EXPECT_EQ(match[1], match[2]) << "the first trace line is the raising address";
}

TEST(FormatErrorReport, ThreadError) {
  const EThread error("Resource temporarily unavailable");
  const std::string report = FormatErrorReport(error);
  EXPECT_NE(report.find("\r\nEThread: Thread creation error: Resource temporarily unavailable\r\n"),
            std::string::npos)
      << report;
}

// The trace starts in the function that raised the error, not in the
// error's constructors, and holds offsets into this executable only.
[[gnu::noinline]] EInOutError RaiseHere() { return EInOutError(io_error::kDiskFull); }

TEST(RunError, TraceStartsWhereTheErrorIsRaised) {
  const EInOutError error = RaiseHere();
  ASSERT_FALSE(error.Trace().empty());
  const std::uintptr_t load = ProgramLoadAddress();
  const auto raisedAt = reinterpret_cast<std::uintptr_t>(&RaiseHere) - load;
  EXPECT_GT(error.Trace().front(), raisedAt);
  EXPECT_LT(error.Trace().front(), raisedAt + 256);
  for (const std::uintptr_t offset : error.Trace()) {
    EXPECT_TRUE(IsProgramCode(load + offset)) << std::hex << offset;
  }
}

}  // namespace
}  // namespace quarnel
