// Where the quasi-linear engine starts to beat the plain word-array rounds.
#pragma once

#include <cstdint>

namespace quarnel {

// The smallest digit count at which the engine (all four series and the
// conversion, one thread) is faster than the plain rounds, measured with
// quarnel-engine-bench --crossover: already at the smallest count, 1,000
// digits, the engine takes under a millisecond against about 29 ms for the
// rounds, whose fixed cost of clearing and copying full-capacity arrays
// dominates there. Against a faster word-array kernel, measure again.
inline constexpr std::int32_t kQuasiLinearCrossoverDigits = 1'000;

// True when the engine should run for digit count n.
constexpr bool PreferQuasiLinear(std::int32_t n) { return n >= kQuasiLinearCrossoverDigits; }

}  // namespace quarnel
