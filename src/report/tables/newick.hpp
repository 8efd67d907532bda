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

// A name as Newick text: as it is, unless it holds white space or one of
// ( ) : ; , [ ] ' (or is empty).  Such a name cannot be read back as written
// by ape::read.tree, which keeps the quotes of a quoted name and reads an
// inner doubled quote as NA: each of those characters becomes "_" (an empty
// name is "_"), and the results folder maps the substitute to the name
// (tip_names.tsv).
std::string newick_name(const std::string& name);

// The tree in Newick form, tips named from `tip_names` (indexed by tip) in
// full, branch lengths with 10 significant digits, ending in ";" and a line
// end.  The root's own branch is not written.
std::string newick_text(const Tree& tree, std::span<const std::string> tip_names, const NewickOptions& options = {});

}  // namespace bandscape
