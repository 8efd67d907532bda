#include "report/tree_results.hpp"

#include <cmath>
#include <limits>
#include <map>
#include <unordered_set>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_file.hpp"
#include "report/figures.hpp"
#include "report/newick.hpp"
#include "report/results_tables.hpp"
#include "report/tsv.hpp"
#include "stats/distances.hpp"
#include "tree/distance_trees.hpp"

namespace bandscape {
namespace {

constexpr double kNotAvailable = std::numeric_limits<double>::quiet_NaN();

const char* matrix_key(PopulationDistance which) {
  switch (which) {
    case PopulationDistance::kNei:
      return "nei";
    case PopulationDistance::kFst:
      return "fst";
    case PopulationDistance::kReynolds:
      break;
  }
  return "reynolds";
}

const char* matrix_title(PopulationDistance which) {
  switch (which) {
    case PopulationDistance::kNei:
      return "Nei's distance";
    case PopulationDistance::kFst:
      return "the pairwise Fst";
    case PopulationDistance::kReynolds:
      break;
  }
  return "Reynolds' distance";
}

constexpr char kIndividualsTitle[] = "the 1-r distance between individuals";

std::string no_tree_line(const char* title, const std::vector<std::string>& names, std::pair<int, int> pair) {
  return format("\nNo tree from %s: the distance between %s and %s is undefined", title,
                names[static_cast<std::size_t>(pair.first)].c_str(),
                names[static_cast<std::size_t>(pair.second)].c_str());
}

// One row of trees.tsv.
struct TreeRow {
  std::string file, matrix, method;
  int tips = 0;
  double length = kNotAvailable;
  int bootstrap_trees = -1;  // -1: no bootstrap
  double mean_support = kNotAvailable;
};

// Percentages as whole numbers, one label per supported node.
std::vector<std::string> support_labels(const Tree& tree, const std::vector<BranchSupport>& support, bool counts) {
  std::vector<std::string> labels(tree.nodes.size());
  for (const BranchSupport& s : support) {
    labels[static_cast<std::size_t>(s.node)] = counts ? format("%d", s.count) : format("%ld", whole_percent(s));
  }
  return labels;
}

// The population of each individual from the population bounds; empty when
// the bounds do not cover exactly `individuals` individuals.
std::vector<int> tip_populations(std::span<const int> bounds, std::size_t populations, int individuals) {
  if (bounds.size() != populations + 1 || bounds.front() != 0 || bounds.back() != individuals) return {};
  std::vector<int> population;
  for (std::size_t p = 0; p < populations; ++p) {
    for (int x = bounds[p]; x < bounds[p + 1]; ++x) population.push_back(static_cast<int>(p));
  }
  if (population.size() != static_cast<std::size_t>(individuals)) return {};
  return population;
}

double mean_percent(const std::vector<BranchSupport>& support) {
  if (support.empty()) return kNotAvailable;
  double sum = 0.0;
  for (const BranchSupport& s : support) sum += s.percent;
  return sum / static_cast<double>(support.size());
}

}  // namespace

DistanceMatrix population_distances(PopulationDistance which, int r, const FMatrix& nei, const FMatrix& fst) {
  DistanceMatrix d(r);
  for (int a = 1; a <= r; ++a) {
    for (int b = a + 1; b <= r; ++b) {
      const float stored = which == PopulationDistance::kNei ? nei[a][b] : fst[a][b];
      double value;
      if (std::isnan(distance_value(stored))) {
        value = std::nan("");
      } else if (stored < 0.0f) {
        value = 0.0;
      } else {
        value = which == PopulationDistance::kReynolds ? reynolds_distance(stored) : static_cast<double>(stored);
      }
      d.at(a - 1, b - 1) = value;
    }
  }
  return d;
}

DistanceMatrix individual_distances(const RelatednessTriangle& relatedness) {
  const int n = relatedness.individuals();
  DistanceMatrix d(n);
  for (int x = 0; x < n; ++x) {
    const float* row = relatedness.row(x);
    for (int y = x + 1; y < n; ++y) {
      const float r = row[y - x - 1];
      d.at(x, y) = r == kRelatednessUndefined ? std::nan("") : 1.0 - static_cast<double>(r);
    }
  }
  return d;
}

void ResultTrees::observe_populations(const NameList& names, int r, const FMatrix& nei, const FMatrix& fst) {
  populations_.clear();
  if (r < 3) return;
  r_ = r;
  population_names_.clear();
  for (int a = 1; a <= r; ++a) population_names_.push_back(names[a]);
  for (PopulationDistance which : {PopulationDistance::kNei, PopulationDistance::kFst, PopulationDistance::kReynolds}) {
    PopulationMatrix pm;
    pm.which = which;
    pm.nj_counts = BranchCounts(r, false);
    const DistanceMatrix d = population_distances(which, r, nei, fst);
    pm.undefined = first_undefined_distance(d);
    if (!pm.undefined) {
      pm.nj = hang_from_tip(neighbor_joining(d), 0);
      pm.upgma = upgma(d);
      for (const Branch& branch : internal_branches(pm.upgma)) pm.upgma_clades.push_back(branch.tips);
      pm.upgma_counts.assign(pm.upgma_clades.size(), 0);
    }
    populations_.push_back(std::move(pm));
  }
}

BootstrapSink ResultTrees::bootstrap_sink() {
  if (populations_.empty()) return {};
  return [this](int, const FMatrix& nei, const FMatrix& fst) { add_replicate(nei, fst); };
}

void ResultTrees::add_replicate(const FMatrix& nei, const FMatrix& fst) {
  ++replicates_;
  for (PopulationMatrix& pm : populations_) {
    const DistanceMatrix d = population_distances(pm.which, r_, nei, fst);
    if (first_undefined_distance(d)) {
      ++pm.skipped;
      continue;
    }
    pm.nj_counts.add(neighbor_joining(d));
    if (pm.undefined) continue;  // no observed UPGMA tree to support
    ++pm.upgma_trees;
    for (const Branch& branch : internal_branches(upgma(d))) {
      for (std::size_t k = 0; k < pm.upgma_clades.size(); ++k) {
        if (pm.upgma_clades[k] == branch.tips) ++pm.upgma_counts[k];
      }
    }
  }
}

std::vector<std::string> ResultTrees::write(const std::vector<std::string>& individual_names,
                                            const RelatednessTriangle& relatedness,
                                            std::span<const std::string> population_names,
                                            std::span<const int> population_bounds) {
  std::vector<std::string> lines;
  figures_.clear();
  auto draw = [&](const std::string& file, std::string caption, std::string svg) {
    write_results_text(folder_, file.c_str(), svg);
    figures_.push_back({std::move(caption), std::move(svg)});
  };
  std::vector<TreeRow> rows;
  std::map<std::string, std::string> substitutes;  // name -> its tip in the Newick files
  const bool bootstrap = replicates_ > 0;
  auto write_tree = [&](const std::string& matrix, const std::string& method, const Tree& tree,
                        const std::vector<std::string>& names, const NewickOptions& options, double length,
                        int bootstrap_trees, double mean_support) {
    TreeRow row;
    row.length = length;
    row.bootstrap_trees = bootstrap_trees;
    row.mean_support = mean_support;
    row.file = (method == "nj_consensus" ? "consensus_" + matrix + "_nj" : "tree_" + matrix + "_" + method) + ".nwk";
    row.matrix = matrix;
    row.method = method;
    row.tips = tree.tips;
    write_results_text(folder_, row.file.c_str(), newick_text(tree, names, options));
    for (const std::string& name : names) {
      if (newick_name(name) != name) substitutes.emplace(name, newick_name(name));
    }
    rows.push_back(std::move(row));
  };

  for (const PopulationMatrix& pm : populations_) {
    const std::string key = matrix_key(pm.which);
    if (pm.undefined) {
      lines.push_back(no_tree_line(matrix_title(pm.which), population_names_, *pm.undefined));
    } else {
      std::vector<BranchSupport> nj_support, upgma_support;
      if (bootstrap) {
        nj_support = split_support(pm.nj, pm.nj_counts);
        const std::vector<Branch> branches = internal_branches(pm.upgma);
        for (std::size_t k = 0; k < branches.size(); ++k) {
          const int count = pm.upgma_counts[k];
          upgma_support.push_back(
              BranchSupport{branches[k].node, count,
                            pm.upgma_trees == 0 ? 0.0 : 100.0 * count / static_cast<double>(pm.upgma_trees)});
        }
      }
      const std::vector<std::string> nj_labels = support_labels(pm.nj, nj_support, false);
      const std::vector<std::string> upgma_labels = support_labels(pm.upgma, upgma_support, false);
      write_tree(key, "nj", pm.nj, population_names_, {.branch_lengths = true, .node_labels = nj_labels},
                 tree_length(pm.nj), bootstrap ? pm.nj_counts.trees() : -1,
                 bootstrap && pm.nj_counts.trees() > 0 ? mean_percent(nj_support) : kNotAvailable);
      const bool supported = bootstrap && pm.nj_counts.trees() > 0;
      draw("tree_" + key + "_nj.svg",
           std::string("Neighbour-joining tree of the populations from ") + matrix_title(pm.which) +
               (supported ? format(", with bootstrap support (%%) over %d trees", pm.nj_counts.trees()) : ""),
           tree_figure(pm.nj, population_names_,
                       {.support = supported ? std::span<const BranchSupport>(nj_support)
                                             : std::span<const BranchSupport>()}));
      write_tree(key, "upgma", pm.upgma, population_names_, {.branch_lengths = true, .node_labels = upgma_labels},
                 tree_length(pm.upgma), bootstrap ? pm.upgma_trees : -1,
                 bootstrap && pm.upgma_trees > 0 ? mean_percent(upgma_support) : kNotAvailable);
    }
    if (!bootstrap) continue;
    if (pm.skipped > 0 && !pm.undefined) {
      lines.push_back(
          format("\nNo tree from %s for %d of %d bootstrap replicates (an undefined distance): "
                 "support counted over the %d other trees",
                 matrix_title(pm.which), pm.skipped, replicates_, replicates_ - pm.skipped));
    }
    if (pm.nj_counts.trees() > 0) {
      const Consensus consensus = majority_rule_consensus(pm.nj_counts);
      const std::vector<std::string> labels = support_labels(consensus.tree, consensus.support, true);
      write_tree(key, "nj_consensus", consensus.tree, population_names_,
                 {.branch_lengths = false, .node_labels = labels}, kNotAvailable, pm.nj_counts.trees(),
                 mean_percent(consensus.support));
    }
  }

  const int ntot = relatedness.individuals();
  if (ntot >= 3) {
    std::vector<std::string> names(individual_names.begin(), individual_names.end());
    names.resize(static_cast<std::size_t>(ntot));
    for (int x = 0; x < ntot; ++x) {
      if (names[static_cast<std::size_t>(x)].empty()) names[static_cast<std::size_t>(x)] = format("ind%d", x + 1);
    }
    const DistanceMatrix d = individual_distances(relatedness);
    if (const auto pair = first_undefined_distance(d)) {
      lines.push_back(no_tree_line(kIndividualsTitle, names, *pair));
    } else {
      // Tips of the same name cannot be told apart by a tree reader: said once.
      std::unordered_set<std::string> seen;
      for (const std::string& name : names) {
        if (!seen.insert(name).second) {
          lines.push_back(
              format("\nThe individuals' trees have more than one tip named %s: individual names "
                     "are not unique",
                     name.c_str()));
          break;
        }
      }
      const Tree nj = hang_from_tip(neighbor_joining(d), 0);
      write_tree("individuals", "nj", nj, names, {}, tree_length(nj), -1, kNotAvailable);
      const std::vector<int> population = tip_populations(population_bounds, population_names.size(), ntot);
      draw("tree_individuals_nj.svg",
           std::string("Neighbour-joining tree of the individuals from the 1-r distance") +
               (population.empty() ? "" : ", tips coloured by population"),
           tree_figure(nj, names,
                       {.tip_population = population,
                        .population_names = population.empty() ? std::span<const std::string>()
                                                                : population_names}));
      const Tree tree = upgma(d);
      write_tree("individuals", "upgma", tree, names, {}, tree_length(tree), -1, kNotAvailable);
    }
  }

  TsvFile tsv(results_file(folder_, "trees.tsv"),
              {"file", "matrix", "method", "tips", "tree_length", "bootstrap_trees", "mean_support"});
  for (const TreeRow& row : rows) {
    tsv.text(row.file).text(row.matrix).text(row.method).integer(row.tips).real(row.length);
    if (row.bootstrap_trees < 0) {
      tsv.text("NA");
    } else {
      tsv.integer(row.bootstrap_trees);
    }
    tsv.real(row.mean_support).end_row();
  }
  tsv.close();
  // tip_names.tsv: the names that the Newick files hold as a substitute.
  if (!substitutes.empty()) {
    TsvFile tips(results_file(folder_, "tip_names.tsv"), {"name", "tip"});
    for (const auto& [name, tip] : substitutes) tips.text(name).text(tip).end_row();
    tips.close();
  }
  return lines;
}

}  // namespace bandscape
