// A phylogenetic tree over the taxa of a distance matrix.
#pragma once

#include <vector>

namespace bandscape {

struct TreeNode {
  int parent = -1;            // -1 at the root
  std::vector<int> children;  // empty at a tip
  double length = 0.0;        // of the branch to the parent (0 at the root)
};

// Nodes 0..tips-1 are the tips, numbered as the taxa of the distance matrix;
// internal nodes follow.  An unrooted tree hangs from one of its internal
// nodes (of three or more children); a rooted tree from its root.
struct Tree {
  int tips = 0;
  int root = -1;
  bool rooted = false;
  std::vector<TreeNode> nodes;

  bool is_tip(int node) const { return node < tips; }
  // Appends an internal node above the given nodes and returns its number.
  int join(const std::vector<int>& children);
};

// A tree of `tips` tips and no internal node yet.
Tree tips_only(int tips, bool rooted);

// The nodes in an order where every child comes before its parent.
std::vector<int> postorder(const Tree& tree);

// The same unrooted tree hung from the node next to `tip`, laid out as
// PHYLIP writes a tree with that tip as outgroup: under the new root its other
// children in their order, then the way back to the old root, then the tip;
// on the way, each node's other children come before its former parent.
// Node numbers stay; branch lengths move with the branches.  A rooted tree
// is returned as it is.
Tree hang_from_tip(const Tree& tree, int tip);

// Sum of the branch lengths (negative lengths included as they are).
double tree_length(const Tree& tree);

}  // namespace bandscape
