#include "platform/system_errors.h"

#include <cerrno>

#include "platform/run_error.h"

namespace quarnel {

namespace {

// Numbers without a message of their own, after the system error they stand for.
constexpr int kNotEnoughMemory = 8;
constexpr int kInvalidParameter = 87;
constexpr int kDriveNotReady = 152;
constexpr int kWriteFault = 160;
constexpr int kReadFault = 161;
constexpr int kPipeClosing = 232;
// Codes outside the table become kBeyondTable + errno: clear of every number
// above, and the code can still be read off the message.
constexpr int kBeyondTable = 1000;

struct ErrnoMapping {
  int code;
  int number;        // when writing or opening
  int numberOnRead;  // when reading
};

constexpr ErrnoMapping kErrnoTable[] = {
    {ENOENT, io_error::kInvalidFilename, io_error::kInvalidFilename},
    {ENOTDIR, io_error::kInvalidFilename, io_error::kInvalidFilename},
    {ENAMETOOLONG, io_error::kInvalidFilename, io_error::kInvalidFilename},
    {ELOOP, io_error::kInvalidFilename, io_error::kInvalidFilename},
    {EMFILE, io_error::kTooManyOpenFiles, io_error::kTooManyOpenFiles},
    {ENFILE, io_error::kTooManyOpenFiles, io_error::kTooManyOpenFiles},
    {EACCES, io_error::kAccessDenied, io_error::kAccessDenied},
    {EPERM, io_error::kAccessDenied, io_error::kAccessDenied},
    {EISDIR, io_error::kAccessDenied, io_error::kAccessDenied},
    {EEXIST, io_error::kAccessDenied, io_error::kAccessDenied},
    {ETXTBSY, io_error::kAccessDenied, io_error::kAccessDenied},
    {EBUSY, io_error::kAccessDenied, io_error::kAccessDenied},
    {ENOTEMPTY, io_error::kAccessDenied, io_error::kAccessDenied},
    {EBADF, io_error::kInvalidFileHandle, io_error::kInvalidFileHandle},
    {ENOMEM, kNotEnoughMemory, kNotEnoughMemory},
    {EINVAL, kInvalidParameter, kInvalidParameter},
    {ENOSPC, io_error::kDiskFull, io_error::kDiskFull},
    {EDQUOT, io_error::kDiskFull, io_error::kDiskFull},
    {EFBIG, io_error::kDiskFull, io_error::kDiskFull},
    {EROFS, io_error::kWriteProtected, io_error::kWriteProtected},
    {ENXIO, kDriveNotReady, kDriveNotReady},
    {ENODEV, kDriveNotReady, kDriveNotReady},
    {ENOMEDIUM, kDriveNotReady, kDriveNotReady},
    {EIO, kWriteFault, kReadFault},
    {EPIPE, kPipeClosing, kPipeClosing},
    {ECONNRESET, kPipeClosing, kPipeClosing},
};

}  // namespace

int InOutNumberFromSystemError(int code, IoDirection direction) {
  for (const ErrnoMapping& row : kErrnoTable) {
    if (row.code == code) return direction == IoDirection::kRead ? row.numberOnRead : row.number;
  }
  return kBeyondTable + (code > 0 ? code : 0);
}

// Kept out of line so that the error is raised where this is called.
[[gnu::noinline]] void RaiseSystemError(int code, IoDirection direction) {
  throw EInOutError(InOutNumberFromSystemError(code, direction), __builtin_return_address(0));
}

}  // namespace quarnel
