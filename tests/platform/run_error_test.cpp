// The run-time errors: their messages and the layout of the error report.
#include <gtest/gtest.h>

#include <cstdio>
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

// The exact bytes, built from the error's own trace.
TEST(FormatErrorReport, Layout) {
  const EInOutError error(io_error::kInvalidInput);
  ASSERT_FALSE(error.Trace().empty());
  const auto hex = [](std::uintptr_t offset) {
    char text[16];
    std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(offset));
    return std::string(text);
  };
  std::string expected =
      "An unhandled exception occurred at " + hex(error.Trace().front()) + ":\r\n" +
      "EInOutError: Invalid input\r\n";
  for (const std::uintptr_t offset : error.Trace()) expected += "  " + hex(offset) + "\r\n";
  expected += "\r\n";
  EXPECT_EQ(FormatErrorReport(error), expected);
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
