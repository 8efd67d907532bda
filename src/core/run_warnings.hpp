// The warnings of a run with where they arose: the data as read, the analysis
// of the observed data, the permuted data sets of the test on Fst, the
// bootstrap replicates of the distances, the AMOVA with its ordinations, and
// the trees, and genetic structure in space.  The driver tags each message as it is written (error.txt keeps
// its bytes and order); run.json and summary.html show them grouped, so that
// a message of the permuted data sets is not read as one about the data.
#pragma once

#include <string>
#include <vector>

namespace bandscape {

// In the order the run meets them, which is also the order of the groups.
enum class WarningSource { kData, kAnalysis, kPermutations, kBootstraps, kAmova, kTrees, kSpace, kClusters };

// "data", "analysis", "permutations", "bootstraps", "amova", "trees", "space", "clusters".
const char* warning_source_key(WarningSource source);

struct SourcedWarning {
  WarningSource source = WarningSource::kAnalysis;
  std::string text;    // as written, leading line ends dropped
  int population = 0;  // the population it is about (1-based among the analysed); 0: none
};

// One message of a group, once, with the number of times it was written.  A
// resampled data set meets each of these messages at most once (one per
// population and computation), so for the permutations and the bootstraps
// `times` is the number of replicates that wrote it.
struct WarningCount {
  std::string text;
  int population = 0;
  int times = 0;
};

struct WarningGroup {
  WarningSource source = WarningSource::kAnalysis;
  std::vector<WarningCount> messages;  // in the order of their first appearance
};

// The groups that hold a message, in the order of WarningSource; a message
// with the same text and population in one group counts once more.
std::vector<WarningGroup> group_warnings(const std::vector<SourcedWarning>& warnings);

}  // namespace bandscape
