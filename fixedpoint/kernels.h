// The one dispatch point for the fast kernels. Every variant computes exactly
// what its plain reference computes (SumSeriesPlain, ConvertToGroupsPlain),
// bit for bit; they differ only in speed and in the instructions they need.
#pragma once

#include <cstdint>
#include <span>

#include "fixedpoint/decimal_groups.h"
#include "fixedpoint/series_rounds.h"

namespace quarnel {

using SumSeriesKernel = SeriesOutcome (*)(const SeriesRecipe& recipe, WordArray& slot);
using ConvertToGroupsKernel = void (*)(WordArray& x, std::int32_t w, std::int32_t groupCount,
                                       Word* groups);

struct KernelVariant {
  const char* name;
  bool (*supported)();  // whether the running CPU has the instructions it needs
  SumSeriesKernel sumSeries;
  ConvertToGroupsKernel convertToGroups;
};

// Every variant built in, the plain reference first and the fastest last.
std::span<const KernelVariant> KernelVariants();

// The last variant of KernelVariants() that the running CPU supports; chosen
// once, on the first call.
const KernelVariant& BestKernelVariant();

// Same contract and result as SumSeriesPlain, with the best variant.
SeriesOutcome SumSeries(const SeriesRecipe& recipe, WordArray& slot);

// Same contract and result as ConvertToGroupsPlain, with the best variant.
void ConvertToGroups(WordArray& x, std::int32_t w, std::int32_t groupCount, Word* groups);

}  // namespace quarnel
