#include "platform/console.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/run_error.h"
#include "platform/system_errors.h"

namespace quarnel {

namespace {

// The most one ReadFile or WriteFile call is given.
constexpr std::size_t kMaxTransfer = 1u << 30;

// The standard handle `which`, or an error 6 where the process has none.
HANDLE StandardHandle(DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    throw EInOutError(io_error::kInvalidFileHandle);
  }
  return handle;
}

void WriteAll(DWORD which, std::string_view text) {
  const HANDLE handle = StandardHandle(which);
  while (!text.empty()) {
    DWORD written = 0;
    const auto part = static_cast<DWORD>(std::min(text.size(), kMaxTransfer));
    if (!::WriteFile(handle, text.data(), part, &written, nullptr)) {
      RaiseSystemError(static_cast<int>(::GetLastError()), IoDirection::kWrite);
    }
    if (written == 0) throw EInOutError(io_error::kDiskFull);
    text.remove_prefix(written);
  }
}

}  // namespace

// Windows has no signals to silence and never hands out a missing standard
// handle to a file opened later; what is left is to have the system report
// a drive that is not ready as an error code rather than in a dialog box.
void PrepareConsole() { ::SetErrorMode(SEM_FAILCRITICALERRORS); }

void WriteConsoleText(std::string_view text) { WriteAll(STD_OUTPUT_HANDLE, text); }

void WriteConsoleLine(std::string_view line) {
  std::string whole(line);
  whole += "\r\n";
  WriteAll(STD_OUTPUT_HANDLE, whole);
}

void WriteErrorText(std::string_view text) noexcept {
  try {
    WriteAll(STD_ERROR_HANDLE, text);
  } catch (...) {
  }
}

std::size_t ReadConsoleBytes(char* buffer, std::size_t size) {
  const HANDLE handle = StandardHandle(STD_INPUT_HANDLE);
  DWORD got = 0;
  if (::ReadFile(handle, buffer, static_cast<DWORD>(std::min(size, kMaxTransfer)), &got,
                 nullptr)) {
    return got;
  }
  const DWORD code = ::GetLastError();
  // A pipe whose writer has closed it, or a file read at its end, is the
  // end of input, not a failure.
  if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;
  RaiseSystemError(static_cast<int>(code), IoDirection::kRead);
}

}  // namespace quarnel
