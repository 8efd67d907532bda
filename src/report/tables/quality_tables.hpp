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

#include "input/score_table.hpp"
#include "numeric/distance_matrix.hpp"
#include "quality/replicates.hpp"

namespace bandscape {

std::string replicates_tsv_text(const ScoreTable& table, const ReplicateErrors& errors);
std::string replicate_loci_tsv_text(const ScoreTable& table, const ReplicateErrors& errors);
std::string individual_distances_tsv_text(const ScoreTable& table, const DistanceMatrix& distances);

}  // namespace bandscape
