// The tree files of the results folder (--results): the Newick files of the
// neighbour-joining and UPGMA trees of the three distance matrices between
// populations (bootstrap support as node labels) and of the 1-r distance
// between individuals, the majority-rule consensus of the bootstrap
// neighbour-joining trees, and trees.tsv, one row per tree file.  The
// neighbour-joining trees are drawn too: tree_<matrix>_nj.svg for the
// population matrices (bootstrap support on the branches when bootstraps ran)
// and tree_individuals_nj.svg (tips coloured by population).  tip_names.tsv
// maps a name that the Newick files hold as a substitute.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "report/page/summary_page.hpp"
#include "tree/run_trees.hpp"

namespace bandscape {

// Writes every tree of `trees`; returns their figures, in the order of their
// files, for summary.html.  population_names (r names) and population_of
// (the population, from 0, of each individual) colour the individuals' tree
// by population; without population_of its tips have no colour.
std::vector<SummaryFigure> write_trees(const std::string& folder, const RunTrees& trees,
                                       std::span<const std::string> population_names,
                                       std::span<const int> population_of = {});

}  // namespace bandscape
