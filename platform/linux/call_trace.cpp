#include "platform/call_trace.h"

#include <execinfo.h>
#include <link.h>

#include <array>
#include <cstddef>
#include <utility>

namespace quarnel {

namespace {

constexpr int kMaxFrames = 64;

// Where the executable lies in memory: its load address and the address
// ranges of its executable segments.
struct ProgramImage {
  std::uintptr_t base = 0;
  std::vector<std::pair<std::uintptr_t, std::uintptr_t>> code;  // [begin, end)
};

ProgramImage ReadProgramImage() {
  ProgramImage image;
  // The executable is the first object dl_iterate_phdr lists.
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        auto& found = *static_cast<ProgramImage*>(data);
        found.base = info->dlpi_addr;
        for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& segment = info->dlpi_phdr[i];
          if (segment.p_type != PT_LOAD || (segment.p_flags & PF_X) == 0) continue;
          const std::uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
          found.code.emplace_back(begin, begin + segment.p_memsz);
        }
        return 1;
      },
      &image);
  return image;
}

const ProgramImage& Program() {
  static const ProgramImage image = ReadProgramImage();
  return image;
}

// The program's frames among frames[first..count), as offsets.
void AppendProgramFrames(const std::array<void*, kMaxFrames>& frames, int first, int count,
                         std::vector<std::uintptr_t>& trace) {
  for (int i = first; i < count; ++i) {
    const auto address = reinterpret_cast<std::uintptr_t>(frames[static_cast<std::size_t>(i)]);
    if (IsProgramCode(address)) trace.push_back(address - Program().base);
  }
}

}  // namespace

std::uintptr_t ProgramLoadAddress() { return Program().base; }

bool IsProgramCode(std::uintptr_t address) {
  for (const auto& [begin, end] : Program().code) {
    if (address >= begin && address < end) return true;
  }
  return false;
}

std::vector<std::uintptr_t> CaptureCallTrace(int skip) {
  std::array<void*, kMaxFrames> frames{};
  const int count = backtrace(frames.data(), kMaxFrames);
  std::vector<std::uintptr_t> trace;
  AppendProgramFrames(frames, skip + 1, count, trace);
  return trace;
}

std::vector<std::uintptr_t> CaptureCallTraceFrom(const void* raisedAt) {
  std::array<void*, kMaxFrames> frames{};
  const int count = backtrace(frames.data(), kMaxFrames);
  int raising = 0;
  while (raising < count && frames[static_cast<std::size_t>(raising)] != raisedAt) ++raising;

  std::vector<std::uintptr_t> trace{reinterpret_cast<std::uintptr_t>(raisedAt) - Program().base};
  AppendProgramFrames(frames, raising + 1, count, trace);
  return trace;
}

}  // namespace quarnel
