// The analysed band scores written back out, for other programs:
//   genalex.csv - the GenAlEx binary layout (read by this program's GenAlEx
//                 reader, by poppr's read.genalex and by GenAlEx): row 1 the
//                 numbers of loci, samples and populations and each
//                 population's size, then (with regions) an empty cell, the
//                 number of regions and their sizes in samples; row 2 the
//                 title, two empty cells, the population names (then an empty
//                 cell and the region names); row 3 "Sample", "Pop" and the
//                 locus names (then an empty cell, "X", "Y" with
//                 coordinates); one row per individual with its scores 1, 0
//                 and -1 for missing (then an empty cell and X, Y, empty when
//                 unknown).  Cells holding a comma, a quote or a line break
//                 are quoted, quotes doubled.
//   scores.tsv  - one row per individual: index (from 1), individual,
//                 population, then one column per locus, named by the locus,
//                 holding 1, 0 or NA (for adegenet::df2genind or pandas).
#pragma once

#include <string>

#include "input/score_table.hpp"

namespace bandscape {

std::string genalex_csv_text(const ScoreTable& table);
std::string scores_tsv_text(const ScoreTable& table);

}  // namespace bandscape
