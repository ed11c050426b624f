// Which engine computes a run: the word-array kernels or, from the measured
// crossover on and where it is built, the quasi-linear engine. Both give the
// same slots and digits bit for bit; only the time differs.
#pragma once

#include <cstdint>

#include "fixedpoint/decimal_groups.h"
#include "fixedpoint/series_rounds.h"

namespace quarnel {

// True when the quasi-linear engine computes a run of n digits.
bool UsesQuasiLinearEngine(std::int32_t n);

// SumSeries, or the engine's sum for the run-wide W (digit count 8 W).
SeriesOutcome SumSeriesForRun(const SeriesRecipe& recipe, WordArray& slot);

// ConvertToGroups, or the engine's conversion for a run of n digits.
void ConvertToGroupsForRun(std::int32_t n, WordArray& x, std::int32_t w,
                           std::int32_t groupCount, Word* groups);

}  // namespace quarnel
