#include "fixedpoint/kernels.h"

namespace quarnel {

SeriesOutcome SumSeries(const SeriesRecipe& recipe, WordArray& slot) {
  return SumSeriesPlain(recipe, slot);
}

void ConvertToGroups(WordArray& x, std::int32_t w, std::int32_t groupCount, Word* groups) {
  ConvertToGroupsPlain(x, w, groupCount, groups);
}

}  // namespace quarnel
