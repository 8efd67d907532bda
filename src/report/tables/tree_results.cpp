#include "report/tables/tree_results.hpp"

#include <limits>
#include <map>

#include "core/format.hpp"
#include "report/figures/figures.hpp"
#include "report/tables/newick.hpp"
#include "report/tables/results_tables.hpp"
#include "report/tables/tsv.hpp"

namespace bandscape {
namespace {

constexpr double kNotAvailable = std::numeric_limits<double>::quiet_NaN();

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

}  // namespace

std::vector<SummaryFigure> write_trees(const std::string& folder, const RunTrees& trees,
                                       std::span<const std::string> population_names,
                                       std::span<const int> population_of) {
  std::vector<SummaryFigure> figures;
  auto draw = [&](const std::string& file, std::string caption, std::string svg) {
    write_results_text(folder, file.c_str(), svg);
    figures.push_back({std::move(caption), std::move(svg)});
  };
  std::vector<TreeRow> rows;
  std::map<std::string, std::string> substitutes;  // name -> its tip in the Newick files
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
    write_results_text(folder, row.file.c_str(), newick_text(tree, names, options));
    for (const std::string& name : names) {
      if (newick_name(name) != name) substitutes.emplace(name, newick_name(name));
    }
    rows.push_back(std::move(row));
  };

  const std::vector<std::string>& populations = trees.population_names;
  for (const PopulationTrees& t : trees.populations) {
    const std::string key = matrix_key(t.which);
    if (t.built) {
      const std::vector<std::string> nj_labels = support_labels(t.nj, t.nj_support, false);
      const std::vector<std::string> upgma_labels = support_labels(t.upgma, t.upgma_support, false);
      write_tree(key, "nj", t.nj, populations, {.branch_lengths = true, .node_labels = nj_labels}, tree_length(t.nj),
                 t.bootstrapped ? t.nj_trees : -1, t.nj_mean_support);
      const bool supported = t.bootstrapped && t.nj_trees > 0;
      draw("tree_" + key + "_nj.svg",
           std::string("Neighbour-joining tree of the populations from ") + matrix_title(t.which) +
               (supported ? format(", with bootstrap support (%%) over %d trees", t.nj_trees) : ""),
           tree_figure(t.nj, populations,
                       {.support = supported ? std::span<const BranchSupport>(t.nj_support)
                                             : std::span<const BranchSupport>()}));
      write_tree(key, "upgma", t.upgma, populations, {.branch_lengths = true, .node_labels = upgma_labels},
                 tree_length(t.upgma), t.bootstrapped ? t.upgma_trees : -1, t.upgma_mean_support);
    }
    if (t.consensus) {
      const std::vector<std::string> labels = support_labels(t.consensus->tree, t.consensus->support, true);
      write_tree(key, "nj_consensus", t.consensus->tree, populations, {.branch_lengths = false, .node_labels = labels},
                 kNotAvailable, t.nj_trees, mean_support(t.consensus->support));
    }
  }

  if (trees.individuals) {
    const IndividualTrees& individuals = *trees.individuals;
    const int ntot = static_cast<int>(individuals.names.size());
    write_tree("individuals", "nj", individuals.nj, individuals.names, {}, tree_length(individuals.nj), -1,
               kNotAvailable);
    // Tips are coloured when every individual has its population.
    const std::vector<int> population =
        population_of.size() == static_cast<std::size_t>(ntot) ? std::vector<int>(population_of.begin(), population_of.end())
                                                                : std::vector<int>();
    draw("tree_individuals_nj.svg",
         "Neighbour-joining tree of the individuals from " + trees.individual_distance +
             (population.empty() ? "" : ", tips coloured by population"),
         tree_figure(individuals.nj, individuals.names,
                     {.tip_population = population,
                      .population_names = population.empty() ? std::span<const std::string>() : population_names}));
    write_tree("individuals", "upgma", individuals.upgma, individuals.names, {}, tree_length(individuals.upgma), -1,
               kNotAvailable);
  }

  TsvFile tsv(results_file(folder, "trees.tsv"),
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
    TsvFile tips(results_file(folder, "tip_names.tsv"), {"name", "tip"});
    for (const auto& [name, tip] : substitutes) tips.text(name).text(tip).end_row();
    tips.close();
  }
  return figures;
}

}  // namespace bandscape
