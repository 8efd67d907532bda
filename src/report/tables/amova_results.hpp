// The AMOVA, principal coordinates and band-pattern files of the results
// folder (--results), written from the run's analyses:
//
//   amova.tsv                  the AMOVA table, its Phi statistics with their
//                              permutation P values, coefficients, loci used
//   phipt_pairwise.tsv         PhiPT of every pair of populations with its P value
//   amova_permutations.tsv     the permuted values, one row per permutation
//   pcoa_individuals.tsv       principal coordinates of the individuals from the
//                              Euclidean distance sqrt(AMOVA distance)
//   pcoa_<m>.tsv               principal coordinates of the populations, m = nei,
//                              fst, reynolds, phipt
//   pcoa_<m>_eigenvalues.tsv   every eigenvalue of each ordination and its share
//   bands.tsv                  band patterns per population
//   pcoa_individuals.svg       axes 1 and 2 of the individuals, by population
//   pcoa_populations_<m>.svg   axes 1 and 2 of the populations, m as above
//   amova_phipt.svg            the permuted PhiPT against the observed one
//                              (when permutations ran)
#pragma once

#include <string>
#include <vector>

#include "amova/amova_analysis.hpp"
#include "bands/band_patterns.hpp"
#include "ordination/ordinations.hpp"
#include "report/page/summary_page.hpp"

namespace bandscape {

// The names the files and figures give the individuals and populations.
struct AmovaLabels {
  const std::vector<std::string>* populations = nullptr;  // 0..r-1
  const std::vector<std::string>* individuals = nullptr;  // 0..ntot-1
  std::vector<int> population_of;                          // 0-based population of each individual
  // The 0-based group of each population as the subset file numbers them
  // (the figure of a three-level analysis colours by these); empty without.
  std::vector<int> subset_groups;
};

// What summary.html shows of these files: the AMOVA table (when it was
// computed) and the figures written, in the order of the files above.
struct AmovaPage {
  std::vector<HtmlTable> tables;
  std::vector<SummaryFigure> figures;
};

// The AMOVA files (when the analysis was made), pairwise PhiPT and every
// ordination of `ordinations` into `folder`.
AmovaPage write_amova_results(const std::string& folder, const AmovaAnalysis& analysis,
                              const Ordinations& ordinations, const AmovaLabels& labels);

// bands.tsv; returns the band summary for summary.html.
HtmlTable write_band_patterns(const std::string& folder, const std::vector<BandPattern>& patterns,
                              const std::vector<std::string>& population_names);

}  // namespace bandscape
