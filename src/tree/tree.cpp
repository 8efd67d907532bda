#include "tree/tree.hpp"

#include <utility>

namespace bandscape {

int Tree::join(const std::vector<int>& children) {
  const int node = static_cast<int>(nodes.size());
  nodes.push_back(TreeNode{-1, children, 0.0});
  for (int child : children) nodes[child].parent = node;
  return node;
}

Tree tips_only(int tips, bool rooted) {
  Tree tree;
  tree.tips = tips;
  tree.rooted = rooted;
  tree.nodes.resize(tips);
  return tree;
}

std::vector<int> postorder(const Tree& tree) {
  std::vector<int> order;
  order.reserve(tree.nodes.size());
  if (tree.root < 0) return order;
  // Depth-first, each node pushed after its children (iterative: trees of
  // thousands of tips can be as deep as they are wide).
  std::vector<std::pair<int, std::size_t>> stack{{tree.root, 0}};
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    if (next < tree.nodes[node].children.size()) {
      const int child = tree.nodes[node].children[next++];
      stack.emplace_back(child, 0);
    } else {
      order.push_back(node);
      stack.pop_back();
    }
  }
  return order;
}

Tree hang_from_tip(const Tree& tree, int tip) {
  Tree out = tree;
  const int top = tree.nodes[tip].parent;
  if (top < 0 || tree.rooted) return out;
  // Walk from the new root up to the old one, reversing each branch.
  int below = tip;
  double length = 0.0;  // of the branch from the node to the one before it
  for (int node = top, before = -1; node >= 0; before = node, node = tree.nodes[node].parent) {
    const TreeNode& old = tree.nodes[node];
    TreeNode& now = out.nodes[node];
    now.children.clear();
    for (int child : old.children) {
      if (child != below) now.children.push_back(child);
    }
    if (old.parent >= 0) now.children.push_back(old.parent);
    if (node == top) now.children.push_back(tip);
    now.parent = before;
    std::swap(now.length, length);
    below = node;
  }
  out.root = top;
  return out;
}

double tree_length(const Tree& tree) {
  double total = 0.0;
  for (int node : postorder(tree)) {
    if (node != tree.root) total += tree.nodes[node].length;
  }
  return total;
}

}  // namespace bandscape
