// The decimal conversion in quasi-linear time.
//
// The plain conversion multiplies y_0 = frac(x) by 10^5 per group, first
// cutting it to the words the step still uses: step i keeps words up to
// w - floor(i / 2), so step 2m drops word w - m + 1, whose value is below
// 2^(-32 (w - m)), and the G - 2m + 1 multiplications left scale that loss.
// With N = 5G the groups, read as one integer, are therefore
//
//     floor(10^N * frac(x) - L),   0 <= L < 10^N * 2^(-32w) * B,
//     B = 10^5 * sum over m >= 1 of (2^32 / 10^10)^m = 10^5 * 2^32 / (10^10 - 2^32),
//
// and they equal floor(10^N * frac(x)) whenever frac(10^N * frac(x)) >= L.
// With X = frac(x) * 2^(32w), 10^N * X = F * 2^(32w) + r: F is the digits and
// r >= 10^N * B certifies them.
#include "fixedpoint/quasilinear/decimal_conversion.h"

#include <gmp.h>

#include <cstdlib>
#include <memory>

#include "fixedpoint/decimal_groups.h"
#include "fixedpoint/quasilinear/gmp_integer.h"
#include "fixedpoint/quasilinear/quasilinear.h"
#include "fixedpoint/quasilinear/word_bridge.h"

namespace quarnel {

namespace {

constexpr int kWordBits = 32;
constexpr int kGroupDigits = 5;

// ceil(10^5 * 2^32 / (10^10 - 2^32)).
constexpr unsigned long kTruncationBound =
    (100'000ul * (1ul << 32) + (10'000'000'000ul - (1ul << 32)) - 1) /
    (10'000'000'000ul - (1ul << 32));
static_assert(kTruncationBound == 75'284);

}  // namespace

bool ConvertToGroupsCertified(const WordArray& x, std::int32_t w, std::int32_t groupCount,
                              Word* groups) {
  if (groupCount <= 0) return true;
  const auto digits = static_cast<unsigned long>(groupCount) * kGroupDigits;
  const auto fractionBits = static_cast<mp_bitcnt_t>(kWordBits) * static_cast<mp_bitcnt_t>(w);

  Mpz scale;  // 10^N
  mpz_ui_pow_ui(scale.get(), 10, digits);
  Mpz product;
  ImportWords(product.get(), x, 1, w);
  mpz_mul(product.get(), product.get(), scale.get());

  Mpz rest;
  mpz_tdiv_r_2exp(rest.get(), product.get(), fractionBits);
  mpz_mul_ui(scale.get(), scale.get(), kTruncationBound);
  if (mpz_cmp(rest.get(), scale.get()) < 0) return false;
  scale = Mpz();
  rest = Mpz();

  mpz_tdiv_q_2exp(product.get(), product.get(), fractionBits);
  const std::size_t length = mpz_sizeinbase(product.get(), 10) + 2;
  const auto text = std::make_unique<char[]>(length);
  mpz_get_str(text.get(), 10, product.get());
  std::size_t used = 0;
  while (text[used] != '\0') ++used;
  // The number has at most N digits; the missing leading ones are zeros.
  const std::size_t zeros = digits - used;
  for (std::int32_t i = 0; i < groupCount; ++i) {
    Word group = 0;
    for (int k = 0; k < kGroupDigits; ++k) {
      const std::size_t at = static_cast<std::size_t>(i) * kGroupDigits + static_cast<std::size_t>(k);
      const Word digit = at < zeros ? 0 : static_cast<Word>(text[at - zeros] - '0');
      group = group * 10 + digit;
    }
    groups[i] = group;
  }
  return true;
}

void ConvertToGroupsQuasiLinear(WordArray& x, std::int32_t w, std::int32_t groupCount,
                                Word* groups) {
  if (!ConvertToGroupsCertified(x, w, groupCount, groups)) {
    ConvertToGroupsPlain(x, w, groupCount, groups);
  }
}

}  // namespace quarnel
