// Grouping of a run's warnings by where they arose.
#include "core/run_warnings.hpp"

#include <map>
#include <utility>

namespace bandscape {

const char* warning_source_key(WarningSource source) {
  switch (source) {
    case WarningSource::kData: return "data";
    case WarningSource::kAnalysis: return "analysis";
    case WarningSource::kPermutations: return "permutations";
    case WarningSource::kBootstraps: return "bootstraps";
    case WarningSource::kAmova: return "amova";
    case WarningSource::kTrees: return "trees";
    case WarningSource::kSpace: return "space";
    case WarningSource::kClusters: return "clusters";
  }
  return "analysis";
}

std::vector<WarningGroup> group_warnings(const std::vector<SourcedWarning>& warnings) {
  constexpr int kSources = static_cast<int>(WarningSource::kClusters) + 1;
  std::vector<WarningGroup> by_source(kSources);
  std::vector<std::map<std::pair<std::string, int>, std::size_t>> position(kSources);
  for (const SourcedWarning& w : warnings) {
    const auto s = static_cast<std::size_t>(w.source);
    WarningGroup& group = by_source[s];
    group.source = w.source;
    const auto [at, first] = position[s].try_emplace({w.text, w.population}, group.messages.size());
    if (first) {
      group.messages.push_back({w.text, w.population, 1});
    } else {
      ++group.messages[at->second].times;
    }
  }
  std::vector<WarningGroup> groups;
  for (WarningGroup& g : by_source) {
    if (!g.messages.empty()) groups.push_back(std::move(g));
  }
  return groups;
}

}  // namespace bandscape
