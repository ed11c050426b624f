#include "platform/run_error.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "platform/call_trace.h"

namespace quarnel {

namespace {

std::string Hex8(std::uintptr_t value) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%08llX",
                static_cast<unsigned long long>(value & 0xFFFF'FFFFu));
  return text.data();
}

}  // namespace

std::string InOutErrorMessage(int number) {
  switch (number) {
    case io_error::kFileNotFound: return "File not found";
    case io_error::kInvalidFilename: return "Invalid filename";
    case io_error::kTooManyOpenFiles: return "Too many open files";
    case io_error::kAccessDenied: return "Access denied";
    case io_error::kInvalidFileHandle: return "Invalid file handle";
    case io_error::kInvalidDrive: return "Invalid drive specified";
    case io_error::kReadPastEnd: return "Read past end of file";
    case io_error::kDiskFull: return "Disk Full";
    case io_error::kFileNotAssigned: return "File not assigned";
    case io_error::kFileNotOpen: return "File not open";
    case io_error::kFileNotOpenForInput: return "File not open for input";
    case io_error::kFileNotOpenForOutput: return "File not open for output";
    case io_error::kInvalidInput: return "Invalid input";
    default: {
      std::array<char, 48> text{};
      std::snprintf(text.data(), text.size(), "Unknown Run-Time error : %3.3d", number);
      return text.data();
    }
  }
}

// The constructors are kept out of line so that __builtin_return_address(0)
// is the address in the code that raised the error.
[[gnu::noinline]] RunError::RunError(std::string kind, std::string message)
    : RunError(std::move(kind), std::move(message), __builtin_return_address(0)) {}

RunError::RunError(std::string kind, std::string message, const void* raisedAt)
    : kind_(std::move(kind)), message_(std::move(message)), trace_(CaptureCallTraceFrom(raisedAt)) {}

[[gnu::noinline]] EInOutError::EInOutError(int number)
    : RunError("EInOutError", InOutErrorMessage(number), __builtin_return_address(0)),
      number_(number) {}

EInOutError::EInOutError(int number, const void* raisedAt)
    : RunError("EInOutError", InOutErrorMessage(number), raisedAt), number_(number) {}

[[gnu::noinline]] EThread::EThread(const std::string& systemText)
    : RunError("EThread", "Thread creation error: " + systemText, __builtin_return_address(0)) {}

std::string FormatErrorReport(const RunError& error) {
  const std::uintptr_t raisedAt = error.Trace().empty() ? 0 : error.Trace().front();
  std::string report = "An unhandled exception occurred at $" + Hex8(raisedAt) + ":\r\n";
  report += error.Kind() + ": " + error.Message() + "\r\n";
  for (const std::uintptr_t address : error.Trace()) report += "  $" + Hex8(address) + "\r\n";
  report += "\r\n";
  return report;
}

}  // namespace quarnel
