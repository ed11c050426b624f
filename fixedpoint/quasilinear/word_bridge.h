// Moves numbers between word arrays and GMP integers.
#pragma once

#include <cstdint>

#include "fixedpoint/quasilinear/gmp_integer.h"
#include "fixedpoint/word_array.h"

namespace quarnel {

// z := the integer whose base-2^32 digits, most significant first, are
// a[first..last] (an empty range gives 0).
void ImportWords(mpz_ptr z, const WordArray& a, std::int32_t first, std::int32_t last);

// a[first..last] := the low 32*(last-first+1) bits of z (z >= 0), most
// significant word first; every word of the range is written.
void ExportWords(mpz_srcptr z, WordArray& a, std::int32_t first, std::int32_t last);

}  // namespace quarnel
