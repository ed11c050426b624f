#include "output/buffered_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/error_numbers.h"
#include "platform/run_error.h"

namespace quarnel {

BufferedFile::BufferedFile(const char* path) {
  do {
    fd_ = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) RaiseErrno(errno, IoDirection::kOpen);
}

BufferedFile::~BufferedFile() {
  if (fd_ >= 0) ::close(fd_);
}

void BufferedFile::Write(std::string_view text) {
  while (!text.empty()) {
    if (used_ == kBufferSize) HandOver();
    const std::size_t part = std::min(text.size(), kBufferSize - used_);
    std::copy_n(text.data(), part, buffer_.data() + used_);
    used_ += part;
    text.remove_prefix(part);
  }
}

void BufferedFile::HandOver() {
  std::size_t done = 0;
  while (done < used_) {
    const ssize_t written = ::write(fd_, buffer_.data() + done, used_ - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) RaiseErrno(errno, IoDirection::kWrite);
    // A write that stores fewer bytes than given means the medium is full.
    if (static_cast<std::size_t>(written) < used_ - done) throw EInOutError(io_error::kDiskFull);
    done += static_cast<std::size_t>(written);
  }
  used_ = 0;
}

void BufferedFile::Close() {
  if (used_ > 0) HandOver();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) RaiseErrno(errno, IoDirection::kWrite);
}

}  // namespace quarnel
