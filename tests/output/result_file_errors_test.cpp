// Result files that cannot be written, for real: a directory in the way, a
// full disk, a read-only file, a missing directory. Each raises EInOutError
// with its number at once. No series run here, so no pool threads exist when
// a test forks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fixedpoint/decimal_groups.h"
#include "fixedpoint/word_array.h"
#include "output/result_file.h"
#include "platform/run_error.h"
#include "series/series_tasks.h"
#include "tests/output/output_test_support.h"

namespace quarnel {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

int gClockReadings = 0;
double CountingClock() {
  ++gClockReadings;
  return 45'000.5;
}

const RegionalSettings kNoRegionalSettings{};

// Writes the result file for n digits at path and returns the number of the
// EInOutError raised, or 0 for none.
int WriteAt(const std::string& path, std::int32_t n) {
  W = n / 8;
  try {
    WriteResultFile(n, W, 45'000.5, {path.c_str(), CountingClock, &kNoRegionalSettings});
  } catch (const EInOutError& error) {
    return error.Number();
  }
  return 0;
}

class ResultFileFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    gClockReadings = 0;
    W = 125;
    ClearWords(ResultSlot(1));
    ResultSlot(1)[0] = 3;
  }
  TempDir dir_;
};

TEST_F(ResultFileFailure, ADirectoryNamedPiTxtIsAccessDenied) {
  std::filesystem::create_directory(dir_.Path() / "pi.txt");
  EXPECT_EQ(WriteAt(dir_.File("pi.txt"), 1'000), io_error::kAccessDenied);
  EXPECT_EQ(InOutErrorMessage(io_error::kAccessDenied), "Access denied");
  EXPECT_EQ(gClockReadings, 0) << "the clock is read only once the file is open";
  EXPECT_TRUE(std::filesystem::is_directory(dir_.Path() / "pi.txt"));
}

TEST_F(ResultFileFailure, AMissingDirectoryIsAnInvalidFilename) {
  EXPECT_EQ(WriteAt(dir_.File("gone/pi.txt"), 1'000), io_error::kInvalidFilename);
}

TEST_F(ResultFileFailure, AFullDiskIsDiskFull) {
  // The 1,000-digit file is far longer than the 256-byte buffer, so the
  // failure comes from a hand-over during the writing.
  std::filesystem::create_symlink("/dev/full", dir_.Path() / "pi.txt");
  EXPECT_EQ(WriteAt(dir_.File("pi.txt"), 1'000), io_error::kDiskFull);
  EXPECT_EQ(InOutErrorMessage(io_error::kDiskFull), "Disk Full");
}

TEST_F(ResultFileFailure, AFullDiskStopsTheConversionEarly) {
  // 100,000 digits of an arbitrary number: the first failed hand-over ends
  // the writer long before the last group, so slot 1 is left short of the
  // state a whole conversion gives.
  constexpr std::int32_t kN = 100'000;
  W = kN / 8;
  std::mt19937_64 random(77);
  WordArray& x = ResultSlot(1);
  for (std::int32_t i = 0; i <= W; ++i)
    x[static_cast<std::size_t>(i)] = static_cast<Word>(random());
  auto whole = std::make_unique<WordArray>(x);
  std::vector<Word> groups(kN / 5);
  ConvertToGroupsPlain(*whole, W, kN / 5, groups.data());

  std::filesystem::create_symlink("/dev/full", dir_.Path() / "pi.txt");
  ASSERT_EQ(WriteAt(dir_.File("pi.txt"), kN), io_error::kDiskFull);
  EXPECT_NE(x[static_cast<std::size_t>(kN / 40 + 1)],
            (*whole)[static_cast<std::size_t>(kN / 40 + 1)])
      << "the conversion ran on after the failed write";
}

TEST_F(ResultFileFailure, AReadOnlyFileIsAccessDeniedForAnUnprivilegedUser) {
  const std::string path = dir_.File("pi.txt");
  { std::ofstream(path) << "earlier result"; }
  ::chmod(path.c_str(), 0444);
  ::chmod(dir_.Path().c_str(), 0755);  // the unprivileged user may enter
  if (::geteuid() != 0) {
    EXPECT_EQ(WriteAt(path, 1'000), io_error::kAccessDenied);
  } else {
    // Root ignores permission bits: the attempt runs in a child that has
    // given up root for the unprivileged user 65534.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
      ::_exit(WriteAt(path, 1'000));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 100) {
      GTEST_SKIP() << "running as root and cannot switch to user 65534; "
                      "the read-only case needs an unprivileged user";
    }
    EXPECT_EQ(WEXITSTATUS(status), io_error::kAccessDenied);
  }
  EXPECT_EQ(ReadWholeFile(path), "earlier result") << "the read-only file is not emptied";
}

}  // namespace
}  // namespace quarnel
