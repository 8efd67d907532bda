#include "tree/run_trees.hpp"

#include <cmath>
#include <limits>
#include <unordered_set>

#include "core/format.hpp"
#include "tree/distance_trees.hpp"

namespace bandscape {
namespace {

constexpr double kNotAvailable = std::numeric_limits<double>::quiet_NaN();
std::string no_tree_warning(const char* title, const std::vector<std::string>& names, std::pair<int, int> pair) {
  return format("No tree from %s: the distance between %s and %s is undefined", title,
                names[static_cast<std::size_t>(pair.first)].c_str(),
                names[static_cast<std::size_t>(pair.second)].c_str());
}

DistanceMatrix full_matrix(const PackedDistances& packed) {
  const int n = packed.size();
  DistanceMatrix d(n);
  for (int x = 0; x < n; ++x) {
    for (int y = x + 1; y < n; ++y) d.at(x, y) = d.at(y, x) = packed(x, y);
  }
  return d;
}

}  // namespace

double mean_support(const std::vector<BranchSupport>& support) {
  if (support.empty()) return kNotAvailable;
  double sum = 0.0;
  for (const BranchSupport& s : support) sum += s.percent;
  return sum / static_cast<double>(support.size());
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

void TreeBuilder::observe_populations(const std::vector<std::string>& names, const FMatrix& nei, const FMatrix& fst) {
  populations_.clear();
  const int r = static_cast<int>(names.size());
  if (r < 3) return;
  population_names_ = names;
  for (const PopulationDistance which : kPopulationDistances) {
    Gathered g;
    g.which = which;
    g.nj_counts = BranchCounts(r, false);
    const DistanceMatrix d = population_distance_matrix(which, r, nei, fst);
    g.undefined = first_undefined_distance(d);
    if (!g.undefined) {
      g.nj = hang_from_tip(neighbor_joining(d), 0);
      g.upgma = upgma(d);
      for (const Branch& branch : internal_branches(g.upgma)) g.upgma_clades.push_back(branch.tips);
      g.upgma_counts.assign(g.upgma_clades.size(), 0);
    }
    populations_.push_back(std::move(g));
  }
}

BootstrapSink TreeBuilder::bootstrap_sink() {
  if (populations_.empty()) return {};
  return [this](int, const FMatrix& nei, const FMatrix& fst) { add_replicate(nei, fst); };
}

void TreeBuilder::add_replicate(const FMatrix& nei, const FMatrix& fst) {
  ++replicates_;
  const int r = static_cast<int>(population_names_.size());
  for (Gathered& g : populations_) {
    const DistanceMatrix d = population_distance_matrix(g.which, r, nei, fst);
    if (first_undefined_distance(d)) {
      ++g.skipped;
      continue;
    }
    g.nj_counts.add(neighbor_joining(d));
    if (g.undefined) continue;  // no observed UPGMA tree to support
    ++g.upgma_trees;
    for (const Branch& branch : internal_branches(upgma(d))) {
      for (std::size_t k = 0; k < g.upgma_clades.size(); ++k) {
        if (g.upgma_clades[k] == branch.tips) ++g.upgma_counts[k];
      }
    }
  }
}

RunTrees TreeBuilder::finish(const std::vector<std::string>& individual_names,
                             const RelatednessTriangle& relatedness, const ChosenDistance* chosen) const {
  RunTrees trees;
  trees.population_names = population_names_;
  const bool bootstrap = replicates_ > 0;
  for (const Gathered& g : populations_) {
    PopulationTrees t;
    t.which = g.which;
    t.bootstrapped = bootstrap;
    t.nj_trees = g.nj_counts.trees();
    t.upgma_trees = g.upgma_trees;
    t.nj_mean_support = t.upgma_mean_support = kNotAvailable;
    if (g.undefined) {
      trees.warnings.push_back(no_tree_warning(matrix_title(g.which), population_names_, *g.undefined));
    } else {
      t.built = true;
      t.nj = g.nj;
      t.upgma = g.upgma;
      if (bootstrap) {
        t.nj_support = split_support(g.nj, g.nj_counts);
        const std::vector<Branch> branches = internal_branches(g.upgma);
        for (std::size_t k = 0; k < branches.size(); ++k) {
          const int count = g.upgma_counts[k];
          t.upgma_support.push_back(BranchSupport{
              branches[k].node, count, g.upgma_trees == 0 ? 0.0 : 100.0 * count / static_cast<double>(g.upgma_trees)});
        }
        if (t.nj_trees > 0) t.nj_mean_support = mean_support(t.nj_support);
        if (t.upgma_trees > 0) t.upgma_mean_support = mean_support(t.upgma_support);
      }
    }
    if (bootstrap && g.skipped > 0 && !g.undefined) {
      trees.warnings.push_back(format("No tree from %s for %d of %d bootstrap replicates (an undefined distance): "
                                      "support counted over the %d other trees",
                                      matrix_title(g.which), g.skipped, replicates_, replicates_ - g.skipped));
    }
    if (bootstrap && t.nj_trees > 0) t.consensus = majority_rule_consensus(g.nj_counts);
    trees.populations.push_back(std::move(t));
  }

  const int ntot = chosen ? chosen->distances.size() : relatedness.individuals();
  if (ntot < 3) return trees;
  std::vector<std::string> names(individual_names.begin(), individual_names.end());
  names.resize(static_cast<std::size_t>(ntot));
  for (int x = 0; x < ntot; ++x) {
    if (names[static_cast<std::size_t>(x)].empty()) names[static_cast<std::size_t>(x)] = format("ind%d", x + 1);
  }
  const DistanceMatrix d = chosen ? full_matrix(chosen->distances) : individual_distances(relatedness);
  if (chosen) trees.individual_distance = coefficient_title(chosen->coefficient);
  if (const auto pair = first_undefined_distance(d)) {
    trees.warnings.push_back(no_tree_warning((trees.individual_distance + " between individuals").c_str(), names, *pair));
    return trees;
  }
  // Tips of the same name cannot be told apart by a tree reader: said once.
  std::unordered_set<std::string> seen;
  for (const std::string& name : names) {
    if (!seen.insert(name).second) {
      trees.warnings.push_back(format(
          "The individuals' trees have more than one tip named %s: individual names are not unique", name.c_str()));
      break;
    }
  }
  IndividualTrees& individuals = trees.individuals.emplace();
  individuals.nj = hang_from_tip(neighbor_joining(d), 0);
  individuals.upgma = upgma(d);
  individuals.names = std::move(names);
  return trees;
}

}  // namespace bandscape
