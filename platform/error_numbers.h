// The operating system's error codes as run-time input/output error numbers.
#pragma once

namespace quarnel {

enum class IoDirection { kRead, kWrite, kOpen };

// The run-time error number for errno value `err` met while doing `direction`.
// Never passes a raw errno through: Linux numbers mean other things.
int InOutNumberFromErrno(int err, IoDirection direction);

// Raises EInOutError for errno value `err`.
[[noreturn]] void RaiseErrno(int err, IoDirection direction);

}  // namespace quarnel
