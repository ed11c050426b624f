#include "platform/processors.h"

#include <windows.h>

#include <bit>
#include <cstdint>

namespace quarnel {

int UsableProcessorCount() {
  DWORD_PTR processMask = 0;
  DWORD_PTR systemMask = 0;
  int count = 0;
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &processMask, &systemMask)) {
    count = std::popcount(static_cast<std::uint32_t>(processMask & 0xFFFF'FFFFu));
  } else {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    count = static_cast<int>(info.dwNumberOfProcessors);
  }
  return count < 1 ? 1 : count;
}

}  // namespace quarnel
