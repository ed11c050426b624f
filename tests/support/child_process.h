// Runs a program as a child process with chosen standard streams, for tests
// that check a whole run from outside: the exact bytes it writes, how it
// ends, what it leaves in its working directory.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quarnel::test {

enum class Stream {
  kPipe,        // a pipe to or from the test
  kClosed,      // the descriptor is closed when the program starts
  kBrokenPipe,  // output only: a pipe whose reading end is already closed
  kPackets,     // output only: a sequenced-packet socket, one record per write
  kFile,        // output only: the file at ChildSetting::outPath, opened for writing
};

struct ChildSetting {
  std::string input;  // written to standard input, which then ends
  // Variables set (a value) or removed (nullopt); the rest is inherited.
  std::vector<std::pair<std::string, std::optional<std::string>>> environment;
  std::filesystem::path workingDirectory;  // empty: the test's own
  Stream in = Stream::kPipe;
  Stream out = Stream::kPipe;
  Stream err = Stream::kPipe;
  std::string outPath;  // for out = kFile
  rlim_t fileSizeLimit = RLIM_INFINITY;
};

struct ChildResult {
  std::string out;
  std::string err;
  std::vector<std::string> outWrites;  // with out = kPackets: each write, in order
  int exitStatus = -1;                 // -1 when a signal ended it
  int signal = 0;                      // the signal that ended it, if any
  bool timedOut = false;               // killed after the time allowed
};

// A running child. The destructor kills it if it is still running.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const ChildSetting& setting);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The child's process id, while it runs.
  int Pid() const { return pid_; }

  // Writes bytes to standard input (kept open until CloseInput or Finish).
  void SendInput(std::string_view bytes);
  void CloseInput();

  // Collects output until standard output holds `text`; false if it did not
  // within the time allowed, or the output ended first.
  bool AwaitOutput(std::string_view text, std::chrono::milliseconds timeout);

  // Closes standard input, collects all output and waits for the end; kills
  // the child after `timeout`.
  ChildResult Finish(std::chrono::milliseconds timeout = std::chrono::seconds(60));

 private:
  // Moves whatever the child has written into result_, waiting up to
  // `wait`; returns false when both outputs have ended.
  bool Collect(std::chrono::milliseconds wait);

  int pid_ = -1;
  int inFd_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  bool packets_ = false;
  ChildResult result_;
};

// Starts the program, sends setting.input, and finishes it.
ChildResult RunChild(const std::string& program, const ChildSetting& setting);

// A fresh directory under the system's temporary directory, removed with
// all its contents at the end.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The whole content of a file; empty if it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace quarnel::test
