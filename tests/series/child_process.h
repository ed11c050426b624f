// Child processes for the tests of this room: the program run with given
// input in a directory of its own, and test code run in a forked child.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quarnel::testing {

struct ChildRun {
  std::vector<std::string> argv;  // argv[0] is the program's path
  std::string input;              // written to its standard input, then closed
  std::string workingDirectory;   // empty: the test's own
  bool onOneProcessor = false;    // bound to the first processor it may use
};

struct ChildOutcome {
  int exitStatus = -1;  // the exit status, or -1 when a signal ended it
  int signal = 0;       // the signal that ended it, if one did
  std::string out;
  std::string err;
};

// Runs the program of `run` to its end and collects what it wrote.
ChildOutcome RunChild(const ChildRun& run);

// Runs body in a forked child and returns its result as the child's exit
// status (0..255), or -1 when the child died of a signal.
int RunInForkedChild(const std::function<int()>& body);

// A fresh empty directory under the system's temporary directory, removed
// with everything in it when the object goes.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace quarnel::testing
