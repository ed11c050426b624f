// The clock, the processor count and the call trace on Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/call_trace.h"
#include "platform/clock.h"
#include "platform/processors.h"

namespace quarnel {
namespace {

// Seconds since local midnight, from the broken-down local time.
double SecondsOfDay(const SYSTEMTIME& t) {
  return t.wHour * 3600.0 + t.wMinute * 60.0 + t.wSecond + t.wMilliseconds / 1000.0;
}

TEST(LocalTimestampNow, TheFractionIsTheLocalTimeOfDay) {
  SYSTEMTIME before{};
  GetLocalTime(&before);
  const double stamp = LocalTimestampNow();
  SYSTEMTIME after{};
  GetLocalTime(&after);
  if (after.wDay != before.wDay) GTEST_SKIP() << "ran across midnight";
  const double seconds = (stamp - std::floor(stamp)) * kSecondsPerDay;
  EXPECT_GE(seconds, SecondsOfDay(before) - 0.002);
  EXPECT_LE(seconds, SecondsOfDay(after) + 0.002);
}

TEST(LocalTimestampNow, DifferencesAreElapsedDays) {
  const double first = LocalTimestampNow();
  Sleep(200);
  const double elapsed = (LocalTimestampNow() - first) * kSecondsPerDay;
  EXPECT_GE(elapsed, 0.15);
  EXPECT_LT(elapsed, 5.0);
}

// Restores the process's affinity mask on leaving.
class AffinityRestore {
 public:
  AffinityRestore() { GetProcessAffinityMask(GetCurrentProcess(), &saved_, &system_); }
  ~AffinityRestore() { SetProcessAffinityMask(GetCurrentProcess(), saved_); }
  AffinityRestore(const AffinityRestore&) = delete;
  AffinityRestore& operator=(const AffinityRestore&) = delete;
  DWORD_PTR Saved() const { return saved_; }

 private:
  DWORD_PTR saved_ = 0;
  DWORD_PTR system_ = 0;
};

TEST(UsableProcessorCount, CountsTheAffinityMask) {
  const AffinityRestore restore;
  EXPECT_EQ(UsableProcessorCount(),
            std::popcount(static_cast<std::uint32_t>(restore.Saved() & 0xFFFF'FFFFu)));
  ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), 1));
  EXPECT_EQ(UsableProcessorCount(), 1);
}

// The trace as seen from one call site, whatever is skipped.
__attribute__((noinline)) std::vector<std::uintptr_t> TraceFromHere(int skip) {
  std::vector<std::uintptr_t> trace = CaptureCallTrace(skip);
  asm volatile("" ::: "memory");  // keeps the call from becoming a jump
  return trace;
}

TEST(CaptureCallTrace, GivesOffsetsInsideTheProgramImage) {
  const auto base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const std::uintptr_t imageSize = nt->OptionalHeader.SizeOfImage;

  const std::vector<std::uintptr_t> trace = TraceFromHere(0);
  ASSERT_GE(trace.size(), 2u);
  // The innermost frames are this program's own code.
  EXPECT_LT(trace[0], imageSize);
  EXPECT_LT(trace[1], imageSize);
  const auto here = reinterpret_cast<std::uintptr_t>(&TraceFromHere) -
                    reinterpret_cast<std::uintptr_t>(base);
  EXPECT_GT(trace[0], here);  // a return address inside TraceFromHere
}

// Both traces pass through the one call of TraceFromHere in here.
__attribute__((noinline)) std::vector<std::uintptr_t> TraceThroughOneSite(int skip) {
  std::vector<std::uintptr_t> trace = TraceFromHere(skip);
  asm volatile("" ::: "memory");
  return trace;
}

TEST(CaptureCallTrace, SkipsTheInnermostFrames) {
  const std::vector<std::uintptr_t> full = TraceThroughOneSite(0);
  const std::vector<std::uintptr_t> skipped = TraceThroughOneSite(1);
  ASSERT_GE(full.size(), 2u);
  ASSERT_EQ(skipped.size(), full.size() - 1);
  EXPECT_EQ(skipped[0], full[1]);  // the return into TraceThroughOneSite
}

}  // namespace
}  // namespace quarnel
