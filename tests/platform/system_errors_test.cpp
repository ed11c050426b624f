// System error codes as run-time input/output error numbers.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "platform/call_trace.h"
#include "platform/run_error.h"
#include "platform/system_errors.h"

namespace quarnel {
namespace {

TEST(InOutNumberFromSystemError, TheTable) {
  struct Case {
    int code;
    int onWrite;
    int onRead;
  };
  const Case cases[] = {
      {ENOENT, 3, 3},       {ENOTDIR, 3, 3},      {ENAMETOOLONG, 3, 3}, {ELOOP, 3, 3},
      {EACCES, 5, 5},       {EPERM, 5, 5},        {EISDIR, 5, 5},       {EEXIST, 5, 5},
      {ETXTBSY, 5, 5},      {EBADF, 6, 6},        {ENOSPC, 101, 101},   {EDQUOT, 101, 101},
      {EFBIG, 101, 101},    {EROFS, 150, 150},    {ENXIO, 152, 152},    {ENOMEDIUM, 152, 152},
      {EIO, 160, 161},      {EMFILE, 4, 4},       {ENFILE, 4, 4},       {EPIPE, 232, 232},
      {EBUSY, 5, 5},        {ENOTEMPTY, 5, 5},    {ENOMEM, 8, 8},       {EINVAL, 87, 87},
      {ENODEV, 152, 152},   {ECONNRESET, 232, 232}, {ENOTSUP, 1095, 1095}, {EAGAIN, 1011, 1011},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InOutNumberFromSystemError(c.code, IoDirection::kWrite), c.onWrite) << c.code;
    EXPECT_EQ(InOutNumberFromSystemError(c.code, IoDirection::kOpen), c.onWrite) << c.code;
    EXPECT_EQ(InOutNumberFromSystemError(c.code, IoDirection::kRead), c.onRead) << c.code;
  }
}

// A code outside the table must not come out as a number that means
// something else (errno 2 is not "File not found", 100 not "Read past end").
TEST(InOutNumberFromSystemError, NoRawCodePassesThrough) {
  const std::set<int> mapped = {ENOENT, ENOTDIR, ENAMETOOLONG, ELOOP, EACCES, EPERM, EISDIR,
                                EEXIST, ETXTBSY, EBADF, ENOSPC, EDQUOT, EFBIG, EROFS, ENXIO,
                                ENOMEDIUM, EIO, EMFILE, ENFILE, EPIPE, EBUSY, ENOTEMPTY,
                                ENOMEM, EINVAL, ENODEV, ECONNRESET};
  for (int code = 1; code < 134; ++code) {
    for (IoDirection direction : {IoDirection::kRead, IoDirection::kWrite, IoDirection::kOpen}) {
      const int number = InOutNumberFromSystemError(code, direction);
      EXPECT_GT(number, 1) << code;
      if (!mapped.contains(code)) {
        EXPECT_NE(number, code) << code;
        EXPECT_NE(number, io_error::kReadPastEnd) << code;
        EXPECT_NE(number, io_error::kInvalidInput) << code;
      }
    }
  }
  EXPECT_GE(InOutNumberFromSystemError(0, IoDirection::kWrite), 1000);
  EXPECT_GE(InOutNumberFromSystemError(-5, IoDirection::kWrite), 1000);
}

TEST(RaiseSystemError, RaisesTheMappedInOutError) {
  try {
    RaiseSystemError(ENOSPC, IoDirection::kWrite);
    FAIL() << "nothing raised";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.Number(), io_error::kDiskFull);
    EXPECT_EQ(error.Message(), "Disk Full");
  }
}

// The report points at the code that met the system error, not at the
// helper that turned it into a run-time error.
[[gnu::noinline]] void FailWithDiskFull() { RaiseSystemError(ENOSPC, IoDirection::kWrite); }

TEST(RaiseSystemError, RaisedWhereItIsCalled) {
  try {
    FailWithDiskFull();
    FAIL() << "nothing raised";
  } catch (const EInOutError& error) {
    ASSERT_FALSE(error.Trace().empty());
    const auto caller = reinterpret_cast<std::uintptr_t>(&FailWithDiskFull) - ProgramLoadAddress();
    EXPECT_GT(error.Trace().front(), caller);
    EXPECT_LE(error.Trace().front(), caller + 64);
    ASSERT_GE(error.Trace().size(), 2u);
    EXPECT_NE(error.Trace()[0], error.Trace()[1]);
  }
}

}  // namespace
}  // namespace quarnel
