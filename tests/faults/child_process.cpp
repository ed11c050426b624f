#include "tests/faults/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace quarnel::testing {

namespace {

using Clock = std::chrono::steady_clock;

// The set-up steps of the child, in order; the index is what the child
// reports through the status pipe.
constexpr std::array<const char*, 10> kSetupSteps = {
    "standard streams", "/dev/full",    "unshare(CLONE_NEWNS)", "mount --make-rprivate /",
    "read-only mount",  "chdir",        "sched_setaffinity",    "setgid/setgroups",
    "setuid",           "setrlimit"};

// What the child writes to the status pipe when a step fails.
struct SetupFailure {
  int step;
  int error;
};

// Variables passed through to the child when the test process has them.
constexpr std::array<const char*, 4> kPassedThrough = {"ASAN_OPTIONS", "UBSAN_OPTIONS",
                                                       "LSAN_OPTIONS", "TSAN_OPTIONS"};

[[noreturn]] void FailStep(int statusFd, int step) {
  const SetupFailure failure{step, errno};
  [[maybe_unused]] const ssize_t written = ::write(statusFd, &failure, sizeof failure);
  ::_exit(127);
}

// Makes descriptor `fd` the child's descriptor `target`, kept across exec.
bool MoveTo(int fd, int target) {
  if (fd == target) return ::fcntl(fd, F_SETFD, 0) == 0;
  return ::dup2(fd, target) == target;
}

// Gives the test process descriptors 0..2, so that no pipe is created as one.
void EnsureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) ::open("/dev/null", O_RDWR);
  }
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Everything the child needs, built before the fork: after it, the child
// only makes system calls.
struct Prepared {
  std::vector<std::string> envStrings;
  std::vector<char*> argv;
  std::vector<char*> envp;
  cpu_set_t processors;
};

Prepared Prepare(const ChildSetup& setup) {
  Prepared prepared;
  prepared.envStrings = {"PATH=/usr/bin:/bin", "LC_ALL=C"};
  auto setHere = [&](const std::string& name) {
    for (const std::string& entry : setup.extraEnv) {
      if (entry.starts_with(name + "=")) return true;
    }
    return false;
  };
  for (const char* name : kPassedThrough) {
    if (const char* value = std::getenv(name); value != nullptr && !setHere(name)) {
      prepared.envStrings.push_back(std::string(name) + "=" + value);
    }
  }
  for (const std::string& entry : setup.extraEnv) prepared.envStrings.push_back(entry);
  for (const std::string& arg : setup.argv) prepared.argv.push_back(const_cast<char*>(arg.c_str()));
  prepared.argv.push_back(nullptr);
  for (std::string& entry : prepared.envStrings) prepared.envp.push_back(entry.data());
  prepared.envp.push_back(nullptr);
  CPU_ZERO(&prepared.processors);
  for (const int cpu : setup.processors) CPU_SET(static_cast<std::size_t>(cpu), &prepared.processors);
  return prepared;
}

// Connects one standard stream in the child; false on failure.
bool ConnectStream(Stream stream, int pipeEnd, int target, int statusFd) {
  switch (stream) {
    case Stream::kClosed: return ::close(target) == 0 || errno == EBADF;
    case Stream::kDevFull: {
      const int fd = ::open("/dev/full", O_WRONLY);
      if (fd < 0) FailStep(statusFd, 1);
      return MoveTo(fd, target);
    }
    case Stream::kPipe:
    case Stream::kBrokenPipe: return MoveTo(pipeEnd, target);
  }
  return false;
}

// The child's side of the fork: set-up steps in order, then exec.
[[noreturn]] void BecomeChild(const ChildSetup& setup, const Prepared& prepared, int statusFd,
                              int inputEnd, int outputEnd, int errorEnd) {
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) ::sigaction(signal, &defaultAction, nullptr);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);

  if (!ConnectStream(setup.input, inputEnd, STDIN_FILENO, statusFd) ||
      !ConnectStream(setup.output, outputEnd, STDOUT_FILENO, statusFd) ||
      !ConnectStream(setup.error, errorEnd, STDERR_FILENO, statusFd)) {
    FailStep(statusFd, 0);
  }
  if (!setup.readOnlyMount.empty()) {
    if (::unshare(CLONE_NEWNS) != 0) FailStep(statusFd, 2);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) FailStep(statusFd, 3);
    if (::mount("quarnel-read-only", setup.readOnlyMount.c_str(), "tmpfs",
                MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) != 0) {
      FailStep(statusFd, 4);
    }
  }
  if (!setup.workDir.empty() && ::chdir(setup.workDir.c_str()) != 0) FailStep(statusFd, 5);
  if (!setup.processors.empty() &&
      ::sched_setaffinity(0, sizeof prepared.processors, &prepared.processors) != 0) {
    FailStep(statusFd, 6);
  }
  if (setup.user) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(*setup.user) != 0) FailStep(statusFd, 7);
    if (::setuid(*setup.user) != 0) FailStep(statusFd, 8);
  }
  // Limits come after the user change: a process limit in force at setuid
  // time would make the exec itself fail.
  for (const ResourceLimit& limit : setup.limits) {
    const rlimit value{limit.value, limit.value};
    if (::setrlimit(static_cast<__rlimit_resource>(limit.resource), &value) != 0) {
      FailStep(statusFd, 9);
    }
  }
  ::execve(prepared.argv[0], prepared.argv.data(), prepared.envp.data());
  FailStep(statusFd, static_cast<int>(kSetupSteps.size()));
}

}  // namespace

int ChildResult::ExitCode() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

int ChildResult::TermSignal() const { return WIFSIGNALED(status) ? WTERMSIG(status) : 0; }

std::string ChildResult::Describe() const {
  if (!Ran()) return "set-up failed at " + setupFailure + ": " + std::strerror(setupErrno);
  if (timedOut) return "killed for running too long";
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "exit status " + std::to_string(ExitCode());
}

ChildProcess::ChildProcess(const ChildSetup& setup) {
  std::signal(SIGPIPE, SIG_IGN);  // a child that has gone must not kill the test
  EnsureStandardDescriptors();
  const Prepared prepared = Prepare(setup);

  std::array<int, 2> status{-1, -1}, input{-1, -1}, output{-1, -1}, error{-1, -1};
  if (::pipe2(status.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  if (setup.input == Stream::kPipe) ::pipe2(input.data(), O_CLOEXEC);
  if (setup.output == Stream::kPipe || setup.output == Stream::kBrokenPipe) {
    ::pipe2(output.data(), O_CLOEXEC);
  }
  if (setup.error == Stream::kPipe || setup.error == Stream::kBrokenPipe) {
    ::pipe2(error.data(), O_CLOEXEC);
  }
  // The reader of a broken pipe is gone before the child writes anything.
  if (setup.output == Stream::kBrokenPipe) CloseFd(output[0]);
  if (setup.error == Stream::kBrokenPipe) CloseFd(error[0]);

  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
  if (pid_ == 0) BecomeChild(setup, prepared, status[1], input[0], output[1], error[1]);

  CloseFd(status[1]);
  CloseFd(input[0]);
  CloseFd(output[1]);
  CloseFd(error[1]);
  inputFd_ = input[1];
  outputFd_ = output[0];
  errorFd_ = error[0];

  // The status pipe closes at the exec, or carries the step that failed.
  SetupFailure failure{};
  ssize_t got = 0;
  do {
    got = ::read(status[0], &failure, sizeof failure);
  } while (got < 0 && errno == EINTR);
  CloseFd(status[0]);
  if (got == static_cast<ssize_t>(sizeof failure)) {
    const auto step = static_cast<std::size_t>(failure.step);
    result_.setupFailure = step < kSetupSteps.size() ? kSetupSteps[step] : "execve";
    result_.setupErrno = failure.error;
  }
}

ChildProcess::~ChildProcess() {
  if (!reaped_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  CloseFd(inputFd_);
  CloseFd(outputFd_);
  CloseFd(errorFd_);
}

bool ChildProcess::Send(std::string_view bytes) {
  while (!bytes.empty() && inputFd_ >= 0) {
    const ssize_t written = ::write(inputFd_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return bytes.empty();
}

void ChildProcess::CloseInput() { CloseFd(inputFd_); }

void ChildProcess::Signal(int signal) { ::kill(pid_, signal); }

bool ChildProcess::Collect(milliseconds timeout) {
  std::array<pollfd, 2> fds{};
  std::array<std::string*, 2> sinks{};
  std::array<int*, 2> owners{};
  nfds_t count = 0;
  auto watch = [&](int& fd, std::string& sink) {
    if (fd < 0) return;
    fds[count] = {fd, POLLIN, 0};
    sinks[count] = &sink;
    owners[count++] = &fd;
  };
  watch(outputFd_, result_.output);
  watch(errorFd_, result_.error);
  if (count == 0) return false;
  if (::poll(fds.data(), count, static_cast<int>(timeout.count())) <= 0) return true;
  for (nfds_t i = 0; i < count; ++i) {
    if (fds[i].revents == 0) continue;
    std::array<char, 65'536> chunk{};
    const ssize_t got = ::read(fds[i].fd, chunk.data(), chunk.size());
    if (got > 0) {
      sinks[i]->append(chunk.data(), static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      CloseFd(*owners[i]);
    }
  }
  return outputFd_ >= 0 || errorFd_ >= 0;
}

bool ChildProcess::AwaitOutput(std::string_view text, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (result_.output.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !Collect(left)) return result_.output.find(text) != std::string::npos;
  }
  return true;
}

ChildResult ChildProcess::Wait(milliseconds timeout) {
  CloseInput();
  const auto deadline = Clock::now() + timeout;
  auto left = [&] { return std::chrono::duration_cast<milliseconds>(deadline - Clock::now()); };
  while (left().count() > 0 && Collect(left())) {
  }
  while (!reaped_) {
    if (left().count() <= 0 && !result_.timedOut) {
      result_.timedOut = true;
      ::kill(pid_, SIGKILL);
    }
    const pid_t done = ::waitpid(pid_, &result_.status, result_.timedOut ? 0 : WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) {
      reaped_ = true;
    } else if (done == 0) {
      std::this_thread::sleep_for(milliseconds(2));
    }
  }
  while (Collect(milliseconds(1'000))) {
  }
  return result_;
}

ChildResult RunChild(const ChildSetup& setup, std::string_view input, milliseconds timeout) {
  ChildProcess child(setup);
  child.Send(input);
  return child.Wait(timeout);
}

}  // namespace quarnel::testing
