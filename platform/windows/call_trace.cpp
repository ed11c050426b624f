#include "platform/call_trace.h"

#include <windows.h>

#include <array>

namespace quarnel {

std::vector<std::uintptr_t> CaptureCallTrace(int skip) {
  constexpr DWORD kMaxFrames = 32;
  std::array<void*, kMaxFrames> frames{};
  // One more frame skipped: this function's own.
  const WORD count = ::CaptureStackBackTrace(static_cast<DWORD>(skip + 1), kMaxFrames,
                                             frames.data(), nullptr);
  // The program's load address: its module handle is its base.
  const auto base = reinterpret_cast<std::uintptr_t>(::GetModuleHandleW(nullptr));
  std::vector<std::uintptr_t> trace;
  for (WORD i = 0; i < count; ++i) {
    trace.push_back(reinterpret_cast<std::uintptr_t>(frames[i]) - base);
  }
  return trace;
}

std::uintptr_t ProgramLoadAddress() {
  return reinterpret_cast<std::uintptr_t>(::GetModuleHandleW(nullptr));
}

std::vector<std::uintptr_t> CaptureCallTraceFrom(const void* raisedAt) {
  const std::uintptr_t raised = reinterpret_cast<std::uintptr_t>(raisedAt) - ProgramLoadAddress();
  std::vector<std::uintptr_t> trace = CaptureCallTrace(0);
  for (std::size_t i = 0; i < trace.size(); ++i) {
    if (trace[i] == raised) return {trace.begin() + static_cast<std::ptrdiff_t>(i), trace.end()};
  }
  return {raised};
}

}  // namespace quarnel
