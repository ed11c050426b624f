// One arctangent-type series summed into a word array.
//
// A recipe starts the power at coefficient / firstDivisor (P0) and the odd
// counter at counterStart; the first term is P0 / counterStart. Each round
// adds counterStep to the counter, divides the power by stepDivisor and
// adds or subtracts power / counter. The rounds continue while the leading
// index s of the power stays below W, so the last round is the first whose
// division leaves words 0..W-1 of the power zero.
//
// In exact terms (floor(floor(x/a)/b) = floor(x/(ab))): with
// P0 = floor(coefficient * 2^(32W) / firstDivisor), P_j = floor(P0 / D^j),
// the sum is floor(P0 / c_0) + sum over rounds j of sign_j * floor(P_j / c_j)
// as an integer modulo 2^(32(W+1)), and every fast kernel must produce
// exactly that integer.
#pragma once

#include <cstdint>

#include "fixedpoint/word_array.h"

namespace quarnel {

enum class TermSign {
  kAlwaysAdd,          // every term added
  kAlternateByCounter  // added when (c - 1) mod 4 = 0, else subtracted
};

struct SeriesRecipe {
  Word coefficient;          // placed in word 0 of the power
  Word firstDivisor;         // coefficient * x, or * x^3
  std::int32_t counterStart; // the first term is the power over this
  Word stepDivisor;          // 1/x^2 or 1/x^4 per round
  std::int32_t counterStep;  // added to the counter every round
  TermSign sign;
};

struct SeriesOutcome {
  std::int32_t rounds;        // rounds run
  std::int32_t finalCounter;  // the odd counter of the last round
};

// True when a round with odd counter c adds its term.
constexpr bool TermIsAdded(TermSign sign, std::int32_t c) {
  return sign == TermSign::kAlwaysAdd || (c - 1) % 4 == 0;
}

// slot := slot + term (added) or slot - term over words W down to s-1; a
// carry or borrow out of word s-1 is carried on into the words above it, and
// one out of word 0 is dropped (the sum is modulo 2^(32(W+1))). Needs
// 1 <= s <= W.
void ApplyTerm(WordArray& slot, const WordArray& term, std::int32_t s, bool added);

// slot := the whole sum over words 0..W with the six plain operations; a
// carry or borrow out of word s-1 is carried on into the words above it.
// Power and term arrays are allocated for the call and released after it.
SeriesOutcome SumSeriesPlain(const SeriesRecipe& recipe, WordArray& slot);

}  // namespace quarnel
