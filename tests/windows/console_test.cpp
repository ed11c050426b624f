#include "platform/console.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/run_error.h"

namespace quarnel {
namespace {

// Puts `handle` in place of a standard handle for the life of the object.
class StandardHandleSwap {
 public:
  StandardHandleSwap(DWORD which, HANDLE handle) : which_(which), saved_(GetStdHandle(which)) {
    SetStdHandle(which_, handle);
  }
  ~StandardHandleSwap() { SetStdHandle(which_, saved_); }
  StandardHandleSwap(const StandardHandleSwap&) = delete;
  StandardHandleSwap& operator=(const StandardHandleSwap&) = delete;

 private:
  DWORD which_;
  HANDLE saved_;
};

// A message-mode pipe: each read returns exactly what one write handed over.
struct MessagePipe {
  MessagePipe() {
    static int count = 0;
    const std::string name = "\\\\.\\pipe\\quarnel-console-" +
                             std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
    reader = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND,
                              PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096,
                              0, nullptr);
    writer = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  ~MessagePipe() {
    CloseHandle(reader);
    CloseHandle(writer);
  }
  std::string NextMessage() const {
    char buffer[4096];
    DWORD got = 0;
    if (!ReadFile(reader, buffer, sizeof buffer, &got, nullptr)) return "(read failed)";
    return std::string(buffer, got);
  }
  HANDLE reader = INVALID_HANDLE_VALUE;
  HANDLE writer = INVALID_HANDLE_VALUE;
};

int InOutNumberOf(void (*action)()) {
  try {
    action();
  } catch (const EInOutError& error) {
    return error.Number();
  }
  return 0;
}

TEST(ConsoleOutput, HandsEachLineAndThePromptOverInOneWrite) {
  MessagePipe pipe;
  ASSERT_NE(pipe.writer, INVALID_HANDLE_VALUE);
  const StandardHandleSwap swap(STD_OUTPUT_HANDLE, pipe.writer);
  WriteConsoleLine("1,000 digits of the PI calculation started...");
  WriteConsoleText("Digits to calculate = ");
  WriteConsoleLine("");
  EXPECT_EQ(pipe.NextMessage(), "1,000 digits of the PI calculation started...\r\n");
  EXPECT_EQ(pipe.NextMessage(), "Digits to calculate = ");
  EXPECT_EQ(pipe.NextMessage(), "\r\n");
}

TEST(WriteErrorText, GoesToStandardErrorOnly) {
  MessagePipe out;
  MessagePipe err;
  const StandardHandleSwap swapOut(STD_OUTPUT_HANDLE, out.writer);
  const StandardHandleSwap swapErr(STD_ERROR_HANDLE, err.writer);
  WriteErrorText("report\r\n");
  WriteConsoleLine("line");
  EXPECT_EQ(err.NextMessage(), "report\r\n");
  EXPECT_EQ(out.NextMessage(), "line\r\n");
}

TEST(Console, UnusableStandardHandlesGiveInvalidFileHandle) {
  const HANDLE closed = CreateFileA("console_test_closed.txt", GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(closed, INVALID_HANDLE_VALUE);
  CloseHandle(closed);
  // No handle at all, the invalid value, and one that was closed.
  for (const HANDLE handle : {HANDLE{nullptr}, INVALID_HANDLE_VALUE, closed}) {
    {
      const StandardHandleSwap swap(STD_OUTPUT_HANDLE, handle);
      EXPECT_EQ(InOutNumberOf([] { WriteConsoleLine("x"); }), io_error::kInvalidFileHandle);
    }
    {
      const StandardHandleSwap swap(STD_INPUT_HANDLE, handle);
      EXPECT_EQ(InOutNumberOf([] {
                  char byte = 0;
                  ReadConsoleBytes(&byte, 1);
                }),
                io_error::kInvalidFileHandle);
    }
    const StandardHandleSwap swap(STD_ERROR_HANDLE, handle);
    WriteErrorText("nobody reads this\r\n");  // ignored, never raised
  }
}

TEST(ConsoleOutput, APipeWithoutReaderGivesTheSystemCode) {
  HANDLE reader = nullptr;
  HANDLE writer = nullptr;
  ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 0));
  CloseHandle(reader);
  {
    const StandardHandleSwap swap(STD_OUTPUT_HANDLE, writer);
    // ERROR_NO_DATA, "the pipe is being closed", shown as an unknown error.
    EXPECT_EQ(InOutNumberOf([] { WriteConsoleLine("lost"); }), ERROR_NO_DATA);
  }
  CloseHandle(writer);
}

TEST(ReadConsoleBytes, APipeClosedByItsWriterEndsTheInput) {
  HANDLE reader = nullptr;
  HANDLE writer = nullptr;
  ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 0));
  DWORD written = 0;
  WriteFile(writer, "1000\r\n", 6, &written, nullptr);
  CloseHandle(writer);
  {
    const StandardHandleSwap swap(STD_INPUT_HANDLE, reader);
    char buffer[16] = {};
    EXPECT_EQ(ReadConsoleBytes(buffer, sizeof buffer), 6u);
    EXPECT_EQ(std::string(buffer, 6), "1000\r\n");
    EXPECT_EQ(ReadConsoleBytes(buffer, sizeof buffer), 0u);
    EXPECT_EQ(ReadConsoleBytes(buffer, sizeof buffer), 0u);
  }
  CloseHandle(reader);
}

}  // namespace
}  // namespace quarnel
