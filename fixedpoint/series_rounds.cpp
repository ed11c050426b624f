// The series sum driven by the six plain operations: the reference for every
// fast series kernel.
#include "fixedpoint/series_rounds.h"

#include <memory>

namespace quarnel {

namespace {

// Carries a carry (+1) or borrow (-1) that left word `from` + 1 on into
// words `from` down to 0. Word 0 is the integer part; what leaves it is
// beyond the number and dropped, as the arithmetic is modulo 2^(32(W+1)).
void CarryOn(WordArray& a, std::int32_t from, bool isBorrow) {
  for (std::int32_t i = from; i >= 0; --i) {
    Word& w = a[static_cast<std::size_t>(i)];
    const Word before = w;
    w = isBorrow ? before - 1 : before + 1;
    if (before != (isBorrow ? Word{0} : ~Word{0})) return;
  }
}

}  // namespace

void ApplyTerm(WordArray& slot, const WordArray& term, std::int32_t s, bool added) {
  const Word spill = added ? AddWords(slot, term, s) : SubtractWords(slot, term, s);
  if (spill != 0) CarryOn(slot, s - 2, !added);
}

SeriesOutcome SumSeriesPlain(const SeriesRecipe& recipe, WordArray& slot) {
  const auto power = std::make_unique<WordArray>();
  const auto term = std::make_unique<WordArray>();

  ClearWords(*power);
  std::int32_t s = 1;
  std::int32_t c = recipe.counterStart;
  (*power)[0] = recipe.coefficient;
  DivideInPlace(*power, recipe.firstDivisor, s);
  if (c == 1) {
    slot = *power;
  } else {
    DivideInto(*power, *term, static_cast<Word>(c), s);
    slot = *term;
  }

  SeriesOutcome outcome{0, c};
  while (s < W) {
    c += recipe.counterStep;
    DivideInPlace(*power, recipe.stepDivisor, s);
    DivideInto(*power, *term, static_cast<Word>(c), s);
    ApplyTerm(slot, *term, s, TermIsAdded(recipe.sign, c));
    ++outcome.rounds;
  }
  outcome.finalCounter = c;
  return outcome;
}

}  // namespace quarnel
