#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "platform/run_error.h"
#include "platform/system_errors.h"

namespace quarnel {

namespace {

// Which standard descriptors were closed when the program started.
bool gClosedAtStart[3] = {false, false, false};

// Waits until fd is ready for `events`. Needed where a standard descriptor is
// shared with a process that made it non-blocking: the program itself only
// ever waits.
void AwaitReady(int fd, short events, IoDirection direction) {
  pollfd entry{fd, events, 0};
  while (::poll(&entry, 1, -1) < 0) {
    if (errno != EINTR) RaiseSystemError(errno, direction);
  }
}

// Hands the whole text to the system in one write; only a write that the
// system cuts short is followed by another for the rest.
void WriteAll(int fd, std::string_view text) {
  if (gClosedAtStart[fd]) throw EInOutError(io_error::kInvalidFileHandle);
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        AwaitReady(fd, POLLOUT, IoDirection::kWrite);
        continue;
      }
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
    // open() returns the lowest free descriptor; the lower standard ones are
    // filled first, so that is fd itself, and dup2 only makes sure of it.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

void WriteConsoleText(std::string_view text) { WriteAll(STDOUT_FILENO, text); }

void WriteConsoleLine(std::string_view line) {
  std::string whole;
  whole.reserve(line.size() + 2);
  whole += line;
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
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      AwaitReady(STDIN_FILENO, POLLIN, IoDirection::kRead);
      continue;
    }
    RaiseSystemError(errno, IoDirection::kRead);
  }
}

}  // namespace quarnel
