#include "platform/system_errors.h"

#include <gtest/gtest.h>

namespace quarnel {
namespace {

struct Case {
  int code;
  int number;
};

// Windows codes are run-time error numbers already, with these exceptions.
constexpr Case kCases[] = {
    {2, 2},      // file not found: unchanged
    {3, 3},      // path not found reads "Invalid filename" unchanged
    {5, 5},      // access denied: unchanged
    {6, 6},      // invalid handle: unchanged
    {18, 18},    // just below the device codes
    {19, 150},   // write-protected: the first device code
    {21, 152},   // drive not ready
    {29, 160},   // write fault
    {30, 161},   // read fault
    {31, 162},   // general failure: the last device code
    {32, 5},     // sharing violation: held open by another program
    {33, 33},    // lock violation, just past the merged codes: unchanged
    {39, 101},   // handle disk full
    {80, 5},     // file exists
    {112, 101},  // disk full
    {145, 5},    // directory not empty
    {183, 5},    // already exists
    {206, 3},    // file name too long
    {232, 232},  // the pipe is being closed: unknown, shown by its number
    {233, 233},  // no process on the other end of the pipe
};

TEST(InOutNumberFromSystemError, MapsWindowsCodes) {
  for (const Case& c : kCases) {
    for (const IoDirection direction :
         {IoDirection::kRead, IoDirection::kWrite, IoDirection::kOpen}) {
      EXPECT_EQ(InOutNumberFromSystemError(c.code, direction), c.number) << "code " << c.code;
    }
  }
}

}  // namespace
}  // namespace quarnel
