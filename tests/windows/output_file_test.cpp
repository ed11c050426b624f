#include "platform/output_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/run_error.h"

namespace quarnel {
namespace {

constexpr const char* kPath = "output_file_test.txt";

std::string ReadWhole(const char* path) {
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(unreadable)";
  std::string text(4096, '\0');
  DWORD got = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
  CloseHandle(file);
  text.resize(got);
  return text;
}

// The error number raised by creating the file at path, 0 if none.
int CreateErrorNumber(const char* path) {
  try {
    CloseOutputFile(CreateOutputFile(path));
  } catch (const EInOutError& error) {
    return error.Number();
  }
  return 0;
}

bool UnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

class OutputFile : public testing::Test {
 protected:
  void TearDown() override {
    DeleteFileA(kPath);
    RemoveDirectoryA(kPath);
  }
};

TEST_F(OutputFile, ReplacesAnExistingFileWhole) {
  OutputFileHandle file = CreateOutputFile(kPath);
  WriteOutputFile(file, "an older and longer content\r\n", 29);
  CloseOutputFile(file);
  file = CreateOutputFile(kPath);
  WriteOutputFile(file, "3.\r\n", 4);
  WriteOutputFile(file, "14159", 5);
  CloseOutputFile(file);
  EXPECT_EQ(ReadWhole(kPath), "3.\r\n14159");
}

TEST_F(OutputFile, OthersMayReadWhileItIsWritten) {
  const OutputFileHandle file = CreateOutputFile(kPath);
  WriteOutputFile(file, "partial", 7);
  EXPECT_EQ(ReadWhole(kPath), "partial");
  CloseOutputFile(file);
}

TEST_F(OutputFile, ADirectoryInTheWayIsAccessDenied) {
  ASSERT_TRUE(CreateDirectoryA(kPath, nullptr));
  EXPECT_EQ(CreateErrorNumber(kPath), io_error::kAccessDenied);
}

TEST_F(OutputFile, AFileHeldOpenByAnotherIsAccessDenied) {
  const HANDLE held = CreateFileA(kPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateErrorNumber(kPath), io_error::kAccessDenied);  // a sharing violation
  CloseHandle(held);
}

TEST_F(OutputFile, AMissingFolderIsAnInvalidFilename) {
  EXPECT_EQ(CreateErrorNumber("no_such_folder\\pi.txt"), io_error::kInvalidFilename);
}

TEST_F(OutputFile, AnOverlongNameIsAnInvalidFilename) {
  const std::string name(300, 'a');
  EXPECT_EQ(CreateErrorNumber(name.c_str()), io_error::kInvalidFilename);
}

TEST_F(OutputFile, AFullDiskIsDiskFull) {
  if (!UnderWine()) GTEST_SKIP() << "needs Wine's view of the host's full device";
  // Wine's drive Z: is the host's root, where /dev/full is a device that is
  // always full.
  const OutputFileHandle file = CreateOutputFile("Z:\\dev\\full");
  try {
    WriteOutputFile(file, "14159", 5);
    ADD_FAILURE() << "the write succeeded";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.Number(), io_error::kDiskFull);
  }
  AbandonOutputFile(file);
}

}  // namespace
}  // namespace quarnel
