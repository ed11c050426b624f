#include "platform/run_error.h"

#include <execinfo.h>
#include <link.h>

#include <array>
#include <cstdio>

namespace quarnel {

namespace {

// The load address of the executable itself (the first object listed).
std::uintptr_t ProgramLoadAddress() {
  std::uintptr_t base = 0;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        *static_cast<std::uintptr_t*>(data) = info->dlpi_addr;
        return 1;
      },
      &base);
  return base;
}

// The return addresses of the calls that led here, without the frames of the
// error machinery itself.
std::vector<std::uintptr_t> CaptureTrace() {
  constexpr int kMaxFrames = 32;
  constexpr int kOwnFrames = 3;  // CaptureTrace, RunError, the derived constructor
  std::array<void*, kMaxFrames> frames{};
  const int count = backtrace(frames.data(), kMaxFrames);
  const std::uintptr_t base = ProgramLoadAddress();
  std::vector<std::uintptr_t> trace;
  for (int i = kOwnFrames; i < count; ++i) {
    const auto address = reinterpret_cast<std::uintptr_t>(frames[static_cast<std::size_t>(i)]);
    trace.push_back(address - base);
  }
  return trace;
}

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
    : kind_(std::move(kind)), message_(std::move(message)), trace_(CaptureTrace()) {}

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
