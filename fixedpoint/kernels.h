// The one dispatch point for the fast kernels: each entry computes exactly
// what its plain reference computes, with the fastest variant this CPU runs.
#pragma once

#include <cstdint>

#include "fixedpoint/decimal_groups.h"
#include "fixedpoint/series_rounds.h"

namespace quarnel {

// Same contract and result as SumSeriesPlain.
SeriesOutcome SumSeries(const SeriesRecipe& recipe, WordArray& slot);

// Same contract and result as ConvertToGroupsPlain.
void ConvertToGroups(WordArray& x, std::int32_t w, std::int32_t groupCount, Word* groups);

}  // namespace quarnel
