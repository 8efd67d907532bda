// The tidy tables of the data quality steps (UTF-8, tab-separated, one header
// row, NA for an undefined value, names through tsv_text):
//   replicates.tsv            one row per pair of replicate samples:
//                             individual, sample_a, sample_b, comparisons,
//                             mismatches, error_rate (Bonin et al. 2004);
//   replicate_loci.tsv        one row per locus: locus, comparisons,
//                             mismatches, error_rate;
//   individual_distances.tsv  one row per pair of individuals: index_a,
//                             individual_a, index_b, individual_b (indices
//                             from 1, a before b), distance (1 - S of the
//                             chosen coefficient).
#pragma once

#include <string>
#include <vector>

#include "input/score_table.hpp"
#include "quality/replicates.hpp"
#include "stats/band_differences.hpp"

namespace bandscape {

std::string replicates_tsv_text(const ScoreTable& table, const ReplicateErrors& errors);
std::string replicate_loci_tsv_text(const ScoreTable& table, const ReplicateErrors& errors);
// individual_distances.tsv in the folder, row by row (n (n - 1) / 2 rows).
void write_individual_distances(const std::string& folder, const std::vector<std::string>& individuals,
                                const PackedDistances& distances);

}  // namespace bandscape
