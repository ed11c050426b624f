// Where the quasi-linear engine starts to beat the plain word-array rounds.
#pragma once

#include <cstdint>

namespace quarnel {

// The smallest digit count at which the engine (all four series and the
// conversion) is faster than the plain rounds; measured with
// quarnel-engine-bench --crossover.
inline constexpr std::int32_t kQuasiLinearCrossoverDigits = 3'000;

// True when the engine should run for digit count n.
constexpr bool PreferQuasiLinear(std::int32_t n) { return n >= kQuasiLinearCrossoverDigits; }

}  // namespace quarnel
