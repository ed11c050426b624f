// The 256-byte file buffer: what reaches the file, and where a failed
// hand-over is raised. The failures are real: /dev/full, a directory in the
// way, a missing directory.
#include "output/buffered_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/run_error.h"
#include "tests/output/output_test_support.h"

namespace quarnel {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

constexpr std::size_t kBuffer = BufferedFile::kBufferSize;

// The number of the EInOutError that f raises, or 0 when it raises none.
template <typename F>
int InOutErrorOf(F&& f) {
  try {
    f();
  } catch (const EInOutError& error) {
    return error.Number();
  }
  return 0;
}

TEST(BufferedFile, WritesEveryByteInOrderWhateverTheWriteSizes) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  std::string want;
  BufferedFile file(path.c_str());
  // Sizes around the buffer's: below, exactly, across and several buffers.
  for (const std::size_t size : {1u, 255u, 1u, 256u, 257u, 0u, 1000u, 3u}) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) text += static_cast<char>('a' + (want.size() + i) % 26);
    file.Write(text);
    want += text;
  }
  file.Close();
  EXPECT_EQ(ReadWholeFile(path), want);
}

TEST(BufferedFile, HandsOverOnlyFullBuffersUntilClosing) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  BufferedFile file(path.c_str());
  file.Write(std::string(kBuffer, 'x'));
  EXPECT_EQ(ReadWholeFile(path).size(), 0u) << "a write that fits stays in the buffer";
  file.Write("y");
  EXPECT_EQ(ReadWholeFile(path), std::string(kBuffer, 'x')) << "one full buffer";
  file.Close();
  EXPECT_EQ(ReadWholeFile(path), std::string(kBuffer, 'x') + "y");
}

TEST(BufferedFile, AFullDiskShowsAtTheWriteThatOverflowsTheBuffer) {
  BufferedFile file("/dev/full");
  EXPECT_EQ(InOutErrorOf([&] { file.Write(std::string(kBuffer, 'x')); }), 0);
  EXPECT_EQ(InOutErrorOf([&] { file.Write("y"); }), io_error::kDiskFull);
}

TEST(BufferedFile, AFullDiskShowsAtClosingForAShortContent) {
  BufferedFile file("/dev/full");
  EXPECT_EQ(InOutErrorOf([&] { file.Write(std::string(100, 'x')); }), 0);
  EXPECT_EQ(InOutErrorOf([&] { file.Close(); }), io_error::kDiskFull);
}

TEST(BufferedFile, OpeningFailuresRaiseTheirNumbers) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "pi.txt");
  EXPECT_EQ(InOutErrorOf([&] { BufferedFile file(dir.File("pi.txt").c_str()); }),
            io_error::kAccessDenied)
      << "a directory of that name";
  EXPECT_EQ(InOutErrorOf([&] { BufferedFile file(dir.File("missing/pi.txt").c_str()); }),
            io_error::kInvalidFilename)
      << "path not found";
}

TEST(BufferedFile, EmptiesAnExistingFile) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  {
    BufferedFile file(path.c_str());
    file.Write(std::string(1000, 'x'));
    file.Close();
  }
  BufferedFile file(path.c_str());
  EXPECT_EQ(ReadWholeFile(path), "");
  file.Write("short");
  file.Close();
  EXPECT_EQ(ReadWholeFile(path), "short");
}

}  // namespace
}  // namespace quarnel
