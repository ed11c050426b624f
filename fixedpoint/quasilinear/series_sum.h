// The series sum of the quasi-linear engine, with the knobs its tests turn.
#pragma once

#include <cstdint>

#include "fixedpoint/quasilinear/round_tree.h"
#include "fixedpoint/series_rounds.h"

namespace quarnel {

struct SeriesSumTuning {
  std::int64_t blockRounds = kBlockRounds;  // rounds per leaf of the round tree
  // Blocks whose starting fraction lies within this many units of 2^-64
  // (beyond the error bound) of a whole number start from P0 directly.
  std::uint64_t exactMargin = 0;
  // Added to every round's fraction: a deliberate fault for the certificate.
  std::uint64_t fractionFault = 0;
};

// On success writes slot (words 0..W) and outcome exactly as SumSeriesPlain
// would and returns true; returns false, slot and outcome unspecified, when
// the recipe is outside what the engine handles or its error certificate
// fails.
bool SumSeriesCertified(const SeriesRecipe& recipe, WordArray& slot, SeriesOutcome& outcome,
                        const SeriesSumTuning& tuning = {});

}  // namespace quarnel
