// Replicate error rates and merging (Bonin et al. 2004).
#include "quality/replicates.hpp"

#include <limits>

#include "core/format.hpp"

namespace bandscape {

double MismatchCount::error_rate() const {
  return comparisons == 0 ? std::numeric_limits<double>::quiet_NaN()
                          : static_cast<double>(mismatches) / static_cast<double>(comparisons);
}

ReplicateErrors replicate_errors(const ScoreTable& table, const std::vector<ReplicateGroup>& groups) {
  const int m = table.locus_count();
  ReplicateErrors errors;
  errors.loci.assign(static_cast<std::size_t>(m), MismatchCount{});
  for (const ReplicateGroup& group : groups) {
    for (std::size_t x = 0; x < group.samples.size(); ++x) {
      for (std::size_t y = x + 1; y < group.samples.size(); ++y) {
        ReplicatePair pair{group.individual, group.samples[x], group.samples[y], {}};
        for (int u = 0; u < m; ++u) {
          const std::uint8_t a = table.score(pair.sample_a, u), b = table.score(pair.sample_b, u);
          if (a == kMissingScore || b == kMissingScore) continue;
          MismatchCount& locus = errors.loci[static_cast<std::size_t>(u)];
          ++pair.count.comparisons;
          ++locus.comparisons;
          if (a != b) {
            ++pair.count.mismatches;
            ++locus.mismatches;
          }
        }
        errors.overall.comparisons += pair.count.comparisons;
        errors.overall.mismatches += pair.count.mismatches;
        errors.pairs.push_back(std::move(pair));
      }
    }
  }
  return errors;
}

ScoreTable merge_replicates(const ScoreTable& table, const std::vector<ReplicateGroup>& groups, ReplicateMerge merge,
                            std::vector<std::string>& warnings) {
  const int n = table.individual_count(), m = table.locus_count();
  // For each row: the group it heads, or -2 when it is a later replicate.
  std::vector<int> role(static_cast<std::size_t>(n), -1);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const std::vector<int>& samples = groups[g].samples;
    if (samples.empty()) continue;
    role[static_cast<std::size_t>(samples[0])] = static_cast<int>(g);
    for (std::size_t s = 1; s < samples.size(); ++s) role[static_cast<std::size_t>(samples[s])] = -2;
  }
  ScoreTable merged = table;
  merged.individuals.clear();
  merged.population_of.clear();
  merged.scores.clear();
  merged.coordinates.clear();
  for (int i = 0; i < n; ++i) {
    const int g = role[static_cast<std::size_t>(i)];
    if (g == -2) continue;
    if (!table.coordinates.empty()) merged.coordinates.push_back(table.coordinates[static_cast<std::size_t>(i)]);
    merged.population_of.push_back(table.population_of[static_cast<std::size_t>(i)]);
    if (g < 0) {
      merged.individuals.push_back(table.individuals[static_cast<std::size_t>(i)]);
      for (int u = 0; u < m; ++u) merged.scores.push_back(table.score(i, u));
      continue;
    }
    const ReplicateGroup& group = groups[static_cast<std::size_t>(g)];
    merged.individuals.push_back(group.individual);
    for (int s : group.samples) {
      if (table.population_of[static_cast<std::size_t>(s)] != table.population_of[static_cast<std::size_t>(i)]) {
        warnings.push_back(format("replicates of individual %s lie in populations %s and %s: the merged profile "
                                  "belongs to %s, that of its first sample",
                                  group.individual.c_str(),
                                  table.populations[static_cast<std::size_t>(table.population_of[static_cast<std::size_t>(i)])].c_str(),
                                  table.populations[static_cast<std::size_t>(table.population_of[static_cast<std::size_t>(s)])].c_str(),
                                  table.populations[static_cast<std::size_t>(table.population_of[static_cast<std::size_t>(i)])].c_str()));
        break;
      }
    }
    for (int u = 0; u < m; ++u) {
      std::uint8_t score = table.score(i, u);
      if (merge == ReplicateMerge::consensus) {
        for (int s : group.samples) {
          const std::uint8_t other = table.score(s, u);
          if (other == kMissingScore) continue;
          if (score == kMissingScore) {
            score = other;
          } else if (other != score) {
            score = kMissingScore;
            break;
          }
        }
      }
      merged.scores.push_back(score);
    }
  }
  return merged;
}

}  // namespace bandscape
