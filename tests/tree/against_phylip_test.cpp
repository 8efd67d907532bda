// Our trees against those PHYLIP 3.697 builds from the same input, run at test
// time: `neighbor` (neighbour joining and, with its N option, UPGMA) on the
// example's matrices and on generated ones; `consense` on replicate trees, in
// majority-rule form (the consensus, with counts as branch lengths).
#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <regex>

#include "core/format.hpp"
#include "report/tables/newick.hpp"
#include "test_util.hpp"
#include "tree/distance_trees.hpp"
#include "tree/newick_reader.hpp"
#include "tree/splits.hpp"

namespace bandscape::testing {
namespace {

std::vector<std::string> names(int n) {  // t0, t1, ...: short enough for PHYLIP's 10 columns
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.push_back("t" + std::to_string(i));
  return out;
}

DistanceMatrix read_matrix(const std::string& file) {
  std::ifstream in(std::string(BANDSCAPE_TEST_DATA) + "/tree/" + file);
  int n = 0;
  in >> n;
  DistanceMatrix d(n);
  std::string name;
  for (int i = 0; i < n && in >> name; ++i) {
    for (int j = 0; j < n; ++j) in >> d.at(i, j);
  }
  return d;
}

// The same text once lengths are taken out (an unrooted tree hung from t0's
// neighbour, neighbor's default outgroup), and lengths within 1e-5, node by
// node (outtree rounds them to 5 decimals).  Cells go out with 17 digits.
void expect_as_neighbor(const DistanceMatrix& d, bool by_upgma, const std::string& what) {
  std::string infile = format("%5d\n", d.n);
  for (int i = 0; i < d.n; ++i) {
    infile += format("%-10s", names(d.n)[i].c_str());
    for (int j = 0; j < d.n; ++j) infile += format(" %.17g", i == j ? 0.0 : d.at(std::min(i, j), std::max(i, j)));
    infile += "\n";
  }
  const std::string outtree = run_phylip("neighbor", "infile", infile, by_upgma ? "N\nY\n" : "Y\n");
  const Tree mine = by_upgma ? upgma(d) : hang_from_tip(neighbor_joining(d), 0);
  ASSERT_EQ(newick_text(mine, names(d.n), {.branch_lengths = false, .node_labels = {}}),
            std::regex_replace(outtree, std::regex(R"(:[-0-9.]+|\s)"), "") + "\n")
      << what;
  const Tree theirs = read_newick(outtree, names(d.n), by_upgma).tree;
  const std::vector<int> a = postorder(mine), b = postorder(theirs);
  for (std::size_t k = 0; k < a.size(); ++k) {
    EXPECT_NEAR(mine.nodes[a[k]].length, theirs.nodes[b[k]].length, 1e-5) << what;
  }
}

// Tips at the leaves of a complete binary tree, in random order, with tip
// branches of 0 to 1 and internal branches of 1; distances scaled by 1 +-
// noise / 2.
DistanceMatrix tree_matrix(int n, double noise, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<unsigned> leaf(n);
  std::iota(leaf.begin(), leaf.end(), 0u);
  std::shuffle(leaf.begin(), leaf.end(), rng);
  std::vector<double> tip(n);
  for (double& t : tip) t = u(rng);
  DistanceMatrix d(n);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      d.at(i, j) = (tip[i] + tip[j] + 2.0 * std::bit_width(leaf[i] ^ leaf[j])) * (1.0 + noise * (u(rng) - 0.5));
    }
  }
  return d;
}

TEST(TreesAgainstPhylip, NeighborBuildsTheSameTrees) {
  if (std::system("command -v phylip >/dev/null 2>&1") != 0) GTEST_SKIP() << "phylip is not on the PATH";
  TempDir dir;
  for (const char* file : {"example_nei.phy", "example_fst.phy", "example_reynolds.phy", "example_individuals.phy"}) {
    expect_as_neighbor(read_matrix(file), false, file);
    expect_as_neighbor(read_matrix(file), true, file);
  }
  // Five kinds: points in 3-D, a tree with 20% noise, integers 1..4 (ties
  // everywhere), 0.1, 0.2 or 0.3 (ties on paper that rounding decides: about
  // one matrix in five gets another tree when the joined cluster's distances
  // take the textbook form), uniform (far from a tree: negative branches).
  // Ten of each, 24 of the decimals.
  std::mt19937_64 rng(14);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  int negative = 0;
  for (int kind = 0; kind < 5; ++kind) {
    for (int rep = 0; rep < (kind == 3 ? 24 : 10); ++rep) {
      const int n = 4 + static_cast<int>(rng() % 21);
      DistanceMatrix d = tree_matrix(n, 0.2, rng);
      std::vector<double> xyz(3 * n);
      for (double& c : xyz) c = u(rng);
      for (int i = 0; i < n && kind != 1; ++i) {
        for (int j = i + 1; j < n; ++j) {
          const double dx = xyz[3 * i] - xyz[3 * j], dy = xyz[3 * i + 1] - xyz[3 * j + 1],
                       dz = xyz[3 * i + 2] - xyz[3 * j + 2];
          d.at(i, j) = kind == 0   ? std::sqrt(dx * dx + dy * dy + dz * dz)
                       : kind == 2 ? static_cast<double>(1 + rng() % 4)
                       : kind == 3 ? 0.1 * static_cast<double>(1 + rng() % 3)
                                   : u(rng);
        }
      }
      const std::string what = "kind " + std::to_string(kind) + " matrix " + std::to_string(rep);
      expect_as_neighbor(d, false, what);
      expect_as_neighbor(d, true, what);
      for (const TreeNode& node : neighbor_joining(d).nodes) negative += node.length < 0;
    }
  }
  EXPECT_GT(negative, 20);
}

TEST(TreesAgainstPhylip, ConsenseCountsTheSameSplitsAndClades) {
  if (std::system("command -v phylip >/dev/null 2>&1") != 0) GTEST_SKIP() << "phylip is not on the PATH";
  TempDir dir;
  std::mt19937_64 rng(4);
  const int n = 12;
  for (bool rooted : {false, true}) {
    for (int replicates : {25, 20}) {
      const DistanceMatrix base = tree_matrix(n, 0.0, rng);
      std::vector<Tree> trees;
      std::string intree;
      for (int r = 0; r < replicates; ++r) {
        DistanceMatrix d = base;
        for (double& cell : d.cells) cell *= 0.4 + 1.2 * std::uniform_real_distribution<>()(rng);
        // Of 20, the second 10 repeat the first: counts are even, and with
        // this seed one split and one clade are in exactly half the trees.
        trees.push_back(r >= 10 && replicates == 20 ? trees[r - 10] : rooted ? upgma(d) : neighbor_joining(d));
        intree += newick_text(trees.back(), names(n), {.branch_lengths = false, .node_labels = {}});
      }
      const std::string what = (rooted ? "rooted, " : "unrooted, ") + std::to_string(replicates);
      const std::string answers = rooted ? "C\nC\nR\nY\n" : "C\nC\nY\n";  // majority rule (M), rooted (R)
      const Tree theirs = read_newick(run_phylip("consense", "intree", intree, answers), names(n), rooted).tree;
      const Consensus ours = majority_rule_consensus(trees);
      EXPECT_EQ(robinson_foulds(ours.tree, theirs), 0) << what;
      // consense's counts are its branch lengths: the support of its tree's
      // branches among the trees, and the counts of our consensus.
      std::map<TipSet, int> counts;
      const auto branches = internal_branches(theirs);
      const auto support = split_support(theirs, trees);
      for (std::size_t b = 0; b < branches.size(); ++b) {
        EXPECT_EQ(support[b].count, theirs.nodes[branches[b].node].length) << what;
        counts[branches[b].tips] = support[b].count;
      }
      for (const BranchSupport& s : ours.support) EXPECT_EQ(s.count, counts[tips_below(ours.tree)[s.node]]) << what;
      EXPECT_GE(ours.support.size(), 3u) << what;
    }
  }
}

}  // namespace
}  // namespace bandscape::testing
