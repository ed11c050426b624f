#include "platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_errors.h"
#include "platform/run_error.h"

namespace quarnel {

OutputFileHandle CreateOutputFile(const char* path) {
  int fd = -1;
  do {
    fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) RaiseSystemError(errno, IoDirection::kOpen);
  return fd;
}

void WriteOutputFile(OutputFileHandle file, const char* data, std::size_t size) {
  for (;;) {
    const ssize_t written = ::write(static_cast<int>(file), data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) RaiseSystemError(errno, IoDirection::kWrite);
    // A write that stores fewer bytes than given means the medium is full.
    if (static_cast<std::size_t>(written) < size) throw EInOutError(io_error::kDiskFull);
    return;
  }
}

void CloseOutputFile(OutputFileHandle file) {
  // Linux releases the descriptor even when close reports EINTR; retrying
  // could close another file.
  if (::close(static_cast<int>(file)) != 0 && errno != EINTR) {
    RaiseSystemError(errno, IoDirection::kWrite);
  }
}

void AbandonOutputFile(OutputFileHandle file) noexcept { ::close(static_cast<int>(file)); }

}  // namespace quarnel
