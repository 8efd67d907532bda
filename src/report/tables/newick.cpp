#include "report/tables/newick.hpp"

#include <cctype>
#include <string_view>
#include <utility>
#include <vector>

#include "core/format.hpp"

namespace bandscape {

std::string newick_name(const std::string& name) {
  if (name.empty()) return "_";
  std::string out = name;
  for (char& c : out) {
    if (std::isspace(static_cast<unsigned char>(c)) || std::string_view("():;,[]'").find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  return out;
}

std::string newick_text(const Tree& tree, std::span<const std::string> tip_names, const NewickOptions& options) {
  std::string out;
  if (tree.root < 0) return ";\n";
  // Depth-first without recursion: (node, index of the next child to write).
  std::vector<std::pair<int, std::size_t>> stack{{tree.root, 0}};
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    const TreeNode& n = tree.nodes[node];
    if (next < n.children.size()) {
      out += next == 0 ? '(' : ',';
      const int child = n.children[next++];
      stack.emplace_back(child, 0);
      continue;
    }
    if (tree.is_tip(node)) {
      out += newick_name(tip_names[node]);
    } else {
      if (!n.children.empty()) out += ')';
      if (static_cast<std::size_t>(node) < options.node_labels.size() && !options.node_labels[node].empty()) {
        out += newick_name(options.node_labels[node]);
      }
    }
    if (node != tree.root && options.branch_lengths) out += format(":%.10g", n.length);
    stack.pop_back();
  }
  return out + ";\n";
}

}  // namespace bandscape
