// The decimal conversion of the quasi-linear engine and its certificate.
#pragma once

#include <cstdint>

#include "fixedpoint/word_array.h"

namespace quarnel {

// Writes the groupCount groups of the plain conversion of x (last word index
// w) and returns true when the certificate shows that they are exactly
// floor(10^(5 groupCount) * frac(x)); returns false, writing nothing, when x's
// expansion has so long a run of zeros after the last digit that the plain
// conversion's truncations might lower it. x is not changed.
bool ConvertToGroupsCertified(const WordArray& x, std::int32_t w, std::int32_t groupCount,
                              Word* groups);

}  // namespace quarnel
