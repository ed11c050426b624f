#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace quarnel::testing {

namespace {

[[noreturn]] void FailWith(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void MakePipe(int fds[2]) {
  if (::pipe2(fds, O_CLOEXEC) != 0) FailWith("pipe2");
}

// Binds the calling process to the lowest-numbered processor it may use.
bool BindToOneProcessor() {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  if (::sched_getaffinity(0, sizeof mask, &mask) != 0) return false;
  for (std::size_t cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (!CPU_ISSET(cpu, &mask)) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    return ::sched_setaffinity(0, sizeof one, &one) == 0;
  }
  return false;
}

int DecodeStatus(int status, int* signal) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (signal != nullptr && WIFSIGNALED(status)) *signal = WTERMSIG(status);
  return -1;
}

}  // namespace

ChildOutcome RunChild(const ChildRun& run) {
  int in[2], out[2], err[2];
  MakePipe(in);
  MakePipe(out);
  MakePipe(err);
  std::vector<char*> argv;
  for (const std::string& arg : run.argv) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid < 0) FailWith("fork");
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    if (::dup2(in[0], 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0) ::_exit(126);
    if (!run.workingDirectory.empty() && ::chdir(run.workingDirectory.c_str()) != 0) ::_exit(126);
    if (run.onOneProcessor && !BindToOneProcessor()) ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);

  // The input is a few bytes, far below a pipe's capacity: written at once.
  const auto size = static_cast<ssize_t>(run.input.size());
  if (size > 0 && ::write(in[1], run.input.data(), run.input.size()) != size) {
    FailWith("write to child");
  }
  ::close(in[1]);

  ChildOutcome outcome;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&outcome.out, &outcome.err};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      FailWith("poll");
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) FailWith("waitpid");
  }
  outcome.exitStatus = DecodeStatus(status, &outcome.signal);
  return outcome;
}

int RunInForkedChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid < 0) FailWith("fork");
  if (pid == 0) {
    int result = 125;
    try {
      result = body();
    } catch (...) {
    }
    ::_exit(result);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) FailWith("waitpid");
  }
  return DecodeStatus(status, nullptr);
}

TempDirectory::TempDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quarnel-series-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) FailWith("mkdtemp");
  path_ = pattern;
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace quarnel::testing
