#include "stdout_capture.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace quarnel::testing {

namespace {

[[noreturn]] void FailWith(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

StdoutRedirect::StdoutRedirect(int fd) {
  std::fflush(stdout);
  saved_ = ::dup(STDOUT_FILENO);
  if (saved_ < 0) FailWith("dup");
  if (::dup2(fd, STDOUT_FILENO) < 0) FailWith("dup2");
}

StdoutRedirect::~StdoutRedirect() {
  std::fflush(stdout);
  ::dup2(saved_, STDOUT_FILENO);
  ::close(saved_);
}

std::vector<std::string> StdoutWrites(const std::function<void()>& body) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) FailWith("socketpair");
  std::exception_ptr error;
  {
    StdoutRedirect redirect(ends[1]);
    try {
      body();
    } catch (...) {
      error = std::current_exception();
    }
  }
  ::close(ends[1]);  // the last writing end: the reader then meets the end
  std::vector<std::string> writes;
  for (;;) {
    char buffer[4096];
    const ssize_t got = ::recv(ends[0], buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    writes.emplace_back(buffer, static_cast<std::size_t>(got));
  }
  ::close(ends[0]);
  if (error) std::rethrow_exception(error);
  return writes;
}

}  // namespace quarnel::testing
