#include "platform/output_file.h"

#include <windows.h>

#include <algorithm>

#include "platform/run_error.h"
#include "platform/system_errors.h"

namespace quarnel {

namespace {

// The most one WriteFile call is given.
constexpr std::size_t kMaxTransfer = 1u << 30;

HANDLE AsHandle(OutputFileHandle file) { return reinterpret_cast<HANDLE>(file); }

[[noreturn]] void RaiseLastError(IoDirection direction) {
  RaiseSystemError(static_cast<int>(::GetLastError()), direction);
}

}  // namespace

// Others may read the file while it is written, but not write or delete it.
OutputFileHandle CreateOutputFile(const char* path) {
  const HANDLE file = ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) RaiseLastError(IoDirection::kOpen);
  return reinterpret_cast<OutputFileHandle>(file);
}

void WriteOutputFile(OutputFileHandle file, const char* data, std::size_t size) {
  while (size > 0) {
    const auto part = static_cast<DWORD>(std::min(size, kMaxTransfer));
    DWORD written = 0;
    if (!::WriteFile(AsHandle(file), data, part, &written, nullptr)) {
      RaiseLastError(IoDirection::kWrite);
    }
    // A write that stores fewer bytes than given means the medium is full.
    if (written < part) throw EInOutError(io_error::kDiskFull);
    data += part;
    size -= part;
  }
}

void CloseOutputFile(OutputFileHandle file) {
  if (!::CloseHandle(AsHandle(file))) RaiseLastError(IoDirection::kWrite);
}

void AbandonOutputFile(OutputFileHandle file) noexcept { ::CloseHandle(AsHandle(file)); }

}  // namespace quarnel
