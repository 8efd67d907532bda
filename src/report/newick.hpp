// Trees as Newick text.
#pragma once

#include <span>
#include <string>

#include "tree/tree.hpp"

namespace bandscape {

struct NewickOptions {
  bool branch_lengths = true;
  // Labels of the internal nodes (bootstrap support, consensus counts),
  // indexed by node; empty strings and tips are skipped.  Empty: no labels.
  std::span<const std::string> node_labels;
};

// A name as Newick text: in single quotes, an inner quote doubled, when it
// holds a blank or one of ( ) : ; , [ ] ' (or is empty); as it is otherwise.
std::string newick_name(const std::string& name);

// The tree in Newick form, tips named from `tip_names` (indexed by tip) in
// full, branch lengths with 10 significant digits, ending in ";" and a line
// end.  The root's own branch is not written.
std::string newick_text(const Tree& tree, std::span<const std::string> tip_names, const NewickOptions& options = {});

}  // namespace bandscape
