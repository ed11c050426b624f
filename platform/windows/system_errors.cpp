#include "platform/system_errors.h"

#include <windows.h>

#include "platform/run_error.h"

namespace quarnel {

namespace {

// The device codes 19 (write-protected) to 31 (general failure) sit at
// 150 to 162 among the run-time error numbers.
constexpr int kFirstDeviceCode = ERROR_WRITE_PROTECT;
constexpr int kLastDeviceCode = ERROR_GEN_FAILURE;
constexpr int kFirstDeviceNumber = io_error::kWriteProtected;

}  // namespace

// Windows codes are run-time error numbers already, apart from the few moved
// or merged below; the direction makes no difference there.
int InOutNumberFromSystemError(int code, IoDirection) {
  if (code >= kFirstDeviceCode && code <= kLastDeviceCode) {
    return code - kFirstDeviceCode + kFirstDeviceNumber;
  }
  switch (code) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_DIR_NOT_EMPTY:
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return io_error::kAccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return io_error::kDiskFull;
    case ERROR_FILENAME_EXCED_RANGE: return io_error::kInvalidFilename;
    default: return code;
  }
}

void RaiseSystemError(int code, IoDirection direction) {
  throw EInOutError(InOutNumberFromSystemError(code, direction));
}

}  // namespace quarnel
