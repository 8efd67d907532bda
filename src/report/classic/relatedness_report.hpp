// The relatedness between individuals in the classic report: the Phylip
// blocks of relatedness and of the 1-r distance, and Table 6.  The blocks run
// to ntot^2 cells, so numbers are formatted by hand (core/fixed_format.hpp,
// identical to printf's output) into one large buffer.
#pragma once

#include <string>

#include "numeric/array.hpp"
#include "stats/relatedness.hpp"

namespace bandscape {

// Appends the Phylip blocks of relatedness and of the 1-r distance (full
// symmetric ntot x ntot matrices, rows labelled "ind1".."ind<ntot>") to the
// report.  Returns 0, or -999 when the report cannot be opened.
int write_relatedness_matrices(const std::string& report, int ntot, const RelatednessTriangle& rel);

// Appends Table 6: for every individual x and every other individual y, the
// line population of x, x + 1, population of y, y + 1, r_xy, 1 - r_xy.
// names: 1..r; bounds: int_vector(0,r).  Returns 0, or -999 when the report
// cannot be opened.
int write_relatedness_table(const std::string& report, int ntot, const RelatednessTriangle& rel, int r,
                            const NameList& names, const IVector& bounds);

}  // namespace bandscape
