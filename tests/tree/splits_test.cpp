// Support, consensus and Robinson-Foulds distance on five trees of five tips,
// counted by hand from the trees' splits (named by the side without t0).
#include "tree/splits.hpp"

#include <gtest/gtest.h>

#include "report/tables/newick.hpp"
#include "tree/newick_reader.hpp"

namespace bandscape::testing {
namespace {

const std::vector<std::string> kNames = {"t0", "t1", "t2", "t3", "t4"};

Tree tree(const std::string& text, bool rooted = false) { return read_newick(text, kNames, rooted).tree; }

// The consensus with its counts as labels.
std::string consensus_text(const std::vector<Tree>& trees) {
  const Consensus c = majority_rule_consensus(trees);
  std::vector<std::string> labels(c.tree.nodes.size());
  for (const BranchSupport& s : c.support) labels[s.node] = std::to_string(s.count);
  return newick_text(c.tree, kNames, {.branch_lengths = false, .node_labels = labels});
}

TEST(Splits, SupportConsensusAndDistance) {
  // Splits: {2,3,4} {3,4} | {2,3,4} {2,4} | {1,3,4} {3,4} | {2,3,4} {3,4} | {2,3,4} {2,3}.
  const std::vector<Tree> trees = {tree("((t0,t1),t2,(t3,t4));"), tree("((t0,t1),t3,(t2,t4));"),
                                   tree("((t0,t2),t1,(t3,t4));"), tree("(t0,t1,(t2,(t3,t4)));"),
                                   tree("((t0,t1),(t2,t3),t4);")};
  // {2,3,4} in 4 trees of 5, {3,4} in 3: both kept, the rest left out.
  EXPECT_EQ(consensus_text(trees), "(t0,t1,(t2,(t3,t4)3)4);\n");
  // Without the fourth tree {3,4} is in exactly half: left out.
  EXPECT_EQ(consensus_text({trees[0], trees[1], trees[2], trees[4]}), "(t0,t1,(t2,t3,t4)3);\n");
  const auto support = split_support(trees[1], trees);  // {2,3,4} then {2,4}, in postorder
  ASSERT_EQ(support.size(), 2u);
  EXPECT_EQ(support[0].count, 4);
  EXPECT_EQ(support[0].percent, 80.0);
  EXPECT_EQ(support[1].count, 1);
  EXPECT_EQ(robinson_foulds(trees[0], trees[1]), 2);
  EXPECT_EQ(robinson_foulds(trees[0], trees[3]), 0);  // same splits, another layout
  // Rooted, the same two trees differ by clades {2,3,4} and {0,1,2}.
  EXPECT_EQ(robinson_foulds(tree("((t0,t1),(t2,(t3,t4)));", true), tree("(((t0,t1),t2),(t3,t4));", true)), 2);
  EXPECT_EQ(robinson_foulds(tree("((t0,t1),(t2,(t3,t4)));"), tree("(((t0,t1),t2),(t3,t4));")), 0);
  // Sets over two words: the side without tip 0 of {0, 64, 69} out of 70.
  TipSet s(70);
  for (int tip : {0, 64, 69}) s.insert(tip);
  EXPECT_EQ(s.split_side().count(), 67);
  EXPECT_EQ(s.split_side().complement(), s);
}

}  // namespace
}  // namespace bandscape::testing
