// The branches of trees as sets of tips: bootstrap support, majority-rule
// consensus and the Robinson-Foulds distance.
#pragma once

#include <cmath>
#include <span>
#include <unordered_map>
#include <vector>

#include "tree/tip_set.hpp"
#include "tree/tree.hpp"

namespace bandscape {

// The branch above an internal node, named by the tips it sets apart: in an
// unrooted tree the side of the split without tip 0, in a rooted tree the
// clade below the node.
struct Branch {
  int node = -1;
  TipSet tips;
};

// The tips below every node, indexed by node.
std::vector<TipSet> tips_below(const Tree& tree);

// The internal branches, in postorder: one per internal node other than the
// root, leaving out those that set apart a single tip (or, unrooted, all but
// one) and those that repeat a split already listed (the two branches at a
// root of two children).
std::vector<Branch> internal_branches(const Tree& tree);

struct BranchSupport {
  int node = -1;
  int count = 0;         // trees holding the branch
  double percent = 0.0;  // 100 * count / number of trees
};

// The support shown on a branch, in the Newick labels and the tree figures
// alike: the whole percentage, a half rounded up (25 of 40 trees give 63).
inline long whole_percent(const BranchSupport& support) { return std::lround(support.percent); }

// The internal branches of a collection of trees, counted one tree at a time
// so that the trees themselves need not be kept (bootstrap replicates): each
// split (or clade) with the number of trees holding it.  All trees share their
// tips and rootedness (std::invalid_argument otherwise).
class BranchCounts {
 public:
  BranchCounts(int tips, bool rooted) : tips_(tips), rooted_(rooted) {}
  void add(const Tree& tree);
  int tips() const { return tips_; }
  bool rooted() const { return rooted_; }
  int trees() const { return trees_; }
  // Trees holding the split or clade `tips` (as internal_branches names it).
  int count(const TipSet& tips) const;
  const std::unordered_map<TipSet, int, TipSetHash>& counts() const { return counts_; }

 private:
  int tips_ = 0;
  bool rooted_ = false;
  int trees_ = 0;
  std::unordered_map<TipSet, int, TipSetHash> counts_;
};

// For each internal branch of `observed`, the replicate trees holding the same
// split (unrooted trees) or clade (rooted trees).  All trees share their tips
// and rootedness (std::invalid_argument otherwise).
std::vector<BranchSupport> split_support(const Tree& observed, std::span<const Tree> replicates);
std::vector<BranchSupport> split_support(const Tree& observed, const BranchCounts& replicates);

// The majority-rule consensus: the splits (or clades) found in more than half
// of the trees, each with the count of trees holding it.  The tree has no
// branch lengths (all 0); children are ordered by their smallest tip; an
// unrooted consensus hangs from the node next to tip 0.
struct Consensus {
  Tree tree;
  std::vector<BranchSupport> support;
};
Consensus majority_rule_consensus(std::span<const Tree> trees);
Consensus majority_rule_consensus(const BranchCounts& counts);

// Number of internal branches found in one tree and not the other.
int robinson_foulds(const Tree& a, const Tree& b);

}  // namespace bandscape
