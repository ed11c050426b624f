// The six word-array operations as plain loops. These are the reference that
// every faster kernel is held to, bit for bit: keep them obviously correct.
#include "fixedpoint/word_array.h"

namespace quarnel {

namespace {
constexpr int kWordBits = 32;
constexpr DoubleWord kWordMask = 0xFFFF'FFFFu;
}  // namespace

void ClearWords(WordArray& a) {
  for (std::int32_t i = 0; i <= W; ++i) a[static_cast<std::size_t>(i)] = 0;
}

Word DivideInto(const WordArray& p, WordArray& q, Word d, std::int32_t s) {
  DoubleWord r = 0;
  for (std::int32_t i = s - 1; i <= W; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const DoubleWord v = (r << kWordBits) | p[at];
    q[at] = static_cast<Word>(v / d);
    r = v % d;
  }
  return static_cast<Word>(r);
}

Word DivideInPlace(WordArray& a, Word d, std::int32_t& s) {
  const Word r = DivideInto(a, a, d, s);
  if (a[static_cast<std::size_t>(s)] == 0) ++s;
  return r;
}

Word AddWords(WordArray& a, const WordArray& b, std::int32_t s) {
  DoubleWord carry = 0;
  for (std::int32_t i = W; i >= s - 1; --i) {
    const auto at = static_cast<std::size_t>(i);
    const DoubleWord t = DoubleWord{a[at]} + b[at] + carry;
    a[at] = static_cast<Word>(t & kWordMask);
    carry = t >> kWordBits;
  }
  return static_cast<Word>(carry);
}

Word SubtractWords(WordArray& a, const WordArray& b, std::int32_t s) {
  DoubleWord borrow = 0;
  for (std::int32_t i = W; i >= s - 1; --i) {
    const auto at = static_cast<std::size_t>(i);
    // Computed modulo 2^64: when b[i] + borrow exceeds a[i] the difference
    // wraps and its top bit is set.
    const DoubleWord t = DoubleWord{a[at]} - b[at] - borrow;
    a[at] = static_cast<Word>(t & kWordMask);
    borrow = t >> 63;
  }
  return static_cast<Word>(borrow);
}

Word MultiplyBy100000(WordArray& a, std::int32_t k) {
  constexpr DoubleWord kFactor = 100'000;
  DoubleWord carry = 0;
  for (std::int32_t i = k; i >= 0; --i) {
    const auto at = static_cast<std::size_t>(i);
    const DoubleWord t = a[at] * kFactor + carry;
    a[at] = static_cast<Word>(t & kWordMask);
    carry = t >> kWordBits;
  }
  return static_cast<Word>(carry);
}

}  // namespace quarnel
