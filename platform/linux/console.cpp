#include "platform/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "platform/system_errors.h"
#include "platform/run_error.h"

namespace quarnel {

namespace {

// Which standard descriptors were closed when the program started.
bool gClosedAtStart[3] = {false, false, false};

void WriteAll(int fd, std::string_view text) {
  if (gClosedAtStart[fd]) throw EInOutError(io_error::kInvalidFileHandle);
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      RaiseSystemError(errno, IoDirection::kWrite);
    }
    if (written == 0) throw EInOutError(io_error::kDiskFull);
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

void PrepareConsole() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    gClosedAtStart[fd] = true;
    // open() returns the lowest free descriptor, which is fd itself.
    ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
  }
}

void WriteConsoleText(std::string_view text) { WriteAll(STDOUT_FILENO, text); }

void WriteConsoleLine(std::string_view line) {
  std::string whole(line);
  whole += "\r\n";
  WriteAll(STDOUT_FILENO, whole);
}

void WriteErrorText(std::string_view text) noexcept {
  try {
    WriteAll(STDERR_FILENO, text);
  } catch (...) {
  }
}

std::size_t ReadConsoleBytes(char* buffer, std::size_t size) {
  if (gClosedAtStart[STDIN_FILENO]) throw EInOutError(io_error::kInvalidFileHandle);
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) RaiseSystemError(errno, IoDirection::kRead);
  }
}

}  // namespace quarnel
