// The errors that end a run: input/output errors and thread start failures.
//
// They are never caught by the program's own logic; the entry point reports
// them on standard error and ends the process with status 217. Each carries
// the code addresses of its call trace at the point where it was raised.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace quarnel {

inline constexpr int kErrorExitStatus = 217;

// Run-time input/output error numbers with a message of their own.
namespace io_error {
inline constexpr int kFileNotFound = 2;
inline constexpr int kInvalidFilename = 3;
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kInvalidFileHandle = 6;
inline constexpr int kInvalidDrive = 15;
inline constexpr int kReadPastEnd = 100;
inline constexpr int kDiskFull = 101;
inline constexpr int kFileNotAssigned = 102;
inline constexpr int kFileNotOpen = 103;
inline constexpr int kFileNotOpenForInput = 104;
inline constexpr int kFileNotOpenForOutput = 105;
inline constexpr int kInvalidInput = 106;
inline constexpr int kWriteProtected = 150;
}  // namespace io_error

// The message for an input/output error number; numbers without a message of
// their own read "Unknown Run-Time error : NNN" (at least three digits).
std::string InOutErrorMessage(int number);

class RunError : public std::exception {
 public:
  // Raised where this constructor is called.
  RunError(std::string kind, std::string message);
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Kind() const { return kind_; }
  const std::string& Message() const { return message_; }
  // Code addresses, the raising one first, as offsets from the program's
  // load address.
  const std::vector<std::uintptr_t>& Trace() const { return trace_; }

 protected:
  // Raised at raisedAt, the return address into the code that constructs the
  // error: the error's own constructors are not part of its trace.
  RunError(std::string kind, std::string message, const void* raisedAt);

 private:
  std::string kind_;
  std::string message_;
  std::vector<std::uintptr_t> trace_;
};

// Kind "EInOutError"; the message is InOutErrorMessage(number).
class EInOutError : public RunError {
 public:
  explicit EInOutError(int number);
  // Raised at raisedAt: for the helpers that raise on their caller's behalf.
  EInOutError(int number, const void* raisedAt);
  int Number() const { return number_; }

 private:
  int number_;
};

// Kind "EThread", message "Thread creation error: <system text>".
class EThread : public RunError {
 public:
  explicit EThread(const std::string& systemText);
};

// The error report: "An unhandled exception occurred at $XXXXXXXX:", the
// kind and message, one "  $XXXXXXXX" line per trace address and an empty
// line, each ending with CR LF.
std::string FormatErrorReport(const RunError& error);

}  // namespace quarnel
