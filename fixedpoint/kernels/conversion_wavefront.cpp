#include "fixedpoint/kernels/conversion_wavefront.h"

#include <algorithm>

namespace quarnel {

void ConvertToGroupsWavefront(WordArray& x, std::int32_t w, std::int32_t groupCount, Word* groups,
                              PassBatchKernel kernel, std::int32_t batchPasses) {
  for (std::int32_t first = 1; first <= groupCount; first += batchPasses) {
    const std::int32_t passes = std::min(batchPasses, groupCount - first + 1);
    kernel(PassBatch{x.data(), w, first, passes, groups + (first - 1)});
  }
}

}  // namespace quarnel
