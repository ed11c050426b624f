// The decimal conversion with the plain multiplication: the reference for
// every fast conversion kernel.
#include "fixedpoint/decimal_groups.h"

namespace quarnel {

void ConvertToGroupsPlain(WordArray& x, std::int32_t w, std::int32_t groupCount, Word* groups) {
  for (std::int32_t i = 1; i <= groupCount; ++i) {
    x[0] = 0;
    MultiplyBy100000(x, GroupHighestIndex(w, i));
    groups[i - 1] = x[0];
  }
}

}  // namespace quarnel
