// The operating system's error codes as run-time input/output error numbers.
#pragma once

namespace quarnel {

enum class IoDirection { kRead, kWrite, kOpen };

// The run-time error number for the system error code `code` (errno on
// Linux) met while doing `direction`. A raw code is never passed through
// where it would mean something else as a run-time error number.
int InOutNumberFromSystemError(int code, IoDirection direction);

// Raises EInOutError for the system error code `code`.
[[noreturn]] void RaiseSystemError(int code, IoDirection direction);

}  // namespace quarnel
