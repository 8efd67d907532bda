// The replicates file: which samples of the data are replicate profiles of
// one individual.  Tab-separated text (comma-separated when its header row
// holds no tab), a header row naming the columns `sample` and `individual`
// (others are ignored), then one row per replicate sample: the sample's name
// as the data file gives it (in full) and the name of the individual it is a
// profile of.  Blank rows are skipped.  The samples of one individual form
// its replicate group, in the order of the data.  A sample that the data do
// not hold, a sample named twice (in the file or in the data) and an
// individual with a single sample are fatal, naming the row and the file.
#pragma once

#include <string>
#include <vector>

#include "core/message_log.hpp"
#include "input/score_table.hpp"

namespace bandscape {

// The samples (rows of the score table, from 0, in the table's order) that
// are replicate profiles of one individual.
struct ReplicateGroup {
  std::string individual;
  std::vector<int> samples;
  bool operator==(const ReplicateGroup&) const = default;
};

// The groups in the order of each individual's first row in the file.
std::vector<ReplicateGroup> read_replicates_file(const std::string& file, const ScoreTable& table, MessageLog& log);

}  // namespace bandscape
