// The whole program run many times at N = 1,000 on one, two and all usable
// processors: every console line whole and expected, each task's started
// line before its finished line (strictly in task order on one processor),
// and the same, right digits every time.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/faults/child_process.h"
#include "tests/faults/transcript.h"

namespace quarnel::testing {
namespace {

// Runs per processor set; QUARNEL_STRESS_RUNS asks for more.
int RunCount() {
  const char* runs = std::getenv("QUARNEL_STRESS_RUNS");
  return runs != nullptr ? std::max(1, std::atoi(runs)) : 25;
}

struct ProcessorRow {
  const char* name;
  std::size_t processors;  // 0: all usable
};

// Checks one transcript; `serial` demands the task lines in index order.
void CheckTranscript(const std::string& output, bool serial) {
  const auto lines = CrLfLines(output);
  ASSERT_TRUE(lines) << "a line not ended by CR LF:\n" << output;
  ASSERT_EQ(lines->size(), 15u) << output;
  EXPECT_TRUE(IsBanner((*lines)[0]));
  EXPECT_EQ((*lines)[1], "");
  EXPECT_EQ((*lines)[2], kPrompt);
  EXPECT_EQ((*lines)[3], kStartLine1000);
  std::vector<std::string> taskLines(lines->begin() + 4, lines->begin() + 12);
  for (int k = 1; k <= 4; ++k) {
    const std::string name = "Thread " + std::to_string(k);
    const auto started = std::find(taskLines.begin(), taskLines.end(), name + " started");
    const auto finished = std::find(taskLines.begin(), taskLines.end(), name + " finished");
    ASSERT_NE(started, taskLines.end()) << output;
    ASSERT_NE(finished, taskLines.end()) << output;
    EXPECT_LT(started, finished) << output;
    if (serial) {
      EXPECT_EQ(started - taskLines.begin(), 2 * (k - 1)) << output;
      EXPECT_EQ(finished - started, 1) << output;
    }
  }
  std::sort(taskLines.begin(), taskLines.end());
  EXPECT_EQ(std::unique(taskLines.begin(), taskLines.end()), taskLines.end()) << output;
  EXPECT_EQ((*lines)[12], kCalculationFinished);
  EXPECT_EQ((*lines)[13], kConverting);
  EXPECT_EQ((*lines)[14], kFinished);
}

class RaceStress : public ::testing::TestWithParam<ProcessorRow> {};

TEST_P(RaceStress, EveryRunWholeOrderedAndRight) {
  const std::vector<int> usable = UsableProcessors();
  std::vector<int> chosen = usable;
  if (GetParam().processors > 0) {
    if (usable.size() < GetParam().processors) {
      GTEST_SKIP() << "needs " << GetParam().processors << " usable processors";
    }
    chosen.resize(GetParam().processors);
  } else {
    // Four processors where the machine has them; all there are otherwise.
    chosen.resize(std::min<std::size_t>(usable.size(), 4));
    std::cout << "running on " << chosen.size() << " processor(s)\n";
  }
  std::string firstBody;
  for (int run = 0; run < RunCount(); ++run) {
    TempDir work;
    ChildSetup setup;
    setup.argv = {QUARNEL_PROGRAM};
    setup.workDir = work.Path();
    setup.processors = chosen;
    const ChildResult result = RunChild(setup, "1000\n");
    ASSERT_EQ(result.ExitCode(), 0) << "run " << run << ": " << result.Describe() << "\n"
                                    << result.error;
    EXPECT_EQ(result.error, "");
    CheckTranscript(result.output, chosen.size() == 1);
    const std::string file = ReadWholeFile(work / "pi.txt").value_or("");
    ASSERT_TRUE(IsResultFileOf1000(file)) << "run " << run;
    ASSERT_TRUE(file.ends_with("2164201989\r\n"));
    const std::string body = file.substr(file.find("\r\n"));
    if (run == 0) firstBody = body;
    ASSERT_EQ(body, firstBody) << "run " << run;
    if (HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(Processors, RaceStress,
                         ::testing::Values(ProcessorRow{"One", 1}, ProcessorRow{"Two", 2},
                                           ProcessorRow{"Four", 0}),
                         [](const ::testing::TestParamInfo<ProcessorRow>& row) {
                           return std::string(row.param.name);
                         });

}  // namespace
}  // namespace quarnel::testing
