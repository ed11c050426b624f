// The result file's exact bytes, with slot 1 holding pi from the series run
// and the digits compared with the independent fixture, and with hand-made
// slot contents where particular groups or words matter.
#include "output/result_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fixedpoint/decimal_groups.h"
#include "fixedpoint/word_array.h"
#include "platform/clock.h"
#include "series/combine.h"
#include "series/computation_engine.h"
#include "series/series_tasks.h"
#include "tests/output/output_test_support.h"

namespace quarnel {
namespace {

using testing::ExpectedBody;
using testing::FixtureDecimals;
using testing::ReadWholeFile;
using testing::TempDir;

constexpr double kStart = 45'000.3;  // a start reading of a realistic date

// The test clock: 42 seconds after kStart. It records whether the result
// file existed when it was read.
const char* gClockFile = nullptr;
int gClockReadings = 0;
bool gFileExistedAtReading = false;
double FortyTwoSecondsLater() {
  ++gClockReadings;
  gFileExistedAtReading = gClockFile != nullptr && std::filesystem::exists(gClockFile);
  return kStart + 42.0 / kSecondsPerDay;
}

const RegionalSettings kNoRegionalSettings{};

class ResultFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("pi.txt");
    gClockFile = path_.c_str();
    gClockReadings = 0;
    gFileExistedAtReading = false;
  }

  // Slot 1 := pi for n digits, from the four series tasks and their
  // combination.
  static void ComputePi(std::int32_t n) {
    W = n / 8;
    RunAndCombine();
  }

  // Writes the result file for n digits from slot 1 and returns its bytes.
  std::string Write(std::int32_t n, const RegionalSettings& regional = kNoRegionalSettings) {
    WriteResultFile(n, n / 8, kStart, {path_.c_str(), FortyTwoSecondsLater, &regional});
    return ReadWholeFile(path_);
  }

  TempDir dir_;
  std::string path_;
};

// The lines of a text, each without its CR LF; fails on a line without one.
std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      ADD_FAILURE() << "a line without CR LF at byte " << at;
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

TEST_F(ResultFile, ThousandDigitsAreExactlyTheseBytes) {
  ComputePi(1'000);
  const std::string file = Write(1'000);
  EXPECT_EQ(file, "1,000 digits of the PI.  Caliculation time:0:00:42\r\n" +
                      ExpectedBody(FixtureDecimals(1'000)));

  // The layout told line by line, independently of ExpectedBody.
  const std::vector<std::string> lines = CrLfLines(file);
  ASSERT_EQ(lines.size(), 22u);
  EXPECT_EQ(lines[1], "3.");
  EXPECT_EQ(lines[2], "1415926535 8979323846 2643383279 5028841971 6939937510");
  EXPECT_EQ(lines[21].substr(44), "2164201989") << "ends with the 1,000th decimal";
  for (std::size_t i = 2; i < lines.size(); ++i) EXPECT_EQ(lines[i].size() + 2, 56u) << i;
  EXPECT_EQ(file.size(), 52 + 4 + 20 * 56u);
}

TEST_F(ResultFile, ReadsTheClockOnceAfterOpeningTheFile) {
  ComputePi(1'000);
  Write(1'000);
  EXPECT_EQ(gClockReadings, 1);
  EXPECT_TRUE(gFileExistedAtReading);
}

TEST_F(ResultFile, HeaderFollowsTheRegionalSettings) {
  ComputePi(1'000);
  const RegionalSettings regional{".", '.', true};
  const std::string file = Write(1'000, regional);
  EXPECT_EQ(file.substr(0, file.find("\r\n")),
            "1.000 digits of the PI.  Caliculation time:00.00.42");
}

TEST_F(ResultFile, TenThousandDigitsMatchTheFixture) {
  ComputePi(10'000);
  EXPECT_EQ(Write(10'000), "10,000 digits of the PI.  Caliculation time:0:00:42\r\n" +
                               ExpectedBody(FixtureDecimals(10'000)));
}

TEST_F(ResultFile, GroupsKeepTheirLeadingZeros) {
  // 3 + 2^-20 = 3.00000095367431640625: the groups 00000, 09536, 74316,
  // 40625 and then nothing but 00000.
  W = 125;
  WordArray& x = ResultSlot(1);
  ClearWords(x);
  x[0] = 3;
  x[1] = 0x0000'1000u;
  const std::vector<std::string> lines = CrLfLines(Write(1'000));
  ASSERT_EQ(lines.size(), 22u);
  EXPECT_EQ(lines[1], "3.");
  EXPECT_EQ(lines[2], "0000009536 7431640625 0000000000 0000000000 0000000000");
  for (std::size_t i = 3; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i], "0000000000 0000000000 0000000000 0000000000 0000000000") << i;
  }
}

TEST_F(ResultFile, ConvertsWithTheHighestIndexFallingEverySecondGroup) {
  // Any slot content: the file's groups and the words slot 1 is left with
  // are those of one conversion over all N/5 groups, whose highest index
  // falls from W by one every second group down to N/40 at the last.
  constexpr std::int32_t kN = 10'000;
  W = kN / 8;
  std::mt19937_64 random(20'260'101);
  WordArray& x = ResultSlot(1);
  for (std::int32_t i = 0; i <= W; ++i)
    x[static_cast<std::size_t>(i)] = static_cast<Word>(random());
  x[0] = 3;
  auto copy = std::make_unique<WordArray>(x);
  std::vector<Word> groups(kN / 5);
  ConvertToGroupsPlain(*copy, W, kN / 5, groups.data());
  ASSERT_EQ(GroupHighestIndex(W, kN / 5), kN / 40);

  const std::string file = Write(kN);
  std::string decimals;
  for (const Word group : groups) {
    std::ostringstream text;
    text.width(5);
    text.fill('0');
    text << group;
    decimals += text.str();
  }
  EXPECT_EQ(file.substr(file.find("\r\n") + 2), ExpectedBody(decimals));
  // The word-array passes leave slot 1 as one whole conversion would; the
  // quasi-linear engine reads it without consuming it.
  if (UsesQuasiLinearEngine(kN)) return;
  for (std::int32_t i = 0; i <= W; ++i) {
    ASSERT_EQ(x[static_cast<std::size_t>(i)], (*copy)[static_cast<std::size_t>(i)]) << "word " << i;
  }
}

TEST_F(ResultFile, ReplacesALongerFileEntirely) {
  {
    std::ofstream old(path_, std::ios::binary);
    old << std::string(200'000, '7');
  }
  ComputePi(1'000);
  EXPECT_EQ(Write(1'000), "1,000 digits of the PI.  Caliculation time:0:00:42\r\n" +
                              ExpectedBody(FixtureDecimals(1'000)));
}

TEST(DigitsFixture, HoldsTheKnownDecimalsOfPi) {
  const std::string all = ReadWholeFile(QUARNEL_SOURCE_DIR "/tests/data/pi-100000.txt");
  ASSERT_EQ(all.size(), 100'001u);
  EXPECT_EQ(all.back(), '\n');
  EXPECT_EQ(all.find_first_not_of("0123456789"), 100'000u);
  EXPECT_EQ(all.substr(0, 20), "14159265358979323846");
  EXPECT_EQ(all.substr(761, 6), "999999") << "decimals 762 to 767";
  EXPECT_EQ(all.substr(990, 10), "2164201989") << "decimals 991 to 1,000";
}

}  // namespace
}  // namespace quarnel
