// The straightforward neighbour joining and UPGMA that src/tree/distance_trees
// speeds up, kept as the reference the fast versions must match bit for bit:
// every step recomputes the row sums R_i in increasing order and scans all
// pairs for the smallest (k - 2) d_ij - R_i - R_j (or d_ij), the first pair
// keeping a tie, as PHYLIP 3.697 `neighbor` does (Saitou & Nei 1987; Sokal &
// Michener 1958).  O(n^3) time.
#pragma once

#include <cfloat>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "numeric/distance_matrix.hpp"
#include "tree/tree.hpp"

namespace bandscape::testing {

namespace plain {

// The clusters not yet joined, at positions 0..k-1 in the order of the taxa
// they started from.  Only the lower triangle of their distances is kept, row
// by row: rows[p][q] is the distance between positions p and q < p.  A
// position's row lives in the storage of the taxon it started from, which has
// room for at least as many cells, so removing a cluster shifts cells within
// rows but never moves a row.
//
// The arithmetic follows `neighbor`: for joining, a cluster keeps the mean
// (d_ik + d_jk) / 2 of its two parts' distances, which exceeds the textbook
// d_uk by d_ij / 2; that offset (`offset`, and for UPGMA the cluster's
// height) is taken off the branch lengths.  The same shift is added to every
// pair's criterion, so the choice of pairs is the textbook one up to rounding,
// and rounding is what decides between pairs that tie on paper.
class Clusters {
 public:
  explicit Clusters(const DistanceMatrix& d)
      : offset(d.n, 0.0),
        size(d.n, 1.0),
        sums(d.n, 0.0),
        k_(d.n),
        storage_(static_cast<std::size_t>(d.n) * d.n / 2 + 1) {
    if (first_undefined_distance(d)) throw std::invalid_argument("distance matrix with an undefined distance");
    for (int p = 0; p < d.n; ++p) {
      double* row = storage_.data() + static_cast<std::ptrdiff_t>(p) * (p - 1) / 2;
      for (int q = 0; q < p; ++q) row[q] = d.at(q, p);
      rows_.push_back(row);
      node.push_back(p);
    }
  }

  int count() const { return k_; }
  double at(int p, int q) const { return p > q ? rows_[p][q] : rows_[q][p]; }

  // sums[p] = sum over q != p of d_pq, added in increasing q from 0.0 (the
  // order `neighbor` uses).  Two rows at a time: each row's own cells form one
  // running sum while the same cells complete the sums of the earlier rows.
  void update_sums() {
    if (k_ > 0) sums[0] = 0.0;
    int p = 1;
    for (; p + 1 < k_; p += 2) {
      const double* r0 = rows_[p];
      const double* r1 = rows_[p + 1];
      double s0 = 0.0, s1 = 0.0;
      for (int q = 0; q < p; ++q) {
        s0 += r0[q];
        s1 += r1[q];
        sums[q] += r0[q];
        sums[q] += r1[q];
      }
      sums[p] = s0 + r1[p];
      sums[p + 1] = s1 + r1[p];
    }
    if (p < k_) {
      const double* r = rows_[p];
      double s = 0.0;
      for (int q = 0; q < p; ++q) {
        s += r[q];
        sums[q] += r[q];
      }
      sums[p] = s;
    }
  }

  // The first pair (q < p, p outer) with the smallest score; score(p, q) is
  // weight * d_pq - sums[q] - sums[p], or d_pq alone when `by_distance`.
  template <bool by_distance>
  std::pair<int, int> closest_pair(double weight) const {
    double best = DBL_MAX;
    std::pair<int, int> found{0, 1};
    for (int p = 1; p < k_; ++p) {
      const double* r = rows_[p];
      const double* s = sums.data();
      const double sp = by_distance ? 0.0 : sums[p];
      auto score = [&](int q) { return by_distance ? r[q] : weight * r[q] - s[q] - sp; };
      // The row's minimum first (independent chains), then its first position.
      double m0 = DBL_MAX, m1 = DBL_MAX;
      int q = 0;
      for (; q + 1 < p; q += 2) {
        const double a = score(q), b = score(q + 1);
        m0 = a < m0 ? a : m0;
        m1 = b < m1 ? b : m1;
      }
      if (q < p) {
        const double a = score(q);
        m0 = a < m0 ? a : m0;
      }
      const double m = m1 < m0 ? m1 : m0;
      if (m < best) {
        best = m;
        q = 0;
        while (!(score(q) == m)) ++q;
        found = {q, p};
      }
    }
    return found;
  }

  // Joins positions a < b into a new node of `tree` with the given branch
  // lengths; the cluster takes position a.  `mean` gives a's new distance to
  // a third position from the two old ones.
  template <class Mean>
  void join(int a, int b, double length_a, double length_b, Tree& tree, Mean mean) {
    tree.nodes[node[a]].length = length_a;
    tree.nodes[node[b]].length = length_b;
    node[a] = tree.join({node[a], node[b]});
    for (int c = 0; c < k_; ++c) {
      if (c == a || c == b) continue;
      const double d = mean(at(a, c), at(b, c));
      (a > c ? rows_[a][c] : rows_[c][a]) = d;
    }
    size[a] += size[b];
    remove(b);
  }

  std::vector<int> node;       // tree node of each position
  std::vector<double> offset;  // taken off the cluster's next branch length
  std::vector<double> size;    // taxa in the cluster
  std::vector<double> sums;    // R of each position, after update_sums()

 private:
  void remove(int b) {
    for (int p = b + 1; p < k_; ++p) {
      std::memmove(rows_[p] + b, rows_[p] + b + 1, static_cast<std::size_t>(p - b - 1) * sizeof(double));
    }
    rows_.erase(rows_.begin() + b);
    node.erase(node.begin() + b);
    offset.erase(offset.begin() + b);
    size.erase(size.begin() + b);
    sums.erase(sums.begin() + b);
    --k_;
  }

  int k_ = 0;
  std::vector<double> storage_;
  std::vector<double*> rows_;
};

}  // namespace plain

inline Tree plain_neighbor_joining(const DistanceMatrix& distances) {
  using plain::Clusters;
  Clusters c(distances);
  Tree tree = tips_only(distances.n, false);
  if (c.count() < 3) {
    // One taxon is its own tree; two hang from a node halfway between them.
    if (c.count() == 2) {
      tree.root = tree.join({0, 1});
      tree.nodes[0].length = tree.nodes[1].length = c.at(0, 1) / 2.0;
    } else if (c.count() == 1) {
      tree.root = 0;
    }
    return tree;
  }
  double weight = c.count() - 2.0;  // k - 2
  while (c.count() > 3) {
    c.update_sums();
    const auto [a, b] = c.closest_pair<false>(weight);
    const double d = c.at(a, b);
    const double excess_a = (c.sums[a] - d) / weight;
    const double excess_b = (c.sums[b] - d) / weight;
    double length_a = (d + excess_a - excess_b) * 0.5;
    double length_b = d - length_a;
    length_a -= c.offset[a];
    length_b -= c.offset[b];
    c.offset[a] = d * 0.5;
    c.join(a, b, length_a, length_b, tree, [](double da, double db) { return (da + db) * 0.5; });
    weight -= 1.0;
  }
  const double d01 = c.at(0, 1), d02 = c.at(0, 2), d12 = c.at(1, 2);
  const double l0 = (d01 + d02 - d12) * 0.5;
  tree.nodes[c.node[0]].length = l0 - c.offset[0];
  tree.nodes[c.node[1]].length = d01 - l0 - c.offset[1];
  tree.nodes[c.node[2]].length = d02 - l0 - c.offset[2];
  tree.root = tree.join({c.node[0], c.node[1], c.node[2]});
  return tree;
}

inline Tree plain_upgma(const DistanceMatrix& distances) {
  using plain::Clusters;
  Clusters c(distances);
  Tree tree = tips_only(distances.n, true);
  // offset holds each cluster's height.
  while (c.count() > 1) {
    const auto [a, b] = c.closest_pair<true>(1.0);
    const double height = c.at(a, b) / 2.0;
    const double length_a = height - c.offset[a];
    const double length_b = height - c.offset[b];
    c.offset[a] += length_a;
    const double wa = c.size[a], wb = c.size[b];
    c.join(a, b, length_a, length_b, tree, [wa, wb](double da, double db) { return (da * wa + db * wb) / (wa + wb); });
  }
  tree.root = c.count() == 1 ? c.node[0] : -1;
  return tree;
}

}  // namespace bandscape::testing
