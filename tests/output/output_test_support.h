// Test helpers for the result file: a scratch directory, whole-file reads,
// the expected file built from the digits fixture, and a child process with
// its standard streams captured.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarnel::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the scope.
class TempDir {
 public:
  TempDir() {
    // mkdtemp replaces the six trailing X characters.
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("quarnel-" + std::string(6, 'X'))).string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The whole content of a file, bytes as they are.
inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The first n decimals of pi from the independent fixture (up to 100,000).
inline std::string FixtureDecimals(std::int32_t n) {
  const std::string all = ReadWholeFile(QUARNEL_SOURCE_DIR "/tests/data/pi-100000.txt");
  return all.substr(0, static_cast<std::size_t>(n));
}

// The result file's lines after the header for the given decimals: "3.",
// then lines of five blocks of ten digits, every line ending with CR LF.
inline std::string ExpectedBody(const std::string& decimals) {
  std::string body = "3.\r\n";
  for (std::size_t line = 0; line < decimals.size(); line += 50) {
    for (std::size_t block = 0; block < 5; ++block) {
      body += decimals.substr(line + 10 * block, 10);
      body += block < 4 ? " " : "\r\n";
    }
  }
  return body;
}

struct ChildResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Runs program in directory `dir` with `input` on standard input and the
// environment `env` (NAME=value entries) added; waits for it to end.
inline ChildResult RunChild(const std::string& program, const std::string& input,
                            const std::string& dir, const std::vector<std::string>& env = {}) {
  int in[2], out[2], err[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    for (const std::string& entry : env) ::putenv(const_cast<char*>(entry.c_str()));
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  // Feed the input and drain both outputs together, so that no pipe fills; a
  // child that ends before reading all input makes a write fail, not a signal.
  std::signal(SIGPIPE, SIG_IGN);
  ChildResult result;
  int from[2] = {out[0], err[0]};
  int toChild = in[1];
  std::size_t fed = 0;
  if (input.empty()) {
    ::close(toChild);
    toChild = -1;
  }
  while (from[0] >= 0 || from[1] >= 0) {
    pollfd fds[3] = {{from[0], POLLIN, 0}, {from[1], POLLIN, 0}, {toChild, POLLOUT, 0}};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll failed");
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(from[i], buffer, sizeof buffer);
      if (got > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(from[i]);
        from[i] = -1;
      }
    }
    if (toChild >= 0 && fds[2].revents != 0) {
      const ssize_t put = ::write(toChild, input.data() + fed, input.size() - fed);
      if (put > 0) fed += static_cast<std::size_t>(put);
      if ((put < 0 && errno != EINTR) || fed == input.size()) {
        ::close(toChild);
        toChild = -1;
      }
    }
  }
  if (toChild >= 0) ::close(toChild);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace quarnel::testing
