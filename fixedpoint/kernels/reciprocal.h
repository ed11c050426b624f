// Division of a double word by an invariant divisor through a precomputed
// multiplier, for the long divisions of the wavefront kernels, where the
// dividend is always remainder * 2^32 + word with remainder < divisor.
//
// Plainly:  q = v / d.  Here:  q = (v * m) >> k,  k = 32 + 2L, 2^L >= d,
// m = ceil(2^k / d).  Exact for every v < d * 2^32:
//   m * d = 2^k + e with 0 <= e < d, so
//   v * m / 2^k = v/d + v*e / (d * 2^k), and v*e < d*2^32 * d <= 2^k,
//   so the added part is below 1/d. Since v/d = q + f/d with f <= d - 1,
//   q <= v * m / 2^k < q + 1.
// With d < 2^24, m < 2^57 and v < 2^56: the product needs 128 bits.
#pragma once

#include <bit>

#include "fixedpoint/word_array.h"

namespace quarnel {

__extension__ using UInt128 = unsigned __int128;

// The largest divisor the multiplier covers.
inline constexpr Word kMaxReciprocalDivisor = (Word{1} << 24) - 1;

class WordDivisor {
 public:
  constexpr WordDivisor() : WordDivisor(1) {}

  // Needs 1 <= d <= kMaxReciprocalDivisor.
  constexpr explicit WordDivisor(Word d)
      : divisor_(d),
        shift_(32 + 2 * static_cast<int>(std::bit_width(d - 1))),
        multiplier_(static_cast<DoubleWord>(((UInt128{1} << shift_) + d - 1) / d)) {}

  constexpr Word divisor() const { return divisor_; }

  // floor(v / d). Needs v < d * 2^32.
  constexpr Word Quotient(DoubleWord v) const {
    return static_cast<Word>((UInt128{v} * multiplier_) >> shift_);
  }

 private:
  Word divisor_;
  int shift_;
  DoubleWord multiplier_;
};

}  // namespace quarnel
