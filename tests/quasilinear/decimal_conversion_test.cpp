// The quasi-linear conversion against the plain passes, group for group.
#include "fixedpoint/quasilinear/decimal_conversion.h"

#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "fixedpoint/quasilinear/gmp_integer.h"
#include "fixedpoint/quasilinear/quasilinear.h"
#include "fixedpoint/quasilinear/word_bridge.h"
#include "series/series_tasks.h"

namespace quarnel {
namespace {

// Converts copies of x both ways and expects the same groups.
void ExpectSameGroups(const WordArray& x, std::int32_t w, std::int32_t groupCount,
                      const char* what) {
  auto plain = std::make_unique<WordArray>(x);
  auto engine = std::make_unique<WordArray>(x);
  std::vector<Word> want(static_cast<std::size_t>(groupCount));
  std::vector<Word> got(static_cast<std::size_t>(groupCount), 0xFFFFFFFFu);
  ConvertToGroupsPlain(*plain, w, groupCount, want.data());
  ConvertToGroupsQuasiLinear(*engine, w, groupCount, got.data());
  for (std::int32_t i = 0; i < groupCount; ++i) {
    ASSERT_EQ(got[static_cast<std::size_t>(i)], want[static_cast<std::size_t>(i)])
        << what << ": group " << i + 1 << " of " << groupCount << ", w " << w;
  }
}

TEST(ConvertToGroupsQuasiLinear, MatchesThePlainPassesOnPi) {
  for (std::int32_t n : {1'000, 9'000}) {
    W = n / 8;
    for (int k = 1; k <= kSeriesTaskCount; ++k) {
      SumSeriesPlain(kSeriesTasks[static_cast<std::size_t>(k - 1)], ResultSlot(k));
    }
    WordArray& pi = ResultSlot(1);
    SubtractWords(pi, ResultSlot(2), 1);
    AddWords(pi, ResultSlot(3), 1);
    SubtractWords(pi, ResultSlot(4), 1);
    ASSERT_EQ(pi[0], 3u);
    ExpectSameGroups(pi, W, n / 5, "pi");
  }
}

TEST(ConvertToGroupsQuasiLinear, MatchesThePlainPassesOnRandomArrays) {
  gmp_randstate_t random;
  gmp_randinit_mt(random);
  const unsigned long seed = 77'001;
  gmp_randseed_ui(random, seed);
  auto x = std::make_unique<WordArray>();
  // (w, groups): the usual ratio, the most groups the precondition allows,
  // a single group, and tiny widths.
  const std::int32_t shapes[][2] = {{125, 200}, {40, 80}, {300, 600}, {1, 1}, {2, 4}, {61, 3}};
  for (const auto& shape : shapes) {
    for (int trial = 0; trial < 6; ++trial) {
      Mpz v;
      const auto bits = static_cast<mp_bitcnt_t>(32 * (shape[0] + 1));
      // Long runs of zeros and ones, then uniform bits.
      if (trial % 2 == 0) {
        mpz_rrandomb(v.get(), random, bits);
      } else {
        mpz_urandomb(v.get(), random, bits);
      }
      ExportWords(v.get(), *x, 0, shape[0]);
      ExpectSameGroups(*x, shape[0], shape[1], "random");
    }
  }
  gmp_randclear(random);
  SUCCEED() << "seed " << seed;
}

// x with frac(x) = ceil(d * 2^(32w) / 10^N) / 2^(32w) for an N-digit d: its
// expansion is d, then a run of zeros far longer than the truncation error.
// Here d = floor(10^N / 7); returns its last group.
Word MakeZeroRunAfterDigits(WordArray& x, std::int32_t w, std::int32_t digits) {
  Mpz d;
  mpz_ui_pow_ui(d.get(), 10, static_cast<unsigned long>(digits));
  Mpz scale;
  mpz_set(scale.get(), d.get());
  mpz_fdiv_q_ui(d.get(), d.get(), 7);
  const auto lastGroup = static_cast<Word>(mpz_fdiv_ui(d.get(), 100'000));
  mpz_mul_2exp(d.get(), d.get(), static_cast<mp_bitcnt_t>(32 * w));
  mpz_cdiv_q(d.get(), d.get(), scale.get());
  ExportWords(d.get(), x, 1, w);
  x[0] = 3;
  return lastGroup;
}

TEST(ConvertToGroupsQuasiLinear, ZeroRunAfterTheLastDigitFallsBackToThePlainPasses) {
  auto x = std::make_unique<WordArray>();
  for (std::int32_t n : {1'000, 5'000}) {
    const std::int32_t w = n / 8;
    const Word lastGroup = MakeZeroRunAfterDigits(*x, w, n);
    std::vector<Word> groups(static_cast<std::size_t>(n / 5));
    EXPECT_FALSE(ConvertToGroupsCertified(*x, w, n / 5, groups.data())) << n;
    ExpectSameGroups(*x, w, n / 5, "zero run");
    // The plain passes' truncations lose the last unit here, which is why
    // the exact digits could not stand in for them.
    auto plain = std::make_unique<WordArray>(*x);
    ConvertToGroupsPlain(*plain, w, n / 5, groups.data());
    EXPECT_EQ(groups.back(), lastGroup - 1) << n;
  }
}

TEST(ConvertToGroupsQuasiLinear, CertifiedConversionLeavesTheInputAlone) {
  W = 125;
  auto x = std::make_unique<WordArray>();
  SumSeriesPlain(kSeriesTasks[2], *x);
  const auto copy = std::make_unique<WordArray>(*x);
  std::vector<Word> groups(200);
  ASSERT_TRUE(ConvertToGroupsCertified(*x, 125, 200, groups.data()));
  EXPECT_EQ(*x, *copy);
}

}  // namespace
}  // namespace quarnel
