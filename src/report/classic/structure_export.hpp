// Export of the band scores as input for Bayesian clustering of individuals
// (STRUCTURE's format for dominant markers): per individual a row of codes
// (1 band present, 2 band absent, -9 missing) and a second row all missing,
// each row led by the individual's and the population's numbers.
#pragma once

#include <string>

#include "core/message_log.hpp"
#include "core/progress.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// Appends the rows of the r populations (BandScores 0..ntot-1 x 0..m-1,
// PopulationBounds 0..r) to `file_name`; what the file held stays in front.
// Fatal when the file cannot be opened; a symbolic link of that name is
// refused and a failed write throws OutputError.  With `progress`, and more
// than kStructureProgressScores scores, the individuals written are reported
// in fiftieths (core/progress.hpp).
inline constexpr double kStructureProgressScores = 1.0e8;

// The individuals a STRUCTURE file written by earlier runs already holds (two
// rows each, every row begun by a line end); 0 when it is missing or empty.
// STRUCTURE reads the whole file, so a run appending to it should say so.
long long structure_file_individuals(const std::string& file_name);

void write_structure_file(const std::string& file_name, int r, int m, const ScoreMatrix& BandScores,
                          const IVector& PopulationBounds, MessageLog& log, const ProgressReport& progress = {});

}  // namespace bandscape
