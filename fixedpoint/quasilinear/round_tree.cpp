#include "fixedpoint/quasilinear/round_tree.h"

#include <algorithm>
#include <cassert>
#include <limits>

namespace quarnel {

namespace {

// The halves of the blocks [lo, hi) meet at block Middle(lo, hi).
constexpr std::int64_t Middle(std::int64_t lo, std::int64_t hi) { return lo + (hi - lo) / 2; }

// Inner nodes are numbered in pre-order: a node over n blocks has n - 1 inner
// nodes in its subtree, so its left child is id + 1 and its right child is
// id + (mid - lo). A single block is a leaf and has no number.
constexpr std::size_t LeftChild(std::size_t id) { return id + 1; }
constexpr std::size_t RightChild(std::size_t id, std::int64_t lo, std::int64_t mid) {
  return id + static_cast<std::size_t>(mid - lo);
}

// floor((high * 2^64 + low) / d) for high < d < 2^32: two steps of the
// word-array long division, with 32-bit digits.
std::uint64_t DivideFraction(std::uint64_t high, std::uint64_t low, std::uint64_t d) {
  const std::uint64_t upper = (high << 32) | (low >> 32);
  const std::uint64_t rest = ((upper % d) << 32) | (low & 0xFFFF'FFFFu);
  return ((upper / d) << 32) | (rest / d);
}

class Walker {
 public:
  explicit Walker(RoundTree& tree) : tree_(tree) {}

  // The first round of block i (i = blockCount gives last + 1).
  std::int64_t BlockStart(std::int64_t i) const {
    return std::min(tree_.range.first + i * tree_.blockRounds, tree_.range.last + 1);
  }

  // t := T of the blocks [lo, hi); fills Q and the precision of its nodes.
  void Build(std::int64_t lo, std::int64_t hi, std::size_t id, std::int64_t depth, mpz_ptr t) {
    if (hi - lo == 1) {
      tree_.depth = std::max(tree_.depth, depth);
      BuildBlock(lo, t);
      return;
    }
    const std::int64_t mid = Middle(lo, hi);
    const std::size_t left = LeftChild(id);
    const std::size_t right = RightChild(id, lo, mid);
    Mpz tLeft;
    Mpz tRight;
    Build(lo, mid, left, depth + 1, tLeft.get());
    Build(mid, hi, right, depth + 1, tRight.get());

    mpz_srcptr qLeft = NodeQ(lo, mid, left);
    Mpz shift;  // G / G_left
    Shift(mid, hi, right, shift.get());
    mpz_mul(t, tLeft.get(), shift.get());
    mpz_addmul(t, tRight.get(), qLeft);
    mpz_mul(tree_.q[id].get(), qLeft, NodeQ(mid, hi, right));
    tree_.need[id] = std::max(BitLength(shift.get()) + NodeNeed(lo, mid, left),
                              BitLength(qLeft) + NodeNeed(mid, hi, right));
  }

  // Consumes z, a fraction of p bits over the blocks [lo, hi).
  void Descend(std::int64_t lo, std::int64_t hi, std::size_t id, Mpz&& z, std::int64_t p) {
    if (hi - lo == 1) {
      DescendBlock(lo, std::move(z), p);
      return;
    }
    const std::int64_t mid = Middle(lo, hi);
    const std::size_t left = LeftChild(id);
    const std::size_t right = RightChild(id, lo, mid);
    Mpz zLeft;
    Mpz zRight;
    const std::int64_t pLeft = NodeNeed(lo, mid, left);
    const std::int64_t pRight = NodeNeed(mid, hi, right);
    {
      Mpz shift;
      Shift(mid, hi, right, shift.get());
      ScaleFraction(z.get(), p, shift.get(), pLeft, zLeft.get());
    }
    ScaleFraction(z.get(), p, NodeQ(lo, mid, left), pRight, zRight.get());
    z = Mpz();
    Descend(lo, mid, left, std::move(zLeft), pLeft);
    Descend(mid, hi, right, std::move(zRight), pRight);
  }

  mpz_srcptr x = nullptr;
  std::uint64_t margin = 0;
  std::vector<std::uint64_t>* fractions = nullptr;

 private:
  mpz_srcptr NodeQ(std::int64_t lo, std::int64_t hi, std::size_t id) const {
    return hi - lo > 1 ? tree_.q[id].get() : tree_.blockQ[static_cast<std::size_t>(lo)].get();
  }

  std::int64_t NodeNeed(std::int64_t lo, std::int64_t hi, std::size_t id) const {
    return hi - lo > 1 ? tree_.need[id] : tree_.blockNeed[static_cast<std::size_t>(lo)];
  }

  // shift := G / G_left = D^(rounds of the right half) * Q_right.
  void Shift(std::int64_t mid, std::int64_t hi, std::size_t right, mpz_ptr shift) {
    mpz_mul(shift, PowerOfDivisor(tree_, BlockStart(hi) - BlockStart(mid)), NodeQ(mid, hi, right));
  }

  // Block i's Q, precision and t := T, one round at a time: appending round
  // j to [a, j) multiplies every K by D * c_j and adds K_j = D * Q.
  void BuildBlock(std::int64_t i, mpz_ptr t) {
    const RoundRange& r = tree_.range;
    mpz_ptr q = tree_.blockQ[static_cast<std::size_t>(i)].get();
    mpz_set_ui(t, 0);
    mpz_set_ui(q, 1);
    for (std::int64_t j = BlockStart(i); j < BlockStart(i + 1); ++j) {
      const auto c = static_cast<unsigned long>(RoundCounter(r, j));
      mpz_mul_ui(t, t, c * r.stepDivisor);
      if (RoundSign(r, j) > 0) {
        mpz_addmul_ui(t, q, r.stepDivisor);
      } else {
        mpz_submul_ui(t, q, r.stepDivisor);
      }
      mpz_mul_ui(q, q, c);
    }
    Mpz m;
    BlockModulusOverStart(i, m.get());
    tree_.blockNeed[static_cast<std::size_t>(i)] = BitLength(m.get()) + kFractionBits;
  }

  // m := D^(b-a) * Q of block i = [a, b): G_block / D^a.
  void BlockModulusOverStart(std::int64_t i, mpz_ptr m) {
    mpz_mul(m, PowerOfDivisor(tree_, BlockStart(i + 1) - BlockStart(i)),
            tree_.blockQ[static_cast<std::size_t>(i)].get());
  }

  // Writes the fractions of block i from z = frac(x / G_block) to p bits.
  void DescendBlock(std::int64_t i, Mpz&& z, std::int64_t p) {
    const RoundRange& r = tree_.range;
    const std::int64_t a = BlockStart(i);
    Mpz u;
    {
      Mpz m;
      BlockModulusOverStart(i, m.get());
      // v = z * m = x / D^a mod m = U + phi_a, to 2^-64 within the error bound.
      mpz_mul(u.get(), z.get(), m.get());
    }
    z = Mpz();
    Mpz low;
    mpz_tdiv_r_2exp(low.get(), u.get(), static_cast<mp_bitcnt_t>(p));
    mpz_tdiv_q_2exp(low.get(), low.get(), static_cast<mp_bitcnt_t>(p - kFractionBits));
    std::uint64_t phi = mpz_get_ui(low.get());
    mpz_tdiv_q_2exp(u.get(), u.get(), static_cast<mp_bitcnt_t>(p));
    const auto guard = static_cast<std::uint64_t>(FractionErrorUnits(tree_)) + margin;
    if (phi < guard || std::numeric_limits<std::uint64_t>::max() - phi < guard) {
      ExactBlockStart(i, u.get(), phi);
    }

    for (std::int64_t j = a; j < BlockStart(i + 1); ++j) {
      const auto c = static_cast<std::uint64_t>(RoundCounter(r, j));
      const std::uint64_t rho = mpz_fdiv_ui(u.get(), c);
      (*fractions)[static_cast<std::size_t>(j - r.first)] = DivideFraction(rho, phi, c);
      const std::uint64_t digit = mpz_fdiv_q_ui(u.get(), u.get(), r.stepDivisor);
      phi = DivideFraction(digit, phi, r.stepDivisor);
    }
  }

  // u := floor(x / D^a) mod (D^(b-a) Q), phi := floor(2^64 frac(x / D^a)),
  // both exactly, for block i = [a, b).
  void ExactBlockStart(std::int64_t i, mpz_ptr u, std::uint64_t& phi) {
    const std::int64_t a = BlockStart(i);
    Mpz powerA;
    mpz_ui_pow_ui(powerA.get(), tree_.range.stepDivisor, static_cast<unsigned long>(a));
    Mpz m;
    BlockModulusOverStart(i, m.get());
    mpz_mul(m.get(), m.get(), powerA.get());
    Mpz rest;
    mpz_fdiv_r(rest.get(), x, m.get());
    mpz_fdiv_qr(u, rest.get(), rest.get(), powerA.get());
    mpz_mul_2exp(rest.get(), rest.get(), kFractionBits);
    mpz_fdiv_q(rest.get(), rest.get(), powerA.get());
    phi = mpz_get_ui(rest.get());
  }

  // out := floor(2^pOut * frac(z / 2^p * m)), for p >= pOut + BitLength(m).
  // The low bits of z that cannot move the result by a whole unit are
  // dropped first: the error is then below two units of the result.
  static void ScaleFraction(mpz_srcptr z, std::int64_t p, mpz_srcptr m, std::int64_t pOut,
                            mpz_ptr out) {
    const std::int64_t drop = std::max<std::int64_t>(0, p - pOut - BitLength(m));
    mpz_tdiv_q_2exp(out, z, static_cast<mp_bitcnt_t>(drop));
    mpz_mul(out, out, m);
    mpz_tdiv_r_2exp(out, out, static_cast<mp_bitcnt_t>(p - drop));
    mpz_tdiv_q_2exp(out, out, static_cast<mp_bitcnt_t>(p - drop - pOut));
  }

  RoundTree& tree_;
};

}  // namespace

mpz_srcptr PowerOfDivisor(RoundTree& tree, std::int64_t k) {
  auto [at, made] = tree.powers.try_emplace(k);
  if (made) mpz_ui_pow_ui(at->second.get(), tree.range.stepDivisor, static_cast<unsigned long>(k));
  return at->second.get();
}

void BuildRoundTree(const RoundRange& r, RoundTree& tree, std::int64_t blockRounds) {
  tree.range = r;
  tree.blockRounds = blockRounds;
  tree.blockCount = (r.last - r.first + blockRounds) / blockRounds;
  const auto blocks = static_cast<std::size_t>(tree.blockCount);
  tree.q.clear();
  tree.q.resize(blocks - 1);
  tree.need.assign(blocks - 1, 0);
  tree.blockQ.clear();
  tree.blockQ.resize(blocks);
  tree.blockNeed.assign(blocks, 0);
  tree.depth = 0;
  Walker(tree).Build(0, tree.blockCount, 0, 0, tree.t.get());
}

std::int64_t RootPrecision(const RoundTree& tree) {
  return tree.need.empty() ? tree.blockNeed[0] : tree.need[0];
}

std::int64_t FractionErrorUnits(const RoundTree& tree) {
  // Below two units at the root (its given error and the truncation to the
  // precision it needs), two more from each descent (the dropped low bits of
  // the parent and the final truncation), one from reading phi_a at the
  // block and one from each round's own division.
  return 2 * tree.depth + 4;
}

void RootModulus(RoundTree& tree, mpz_ptr g) {
  mpz_set(g, tree.q.empty() ? tree.blockQ[0].get() : tree.q[0].get());
  mpz_mul(g, g, PowerOfDivisor(tree, tree.range.last + 1));
}

void DescendRoundTree(RoundTree& tree, mpz_srcptr x, Mpz&& rootFraction, std::int64_t precision,
                      std::uint64_t exactMargin, std::vector<std::uint64_t>& fractions) {
  const RoundRange& r = tree.range;
  fractions.assign(static_cast<std::size_t>(r.last - r.first + 1), 0);
  Walker walker(tree);
  walker.x = x;
  walker.margin = exactMargin;
  walker.fractions = &fractions;
  const std::int64_t p = RootPrecision(tree);
  Mpz root = std::move(rootFraction);
  if (precision > p) {
    mpz_tdiv_q_2exp(root.get(), root.get(), static_cast<mp_bitcnt_t>(precision - p));
  }
  walker.Descend(0, tree.blockCount, 0, std::move(root), p);
}

}  // namespace quarnel
