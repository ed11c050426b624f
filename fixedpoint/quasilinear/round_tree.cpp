#include "fixedpoint/quasilinear/round_tree.h"

#include <algorithm>
#include <cassert>

namespace quarnel {

namespace {

// The halves of [lo, hi) meet at Middle(lo, hi).
constexpr std::int64_t Middle(std::int64_t lo, std::int64_t hi) { return lo + (hi - lo) / 2; }

// Inner nodes are numbered in pre-order: a node over n rounds has n - 1 inner
// nodes in its subtree, so its left child is id + 1 and its right child is
// id + (mid - lo). A single round is a leaf and has no number.
constexpr std::size_t LeftChild(std::size_t id) { return id + 1; }
constexpr std::size_t RightChild(std::size_t id, std::int64_t lo, std::int64_t mid) {
  return id + static_cast<std::size_t>(mid - lo);
}

class Builder {
 public:
  explicit Builder(RoundTree& tree) : tree_(tree) {}

  // t := T of [lo, hi); fills Q and the precision of its inner nodes.
  void Build(std::int64_t lo, std::int64_t hi, std::size_t id, std::int64_t depth, mpz_ptr t) {
    tree_.depth = std::max(tree_.depth, depth);
    if (hi - lo == 1) {
      mpz_set_si(t, RoundSign(tree_.range, lo));
      return;
    }
    const std::int64_t mid = Middle(lo, hi);
    const std::size_t left = LeftChild(id);
    const std::size_t right = RightChild(id, lo, mid);
    Mpz tLeft;
    Mpz tRight;
    Build(lo, mid, left, depth + 1, tLeft.get());
    Build(mid, hi, right, depth + 1, tRight.get());

    Mpz qLeftLeaf;
    Mpz qRightLeaf;
    mpz_srcptr qLeft = NodeQ(lo, mid, left, qLeftLeaf);
    mpz_srcptr qRight = NodeQ(mid, hi, right, qRightLeaf);
    Mpz shift;  // G / G_left
    mpz_mul(shift.get(), PowerOfDivisor(tree_, hi - mid), qRight);

    mpz_mul(t, tLeft.get(), shift.get());
    mpz_addmul(t, tRight.get(), qLeft);
    mpz_mul(tree_.q[id].get(), qLeft, qRight);
    tree_.need[id] = std::max(BitLength(shift.get()) + NodeNeed(lo, mid, left),
                              BitLength(qLeft) + NodeNeed(mid, hi, right));
  }

  mpz_srcptr NodeQ(std::int64_t lo, std::int64_t hi, std::size_t id, Mpz& leaf) const {
    if (hi - lo > 1) return tree_.q[id].get();
    mpz_set_ui(leaf.get(), static_cast<unsigned long>(RoundCounter(tree_.range, lo)));
    return leaf.get();
  }

  std::int64_t NodeNeed(std::int64_t lo, std::int64_t hi, std::size_t id) const {
    return hi - lo > 1 ? tree_.need[id] : tree_.leafBits;
  }

  // Consumes z, a fraction of p bits over [lo, hi); writes the leaves' fractions.
  void Descend(std::int64_t lo, std::int64_t hi, std::size_t id, Mpz&& z, std::int64_t p,
               std::vector<std::uint64_t>& fractions) {
    if (hi - lo == 1) {
      assert(p == tree_.leafBits);
      fractions[static_cast<std::size_t>(lo - tree_.range.first)] = mpz_get_ui(z.get());
      return;
    }
    const std::int64_t mid = Middle(lo, hi);
    const std::size_t left = LeftChild(id);
    const std::size_t right = RightChild(id, lo, mid);
    Mpz qLeftLeaf;
    Mpz qRightLeaf;
    mpz_srcptr qLeft = NodeQ(lo, mid, left, qLeftLeaf);
    mpz_srcptr qRight = NodeQ(mid, hi, right, qRightLeaf);
    Mpz shift;
    mpz_mul(shift.get(), PowerOfDivisor(tree_, hi - mid), qRight);

    Mpz zLeft;
    Mpz zRight;
    const std::int64_t pLeft = NodeNeed(lo, mid, left);
    const std::int64_t pRight = NodeNeed(mid, hi, right);
    ScaleFraction(z.get(), p, shift.get(), pLeft, zLeft.get());
    ScaleFraction(z.get(), p, qLeft, pRight, zRight.get());
    z = Mpz();
    shift = Mpz();
    Descend(lo, mid, left, std::move(zLeft), pLeft, fractions);
    Descend(mid, hi, right, std::move(zRight), pRight, fractions);
  }

 private:
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

void BuildRoundTree(const RoundRange& r, std::int64_t leafBits, RoundTree& tree) {
  tree.range = r;
  tree.leafBits = leafBits;
  const std::int64_t count = r.last - r.first + 1;
  tree.q.clear();
  tree.q.resize(static_cast<std::size_t>(count - 1));
  tree.need.assign(static_cast<std::size_t>(count - 1), 0);
  tree.depth = 0;
  Builder(tree).Build(r.first, r.last + 1, 0, 0, tree.t.get());
}

std::int64_t RootPrecision(const RoundTree& tree) {
  return tree.need.empty() ? tree.leafBits : tree.need[0];
}

std::int64_t LeafErrorUnits(const RoundTree& tree) {
  // Below two units at the root (its given error and the truncation to the
  // precision it needs), and below two more from each descent (the dropped
  // low bits of the parent and the final truncation).
  return 2 * tree.depth + 2;
}

void RootModulus(RoundTree& tree, mpz_ptr g) {
  if (tree.q.empty()) {
    mpz_set_ui(g, static_cast<unsigned long>(RoundCounter(tree.range, tree.range.first)));
  } else {
    mpz_set(g, tree.q[0].get());
  }
  mpz_mul(g, g, PowerOfDivisor(tree, tree.range.last));
}

void DescendRoundTree(RoundTree& tree, Mpz&& rootFraction, std::int64_t precision,
                      std::vector<std::uint64_t>& fractions) {
  const RoundRange& r = tree.range;
  fractions.assign(static_cast<std::size_t>(r.last - r.first + 1), 0);
  Builder builder(tree);
  const std::int64_t p = RootPrecision(tree);
  Mpz root = std::move(rootFraction);
  if (precision > p) {
    mpz_tdiv_q_2exp(root.get(), root.get(), static_cast<mp_bitcnt_t>(precision - p));
  }
  builder.Descend(r.first, r.last + 1, 0, std::move(root), p, fractions);
}

}  // namespace quarnel
