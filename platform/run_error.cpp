#include "platform/run_error.h"

#include "platform/call_trace.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace quarnel {

namespace {

// RunError and the constructor of the kind raised.
constexpr int kErrorMachineryFrames = 2;

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

RunError::RunError(std::string kind, std::string message)
    : kind_(std::move(kind)), message_(std::move(message)), trace_(CaptureCallTrace(kErrorMachineryFrames)) {}

EInOutError::EInOutError(int number)
    : RunError("EInOutError", InOutErrorMessage(number)), number_(number) {}

EThread::EThread(const std::string& systemText)
    : RunError("EThread", "Thread creation error: " + systemText) {}

std::string FormatErrorReport(const RunError& error) {
  const std::uintptr_t raisedAt = error.Trace().empty() ? 0 : error.Trace().front();
  std::string report = "An unhandled exception occurred at $" + Hex8(raisedAt) + ":\r\n";
  report += error.Kind() + ": " + error.Message() + "\r\n";
  for (const std::uintptr_t address : error.Trace()) report += "  $" + Hex8(address) + "\r\n";
  report += "\r\n";
  return report;
}

}  // namespace quarnel
