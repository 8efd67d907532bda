// The relatedness between individuals in the classic report: the Phylip
// blocks of relatedness and of the 1-r distance, and Table 6.  The blocks run
// to ntot^2 cells, so numbers are formatted by hand (identical to printf's
// output) into one large buffer.
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

// Writes v with `decimals` (0..9) digits after the point exactly as printf's
// "%.<decimals>f" does (correct rounding of the binary value, ties to even,
// sign kept on negative zero) and returns the number of characters.  `out`
// must hold at least kFixedTextMax characters.
inline constexpr int kFixedTextMax = 400;
int format_fixed(char* out, double v, int decimals);
// Writes v as printf's "%d" does; `out` must hold at least 12 characters.
int format_int(char* out, int v);

}  // namespace bandscape
