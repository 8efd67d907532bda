#include "tree/splits.hpp"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

namespace bandscape {
namespace {

void require_same_kind(const Tree& a, const Tree& b) {
  if (a.tips != b.tips || a.rooted != b.rooted) {
    throw std::invalid_argument("trees over different tips, or rooted and unrooted");
  }
}

}  // namespace

std::vector<TipSet> tips_below(const Tree& tree) {
  std::vector<TipSet> below(tree.nodes.size(), TipSet(tree.tips));
  for (int node : postorder(tree)) {
    if (tree.is_tip(node)) below[node].insert(node);
    for (int child : tree.nodes[node].children) below[node] |= below[child];
  }
  return below;
}

std::vector<Branch> internal_branches(const Tree& tree) {
  const std::vector<TipSet> below = tips_below(tree);
  std::vector<Branch> branches;
  std::unordered_set<TipSet, TipSetHash> seen;
  for (int node : postorder(tree)) {
    if (tree.is_tip(node) || node == tree.root) continue;
    TipSet tips = tree.rooted ? below[node] : below[node].split_side();
    const int size = tips.count();
    const int smallest = 2, largest = tree.rooted ? tree.tips - 1 : tree.tips - 2;
    if (size < smallest || size > largest || !seen.insert(tips).second) continue;
    branches.push_back(Branch{node, std::move(tips)});
  }
  return branches;
}

void BranchCounts::add(const Tree& tree) {
  if (tree.tips != tips_ || tree.rooted != rooted_) {
    throw std::invalid_argument("trees over different tips, or rooted and unrooted");
  }
  ++trees_;
  for (Branch& branch : internal_branches(tree)) ++counts_[std::move(branch.tips)];
}

int BranchCounts::count(const TipSet& tips) const {
  const auto found = counts_.find(tips);
  return found == counts_.end() ? 0 : found->second;
}

std::vector<BranchSupport> split_support(const Tree& observed, std::span<const Tree> replicates) {
  BranchCounts counts(observed.tips, observed.rooted);
  for (const Tree& replicate : replicates) counts.add(replicate);
  return split_support(observed, counts);
}

std::vector<BranchSupport> split_support(const Tree& observed, const BranchCounts& replicates) {
  if (observed.tips != replicates.tips() || observed.rooted != replicates.rooted()) {
    throw std::invalid_argument("trees over different tips, or rooted and unrooted");
  }
  std::vector<BranchSupport> support;
  for (const Branch& branch : internal_branches(observed)) {
    const int count = replicates.count(branch.tips);
    support.push_back(BranchSupport{
        branch.node, count, replicates.trees() == 0 ? 0.0 : 100.0 * count / static_cast<double>(replicates.trees())});
  }
  return support;
}

Consensus majority_rule_consensus(std::span<const Tree> trees) {
  if (trees.empty()) return Consensus{};
  BranchCounts counts(trees.front().tips, trees.front().rooted);
  for (const Tree& tree : trees) counts.add(tree);
  return majority_rule_consensus(counts);
}

Consensus majority_rule_consensus(const BranchCounts& branch_counts) {
  Consensus out;
  if (branch_counts.trees() == 0) return out;
  const int tips = branch_counts.tips();
  const std::size_t trees = static_cast<std::size_t>(branch_counts.trees());
  // Sets found in more than half the trees are pairwise compatible: each one
  // is nested in, or disjoint from, each other one.  Larger sets first, so a
  // set's parent is the last placed set that holds it.
  std::vector<std::pair<TipSet, int>> kept;
  for (const auto& [set, count] : branch_counts.counts()) {
    if (2 * static_cast<std::size_t>(count) > trees) kept.emplace_back(set, count);
  }
  std::sort(kept.begin(), kept.end(), [](const auto& x, const auto& y) {
    const int nx = x.first.count(), ny = y.first.count();
    return nx != ny ? nx > ny : x.first < y.first;
  });
  Tree& tree = out.tree;
  tree = tips_only(tips, branch_counts.rooted());
  tree.root = tips;
  tree.nodes.resize(static_cast<std::size_t>(tips) + 1 + kept.size());
  auto set_node = [tips](std::size_t k) { return tips + 1 + static_cast<int>(k); };
  auto innermost = [&](auto holds, std::size_t placed) {
    for (std::size_t k = placed; k-- > 0;) {
      if (holds(kept[k].first)) return set_node(k);
    }
    return tips;  // the root
  };
  for (std::size_t k = 0; k < kept.size(); ++k) {
    tree.nodes[set_node(k)].parent = innermost([&](const TipSet& s) { return kept[k].first.is_subset_of(s); }, k);
    out.support.push_back(
        BranchSupport{set_node(k), kept[k].second, 100.0 * kept[k].second / static_cast<double>(trees)});
  }
  for (int tip = 0; tip < tips; ++tip) {
    tree.nodes[tip].parent = innermost([tip](const TipSet& s) { return s.contains(tip); }, kept.size());
  }
  // Children in the order of their smallest tip.
  std::vector<std::pair<int, int>> by_first_tip;  // (smallest tip, node)
  for (int tip = 0; tip < tips; ++tip) by_first_tip.emplace_back(tip, tip);
  for (std::size_t k = 0; k < kept.size(); ++k) by_first_tip.emplace_back(kept[k].first.first(), set_node(k));
  std::sort(by_first_tip.begin(), by_first_tip.end());
  for (const auto& [first, node] : by_first_tip) tree.nodes[tree.nodes[node].parent].children.push_back(node);
  return out;
}

int robinson_foulds(const Tree& a, const Tree& b) {
  require_same_kind(a, b);
  std::unordered_set<TipSet, TipSetHash> in_a;
  for (const Branch& branch : internal_branches(a)) in_a.insert(branch.tips);
  int distance = static_cast<int>(in_a.size());
  for (const Branch& branch : internal_branches(b)) distance += in_a.count(branch.tips) ? -1 : 1;
  return distance;
}

}  // namespace bandscape
