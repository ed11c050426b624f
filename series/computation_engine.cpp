#include "series/computation_engine.h"

#include "fixedpoint/kernels.h"

#if QUARNEL_HAS_QUASILINEAR
#include "fixedpoint/quasilinear/crossover.h"
#include "fixedpoint/quasilinear/quasilinear.h"
#endif

namespace quarnel {

namespace {
constexpr std::int32_t kDigitsPerWord = 8;
}  // namespace

bool UsesQuasiLinearEngine([[maybe_unused]] std::int32_t n) {
#if QUARNEL_HAS_QUASILINEAR
  return PreferQuasiLinear(n);
#else
  return false;
#endif
}

SeriesOutcome SumSeriesForRun(const SeriesRecipe& recipe, WordArray& slot) {
#if QUARNEL_HAS_QUASILINEAR
  if (UsesQuasiLinearEngine(W * kDigitsPerWord)) return SumSeriesQuasiLinear(recipe, slot);
#endif
  return SumSeries(recipe, slot);
}

void ConvertToGroupsForRun([[maybe_unused]] std::int32_t n, WordArray& x, std::int32_t w,
                           std::int32_t groupCount, Word* groups) {
#if QUARNEL_HAS_QUASILINEAR
  if (UsesQuasiLinearEngine(n)) return ConvertToGroupsQuasiLinear(x, w, groupCount, groups);
#endif
  ConvertToGroups(x, w, groupCount, groups);
}

}  // namespace quarnel
