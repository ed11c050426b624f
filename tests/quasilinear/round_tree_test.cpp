// The round tree's building blocks against direct computation on small inputs.
#include "fixedpoint/quasilinear/round_tree.h"

#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fixedpoint/quasilinear/gmp_integer.h"

namespace quarnel {
namespace {

struct Case {
  RoundRange range;
  std::int64_t blockRounds;
  const char* why;
};

// D, c_0, step, sign, first, last; rounds per block.
const Case kCases[] = {
    {{104'976, 1, 4, TermSign::kAlwaysAdd, 1, 1}, 1, "a single round: the root is a leaf"},
    {{104'976, 1, 4, TermSign::kAlwaysAdd, 1, 2}, 1, "two leaves"},
    {{104'976, 3, 4, TermSign::kAlwaysAdd, 1, 37}, 1, "odd count, unbalanced halves"},
    {{104'976, 3, 4, TermSign::kAlwaysAdd, 1, 37}, 4, "a short last block"},
    {{3'249, 1, 2, TermSign::kAlternateByCounter, 1, 64}, 1, "alternating, power-of-two count"},
    {{3'249, 1, 2, TermSign::kAlternateByCounter, 1, 64}, 64, "one block holds every round"},
    {{57'121, 1, 2, TermSign::kAlternateByCounter, 5, 100}, 3, "rounds not starting at 1"},
    {{9, 1, 2, TermSign::kAlternateByCounter, 1, 50}, 6, "counters sharing factors with D"},
};

// sum of sigma_j / m_j over the range, exactly.
void DirectReciprocalSum(const RoundRange& r, mpq_t sum) {
  mpq_set_ui(sum, 0, 1);
  mpq_t term;
  mpq_init(term);
  for (std::int64_t j = r.first; j <= r.last; ++j) {
    Mpz m;
    mpz_ui_pow_ui(m.get(), r.stepDivisor, static_cast<unsigned long>(j));
    mpz_mul_ui(m.get(), m.get(), static_cast<unsigned long>(RoundCounter(r, j)));
    mpq_set_si(term, RoundSign(r, j), 1);
    mpz_set(mpq_denref(term), m.get());
    mpq_canonicalize(term);
    mpq_add(sum, sum, term);
  }
  mpq_clear(term);
}

TEST(RoundTree, BinarySplittingGivesTheExactReciprocalSum) {
  for (const Case& c : kCases) {
    RoundTree tree;
    BuildRoundTree(c.range, tree, c.blockRounds);
    mpq_t got;
    mpq_t want;
    mpq_inits(got, want, nullptr);
    mpz_set(mpq_numref(got), tree.t.get());
    RootModulus(tree, mpq_denref(got));
    mpq_canonicalize(got);
    DirectReciprocalSum(c.range, want);
    EXPECT_TRUE(mpq_equal(got, want)) << c.why;
    mpq_clears(got, want, nullptr);
  }
}

TEST(RoundTree, ModulusIsDivisibleByEveryRoundsModulus) {
  for (const Case& c : kCases) {
    RoundTree tree;
    BuildRoundTree(c.range, tree, c.blockRounds);
    Mpz g;
    RootModulus(tree, g.get());
    for (std::int64_t j = c.range.first; j <= c.range.last; ++j) {
      Mpz m;
      mpz_ui_pow_ui(m.get(), c.range.stepDivisor, static_cast<unsigned long>(j));
      mpz_mul_ui(m.get(), m.get(), static_cast<unsigned long>(RoundCounter(c.range, j)));
      EXPECT_NE(mpz_divisible_p(g.get(), m.get()), 0) << c.why << " round " << j;
    }
  }
}

std::uint64_t Distance(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : b - a; }

// floor(2^64 * frac(x / m_j)), directly.
std::uint64_t DirectFraction(mpz_srcptr x, const RoundRange& r, std::int64_t j) {
  Mpz m;
  mpz_ui_pow_ui(m.get(), r.stepDivisor, static_cast<unsigned long>(j));
  mpz_mul_ui(m.get(), m.get(), static_cast<unsigned long>(RoundCounter(r, j)));
  Mpz f;
  mpz_fdiv_r(f.get(), x, m.get());
  mpz_mul_2exp(f.get(), f.get(), 64);
  mpz_fdiv_q(f.get(), f.get(), m.get());
  return mpz_get_ui(f.get());
}

// Descends the tree of c from x and expects every fraction within the bound.
void ExpectFractions(const Case& c, mpz_srcptr x, std::uint64_t exactMargin, unsigned long seed) {
  RoundTree tree;
  BuildRoundTree(c.range, tree, c.blockRounds);
  Mpz g;
  RootModulus(tree, g.get());
  const std::int64_t p = RootPrecision(tree) + 7;
  Mpz root;  // floor(2^p * frac(x / G))
  mpz_fdiv_r(root.get(), x, g.get());
  mpz_mul_2exp(root.get(), root.get(), static_cast<mp_bitcnt_t>(p));
  mpz_fdiv_q(root.get(), root.get(), g.get());
  std::vector<std::uint64_t> fractions;
  DescendRoundTree(tree, x, std::move(root), p, exactMargin, fractions);
  const auto bound = static_cast<std::uint64_t>(FractionErrorUnits(tree));
  for (std::int64_t j = c.range.first; j <= c.range.last; ++j) {
    const std::uint64_t got = fractions[static_cast<std::size_t>(j - c.range.first)];
    EXPECT_LT(Distance(got, DirectFraction(x, c.range, j)), bound)
        << c.why << " round " << j << " seed " << seed;
  }
}

TEST(RoundTree, DescentGivesEveryRoundsFraction) {
  gmp_randstate_t random;
  gmp_randinit_mt(random);
  const unsigned long seed = 20'240'611;
  gmp_randseed_ui(random, seed);
  for (const Case& c : kCases) {
    RoundTree tree;
    BuildRoundTree(c.range, tree, c.blockRounds);
    Mpz g;
    RootModulus(tree, g.get());
    // x of about the root modulus' size, and one far larger, as the series uses.
    for (mp_bitcnt_t extra : {mp_bitcnt_t{0}, mp_bitcnt_t{200}}) {
      Mpz x;
      mpz_urandomb(x.get(), random, static_cast<mp_bitcnt_t>(BitLength(g.get())) + extra);
      ExpectFractions(c, x.get(), 0, seed);
      // Half the blocks started from x directly.
      ExpectFractions(c, x.get(), std::uint64_t{1} << 62, seed);
    }
  }
  gmp_randclear(random);
}

TEST(RoundTree, MultiplesOfTheModulusGiveZeroFractions) {
  // x = G: every fraction is exactly 0, the edge where a fraction just
  // below 1 would be an error of a whole unit; the blocks must start exactly.
  for (const Case& c : kCases) {
    RoundTree tree;
    BuildRoundTree(c.range, tree, c.blockRounds);
    Mpz g;
    RootModulus(tree, g.get());
    ExpectFractions(c, g.get(), 0, 0);
  }
}

TEST(RoundTree, PowersAreMadeOnceAndRight) {
  RoundTree tree;
  BuildRoundTree({3'249, 1, 2, TermSign::kAlternateByCounter, 1, 8}, tree);
  Mpz want;
  mpz_ui_pow_ui(want.get(), 3'249, 13);
  mpz_srcptr first = PowerOfDivisor(tree, 13);
  EXPECT_EQ(mpz_cmp(first, want.get()), 0);
  EXPECT_TRUE(PowerOfDivisor(tree, 13) == first);  // the cached one, not a copy
}

}  // namespace
}  // namespace quarnel
