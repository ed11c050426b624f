// The series sum of the quasi-linear engine, with the knobs its tests turn.
#pragma once

#include <cstdint>

#include "fixedpoint/series_rounds.h"

namespace quarnel {

struct SeriesSumTuning {
  std::int64_t guardBits = 64;  // bits of each round's fraction
  // Leaves whose fraction lies within this many units (beyond the error
  // bound) of a whole number are recomputed exactly.
  std::uint64_t exactLeafMargin = 0;
};

// On success writes slot (words 0..W) and outcome exactly as SumSeriesPlain
// would and returns true; returns false, slot and outcome unspecified, when
// the recipe is outside what the engine handles or its error certificate
// fails.
bool SumSeriesCertified(const SeriesRecipe& recipe, WordArray& slot, SeriesOutcome& outcome,
                        const SeriesSumTuning& tuning = {});

}  // namespace quarnel
