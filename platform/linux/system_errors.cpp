#include "platform/system_errors.h"

#include <cerrno>

#include "platform/run_error.h"

namespace quarnel {

int InOutNumberFromSystemError(int code, IoDirection direction) {
  switch (code) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return io_error::kInvalidFilename;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EEXIST:
    case ETXTBSY: return io_error::kAccessDenied;
    case EBADF: return io_error::kInvalidFileHandle;
    case EMFILE:
    case ENFILE: return io_error::kTooManyOpenFiles;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return io_error::kDiskFull;
    case EROFS: return io_error::kWriteProtected;
    case ENXIO:
    case ENOMEDIUM: return 152;  // drive not ready
    case EIO: return direction == IoDirection::kRead ? 161 : 160;  // read or write fault
    case EPIPE: return 232;  // the pipe is being closed
    default: return 1000 + code;  // beyond the table, shown as an unknown error
  }
}

void RaiseSystemError(int code, IoDirection direction) {
  throw EInOutError(InOutNumberFromSystemError(code, direction));
}

}  // namespace quarnel
