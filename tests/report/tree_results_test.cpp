// The tree files of the results folder.  Expected trees come from PHYLIP 3.697,
// run at test time on the same matrices written with 17 digits: `neighbor`
// (default NJ, N for UPGMA, M for the replicates) and `consense` (majority
// rule); the matrices follow the report's cell rules, applied here by hand.
#include "report/tables/tree_results.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <regex>

#include "core/format.hpp"
#include "report/tables/newick.hpp"
#include "test_util.hpp"
#include "tree/newick_reader.hpp"

namespace bandscape::testing {
namespace {

constexpr int kPops = 6;
const std::vector<std::string> kNames = {"P0", "P1", "P2", "P3", "P4", "P5"};

// Nei's distances and Fst around a fixed tree, each cell scaled by 1 +- noise;
// the cells of P0-P1 sit at 0.001 +- 0.004 so that they fall below 0 now and then.
void matrices(std::mt19937_64& rng, double noise, FMatrix& nei, FMatrix& fst) {
  static const double kBase[kPops][kPops] = {{0, 0, 0.10, 0.20, 0.25, 0.30}, {0, 0, 0.11, 0.21, 0.26, 0.31},
                                             {0, 0, 0, 0.16, 0.22, 0.27},    {0, 0, 0, 0, 0.12, 0.18},
                                             {0, 0, 0, 0, 0, 0.09},          {0, 0, 0, 0, 0, 0}};
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int a = 1; a <= kPops; ++a) {
    for (int b = a + 1; b <= kPops; ++b) {
      const double base = a == 1 && b == 2 ? 0.001 + 0.004 * u(rng) : kBase[a - 1][b - 1] * (1.0 + noise * u(rng));
      nei[a][b] = static_cast<float>(base);
      fst[a][b] = static_cast<float>(base * 1.5);
    }
  }
}

// The matrix as a PHYLIP block, cells from the stored floats by the report's rules.
std::string phylip_block(const FMatrix& nei, const FMatrix& fst, PopulationDistance which) {
  std::string out = format("%5d\n", kPops);
  for (int i = 1; i <= kPops; ++i) {
    out += format("%-10s", kNames[static_cast<std::size_t>(i - 1)].c_str());
    for (int j = 1; j <= kPops; ++j) {
      const float stored = i == j                              ? 0.0f
                           : which == PopulationDistance::kNei ? nei[std::min(i, j)][std::max(i, j)]
                                                               : fst[std::min(i, j)][std::max(i, j)];
      const double cell = stored < 0.0f                            ? 0.0
                          : which == PopulationDistance::kReynolds ? -std::log(1.0 - static_cast<double>(stored))
                                                                   : static_cast<double>(stored);
      out += format(" %.17g", cell);
    }
    out += "\n";
  }
  return out;
}

std::vector<Tree> read_trees(const std::string& text, bool rooted) {
  std::vector<Tree> trees;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(';', start)) != std::string::npos; start = end + 1) {
    trees.push_back(read_newick(text.substr(start, end + 1 - start), kNames, rooted).tree);
  }
  return trees;
}

std::string without_lengths_and_labels(const std::string& newick) {
  const std::string bare = std::regex_replace(newick, std::regex(R"(:[-0-9.e]+|\s)"), "");
  return std::regex_replace(bare, std::regex(R"(\)[0-9]+)"), ")");
}

TEST(TreeResults, PopulationTreesSupportAndConsensusAreThoseOfNeighborAndConsense) {
  if (std::system("command -v phylip >/dev/null 2>&1") != 0) GTEST_SKIP() << "phylip is not on the PATH";
  TempDir dir;
  std::mt19937_64 rng(20);
  FMatrix nei = float_matrix(1, kPops, 1, kPops), fst = float_matrix(1, kPops, 1, kPops);
  matrices(rng, 0.0, nei, fst);
  TreeBuilder trees;
  trees.observe_populations(kNames, nei, fst);
  const BootstrapSink sink = trees.bootstrap_sink();
  std::vector<std::string> replicate_blocks(3);
  const int replicates = 31;
  int negative = 0;
  for (int k = 1; k <= replicates; ++k) {
    FMatrix bn = float_matrix(1, kPops, 1, kPops), bf = float_matrix(1, kPops, 1, kPops);
    matrices(rng, 0.6, bn, bf);
    negative += bn[1][2] < 0.0f;
    sink(k, bn, bf);
    for (int w = 0; w < 3; ++w) replicate_blocks[w] += phylip_block(bn, bf, static_cast<PopulationDistance>(w));
  }
  EXPECT_GT(negative, 3);
  // A replicate with an undefined distance counts in no matrix: support stays
  // over the 31 trees built, and the console says so.
  FMatrix bn = float_matrix(1, kPops, 1, kPops), bf = float_matrix(1, kPops, 1, kPops);
  matrices(rng, 0.6, bn, bf);
  bn[2][5] = bf[2][5] = 999.0f;
  sink(replicates + 1, bn, bf);
  const RunTrees run = trees.finish({}, RelatednessTriangle(0));
  write_trees(".", run, kNames);
  const std::vector<std::string>& lines = run.warnings;
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "No tree from Nei's distance for 1 of 32 bootstrap replicates (an undefined distance): support "
            "counted over the 31 other trees");
  EXPECT_EQ(lines[1].substr(0, 38), "No tree from the pairwise Fst for 1 of");
  EXPECT_EQ(lines[2].substr(0, 40), "No tree from Reynolds' distance for 1 of");

  const char* keys[] = {"nei", "fst", "reynolds"};
  for (int w = 0; w < 3; ++w) {
    const std::string key = keys[w];
    const std::string observed = phylip_block(nei, fst, static_cast<PopulationDistance>(w));
    for (bool rooted : {false, true}) {
      const std::string ours = read_file("tree_" + key + (rooted ? "_upgma.nwk" : "_nj.nwk"));
      const std::string theirs = run_phylip("neighbor", "infile", observed, rooted ? "N\nY\n" : "Y\n");
      // The same tree laid out the same way, lengths within neighbor's 5 decimals.
      EXPECT_EQ(without_lengths_and_labels(ours), without_lengths_and_labels(theirs)) << key << rooted;
      const ReadTree mine = read_newick(ours, kNames, rooted);
      const Tree their_tree = read_newick(theirs, kNames, rooted).tree;
      const std::vector<int> a = postorder(mine.tree), b = postorder(their_tree);
      ASSERT_EQ(a.size(), b.size());
      for (std::size_t n = 0; n < a.size(); ++n) {
        EXPECT_NEAR(mine.tree.nodes[a[n]].length, their_tree.nodes[b[n]].length, 1e-5) << key;
      }
      // Support: the share of neighbor's replicate trees holding each branch.
      const std::vector<Tree> reps =
          read_trees(run_phylip("neighbor", "infile", replicate_blocks[w],
                                (rooted ? "N\nM\n" : "M\n") + std::to_string(replicates) + "\n1\nY\n"),
                     rooted);
      ASSERT_EQ(reps.size(), static_cast<std::size_t>(replicates));
      const std::vector<BranchSupport> support = split_support(mine.tree, reps);
      ASSERT_FALSE(support.empty());
      for (const BranchSupport& s : support) {
        EXPECT_EQ(mine.labels[s.node], std::to_string(std::lround(s.percent))) << key << rooted;
      }
      if (rooted) continue;
      // The consensus: consense's tree with its counts (its branch lengths).
      std::string intree;
      for (const Tree& t : reps) intree += newick_text(t, kNames, {.branch_lengths = false, .node_labels = {}});
      const Tree consensed = read_newick(run_phylip("consense", "intree", intree, "C\nC\nY\n"), kNames, false).tree;
      const ReadTree consensus = read_newick(read_file("consensus_" + key + "_nj.nwk"), kNames, false);
      EXPECT_EQ(robinson_foulds(consensus.tree, consensed), 0) << key;
      const std::vector<Branch> branches = internal_branches(consensed);
      ASSERT_FALSE(branches.empty()) << key;
      for (const Branch& branch : branches) {
        for (const Branch& mine_branch : internal_branches(consensus.tree)) {
          if (mine_branch.tips == branch.tips) {
            EXPECT_EQ(consensus.labels[mine_branch.node],
                      std::to_string(static_cast<int>(consensed.nodes[branch.node].length)))
                << key;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace bandscape::testing
