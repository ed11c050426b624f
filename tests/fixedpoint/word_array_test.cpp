// The word-array operations on the hand-made numbers where faults show:
// carries and borrows through every word, the leading index's advance, the
// words an operation must leave alone.
#include "fixedpoint/word_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>

namespace quarnel {
namespace {

constexpr Word kUntouched = 0x5A5A'5A5Au;
constexpr Word kAllOnes = 0xFFFF'FFFFu;

std::size_t At(std::int32_t i) { return static_cast<std::size_t>(i); }

// Two word arrays filled, all 1,250,001 words, with a pattern no operation
// writes; W = 125 as for 1,000 digits.
class WordArrayEdges : public ::testing::Test {
 protected:
  void SetUp() override {
    W = 125;
    a_->fill(kUntouched);
    b_->fill(kUntouched);
  }

  // Sets words first..last of x to value.
  static void Set(WordArray& x, std::int32_t first, std::int32_t last, Word value) {
    std::fill(x.begin() + first, x.begin() + last + 1, value);
  }

  // True when words first..last of x all equal value.
  static bool All(const WordArray& x, std::int32_t first, std::int32_t last, Word value) {
    return std::all_of(x.begin() + first, x.begin() + last + 1,
                       [value](Word word) { return word == value; });
  }

  std::unique_ptr<WordArray> a_ = std::make_unique<WordArray>();
  std::unique_ptr<WordArray> b_ = std::make_unique<WordArray>();
  WordArray& a = *a_;
  WordArray& b = *b_;
};

TEST_F(WordArrayEdges, FortyEightOverEighteenIsTwoAndTwoThirds) {
  ClearWords(a);
  a[0] = 48;
  std::int32_t s = 1;
  // 48 = 2 * 18 + 12, and every further word leaves the remainder 12.
  EXPECT_EQ(DivideInPlace(a, 18, s), 12u);
  EXPECT_EQ(a[0], 2u);
  EXPECT_TRUE(All(a, 1, W, 0xAAAA'AAAAu));  // 2/3
  EXPECT_EQ(s, 1) << "word 1 is not zero, so s stays";
  EXPECT_TRUE(All(a, W + 1, kWordCapacity - 1, kUntouched));
}

TEST_F(WordArrayEdges, DividingZeroWordsStillAdvancesTheLeadingIndex) {
  Set(a, 2, W, 0);  // words 0 and 1 lie below s - 1 and keep the pattern
  std::int32_t s = 3;
  EXPECT_EQ(DivideInPlace(a, 104'976, s), 0u);
  EXPECT_TRUE(All(a, 2, W, 0));
  EXPECT_EQ(s, 4);
  EXPECT_TRUE(All(a, 0, 1, kUntouched));
}

TEST_F(WordArrayEdges, LeadingIndexAdvancesOncePerDivisionAtMost) {
  // Words s..s+2 of the quotient are all zero, yet s moves by one only.
  Set(a, 0, W, 0);
  a[At(W)] = 7;
  std::int32_t s = 1;
  DivideInPlace(a, 3, s);
  EXPECT_EQ(s, 2);
  DivideInPlace(a, 3, s);
  EXPECT_EQ(s, 3);
  // At s = W the division covers words W-1 and W and looks at word W.
  s = W;
  Set(a, 0, W, 0);
  a[At(W)] = 2;
  DivideInPlace(a, 3, s);
  EXPECT_EQ(a[At(W)], 0u);
  EXPECT_EQ(s, W + 1);
}

TEST_F(WordArrayEdges, DivideIntoLeavesTheSourceAndTheLowerWordsAlone) {
  ClearWords(a);
  a[0] = 48;
  // 48 < 5832, so quotient word 0 is 0; the remainder is 48 * 2^(32 * 125) mod 5832.
  EXPECT_EQ(DivideInto(a, b, 5'832, 1), 2'712u);
  EXPECT_EQ(b[0], 0u);
  EXPECT_EQ(b[1], 0x021B'6415u);  // floor(48 * 2^32 / 5832)
  EXPECT_EQ(a[0], 48u);
  EXPECT_TRUE(All(a, 1, W, 0));
  EXPECT_TRUE(All(b, W + 1, kWordCapacity - 1, kUntouched));

  b_->fill(kUntouched);
  DivideInto(a, b, 3, 4);  // s = 4: q's words 0..2 keep what they held
  EXPECT_TRUE(All(b, 0, 2, kUntouched));
  EXPECT_TRUE(All(b, 3, W, 0));
}

// AddWords of a number with every fraction word 0xFFFFFFFF and one whose only
// non-zero word is word W, which is 1.
struct AddCase {
  const char* why;
  std::int32_t s;
  Word word0Before;
  Word word0After;
  Word word1After;
  Word carryOut;
};

void PrintTo(const AddCase& c, std::ostream* out) { *out << c.why; }

class AddWordsCarry : public WordArrayEdges, public ::testing::WithParamInterface<AddCase> {};

TEST_P(AddWordsCarry, RunsThroughEveryWordOfTheRange) {
  const AddCase& c = GetParam();
  SCOPED_TRACE(c.why);
  a[0] = c.word0Before;
  Set(a, 1, W, kAllOnes);
  Set(b, 0, W, 0);
  b[At(W)] = 1;
  EXPECT_EQ(AddWords(a, b, c.s), c.carryOut);
  EXPECT_EQ(a[0], c.word0After);
  EXPECT_EQ(a[1], c.word1After);
  EXPECT_TRUE(All(a, 2, W, 0));
  EXPECT_EQ(b[At(W)], 1u);
  EXPECT_TRUE(All(a, W + 1, kWordCapacity - 1, kUntouched));
}

INSTANTIATE_TEST_SUITE_P(
    Edges, AddWordsCarry,
    ::testing::Values(AddCase{"into word 0, which grows by one", 1, 3, 4, 0, 0},
                      AddCase{"out of word 0, returned and dropped", 1, kAllOnes, 0, 0, 1},
                      AddCase{"s = 3: out of word 2, returned; words 0 and 1 untouched", 3, 3, 3,
                              kAllOnes, 1}));

TEST_F(WordArrayEdges, SubtractingAnEqualNumberGivesZero) {
  for (std::int32_t i = 0; i <= W; ++i)
    a[At(i)] = b[At(i)] = 0x9E37'79B9u * static_cast<Word>(i + 1);
  EXPECT_EQ(SubtractWords(a, b, 1), 0u);
  EXPECT_TRUE(All(a, 0, W, 0));
}

TEST_F(WordArrayEdges, SubtractingALargerNumberWrapsWordZero) {
  // 1.5 - 2.25 = -0.75, which wraps to 2^32 - 0.75 with the borrow returned.
  Set(a, 0, W, 0);
  a[0] = 1;
  a[1] = 0x8000'0000u;
  Set(b, 0, W, 0);
  b[0] = 2;
  b[1] = 0x4000'0000u;
  EXPECT_EQ(SubtractWords(a, b, 1), 1u);
  EXPECT_EQ(a[0], kAllOnes);
  EXPECT_EQ(a[1], 0x4000'0000u);
  EXPECT_TRUE(All(a, 2, W, 0));
}

TEST_F(WordArrayEdges, BorrowRunsFromWordWToWordZero) {
  Set(a, 0, W, 0);
  a[0] = 3;
  Set(b, 0, W, 0);
  b[At(W)] = 1;
  EXPECT_EQ(SubtractWords(a, b, 1), 0u);
  EXPECT_EQ(a[0], 2u);
  EXPECT_TRUE(All(a, 1, W, kAllOnes));
}

TEST_F(WordArrayEdges, OneHalfTimes100000GivesTheFirstGroup) {
  a[0] = 0;
  a[1] = 0x8000'0000u;
  EXPECT_EQ(MultiplyBy100000(a, 1), 0u);
  EXPECT_EQ(a[0], 50'000u);
  EXPECT_EQ(a[1], 0u);
  EXPECT_TRUE(All(a, 2, kWordCapacity - 1, kUntouched)) << "words above k are not touched";
}

TEST_F(WordArrayEdges, MultiplyBy100000ReturnsTheCarryOutOfWordZero) {
  a[0] = kAllOnes;  // (2^32 - 1) * 100000 = 99999 * 2^32 + (2^32 - 100000)
  EXPECT_EQ(MultiplyBy100000(a, 0), 99'999u);
  EXPECT_EQ(a[0], 0xFFFE'7960u);
  EXPECT_TRUE(All(a, 1, kWordCapacity - 1, kUntouched));
}

TEST_F(WordArrayEdges, ClearWordsClearsExactlyWordsZeroToW) {
  ClearWords(a);
  EXPECT_TRUE(All(a, 0, W, 0));
  EXPECT_TRUE(All(a, W + 1, kWordCapacity - 1, kUntouched));
  W = kWordCapacity - 1;  // the largest number reaches the last word of the capacity
  ClearWords(a);
  EXPECT_TRUE(All(a, 0, W, 0));
}

}  // namespace
}  // namespace quarnel
