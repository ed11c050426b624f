// The rounds of a series as a balanced tree over their moduli, giving both
// the exact sum of the reciprocals (binary splitting) and, for a number X,
// the fractional parts frac(X / m_j) of every round (a scaled remainder tree).
//
// Round j has the odd counter c_j = c_0 + j * counterStep, the sign sigma_j
// of TermIsAdded and the modulus m_j = D^j * c_j (D the step divisor). A node
// covering the rounds [lo, hi) has
//
//     Q = product of c_j,   G = D^hi * Q,   K_j = G / m_j (an integer),
//     T = sum of sigma_j * K_j,   so that   T / G = sum of sigma_j / m_j.
//
// Its halves [lo, mid) and [mid, hi) divide it: G = G_left * D^(hi-mid) * Q_right
// = G_right * Q_left. Binary splitting merges upwards with
//
//     T = T_left * D^(hi-mid) * Q_right + T_right * Q_left,
//
// and a fraction z = frac(X / G) passes downwards exactly the other way, as
// frac(X / G_left) = frac(z * D^(hi-mid) * Q_right) and frac(X / G_right) =
// frac(z * Q_left), since multiplying by an integer commutes with frac.
// Only the fractions travel, as fixed-point integers; each node is given the
// precision that its deepest descent needs.
//
// The tree's leaves are blocks of a few dozen rounds, where one word-sized
// step per round replaces the tree's small multiplications. From
// frac(X / G_block) a block [a, b) gets, exactly, U = floor(X / D^a) mod
// (D^(b-a) Q) and, to 64 bits, phi_a = frac(X / D^a); then for j = a, a+1, ...
//
//     rho_j = floor(U / D^(j-a)) mod c_j = floor(X / D^j) mod c_j,
//     frac(X / m_j) = (rho_j + phi_j) / c_j,   phi_(j+1) = (d_j + phi_j) / D,
//
// with d_j = floor(U / D^(j-a)) mod D the next base-D digit.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "fixedpoint/quasilinear/gmp_integer.h"
#include "fixedpoint/series_rounds.h"

namespace quarnel {

struct RoundRange {
  Word stepDivisor;           // D
  std::int64_t counterStart;  // c_0
  std::int64_t counterStep;   // c_j = c_0 + j * counterStep
  TermSign sign;
  std::int64_t first;  // the rounds first..last, 1 <= first <= last
  std::int64_t last;
};

// The odd counter of round j.
constexpr std::int64_t RoundCounter(const RoundRange& r, std::int64_t j) {
  return r.counterStart + j * r.counterStep;
}

// +1 when round j adds its term, -1 when it subtracts it.
constexpr int RoundSign(const RoundRange& r, std::int64_t j) {
  return TermIsAdded(r.sign, static_cast<std::int32_t>(RoundCounter(r, j))) ? 1 : -1;
}

// Rounds per block where the caller does not choose.
inline constexpr std::int64_t kBlockRounds = 32;

// The bits of every round's fraction.
inline constexpr std::int64_t kFractionBits = 64;

struct RoundTree {
  RoundRange range;
  std::int64_t blockRounds = kBlockRounds;
  std::int64_t blockCount = 0;
  std::vector<Mpz> q;               // Q of every inner node, in pre-order
  std::vector<std::int64_t> need;   // the precision each inner node needs
  std::vector<Mpz> blockQ;          // Q of every block
  std::vector<std::int64_t> blockNeed;
  std::int64_t depth = 0;               // edges on the longest root-to-block path
  std::map<std::int64_t, Mpz> powers;   // D^k, made once each
  Mpz t;  // T of the root
};

// Builds the tree of r (products, precisions and the root's T) with blocks of
// blockRounds rounds (the last may be shorter). Needs c_j < 2^31 and D < 2^32.
void BuildRoundTree(const RoundRange& r, RoundTree& tree,
                    std::int64_t blockRounds = kBlockRounds);

// The precision (bits) the root's fraction needs.
std::int64_t RootPrecision(const RoundTree& tree);

// Bound on the error of DescendRoundTree's fractions, in units of 2^-64,
// when the root's error is below one unit of its own last place.
std::int64_t FractionErrorUnits(const RoundTree& tree);

// g := G of the root, D^(last+1) * Q.
void RootModulus(RoundTree& tree, mpz_ptr g);

// z := D^k, from the tree's cache.
mpz_srcptr PowerOfDivisor(RoundTree& tree, std::int64_t k);

// Given x >= 0 and rootFraction = floor(2^p * frac(x / G_root)) up to one
// unit, with p = precision >= RootPrecision(tree), fills fractions[j - first]
// with floor(2^64 * frac(x / m_j)) for every round j, each within
// FractionErrorUnits(tree). A block whose phi_a lies within
// FractionErrorUnits + exactMargin units of a whole number is started from x
// directly instead. Consumes rootFraction.
void DescendRoundTree(RoundTree& tree, mpz_srcptr x, Mpz&& rootFraction, std::int64_t precision,
                      std::uint64_t exactMargin, std::vector<std::uint64_t>& fractions);

}  // namespace quarnel
