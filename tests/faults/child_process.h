// Runs a program as a child process under chosen conditions: its standard
// streams piped, closed, full or with the reader gone; its working directory,
// environment, processors, user, resource limits and a read-only mount.
//
// The child starts with every signal at its default action and none blocked,
// as from a terminal, whatever the test process inherited. A step of the
// set-up that fails in the child (before the program runs) is reported in
// the result, not as the program's own failure.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::testing {

using std::chrono::milliseconds;

// What one of the child's standard streams is connected to.
enum class Stream {
  kPipe,        // a pipe to or from the test
  kClosed,      // no descriptor at all
  kBrokenPipe,  // output only: a pipe whose reading end is already closed
  kDevFull,     // output only: /dev/full, where every write fails for lack of space
};

struct ResourceLimit {
  int resource;  // RLIMIT_...
  rlim_t value;  // both the soft and the hard limit
};

struct ChildSetup {
  std::vector<std::string> argv;          // argv[0] is the program's path
  std::string workDir;                    // empty: the test's own
  std::vector<std::string> extraEnv;      // "NAME=value", beside PATH, LC_ALL=C and the
                                          // test's sanitizer options, which these override
  Stream input = Stream::kPipe;
  Stream output = Stream::kPipe;
  Stream error = Stream::kPipe;
  std::vector<int> processors;            // empty: those the test may use
  std::optional<uid_t> user;              // run as this user (and group of the same number)
  std::vector<ResourceLimit> limits;      // set last, after the user change
  std::string readOnlyMount;              // a private read-only tmpfs over this path
};

struct ChildResult {
  std::string output;        // all of standard output, when piped
  std::string error;         // all of standard error, when piped
  int status = 0;            // the raw wait status
  bool timedOut = false;     // killed by the test for running too long
  std::string setupFailure;  // the set-up step that failed in the child; empty when it ran
  int setupErrno = 0;

  bool Ran() const { return setupFailure.empty(); }
  // The exit status, or -1 when the child did not exit normally.
  int ExitCode() const;
  // The signal that killed the child, or 0.
  int TermSignal() const;
  // "exit status N" or "killed by signal N", for messages.
  std::string Describe() const;
};

class ChildProcess {
 public:
  // Starts the child; throws std::runtime_error if the fork itself fails.
  explicit ChildProcess(const ChildSetup& setup);
  // Kills and reaps a child still running.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }

  // Writes bytes to the child's standard input; false when it has gone.
  bool Send(std::string_view bytes);
  void CloseInput();

  // Collects output until standard output holds `text`; false when the child
  // closes it first or time runs out.
  bool AwaitOutput(std::string_view text, milliseconds timeout);

  void Signal(int signal);

  // Closes the input, collects all output and reaps the child, killing it
  // once `timeout` has passed.
  ChildResult Wait(milliseconds timeout);

 private:
  // Reads whatever the pipes hold within `timeout`; false once both are closed.
  bool Collect(milliseconds timeout);

  pid_t pid_ = -1;
  int inputFd_ = -1;
  int outputFd_ = -1;
  int errorFd_ = -1;
  bool reaped_ = false;
  ChildResult result_;
};

// Starts the child, sends `input`, closes the input and waits for the end.
ChildResult RunChild(const ChildSetup& setup, std::string_view input,
                     milliseconds timeout = milliseconds(60'000));

}  // namespace quarnel::testing
