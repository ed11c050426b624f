// The decimal conversion against GMP integers.
//
// The conversion is not the exact floor(10^(5G) * x): every second step it
// stops multiplying the lowest word still in use, and what that word held is
// lost to the later groups. Two checks allow for that:
//
//  - bit for bit against a model in GMP integers that drops the same words
//    at the same steps, over the groups and every word of the array
//    afterwards (dropped words keep the value they had when dropped);
//  - against the exact floor(10^(5G) * x), written here as E: the groups
//    read as one number D satisfy 0 <= E - D <= ceil(L), where L bounds the
//    loss. A word range dropped before step i is worth less than 2^(-32 k_i)
//    of the fraction at that point, and step i and every later step multiply
//    it by 10^5, so L = sum over dropping steps of 10^(5(G-i+1)) * 2^(-32 k_i).
//    For the program's digit counts L < 1: at most one unit in the last place.
#include "fixedpoint/decimal_groups.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <vector>

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

constexpr std::int32_t kNearbyWords = 16;

// The highest index of step i, written out again rather than borrowed.
std::int32_t StepHighestIndex(std::int32_t w, std::int32_t i) { return w - i / 2; }

struct Model {
  std::vector<Word> groups;
  std::unique_ptr<WordArray> after = std::make_unique<WordArray>();
  mpz_class lossBoundTimes2PowW;  // L * 2^(32w)
};

// The conversion of x (last word index w) into g groups, in GMP integers.
Model ConvertInGmp(const WordArray& x, std::int32_t w, std::int32_t g) {
  Model model;
  *model.after = x;
  WordArray& after = *model.after;
  mpz_class fraction = RangeValue(x, 1, w);  // words 1..highest
  std::int32_t highest = w;
  for (std::int32_t i = 1; i <= g; ++i) {
    const std::int32_t k = StepHighestIndex(w, i);
    if (k < highest) {
      // Words k+1..highest leave the number with their present values.
      for (std::int32_t j = highest; j > k; --j) after[At(j)] = WordOf(fraction, highest - j);
      fraction >>= Bits(highest - k);
      highest = k;
      mpz_class ten;
      mpz_ui_pow_ui(ten.get_mpz_t(), 10, static_cast<unsigned long>(5 * (g - i + 1)));
      model.lossBoundTimes2PowW += ten << Bits(w - k);
    }
    fraction *= 100'000;
    model.groups.push_back(WordOf(fraction, highest));
    fraction &= (mpz_class(1) << Bits(highest)) - 1;
  }
  for (std::int32_t j = 1; j <= highest; ++j) after[At(j)] = WordOf(fraction, highest - j);
  after[0] = model.groups.empty() ? x[0] : model.groups.back();
  return model;
}

TEST(ConvertToGroupsPlain, MatchesGmpWithTheSameDroppedWords) {
  std::mt19937_64 random(testing::TestSeed("ConvertToGroupsPlain"));
  auto x = std::make_unique<WordArray>();
  FillUniform(random, *x, 0, kWordCapacity - 1);
  for (int iteration = 0; iteration < 300; ++iteration) {
    // The program's shape (w a multiple of 125, 8w/5 groups) half the time,
    // otherwise any w and any group count the highest index allows.
    const bool programShape = iteration % 2 == 0;
    const std::int32_t w = programShape ? static_cast<std::int32_t>(125 * (1 + random() % 3))
                                        : static_cast<std::int32_t>(1 + random() % 200);
    const std::int32_t g =
        programShape ? 8 * w / 5
                     : static_cast<std::int32_t>(1 + random() % static_cast<unsigned>(2 * w + 1));
    FillOperand(random, *x, 0, w);
    const std::int32_t limit = w + kNearbyWords;
    const Model model = ConvertInGmp(*x, w, g);
    const mpz_class fraction = RangeValue(*x, 1, w);
    std::ostringstream where;
    where << "iteration " << iteration << ", w = " << w << ", groups = " << g
          << "\nx[0..w] = " << DumpWords(x->data(), w + 1);

    std::vector<Word> groups(static_cast<std::size_t>(g));
    ConvertToGroupsPlain(*x, w, g, groups.data());
    ASSERT_EQ(groups, model.groups) << where.str();
    for (std::int32_t j = 0; j <= limit; ++j) {
      ASSERT_EQ((*x)[At(j)], (*model.after)[At(j)]) << "word " << j << "\n" << where.str();
    }

    mpz_class exact;
    mpz_ui_pow_ui(exact.get_mpz_t(), 10, static_cast<unsigned long>(5 * g));
    exact = (exact * fraction) >> Bits(w);
    mpz_class digits;
    for (const Word group : groups) digits = digits * 100'000 + group;
    const mpz_class wordsScale = mpz_class(1) << Bits(w);
    const mpz_class lossBound = (model.lossBoundTimes2PowW + wordsScale - 1) / wordsScale;
    ASSERT_GE(exact - digits, 0) << where.str();
    ASSERT_LE(exact - digits, lossBound) << where.str();
    if (programShape) {
      ASSERT_LE(lossBound, 1) << where.str();
    }
  }
}

TEST(ConvertToGroupsPlain, LastStepMultipliesUpToNOver40) {
  for (const std::int32_t n : {1'000, 2'000, 10'000, 1'000'000, 10'000'000}) {
    EXPECT_EQ(GroupHighestIndex(n / 8, n / 5), n / 40) << n;
  }
}

}  // namespace
}  // namespace quarnel
