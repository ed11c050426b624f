// Binary fixed-point numbers held in arrays of 32-bit words.
//
// A word array a holds the value
//
//     value(a) = sum over i = 0..W of a[i] * 2^(-32*i)
//
// Word 0 is the integer part (unsigned); words 1..W are the fraction, most
// significant first, so word 1 is the 2^-32 place. A higher word means a
// higher index, that is, a less significant word.
//
// Every array has the same fixed capacity, 1,250,001 words: the last word
// index of the largest digit count (10,000,000 div 8) plus one. Words above W
// are outside the number; no operation reads them.
//
// W, the last word index, is one value for the whole run: set once (to the
// digit count div 8) before any computation starts and only read afterwards.
//
// The leading index s of a shrinking number records that its words below
// s - 1 are known to be zero; operations that take s start (divisions) or
// stop (additions, subtractions) at word s - 1 and never touch a lower word.
#pragma once

#include <array>
#include <cstdint>

namespace quarnel {

using Word = std::uint32_t;
using DoubleWord = std::uint64_t;

inline constexpr std::int32_t kWordCapacity = 1'250'001;
using WordArray = std::array<Word, kWordCapacity>;

// The run-wide last word index.
inline std::int32_t W = 0;

// a[i] := 0 for i = 0..W.
void ClearWords(WordArray& a);

// a := a / d over words s-1..W, remainder dropped; then s := s + 1 if a[s]
// has become zero. Needs d >= 1 and 1 <= s <= W. Returns the remainder.
Word DivideInPlace(WordArray& a, Word d, std::int32_t& s);

// q := p / d over words s-1..W; p, s and q's words below s-1 are unchanged.
// Returns the remainder.
Word DivideInto(const WordArray& p, WordArray& q, Word d, std::int32_t s);

// a := a + b over words W down to s-1. Returns the carry out of word s-1,
// which is not added anywhere.
Word AddWords(WordArray& a, const WordArray& b, std::int32_t s);

// a := a - b over words W down to s-1. Returns the borrow out of word s-1,
// which is not taken from anywhere.
Word SubtractWords(WordArray& a, const WordArray& b, std::int32_t s);

// a := a * 100000 over words k down to 0; words above k are untouched.
// Returns the carry out of word 0 (always below 100,000).
Word MultiplyBy100000(WordArray& a, std::int32_t k);

}  // namespace quarnel
