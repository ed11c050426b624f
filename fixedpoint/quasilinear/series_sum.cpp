// The series sum in quasi-linear time.
//
// With P0 = floor(coefficient * 2^(32W) / firstDivisor), P_j = floor(P0 / D^j)
// and m_j = D^j * c_j, the rounds' slot is the integer
//
//     S = floor(P0 / c_0) + sum over rounds j = 1..R of sigma_j * floor(P0 / m_j),
//
// since floor(floor(x / a) / b) = floor(x / (a b)). Writing
// floor(P0 / m_j) = P0 / m_j - frac(P0 / m_j),
//
//     S - floor(P0 / c_0) = P0 * (sum of sigma_j / m_j) - (sum of sigma_j * frac(P0 / m_j)).
//
// The round tree gives the first sum exactly, as T / G, and every
// frac(P0 / m_j) to a few units of 2^-g (g = 64), starting from x = P0 / G. The
// difference is an integer, so knowing both terms to well within 1/2 pins it
// down, and how far the computed difference lies from the nearest integer
// certifies the error bound.
#include "fixedpoint/quasilinear/series_sum.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "fixedpoint/quasilinear/gmp_integer.h"
#include "fixedpoint/quasilinear/quasilinear.h"
#include "fixedpoint/quasilinear/round_tree.h"
#include "fixedpoint/quasilinear/word_bridge.h"

namespace quarnel {

namespace {

constexpr int kWordBits = 32;

// The rounds run while the first non-zero word of the power lies above word
// W, so the last round is the first j >= 1 with P_j < 2^32, that is with
// P0 < 2^32 * D^j. Returns that j.
std::int64_t CountRounds(mpz_srcptr p0, Word d) {
  const double estimate =
      std::floor(static_cast<double>(BitLength(p0) - kWordBits - 1) / std::log2(static_cast<double>(d)));
  std::int64_t j = std::max<std::int64_t>(1, static_cast<std::int64_t>(estimate));
  Mpz bound;  // 2^32 * D^j
  mpz_ui_pow_ui(bound.get(), d, static_cast<unsigned long>(j));
  mpz_mul_2exp(bound.get(), bound.get(), kWordBits);
  while (mpz_cmp(p0, bound.get()) >= 0) {
    mpz_mul_ui(bound.get(), bound.get(), d);
    ++j;
  }
  while (j > 1) {
    mpz_divexact_ui(bound.get(), bound.get(), d);
    if (mpz_cmp(p0, bound.get()) >= 0) break;
    --j;
  }
  return j;
}

}  // namespace

bool SumSeriesCertified(const SeriesRecipe& recipe, WordArray& slot, SeriesOutcome& outcome,
                        const SeriesSumTuning& tuning) {
  const std::int32_t w = W;
  constexpr std::int64_t g = kFractionBits;
  if (w < 2 || recipe.firstDivisor == 0 || recipe.stepDivisor < 2 || recipe.counterStart < 1 ||
      recipe.counterStep < 1 || tuning.blockRounds < 1) {
    return false;
  }

  Mpz p0;
  mpz_set_ui(p0.get(), recipe.coefficient);
  mpz_mul_2exp(p0.get(), p0.get(), static_cast<mp_bitcnt_t>(kWordBits) * static_cast<mp_bitcnt_t>(w));
  mpz_fdiv_q_ui(p0.get(), p0.get(), recipe.firstDivisor);
  // The leading index is the first non-zero word of the power only when the
  // power starts within words 0 and 1.
  if (BitLength(p0.get()) <= std::int64_t{kWordBits} * (w - 1)) return false;

  const std::int64_t rounds = CountRounds(p0.get(), recipe.stepDivisor);
  const std::int64_t lastCounter = recipe.counterStart + recipe.counterStep * rounds;
  if (lastCounter > std::numeric_limits<std::int32_t>::max()) return false;
  const RoundRange range{recipe.stepDivisor, recipe.counterStart, recipe.counterStep,
                         recipe.sign,        1,                   rounds};

  RoundTree tree;
  BuildRoundTree(range, tree, tuning.blockRounds);
  // The whole error, far inside the half unit the rounding below allows.
  const std::int64_t errorBound = rounds * FractionErrorUnits(tree) + 2;

  // x = p0 / G to precision bits, then A = x * T to g fraction bits: both
  // within one unit of 2^-g since |T| < 2^(precision - g).
  const std::int64_t precision = std::max(RootPrecision(tree), BitLength(tree.t.get()) + g);
  Mpz x;
  {
    Mpz root;
    RootModulus(tree, root.get());
    mpz_mul_2exp(x.get(), p0.get(), static_cast<mp_bitcnt_t>(precision));
    mpz_fdiv_q(x.get(), x.get(), root.get());
  }
  Mpz total;  // 2^g * S, approximately
  mpz_mul(total.get(), x.get(), tree.t.get());
  mpz_fdiv_q_2exp(total.get(), total.get(), static_cast<mp_bitcnt_t>(precision - g));
  tree.t = Mpz();
  mpz_tdiv_r_2exp(x.get(), x.get(), static_cast<mp_bitcnt_t>(precision));

  std::vector<std::uint64_t> fractions;
  DescendRoundTree(tree, p0.get(), std::move(x), precision, tuning.exactMargin, fractions);

  for (std::int64_t j = 1; j <= rounds; ++j) {
    const std::uint64_t f = fractions[static_cast<std::size_t>(j - 1)] + tuning.fractionFault;
    if (RoundSign(range, j) > 0) {
      mpz_sub_ui(total.get(), total.get(), f);
    } else {
      mpz_add_ui(total.get(), total.get(), f);
    }
  }

  // Round to the nearest integer and check the distance against the bound.
  Mpz sum;
  mpz_set_ui(sum.get(), 1);
  mpz_mul_2exp(sum.get(), sum.get(), static_cast<mp_bitcnt_t>(g - 1));
  mpz_add(sum.get(), sum.get(), total.get());
  mpz_fdiv_q_2exp(sum.get(), sum.get(), static_cast<mp_bitcnt_t>(g));
  Mpz residual;
  mpz_mul_2exp(residual.get(), sum.get(), static_cast<mp_bitcnt_t>(g));
  mpz_sub(residual.get(), total.get(), residual.get());
  mpz_abs(residual.get(), residual.get());
  if (mpz_cmp_ui(residual.get(), static_cast<unsigned long>(errorBound)) > 0) return false;

  Mpz first;
  mpz_fdiv_q_ui(first.get(), p0.get(), static_cast<unsigned long>(recipe.counterStart));
  mpz_add(sum.get(), sum.get(), first.get());
  mpz_fdiv_r_2exp(sum.get(), sum.get(),
                  static_cast<mp_bitcnt_t>(kWordBits) * static_cast<mp_bitcnt_t>(w + 1));
  ExportWords(sum.get(), slot, 0, w);
  outcome = {static_cast<std::int32_t>(rounds), static_cast<std::int32_t>(lastCounter)};
  return true;
}

SeriesOutcome SumSeriesQuasiLinear(const SeriesRecipe& recipe, WordArray& slot) {
  SeriesOutcome outcome{};
  if (SumSeriesCertified(recipe, slot, outcome)) return outcome;
  return SumSeriesPlain(recipe, slot);
}

}  // namespace quarnel
