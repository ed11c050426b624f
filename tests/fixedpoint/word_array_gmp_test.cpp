// Every word-array operation against GMP integers on the same random numbers.
//
// Each iteration picks a random W, leading index s, divisor and highest
// index, and runs all six operations on fresh operands. The words outside an
// operation's range keep whatever earlier iterations left there (random junk);
// the check that they are unchanged covers the words next to the range on
// every iteration and the whole array now and then. Since GMP sees only the
// words inside the range, an operation that read a word outside it would
// show as a wrong result.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fixedpoint/word_array.h"
#include "tests/fixedpoint/gmp_words.h"

namespace quarnel {
namespace {

using testing::At;
using testing::Bits;
using testing::DumpWords;
using testing::FillOperand;
using testing::FillUniform;
using testing::RangeValue;
using testing::WordOf;

constexpr int kIterations = 2500;
constexpr int kWholeArrayEvery = 250;      // iterations between checks of all words
constexpr std::int32_t kNearbyWords = 16;  // checked above the range every time
constexpr std::int32_t kLastIndex = kWordCapacity - 1;

// The divisors that matter: 1 and 2, small ones, the program's own, powers of
// two and those near 2^32 - 1 (largest remainders and quotient words).
Word RandomDivisor(std::mt19937_64& random) {
  static constexpr std::array<Word, 9> kProgramDivisors{18,  5'832,  104'976,   57,       3'249,
                                                        239, 57'121, 9'592'495, 6'857'661};
  switch (random() % 7) {
    case 0:
      return static_cast<Word>(1 + random() % 2);
    case 1:
      return static_cast<Word>(3 + random() % 1'000);
    case 2:
      return kProgramDivisors[random() % kProgramDivisors.size()];
    case 3:
      return static_cast<Word>(0xFFFF'FFFFu - random() % 4);
    case 4:
      return Word{1} << (random() % 32);
    case 5:
      return 0x8000'0001u;
    default:
      return std::max<Word>(1, static_cast<Word>(random()));
  }
}

// Mostly small numbers, where the edges are, and some long ones.
std::int32_t RandomLastIndex(std::mt19937_64& random) {
  const auto pick = random() % 100;
  if (pick < 65) return static_cast<std::int32_t>(1 + random() % 40);
  if (pick < 95) return static_cast<std::int32_t>(41 + random() % 700);
  return static_cast<std::int32_t>(741 + random() % 5'000);
}

class WordArrayAgainstGmp : public ::testing::Test {
 protected:
  void SetUp() override {
    random_.seed(testing::TestSeed("WordArrayAgainstGmp"));
    for (auto* array : {&a_, &b_, &before_a_, &before_b_}) {
      *array = std::make_unique<WordArray>();
      FillUniform(random_, **array, 0, kLastIndex);
    }
  }

  // Remembers a and b as they are before an operation, over words 0..limit.
  void Remember(std::int32_t limit) {
    std::copy_n(a_->begin(), limit + 1, before_a_->begin());
    std::copy_n(b_->begin(), limit + 1, before_b_->begin());
  }

  // The first word of `now` in 0..limit outside first..last that differs
  // from `before`, or -1.
  static std::int32_t FirstChangedOutside(const WordArray& now, const WordArray& before,
                                          std::int32_t first, std::int32_t last,
                                          std::int32_t limit) {
    for (std::int32_t i = 0; i <= limit; ++i) {
      if ((i < first || i > last) && now[At(i)] != before[At(i)]) return i;
    }
    return -1;
  }

  // A failure message naming the words of range first..last of `array`
  // before the operation.
  static std::string Operand(const char* name, const WordArray& before, std::int32_t first,
                             std::int32_t last) {
    return std::string(name) + "[" + std::to_string(first) + ".." + std::to_string(last) +
           "] = " + DumpWords(before.data() + first, last - first + 1) + "\n";
  }

  // Words first..last of a as GMP reads them, for comparison with `want`.
  bool RangeIs(const WordArray& array, std::int32_t first, std::int32_t last,
               const mpz_class& want) {
    return RangeValue(array, first, last) == want;
  }

  std::mt19937_64 random_;
  std::unique_ptr<WordArray> a_, b_, before_a_, before_b_;
};

TEST_F(WordArrayAgainstGmp, EveryOperationMatchesGmp) {
  for (int iteration = 0; iteration < kIterations; ++iteration) {
    WordArray& a = *a_;
    WordArray& b = *b_;
    const WordArray& beforeA = *before_a_;
    const WordArray& beforeB = *before_b_;
    // The first iteration covers the largest numbers, leading index 1.
    W = iteration == 0 ? kLastIndex : RandomLastIndex(random_);
    const std::int32_t s =
        iteration == 0 ? 1 : static_cast<std::int32_t>(1 + random_() % static_cast<unsigned>(W));
    const std::int32_t k = static_cast<std::int32_t>(random_() % static_cast<unsigned>(W + 1));
    const Word d = RandomDivisor(random_);
    const std::int32_t limit =
        iteration % kWholeArrayEvery == 0 ? kLastIndex : std::min(kLastIndex, W + kNearbyWords);
    const std::int32_t first = s - 1;
    const mpz_class modulus = mpz_class(1) << Bits(W - first + 1);

    std::ostringstream where;
    where << "iteration " << iteration << ", W = " << W << ", s = " << s << ", k = " << k
          << ", d = " << d << "\n";
    auto check = [&](bool ok, const std::string& what) {
      if (!ok) ADD_FAILURE() << where.str() << what;
      return ok;
    };

    // ClearWords: words 0..W zero, nothing above W written.
    Remember(limit);
    ClearWords(a);
    if (!check(RangeIs(a, 0, W, 0), "ClearWords left a non-zero word")) return;
    if (!check(FirstChangedOutside(a, beforeA, 0, W, limit) < 0, "ClearWords wrote above W")) {
      return;
    }

    // DivideInPlace. Now and then the operand's word s is below d, so that
    // word s of the quotient is zero and s must advance.
    FillOperand(random_, a, first, W);
    if (random_() % 4 == 0) {
      a[At(first)] = 0;
      a[At(s)] = static_cast<Word>(random_() % d);
    }
    Remember(limit);
    {
      const mpz_class dividend = RangeValue(a, first, W);
      const mpz_class quotient = dividend / d;
      const mpz_class remainder = dividend % d;
      std::int32_t sOut = s;
      const Word r = DivideInPlace(a, d, sOut);
      const std::int32_t sWant = WordOf(quotient, W - s) == 0 ? s + 1 : s;
      const std::string operand = Operand("a", beforeA, first, W);
      if (!check(RangeIs(a, first, W, quotient), "DivideInPlace quotient\n" + operand)) return;
      if (!check(r == remainder.get_ui(), "DivideInPlace remainder\n" + operand)) return;
      if (!check(sOut == sWant,
                 "DivideInPlace leading index " + std::to_string(sOut) + "\n" + operand)) {
        return;
      }
      if (!check(FirstChangedOutside(a, beforeA, first, W, limit) < 0,
                 "DivideInPlace wrote outside s-1..W\n" + operand)) {
        return;
      }
    }

    // DivideInto: p = b, q = a.
    FillOperand(random_, b, first, W);
    Remember(limit);
    {
      const mpz_class dividend = RangeValue(b, first, W);
      const Word r = DivideInto(b, a, d, s);
      const std::string operand = Operand("p", beforeB, first, W);
      if (!check(RangeIs(a, first, W, dividend / d), "DivideInto quotient\n" + operand)) return;
      if (!check(r == mpz_class(dividend % d).get_ui(), "DivideInto remainder\n" + operand)) {
        return;
      }
      if (!check(FirstChangedOutside(b, beforeB, 0, -1, limit) < 0, "DivideInto changed p")) {
        return;
      }
      if (!check(FirstChangedOutside(a, beforeA, first, W, limit) < 0,
                 "DivideInto wrote q outside s-1..W\n" + operand)) {
        return;
      }
    }

    // AddWords and SubtractWords: b independent, equal to a, or its complement.
    for (const bool add : {true, false}) {
      FillOperand(random_, a, first, W);
      switch (random_() % 4) {
        case 0:
          std::copy(a.begin() + first, a.begin() + W + 1, b.begin() + first);
          break;
        case 1:
          std::transform(a.begin() + first, a.begin() + W + 1, b.begin() + first,
                         [](Word word) { return static_cast<Word>(~word); });
          break;
        default:
          FillOperand(random_, b, first, W);
          break;
      }
      Remember(limit);
      const mpz_class x = RangeValue(a, first, W);
      const mpz_class y = RangeValue(b, first, W);
      const char* name = add ? "AddWords" : "SubtractWords";
      const Word spill = add ? AddWords(a, b, s) : SubtractWords(a, b, s);
      mpz_class want = add ? mpz_class(x + y) : mpz_class(x - y);
      const Word spillWant = add ? (want >= modulus ? 1 : 0) : (want < 0 ? 1 : 0);
      want = add ? mpz_class(want % modulus) : mpz_class(want < 0 ? want + modulus : want);
      const std::string operands =
          Operand("a", beforeA, first, W) + Operand("b", beforeB, first, W);
      if (!check(RangeIs(a, first, W, want), std::string(name) + " sum\n" + operands)) return;
      if (!check(spill == spillWant, std::string(name) + " carry or borrow\n" + operands)) return;
      if (!check(FirstChangedOutside(a, beforeA, first, W, limit) < 0,
                 std::string(name) + " wrote outside s-1..W\n" + operands)) {
        return;
      }
      if (!check(FirstChangedOutside(b, beforeB, 0, -1, limit) < 0,
                 std::string(name) + " changed b")) {
        return;
      }
    }

    // MultiplyBy100000 over words k..0; nothing above k is written.
    FillOperand(random_, a, 0, k);
    Remember(limit);
    {
      const mpz_class product = RangeValue(a, 0, k) * 100'000;
      const mpz_class wordsModulus = mpz_class(1) << Bits(k + 1);
      const Word carry = MultiplyBy100000(a, k);
      const std::string operand = Operand("a", beforeA, 0, k);
      if (!check(RangeIs(a, 0, k, product % wordsModulus),
                 "MultiplyBy100000 product\n" + operand)) {
        return;
      }
      if (!check(carry == mpz_class(product / wordsModulus).get_ui(),
                 "MultiplyBy100000 carry\n" + operand)) {
        return;
      }
      if (!check(FirstChangedOutside(a, beforeA, 0, k, limit) < 0,
                 "MultiplyBy100000 wrote above k\n" + operand)) {
        return;
      }
    }
  }
}

}  // namespace
}  // namespace quarnel
