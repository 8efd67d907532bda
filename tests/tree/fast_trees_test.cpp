// The fast neighbour joining and UPGMA against the straightforward O(n^3)
// algorithm (plain_distance_trees.hpp, the code they replaced): the same
// nodes in the same order, the same children, and branch lengths equal to the
// bit, on random matrices of 3 to 400 taxa of kinds that stress the pair
// choice: ties everywhere (small integers, equal distances, clones), ties on
// paper that rounding decides (0.1, 0.2, 0.3), sums with large and small
// terms, negative distances.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <string>

#include "stats/relatedness.hpp"
#include "tree/distance_trees.hpp"
#include "tree/plain_distance_trees.hpp"
#include "tree/run_trees.hpp"

namespace bandscape::testing {
namespace {

// "" when the trees are the same to the bit, else the first difference.
std::string difference(const Tree& fast, const Tree& plain) {
  if (fast.root != plain.root || fast.nodes.size() != plain.nodes.size()) return "another shape";
  for (std::size_t v = 0; v < fast.nodes.size(); ++v) {
    const TreeNode &x = fast.nodes[v], &y = plain.nodes[v];
    if (x.parent != y.parent || x.children != y.children) return "node " + std::to_string(v) + " elsewhere";
    if (std::bit_cast<std::uint64_t>(x.length) != std::bit_cast<std::uint64_t>(y.length)) {
      return "node " + std::to_string(v) + " length " + std::to_string(x.length) + " vs " + std::to_string(y.length);
    }
  }
  return "";
}

enum class Kind { uniform, small_integers, counts, decimals, equal, clones, mixed_scales, signed_values, tree_like };

DistanceMatrix random_matrix(Kind kind, int n, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  DistanceMatrix d(n);
  // Clones: a few distinct individuals copied over and over (distance 0
  // between copies, identical rows).
  std::vector<int> original(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) original[static_cast<std::size_t>(i)] = static_cast<int>(rng() % (n / 4 + 2));
  std::vector<double> x(static_cast<std::size_t>(3 * n));
  for (double& c : x) c = u(rng);
  DistanceMatrix base(n / 4 + 2);
  for (double& c : base.cells) c = static_cast<double>(1 + rng() % 20);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      double& v = d.at(i, j);
      switch (kind) {
        case Kind::uniform:
          v = u(rng);
          break;
        case Kind::small_integers:
          v = static_cast<double>(rng() % 4);
          break;
        case Kind::counts: {
          // Band differences: points in 3-D, squared distances as counts 0..300.
          double s = 0.0;
          for (int k = 0; k < 3; ++k) s += (x[3 * i + k] - x[3 * j + k]) * (x[3 * i + k] - x[3 * j + k]);
          v = std::round(100.0 * s);
          break;
        }
        case Kind::decimals:
          v = 0.1 * static_cast<double>(1 + rng() % 3);
          break;
        case Kind::equal:
          v = 1.0;
          break;
        case Kind::clones: {
          const int a = original[static_cast<std::size_t>(i)], b = original[static_cast<std::size_t>(j)];
          v = a == b ? 0.0 : base.at(std::min(a, b), std::max(a, b));
          break;
        }
        case Kind::mixed_scales:
          v = (rng() % 2 ? 1e6 : 1e-3) * u(rng);
          break;
        case Kind::signed_values:
          v = 2.0 * u(rng) - 0.5;
          break;
        case Kind::tree_like: {
          double s = 0.0;
          for (int k = 0; k < 3; ++k) s += std::fabs(x[3 * i + k] - x[3 * j + k]);
          v = s * (1.0 + 0.01 * (u(rng) - 0.5));
          break;
        }
      }
    }
  }
  return d;
}

TEST(FastTrees, SameAsTheFullScanToTheBit) {
  // Sizes below and above the full scan's threshold (48 clusters), the
  // packing of the triangle (from 64 clusters left, half the slots free) and
  // the radix sort of lists (from 512 entries).
  const Kind kinds[] = {Kind::uniform,      Kind::small_integers, Kind::counts,
                        Kind::decimals,     Kind::equal,          Kind::clones,
                        Kind::mixed_scales, Kind::signed_values,  Kind::tree_like};
  std::mt19937_64 rng(29);
  int matrices = 0;
  for (const Kind kind : kinds) {
    for (int rep = 0; rep < 14; ++rep) {
      const int n = rep < 4    ? 3 + static_cast<int>(rng() % 50)
                    : rep < 12 ? 50 + static_cast<int>(rng() % 150)
                    : rep < 13 ? 400
                               : 600;
      const DistanceMatrix d = random_matrix(kind, n, rng);
      const std::string what = "kind " + std::to_string(static_cast<int>(kind)) + ", n " + std::to_string(n);
      EXPECT_EQ(difference(neighbor_joining(d), plain_neighbor_joining(d)), "") << "neighbour joining, " << what;
      EXPECT_EQ(difference(upgma(d), plain_upgma(d)), "") << "UPGMA, " << what;
      ++matrices;
    }
  }
  EXPECT_EQ(matrices, 126);
}

// Individuals of `populations` samples scored at `loci` dominant loci, each
// population with band frequencies of its own; `far` makes the last
// population's frequencies the opposite of the others', so that its
// individuals' row sums stand well above the rest; `copies` of each
// individual's scores follow it (identical rows).
struct Sample {
  int populations = 4, individuals = 30, loci = 40, copies = 1;
  bool far = false;
};

ScoreMatrix sample_scores(const Sample& s, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const int ntot = s.populations * s.individuals * s.copies;
  ScoreMatrix scores = score_matrix(0, ntot - 1, 0, s.loci - 1);
  for (int l = 0; l < s.loci; ++l) {
    const double base = u(rng);
    int x = 0;
    for (int k = 0; k < s.populations; ++k) {
      const double shifted = std::clamp(base + 0.4 * (u(rng) - 0.5), 0.02, 0.98);
      const double band = s.far && k == s.populations - 1 ? 1.0 - shifted : shifted;
      for (int i = 0; i < s.individuals; ++i, x += s.copies) {
        const std::uint8_t score = u(rng) < 0.03 ? 9 : (u(rng) < band ? 1 : 0);
        for (int c = 0; c < s.copies; ++c) scores[x + c][l] = score;
      }
    }
  }
  return scores;
}

// The 1 - r distances of the sample (Lynch & Milligan relatedness, as a run
// computes them), or the numbers of loci scored in both with differing bands.
DistanceMatrix sample_distances(const Sample& s, bool differences, std::mt19937_64& rng) {
  const ScoreMatrix scores = sample_scores(s, rng);
  const int ntot = s.populations * s.individuals * s.copies;
  if (differences) {
    DistanceMatrix d(ntot);
    for (int x = 0; x < ntot; ++x) {
      for (int y = x + 1; y < ntot; ++y) {
        int count = 0;
        for (int l = 0; l < s.loci; ++l) count += scores[x][l] != 9 && scores[y][l] != 9 && scores[x][l] != scores[y][l];
        d.at(x, y) = count;
      }
    }
    return d;
  }
  FVector p = float_vector(0, s.loci - 1), S = float_vector(0, s.loci - 1), VarS = float_vector(0, s.loci - 1);
  compute_overall_freq(scores, ntot, s.loci, p, S, VarS);
  RelatednessTriangle rel(ntot);
  compute_relatedness(scores, ntot, s.loci, S, VarS, rel);
  return individual_distances(rel);
}

TEST(FastTrees, PopulationSamplesSameAsTheFullScan) {
  // Population structure spreads the row sums, so the search bounds each
  // part of a row by the largest row sum among clusters like its partners;
  // few loci make many pairs share a distance, copies make whole rows equal,
  // and a far population puts a block of clusters above all others.
  const Sample samples[] = {
      {4, 30, 40, 1, false},  {6, 50, 60, 1, false}, {12, 50, 100, 1, false}, {5, 40, 30, 2, false},
      {3, 20, 50, 5, false},  {5, 40, 60, 1, true},  {8, 60, 25, 1, true},    {2, 150, 80, 1, false},
      {20, 30, 200, 1, true}, {4, 25, 8, 3, false},
  };
  std::mt19937_64 rng(41);
  int matrices = 0;
  for (const Sample& s : samples) {
    for (const bool differences : {false, true}) {
      const DistanceMatrix d = sample_distances(s, differences, rng);
      const std::string what = std::to_string(s.populations) + " x " + std::to_string(s.individuals) + " x " +
                               std::to_string(s.copies) + ", " + std::to_string(s.loci) + " loci" +
                               (s.far ? ", far" : "") + (differences ? ", differences" : ", 1 - r");
      EXPECT_EQ(difference(neighbor_joining(d), plain_neighbor_joining(d)), "") << "neighbour joining, " << what;
      EXPECT_EQ(difference(upgma(d), plain_upgma(d)), "") << "UPGMA, " << what;
      ++matrices;
    }
  }
  EXPECT_EQ(matrices, 20);
}

TEST(FastTrees, TinyMatrices) {
  // 0 to 3 taxa take the paths before any search.
  std::mt19937_64 rng(3);
  for (int n = 0; n <= 3; ++n) {
    const DistanceMatrix d = random_matrix(Kind::uniform, n, rng);
    EXPECT_EQ(difference(neighbor_joining(d), plain_neighbor_joining(d)), "") << n;
    EXPECT_EQ(difference(upgma(d), plain_upgma(d)), "") << n;
  }
}

}  // namespace
}  // namespace bandscape::testing
