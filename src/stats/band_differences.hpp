// Distances between the band profiles of individuals.
//
// The squared Euclidean distance between two 0/1 band profiles is the number
// of bands in which the two individuals differ.  With missing scores, a locus
// is used only when at most 5% of the analysed individuals lack a score there;
// a pair's count of differences over the used loci scored in both is then
// scaled up to all used loci:
//
//   d(x, y) = differences(x, y) * K / scored_in_both(x, y),  K = loci used,
//
// computed as one division of the exact integer product, so that data
// without missing scores give the count itself.  A pair with no used locus
// scored in both has no distance: NaN (the caller reports it).
//
// Presence and "scored" flags are packed 64 loci to a word and counted with
// popcount, so the cost is O(ntot^2 K / 64).
#pragma once

#include <cstddef>
#include <vector>

#include "numeric/array.hpp"

namespace bandscape {

// A symmetric matrix with a zero diagonal for individuals 0..n-1, of which only
// the strictly upper triangle is stored, row after row (row i holds the
// columns j = i+1..n-1).
class PackedDistances {
 public:
  PackedDistances() = default;
  explicit PackedDistances(int n);

  int size() const { return n_; }
  std::size_t pair_count() const { return values_.size(); }
  // Position of (i, j), i < j, in values().
  std::size_t index(int i, int j) const {
    return static_cast<std::size_t>(i) * (2 * static_cast<std::size_t>(n_) - i - 1) / 2 +
           static_cast<std::size_t>(j - i - 1);
  }
  // d(i, j) for any i, j; 0 when i == j.
  double operator()(int i, int j) const {
    if (i == j) return 0.0;
    return i < j ? values_[index(i, j)] : values_[index(j, i)];
  }
  double& upper(int i, int j) { return values_[index(i, j)]; }
  const std::vector<double>& values() const { return values_; }

 private:
  int n_ = 0;
  std::vector<double> values_;
};

struct BandDifferences {
  std::vector<int> loci;            // the loci used (columns of the scores), increasing
  PackedDistances distances;        // d(x, y) as above, NaN for pairs with no locus in common
  std::size_t undefined_pairs = 0;  // how many pairs are NaN
  int loci_used() const { return static_cast<int>(loci.size()); }
};

// A locus is used when its missing scores are at most a share of the ntot
// analysed individuals, given in millionths (50000: 5%, the default) and
// compared exactly in integers: 1e6 missing <= share ntot (for 5%, 20 missing
// <= ntot).  (With a share below 1, a locus missing in every individual is
// never used.)
inline constexpr int kDefaultMissingMillionths = 50000;
inline bool locus_used(int missing, int ntot, int missing_millionths = kDefaultMissingMillionths) {
  return 1000000LL * missing <= static_cast<long long>(missing_millionths) * ntot;
}

// The loci used among columns 0..m-1 of scores (rows 0..ntot-1; 1 band present,
// 0 absent, 9 missing), in increasing order.
std::vector<int> used_loci(const ScoreMatrix& scores, int ntot, int m,
                           int missing_millionths = kDefaultMissingMillionths);

// Distances between all pairs of the individuals 0..ntot-1 over the used loci.
// Rows are independent and split over `threads` workers (0: one per core);
// the values do not depend on the split.
BandDifferences band_differences(const ScoreMatrix& scores, int ntot, int m, int threads = 1,
                                 int missing_millionths = kDefaultMissingMillionths);

}  // namespace bandscape
