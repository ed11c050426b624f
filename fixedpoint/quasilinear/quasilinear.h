// The quasi-linear engine: the same series slots and decimal groups as the
// word-array rounds, bit for bit, computed with subquadratic big-integer
// arithmetic instead of one pass over the words per round.
#pragma once

#include <cstdint>

#include "fixedpoint/decimal_groups.h"
#include "fixedpoint/series_rounds.h"

namespace quarnel {

// Same contract and result as SumSeriesPlain: every word 0..W of slot written.
SeriesOutcome SumSeriesQuasiLinear(const SeriesRecipe& recipe, WordArray& slot);

// Same contract and groups as ConvertToGroupsPlain (x is consumed: its words
// afterwards are unspecified).
void ConvertToGroupsQuasiLinear(WordArray& x, std::int32_t w, std::int32_t groupCount,
                                Word* groups);

}  // namespace quarnel
