#include "amova/amova_analysis.hpp"

#include <cmath>
#include <cstdint>

#include "core/format.hpp"
#include "numeric/keyed_random.hpp"

namespace bandscape {
namespace {

// The AMOVA streams are keyed by stream_key(run seed, this tag, 0, 0), so that
// they share no key with any other analysis that draws keyed streams from the
// same run seed ("AMOVA" in ASCII).
constexpr std::uint64_t kAmovaStreamTag = 0x414D4F5641ULL;

// Groups 0..G-1 of the populations for a three-level AMOVA, numbered in order
// of first appearance; empty (two levels) without groups, with a single
// group, or when every group is a single population (nothing left between
// populations within groups).
std::vector<int> amova_groups(const std::vector<int>& given, std::vector<std::string>& warnings) {
  std::vector<int> first_seen;
  std::vector<int> groups;
  for (const int group : given) {
    if (group <= 0) return {};
    int g = 0;
    while (g < static_cast<int>(first_seen.size()) && first_seen[static_cast<std::size_t>(g)] != group) ++g;
    if (g == static_cast<int>(first_seen.size())) first_seen.push_back(group);
    groups.push_back(g);
  }
  if (given.empty()) return {};
  if (first_seen.size() < 2) {
    warnings.push_back("AMOVA on two levels: the subset file puts every population in one group");
    return {};
  }
  if (first_seen.size() == given.size()) {
    warnings.push_back("AMOVA on two levels: every group of the subset file holds a single population");
    return {};
  }
  return groups;
}

// The first pair of individuals, in row order, without a used locus scored in both.
std::pair<int, int> first_undefined_pair(const PackedDistances& distances, int ntot) {
  const std::vector<double>& values = distances.values();
  std::size_t at = 0;
  while (!std::isnan(values[at])) ++at;
  int i = 0;
  while (distances.index(i, ntot - 1) < at) ++i;
  int j = i + 1;
  while (distances.index(i, j) < at) ++j;
  return {i, j};
}

}  // namespace

AmovaAnalysis analyse_amova(const AmovaData& data, int permutations, long seed, int threads) {
  AmovaAnalysis analysis;
  analysis.permutations = permutations;
  analysis.differences = band_differences(*data.band_scores, data.ntot, data.m, threads, data.missing_millionths);
  analysis.loci_used = analysis.differences.loci_used();
  analysis.loci = data.m;
  analysis.missing_millionths = data.missing_millionths;

  AmovaDesign design;
  design.population_sizes = data.population_sizes;
  design.groups = amova_groups(data.subset_groups, analysis.warnings);
  analysis.groups = design.groups;

  if (analysis.loci_used == 0) {
    analysis.warnings.push_back(
        "no AMOVA, pairwise PhiPT or principal coordinates of the individuals: no locus has at most 5% missing "
        "scores");
    return analysis;
  }
  if (analysis.differences.undefined_pairs > 0) {
    const auto [i, j] = first_undefined_pair(analysis.differences.distances, data.ntot);
    const std::vector<std::string>& names = *data.individual_names;
    analysis.warnings.push_back(format(
        "no AMOVA, pairwise PhiPT or principal coordinates of the individuals: individuals %s and %s share no "
        "scored locus among the %d loci with at most 5%% missing scores",
        names[static_cast<std::size_t>(i)].c_str(), names[static_cast<std::size_t>(j)].c_str(),
        analysis.loci_used));
    return analysis;
  }
  PermutationSettings settings;
  settings.permutations = permutations;
  settings.seed = stream_key(static_cast<std::uint64_t>(seed), kAmovaStreamTag, 0, 0);
  settings.threads = threads;
  analysis.result = amova(analysis.differences.distances, design, settings);
  analysis.pairs = pairwise_phi_pt(analysis.differences.distances, design, settings);
  return analysis;
}

DistanceMatrix phipt_distances(const PairwisePhiPT& pairs) {
  const int r = pairs.populations;
  DistanceMatrix d(r);
  for (int p = 0; p < r; ++p) {
    for (int q = p + 1; q < r; ++q) {
      const double v = pairs.phi_pt(p, q);
      d.at(p, q) = d.at(q, p) = std::isnan(v) || v >= 0.0 ? v : 0.0;
    }
  }
  return d;
}

}  // namespace bandscape
