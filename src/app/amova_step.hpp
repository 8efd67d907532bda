// The AMOVA step of a run with a results folder: the AMOVA and the pairwise
// PhiPT, the ordinations of the individuals and of the populations (from the
// stored Nei and Fst matrices and from the pairwise PhiPT), and their files.
#pragma once

#include <string>
#include <vector>

#include "amova/amova_analysis.hpp"
#include "numeric/array.hpp"
#include "report/tables/amova_results.hpp"
#include "stats/binary_coefficients.hpp"

namespace bandscape {

struct AmovaStep {
  AmovaAnalysis analysis;
  std::vector<std::string> warnings;  // of the AMOVA, then of the ordinations
  AmovaPage page;
};

// nei, fst: the stored 1..r upper triangles; `permutations` for each test
// (0: none), `seed` the run's seed, `threads` as --threads.  With
// `individual_distance` the individuals' ordination is of its square roots
// rather than of the band differences.
AmovaStep amova_step(const std::string& folder, const AmovaData& data, const AmovaLabels& labels,
                     const FMatrix& nei, const FMatrix& fst, int permutations, long seed, int threads,
                     const ChosenDistance* individual_distance = nullptr);

}  // namespace bandscape
