// The trees of a run: neighbour-joining (Saitou & Nei 1987) and UPGMA trees of
// the three distance matrices between populations, with bootstrap support on
// their branches and the majority-rule consensus of the bootstrap
// neighbour-joining trees (Felsenstein 1985), and the two trees of the 1-r
// distance between individuals.  A matrix with an undefined distance gives no
// tree but a warning naming the pair.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "numeric/array.hpp"
#include "numeric/distance_matrix.hpp"
#include "resample/bootstrap.hpp"
#include "stats/binary_coefficients.hpp"
#include "stats/distances.hpp"
#include "stats/relatedness.hpp"
#include "tree/splits.hpp"
#include "tree/tree.hpp"

namespace bandscape {

// The trees of one population matrix.
struct PopulationTrees {
  PopulationDistance which = PopulationDistance::kNei;
  bool built = false;                 // false: a distance is undefined, no tree
  Tree nj;                            // hung from population 0, as neighbor writes it
  Tree upgma;
  bool bootstrapped = false;          // bootstrap replicates ran
  int nj_trees = 0, upgma_trees = 0;  // bootstrap trees that count for each
  std::vector<BranchSupport> nj_support, upgma_support;  // empty without bootstrap
  double nj_mean_support = 0.0, upgma_mean_support = 0.0;  // NaN without supported branches
  std::optional<Consensus> consensus;  // of the bootstrap NJ trees, when there are any
};

struct IndividualTrees {
  std::vector<std::string> names;  // the tips: the individuals' names, "ind<k>" for an empty one
  Tree nj, upgma;
};

struct RunTrees {
  std::vector<std::string> population_names;  // the tips of the population trees
  std::vector<PopulationTrees> populations;   // nei, fst, reynolds; none with fewer than 3 populations
  std::optional<IndividualTrees> individuals;
  std::string individual_distance = "the 1-r distance";  // of the individuals' trees, as captions name it
  std::vector<std::string> warnings;         // sentences, in the order of the trees
};

// The mean of the branches' support in percent; NaN for no branch.
double mean_support(const std::vector<BranchSupport>& support);

// Gathers the trees over a run: the observed population trees, then each
// bootstrap replicate's branches (only their counts are kept), then the
// individuals' trees.
class TreeBuilder {
 public:
  // names: the populations 0..r-1 (for the warnings); nei, fst: 1..r upper
  // triangles as stored.  Nothing when r < 3.
  void observe_populations(const std::vector<std::string>& names, const FMatrix& nei, const FMatrix& fst);

  // A sink for bootstrap_distance that adds each replicate; empty when no
  // population tree is made.  The counts do not depend on the order of the
  // replicates.
  BootstrapSink bootstrap_sink();

  // The support of the population trees and the individuals' trees from the
  // 1-r distances (ntot >= 3; an empty triangle gives none), or from
  // `chosen`'s 1 - S when given.  individual_names: by row.
  RunTrees finish(const std::vector<std::string>& individual_names, const RelatednessTriangle& relatedness,
                  const ChosenDistance* chosen = nullptr) const;

 private:
  struct Gathered {
    PopulationDistance which = PopulationDistance::kNei;
    std::optional<std::pair<int, int>> undefined;  // first undefined pair (0-based)
    Tree nj, upgma;
    BranchCounts nj_counts{0, false};   // every split of the bootstrap NJ trees
    std::vector<TipSet> upgma_clades;   // the observed UPGMA clades ...
    std::vector<int> upgma_counts;      // ... and the bootstrap UPGMA trees holding each
    int upgma_trees = 0;
    int skipped = 0;  // bootstrap replicates with an undefined distance
  };
  void add_replicate(const FMatrix& nei, const FMatrix& fst);

  std::vector<std::string> population_names_;
  std::vector<Gathered> populations_;
  int replicates_ = 0;
};

// The 1-r distances between individuals 0..ntot-1, as the report's 1-r block
// prints them: 1 - r from the stored relatedness (negative distances kept),
// undefined (NaN) for a pair without a usable locus.
DistanceMatrix individual_distances(const RelatednessTriangle& relatedness);

}  // namespace bandscape
