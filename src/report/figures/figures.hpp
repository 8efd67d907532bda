// Figures of a run as SVG text: principal coordinates of individuals and of
// populations, trees, permutation distributions and the relatedness matrix.
// Each is a pure function of result values, so the same run gives the same
// bytes.  Degenerate results (nothing to draw, a single point, values all
// equal) give a figure too, never a number that is not finite; inputs whose
// sizes disagree are rejected with std::invalid_argument.
//
// Elements a reader (or a test) may count carry a class: "point" for the
// markers of individuals or populations, "point-label" for their names,
// "legend-marker", "tip-label" and "tip-mark" for the tips of a tree,
// "support" for support values, "bar" for histogram bars, "axis" for axis
// lines, "note" for the message of a figure with nothing to draw.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "amova/amova.hpp"
#include "ordination/pcoa.hpp"
#include "stats/relatedness.hpp"
#include "tree/splits.hpp"
#include "tree/tree.hpp"

namespace bandscape {

// Axis title of principal coordinate `axis` (0-based) with its share of the
// sum of the positive eigenvalues, "PCoA 1 (23.4%)"; without a share when it
// is undefined (no positive eigenvalue).
std::string pcoa_axis_title(const PrincipalCoordinates& pc, int axis);

// Individuals on axes 1 and 2 (axis 1 against 0 when only one axis is
// positive), on equal scales, one colour and marker per population, with a
// legend.  population[i] is the 0-based index in population_names of
// individual i (pc.n entries).
std::string pcoa_individuals(const PrincipalCoordinates& pc, std::span<const int> population,
                             std::span<const std::string> population_names, std::string_view title = {});

// The same with the populations in groups: one colour per group, the
// populations of a group told apart by their marker shapes, the legend naming
// each population with its group ("PopA (group 1)").  population_group[p]: the
// 0-based group of population p.
std::string pcoa_individuals_by_group(const PrincipalCoordinates& pc, std::span<const int> population,
                                      std::span<const std::string> population_names,
                                      std::span<const int> population_group, std::string_view title = {});

// Populations on axes 1 and 2 (pc.n == population_names.size()), each marker
// labelled with its name; labels that find no free place are left out and the
// legend then names every population.
std::string pcoa_populations(const PrincipalCoordinates& pc, std::span<const std::string> population_names,
                             std::string_view title = {});

// Tip names are omitted in trees coloured by population above this many tips.
inline constexpr int kMaxNamedTips = 200;

struct TreeFigureOptions {
  // Support of internal branches (bootstrap percentages), shown at the
  // branches they belong to; empty: none.
  std::span<const BranchSupport> support = {};
  // Population (0-based index in population_names) of each tip: tips get a
  // marker of their population's colour and a legend; names are left out above
  // kMaxNamedTips tips.  Empty: tips named, without markers.
  std::span<const int> tip_population = {};
  std::span<const std::string> population_names = {};
  std::string_view title = {};
};

// The tree drawn rectangular from its root, as it is given (an unrooted tree
// from the node it hangs from): a phylogram with a scale bar when it has branch
// lengths (negative lengths drawn as 0), tips aligned without them.  Tip names
// (indexed by tip) in full.
std::string tree_figure(const Tree& tree, std::span<const std::string> tip_names,
                        const TreeFigureOptions& options = {});

// Histogram of permuted values of a statistic (values that are not finite are
// left out) with the observed value marked and the P value in the title.
// `statistic` names it, for instance "Fst" or "ΦPT".
std::string permutation_histogram(std::span<const double> permuted, double observed, double p_value,
                                  std::string_view statistic);
std::string permutation_histogram(std::span<const float> permuted, double observed, double p_value,
                                  std::string_view statistic);
std::string permutation_histogram(const PermutationTest& test, std::string_view statistic);

// Relatedness of every pair of individuals as a heat map, individuals in
// their order (population after population): a diverging blue-white-red scale
// centred on 0 in classes of nice width, undefined pairs in grey, lines between
// populations, names along the top and left side where they fit, and a colour
// bar.  bounds: the r + 1 population bounds (population p holds individuals
// bounds[p] .. bounds[p+1]-1, bounds[r] = number of individuals);
// population_names: r names.
std::string relatedness_heatmap(const RelatednessTriangle& relatedness, std::span<const int> bounds,
                                std::span<const std::string> population_names, std::string_view title = {});

}  // namespace bandscape
