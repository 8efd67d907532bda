// Square distance matrices in the Phylip layout, as the report and the
// bootstrap side files hold them: the count, then one row per population
// labelled with its name cut or padded to 10 characters, ten-character cells.
#pragma once

#include <string>

#include "numeric/array.hpp"

namespace bandscape {

// How an off-diagonal cell of a distance block is printed from its stored value.
enum class DistanceCell {
  kDistance,  // the value itself (Nei, Fst): 999 "undefined", negative 0.0000
  kReynolds,  // -ln(1 - Fst) from a stored Fst: "undefined" also for Fst >= 1
};

// Appends to `out` the ten-character field of one off-diagonal cell.
void append_distance_cell(std::string& out, float value, DistanceCell rule);

// Appends one full symmetric r x r block: `lead` then the count r ("%d"), then
// per row "\n" + the name cut or padded to 10 characters + r fields of 10
// (0.0000 on the diagonal, cell (i,j) read from the upper triangle).  The report
// uses lead "\n", the bootstrap side files "\n\n".
void append_phylip_block(std::string& out, const NameList& names, int r, const FMatrix& values, DistanceCell rule,
                         const char* lead = "\n");

}  // namespace bandscape
