// The data quality steps of a run, in their order: the scoring error rate of
// the replicate samples (Bonin et al. 2004) and the merging of each
// individual's replicates into one profile, then the locus filters (call
// rate, band frequency, the Lynch & Milligan 1994 rule, the replicate error
// rate per locus).  The outcome is the table every analysis takes, with what
// was measured and left out on the way.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "input/replicates_file.hpp"
#include "input/score_table.hpp"
#include "quality/locus_filters.hpp"
#include "quality/replicates.hpp"

namespace bandscape {

struct QualitySettings {
  std::vector<ReplicateGroup> replicates;  // empty: no replicate samples
  ReplicateMerge merge = ReplicateMerge::consensus;
  LocusFilterSettings filters;
  std::vector<double> reproducibility;  // one per locus of a DArT report; empty: none
};

struct DataQuality {
  ScoreTable table;                       // the analysed data
  std::optional<ReplicateErrors> errors;  // with replicates, over the samples as read
  LocusSelection selection;               // loci of the merged table kept and left out
  std::vector<std::string> locus_names;   // of the merged table (the names of selection's loci)
  std::vector<std::string> warnings;
};

// `table` as read; replicate groups as read_replicates_file gives them.
DataQuality assure_quality(ScoreTable table, const QualitySettings& settings);

}  // namespace bandscape
