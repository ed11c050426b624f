#include "platform/call_trace.h"

#include <execinfo.h>
#include <link.h>

#include <array>

namespace quarnel {

namespace {

// The load address of the executable itself (the first object listed).
std::uintptr_t ProgramLoadAddress() {
  std::uintptr_t base = 0;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        *static_cast<std::uintptr_t*>(data) = info->dlpi_addr;
        return 1;
      },
      &base);
  return base;
}

}  // namespace

std::vector<std::uintptr_t> CaptureCallTrace(int skip) {
  constexpr int kMaxFrames = 32;
  std::array<void*, kMaxFrames> frames{};
  const int count = backtrace(frames.data(), kMaxFrames);
  const std::uintptr_t base = ProgramLoadAddress();
  std::vector<std::uintptr_t> trace;
  for (int i = skip + 1; i < count; ++i) {
    const auto address = reinterpret_cast<std::uintptr_t>(frames[static_cast<std::size_t>(i)]);
    trace.push_back(address - base);
  }
  return trace;
}

}  // namespace quarnel
