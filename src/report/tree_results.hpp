// The trees of the results folder (--results): neighbour-joining and UPGMA
// trees of the three distance matrices between populations and of the 1-r
// distance between individuals, bootstrap support on the population trees,
// the majority-rule consensus of the bootstrap neighbour-joining trees, and
// trees.tsv, one row per tree file.  The neighbour-joining trees are drawn too:
// tree_<matrix>_nj.svg for the population matrices (bootstrap support on the
// branches when bootstraps ran) and tree_individuals_nj.svg (tips coloured by
// population).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "numeric/array.hpp"
#include "numeric/distance_matrix.hpp"
#include "report/summary_page.hpp"
#include "resample/bootstrap.hpp"
#include "stats/relatedness.hpp"
#include "tree/splits.hpp"
#include "tree/tree.hpp"

namespace bandscape {

enum class PopulationDistance { kNei, kFst, kReynolds };

// The distances between populations 0..r-1 read from the stored upper
// triangles (1..r, a < b) as the report prints them: a negative stored value
// counts as 0, 999 is undefined (NaN), Reynolds' distance is -ln(1 - Fst)
// (undefined for an Fst of 1 or more).
DistanceMatrix population_distances(PopulationDistance which, int r, const FMatrix& nei, const FMatrix& fst);

// The 1-r distances between individuals 0..ntot-1, as the report's 1-r block
// prints them: 1 - r from the stored relatedness (negative distances kept),
// undefined (NaN) for a pair without a usable locus.
DistanceMatrix individual_distances(const RelatednessTriangle& relatedness);

// Gathers the trees over a run, then writes them.
class ResultTrees {
 public:
  explicit ResultTrees(std::string folder) : folder_(std::move(folder)) {}

  // The observed trees of the three population matrices (nothing when r < 3).
  // names: 1..r; nei, fst: 1..r upper triangles as stored.
  void observe_populations(const NameList& names, int r, const FMatrix& nei, const FMatrix& fst);

  // A sink for bootstrap_distance that builds each replicate's trees and keeps
  // only the counts of their branches; empty when no population tree is made.
  // The counts do not depend on the order of the replicates.
  BootstrapSink bootstrap_sink();

  // Builds the individuals' trees (ntot >= 3), then writes every tree file,
  // its figure and trees.tsv.  population_names (r names) and
  // population_bounds (r + 1: population p holds individuals bounds[p] ..
  // bounds[p+1]-1) colour the individuals' tree by population; left empty,
  // its tips are named without colour.  Returns the console lines (each starting with "\n"): a
  // matrix without a tree and its first undefined pair, bootstrap replicates
  // without a tree, an individual name that is not unique.  individual_names: by row; an empty name is written as
  // the report labels the individual, "ind<number>".
  std::vector<std::string> write(const std::vector<std::string>& individual_names,
                                 const RelatednessTriangle& relatedness,
                                 std::span<const std::string> population_names = {},
                                 std::span<const int> population_bounds = {});

  // The figures written by write, in the order of their files, for summary.html.
  const std::vector<SummaryFigure>& figures() const { return figures_; }

 private:
  struct PopulationMatrix {
    PopulationDistance which = PopulationDistance::kNei;
    std::optional<std::pair<int, int>> undefined;  // first undefined pair (0-based)
    Tree nj, upgma;                                // the NJ tree hung as neighbor writes it
    BranchCounts nj_counts{0, false};              // every split of the bootstrap NJ trees
    std::vector<TipSet> upgma_clades;              // the observed UPGMA clades ...
    std::vector<int> upgma_counts;                 // ... and the bootstrap UPGMA trees holding each
    int upgma_trees = 0;
    int skipped = 0;  // bootstrap replicates with an undefined distance
  };

  void add_replicate(const FMatrix& nei, const FMatrix& fst);

  std::string folder_;
  std::vector<std::string> population_names_;  // 0..r-1
  int r_ = 0;
  std::vector<PopulationMatrix> populations_;
  int replicates_ = 0;
  std::vector<SummaryFigure> figures_;
};

}  // namespace bandscape
