// The classic report's tables, each appended to the report file as one
// guarded write: Table 1 (populations), Table 2 (gene diversity within
// populations), Table 3 (population structure), the three distance blocks in
// Phylip format, and Table 5 (fragment and allelic frequencies, tab-separated
// to paste into a spreadsheet).  Each returns 0, or -999 with nothing written
// when the report cannot be opened; the run then goes on and counts the table
// as missing.
#pragma once

#include <string>
#include <vector>

#include "core/progress.hpp"
#include "numeric/array.hpp"
#include "stats/diversity_tables.hpp"

namespace bandscape {

// Table 1: one row per population (names 1..r, rows[j - 1]), the values as printed.
int write_population_table(const std::string& report, const NameList& names,
                           const std::vector<PopulationDiversity>& rows);

// Table 2: Hw, its S.E. and variance components with their shares.
int write_within_diversity_table(const std::string& report, const StructureTable& table);

// Table 3: Ht, Hw, Hb, Fst with the S.E. and variances of the last three.
int write_structure_table(const std::string& report, const StructureTable& table);

// The Nei, pairwise Fst and Reynolds blocks with their title lines, appended
// to `report`.  Returns 0, or -999 (nothing written) when it cannot be opened.
int write_distance_matrices(const std::string& report, const NameList& names, int r, const FMatrix& Nei,
                            const FMatrix& Fst);

// Appends Table 5 to the report: per locus the pooled band frequency, then
// per population the number N of scored individuals, the fragment frequency,
// the band-present allele frequency P, the null allele frequency 1 - P and
// the variance V of the estimate ("0" and four empty cells when N = 0).
//   population_names 1..r, locus_names 1..m, non_missing int_matrix(1,r,1,m),
//   pooled float_vector(0,m-1), fragment, P, V float_matrix(0,r-1,0,m-1).
// Returns 0, or -999 (nothing written) when the report cannot be opened.
// With `progress`, and more than kTable5ProgressCells population-locus cells,
// the loci written are reported in fiftieths (core/progress.hpp).
inline constexpr double kTable5ProgressCells = 2.0e6;
int write_frequency_table(const std::string& report, int r, int m, const NameList& population_names,
                          const NameList& locus_names, const IMatrix& non_missing, const FVector& pooled,
                          const FMatrix& fragment, const FMatrix& P, const FMatrix& V,
                          const ProgressReport& progress = {});

}  // namespace bandscape
