// A long run interrupted after its start line ends at once, killed by the
// signal (130 or 143 in a shell), and leaves an earlier pi.txt untouched:
// the file is created only after the computation.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/faults/child_process.h"
#include "tests/faults/transcript.h"

namespace quarnel::testing {
namespace {

constexpr const char* kPrevious = "the previous run's file\r\n";

class Interrupt : public ::testing::TestWithParam<int> {};

TEST_P(Interrupt, EndsPromptlyKilledBySignal) {
  TempDir work;
  {
    std::ofstream(work / "pi.txt", std::ios::binary) << kPrevious;
  }
  ChildSetup setup;
  setup.argv = {QUARNEL_PROGRAM};
  setup.workDir = work.Path();
  ChildProcess child(setup);
  child.Send("1000000\n");
  ASSERT_TRUE(child.AwaitOutput("1,000,000 digits of the PI calculation started...\r\n",
                                milliseconds(30'000)));
  child.Signal(GetParam());
  const ChildResult result = child.Wait(milliseconds(5'000));
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.TermSignal(), GetParam()) << result.Describe();
  EXPECT_EQ(result.output.find(kCalculationFinished), std::string::npos);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(ReadWholeFile(work / "pi.txt").value_or(""), kPrevious);
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupt, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& row) {
                           return std::string(row.param == SIGINT ? "SIGINT" : "SIGTERM");
                         });

}  // namespace
}  // namespace quarnel::testing
