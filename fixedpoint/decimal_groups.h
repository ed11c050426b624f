// Decimal conversion of a fixed-point fraction, five digits at a time.
#pragma once

#include <cstdint>

#include "fixedpoint/word_array.h"

namespace quarnel {

// The highest word index of conversion step i (1-based): one low-order word
// is dropped every second step, as it can no longer reach the digits.
constexpr std::int32_t GroupHighestIndex(std::int32_t w, std::int32_t i) { return w - i / 2; }

// Consumes x, a number of last word index w: for i = 1..groupCount,
// x[0] := 0, MultiplyBy100000(x, GroupHighestIndex(w, i)), groups[i-1] :=
// x[0] (0..99,999). Needs GroupHighestIndex(w, groupCount) >= 0.
void ConvertToGroupsPlain(WordArray& x, std::int32_t w, std::int32_t groupCount, Word* groups);

}  // namespace quarnel
