// The AMOVA, principal coordinates and band-pattern tables of the results
// folder (--results), computed from the run's scores and distances:
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
//
// Nothing here touches the run's classic random stream or its classic files:
// the permutations draw from keyed streams of their own, seeded from the
// run's seed.  What cannot be computed is left out with a warning (a plain
// sentence, for the console and run.json) instead of ending the run.
#pragma once

#include <string>
#include <vector>

#include "numeric/array.hpp"
#include "report/summary_page.hpp"

namespace bandscape {

// The run's data as the driver holds it.
struct AmovaRunData {
  int r = 0;     // populations
  int m = 0;     // loci
  int ntot = 0;  // individuals
  const ScoreMatrix* band_scores = nullptr;        // (0..ntot-1, 0..m-1): 1, 0, 9 missing
  const IVector* population_bounds = nullptr;  // (0..r): population j (1-based) owns rows bounds[j-1]..bounds[j]-1
  const NameList* population_names = nullptr;  // 1..r
  const std::vector<std::string>* individual_names = nullptr;  // 0..ntot-1
  // Group 1..G of each population 1..r from the subset file; nullptr (or all
  // 0) without groups.
  const IVector* population_groups = nullptr;
  // The stored pairwise matrices (1..r, upper triangle a < b, 999 undefined).
  const FMatrix* nei = nullptr;
  const FMatrix* fst = nullptr;
};

// What run.json reports of the AMOVA.  NaN where not computed.
struct AmovaSummary {
  bool done = false;  // false: no AMOVA (undefined distances), see the warnings
  bool three_levels = false;
  int loci_used = 0;
  int permutations = 0;
  double phi_pt = 0.0, phi_pt_p = 0.0;
  double phi_pr = 0.0, phi_pr_p = 0.0;  // three levels
  double phi_rt = 0.0, phi_rt_p = 0.0;  // three levels
};

struct AmovaOutcome {
  AmovaSummary summary;
  std::vector<std::string> warnings;  // sentences without line breaks
  // For summary.html: the AMOVA table (when it was computed) and the figures
  // written, in the order of the files above.
  std::vector<HtmlTable> tables;
  std::vector<SummaryFigure> figures;
};

// The AMOVA files, pairwise PhiPT and every principal coordinates table into
// `folder`.  `permutations` for each test (0: none); `seed` the run's seed;
// `threads` as --threads (0: one per core).  Needs r >= 2.
AmovaOutcome write_amova_results(const std::string& folder, const AmovaRunData& data, int permutations, long seed,
                                 int threads);

// bands.tsv; returns the band summary for summary.html.  `fragment_frequencies`
// and `estimates` are (0..r-1, 0..m-1): the band frequencies and the chosen
// method's band-allele frequencies.
HtmlTable write_band_patterns(const std::string& folder, const AmovaRunData& data,
                              const FMatrix& fragment_frequencies, const FMatrix& estimates);

// A stored pairwise value as a distance for the ordination, by the report's
// cell rules: 999 undefined (NaN), a negative value counts as 0; with
// `reynolds` the value is an Fst turned into -ln(1 - Fst) (NaN for Fst >= 1).
double ordination_cell(float stored, bool reynolds);

}  // namespace bandscape
