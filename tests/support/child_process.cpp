#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <tuple>

extern char** environ;

namespace quarnel::test {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

// The parent's environment with the overrides applied, as NAME=VALUE texts.
std::vector<std::string> ChildEnvironment(const ChildSetting& setting) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool overridden = false;
    for (const auto& [overrideName, value] : setting.environment) overridden |= overrideName == name;
    if (!overridden) entries.push_back(text);
  }
  for (const auto& [name, value] : setting.environment) {
    if (value) entries.push_back(name + "=" + *value);
  }
  return entries;
}

// The two ends of a pipe, both close-on-exec.
std::pair<int, int> MakePipe() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) Fail("pipe2");
  return {ends[0], ends[1]};
}

void CloseIfOpen(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const ChildSetting& setting) {
  // Everything the child needs is prepared before fork: it only calls
  // async-signal-safe functions after it.
  const std::vector<std::string> environment = ChildEnvironment(setting);
  std::vector<char*> envp;
  for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  std::string programCopy = program;
  char* argv[] = {programCopy.data(), nullptr};
  const std::string directory = setting.workingDirectory.string();

  // childFds[i] becomes descriptor i in the child; -1 leaves it closed.
  int childFds[3] = {-1, -1, -1};
  if (setting.in == Stream::kPipe) std::tie(childFds[0], inFd_) = MakePipe();
  const auto prepareOutput = [&](Stream stream, int& parentFd, int& childFd) {
    switch (stream) {
      case Stream::kPipe: std::tie(parentFd, childFd) = MakePipe(); break;
      case Stream::kBrokenPipe: {
        int readEnd = -1;
        std::tie(readEnd, childFd) = MakePipe();
        ::close(readEnd);
        break;
      }
      case Stream::kPackets: {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) Fail("socketpair");
        parentFd = ends[0];
        childFd = ends[1];
        packets_ = true;
        break;
      }
      case Stream::kFile:
        childFd = ::open(setting.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (childFd < 0) Fail("open " + setting.outPath);
        break;
      case Stream::kClosed: break;
    }
  };
  prepareOutput(setting.out, outFd_, childFds[1]);
  prepareOutput(setting.err, errFd_, childFds[2]);

  // A child that ends before reading all its input must not kill the test
  // with SIGPIPE: the write fails with EPIPE instead.
  ::signal(SIGPIPE, SIG_IGN);
  pid_ = ::fork();
  if (pid_ < 0) Fail("fork");
  if (pid_ == 0) {
    // Moved clear of 0..2 first, so that no dup2 below overwrites another.
    for (int& fd : childFds) {
      if (fd >= 0 && fd <= 2) fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    }
    for (int target = 0; target <= 2; ++target) {
      if (childFds[target] >= 0) {
        ::dup2(childFds[target], target);
      } else {
        ::close(target);
      }
    }
    if (!directory.empty() && ::chdir(directory.c_str()) != 0) ::_exit(126);
    if (setting.fileSizeLimit != RLIM_INFINITY) {
      const rlimit limit{setting.fileSizeLimit, setting.fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    // The test runner may ignore these; the program must start as a shell
    // would start it.
    ::signal(SIGPIPE, SIG_DFL);
    ::signal(SIGXFSZ, SIG_DFL);
    ::execve(argv[0], argv, envp.data());
    ::_exit(127);
  }
  for (int fd : childFds) {
    if (fd >= 0) ::close(fd);
  }
  for (int fd : {inFd_, outFd_, errFd_}) {
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
}

ChildProcess::~ChildProcess() {
  CloseIfOpen(inFd_);
  CloseIfOpen(outFd_);
  CloseIfOpen(errFd_);
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

void ChildProcess::SendInput(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(inFd_, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    } else if (written < 0 && errno == EPIPE) {
      return;  // the child has stopped reading; what it did is in its output
    } else {
      // The pipe is full: drain the child's output meanwhile, or it might
      // block writing and never read.
      Collect(std::chrono::milliseconds(10));
    }
  }
}

void ChildProcess::CloseInput() { CloseIfOpen(inFd_); }

bool ChildProcess::Collect(std::chrono::milliseconds wait) {
  pollfd entries[2];
  nfds_t count = 0;
  for (int fd : {outFd_, errFd_}) {
    if (fd >= 0) entries[count++] = {fd, POLLIN, 0};
  }
  if (count == 0) return false;
  if (::poll(entries, count, static_cast<int>(wait.count())) < 0 && errno != EINTR) Fail("poll");
  for (nfds_t i = 0; i < count; ++i) {
    if (entries[i].revents == 0) continue;
    const bool isOut = entries[i].fd == outFd_;
    char buffer[65536];
    const ssize_t got = ::read(entries[i].fd, buffer, sizeof buffer);
    if (got > 0) {
      const std::string chunk(buffer, static_cast<std::size_t>(got));
      (isOut ? result_.out : result_.err) += chunk;
      if (isOut && packets_) result_.outWrites.push_back(chunk);
    } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
      CloseIfOpen(isOut ? outFd_ : errFd_);
    }
  }
  return outFd_ >= 0 || errFd_ >= 0;
}

bool ChildProcess::AwaitOutput(std::string_view text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (result_.out.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !Collect(std::min(left, std::chrono::milliseconds(100)))) {
      return result_.out.find(text) != std::string::npos;
    }
  }
  return true;
}

ChildResult ChildProcess::Finish(std::chrono::milliseconds timeout) {
  CloseInput();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline && Collect(std::chrono::milliseconds(100))) {
  }
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      result_.timedOut = true;
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    ::usleep(10'000);
  }
  pid_ = -1;
  CloseIfOpen(outFd_);
  CloseIfOpen(errFd_);
  if (WIFEXITED(status)) result_.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result_.signal = WTERMSIG(status);
  return result_;
}

ChildResult RunChild(const std::string& program, const ChildSetting& setting) {
  ChildProcess child(program, setting);
  child.SendInput(setting.input);
  return child.Finish();
}

TemporaryDirectory::TemporaryDirectory() {
  const char* base = std::getenv("TMPDIR");
  // mkdtemp replaces the six trailing X's with a unique name.
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                        "/quarnel-test-" + std::string(6, 'X');
  if (::mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp");
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

}  // namespace quarnel::test
