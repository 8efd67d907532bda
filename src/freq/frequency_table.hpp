// Table 5: fragment and allelic frequencies of every locus in every
// population, tab-separated so that the block pastes into a spreadsheet.
#pragma once

#include <string>

#include "numeric/array.hpp"

namespace bandscape {

// Appends Table 5 to the report: per locus the pooled band frequency, then
// per population the number N of scored individuals, the fragment frequency,
// the band-present allele frequency P, the null allele frequency 1 - P and
// the variance V of the estimate ("0" and four empty cells when N = 0).
//   population_names 1..r, locus_names 1..m, non_missing imatrix(1,r,1,m),
//   pooled vector(0,m-1), fragment, P, V matrix(0,r-1,0,m-1).
// Returns 0, or -999 (nothing written) when the report cannot be opened.
int write_frequency_table(const std::string& report, int r, int m, const NameList& population_names,
                          const NameList& locus_names, const IMatrix& non_missing, const FVector& pooled,
                          const FMatrix& fragment, const FMatrix& P, const FMatrix& V);

}  // namespace bandscape
