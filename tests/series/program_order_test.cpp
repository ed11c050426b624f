// The whole program bound to one processor: the tasks run one after another
// on the main thread, so their lines come strictly in index order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"

namespace quarnel {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2) {
    lines.push_back(text.substr(from, end - from));
  }
  return lines;
}

TEST(ProgramOnOneProcessor, WritesTheTaskLinesInIndexOrder) {
  testing::TempDirectory directory;
  testing::ChildRun run;
  run.argv = {QUARNEL_PROGRAM};
  run.input = "1000\n";
  run.workingDirectory = directory.Path();
  run.onOneProcessor = true;
  const testing::ChildOutcome outcome = testing::RunChild(run);
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;

  std::vector<std::string> seen;
  for (const std::string& line : SplitLines(outcome.out)) {
    if (line.rfind("Thread ", 0) == 0 || line == "Calculation finished.") seen.push_back(line);
  }
  const std::vector<std::string> expected = {
      "Thread 1 started",  "Thread 1 finished", "Thread 2 started", "Thread 2 finished",
      "Thread 3 started",  "Thread 3 finished", "Thread 4 started", "Thread 4 finished",
      "Calculation finished.",
  };
  EXPECT_EQ(seen, expected) << outcome.out;
}

}  // namespace
}  // namespace quarnel
