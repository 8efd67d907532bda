// The values of Tables 1 to 3 (gene diversity within populations and
// population structure after Lynch & Milligan 1994), each once, for the three
// writers that show them: the classic report, the results folder's TSV files
// and the summary page.  Each value holds the statistics twice: as the report
// prints them (the 999 mark of an undefined variance kept, with what the report
// derives from it: S.E. sqrt(999), shares of 999) and as numbers, NaN where a
// statistic is undefined.  The S.E. and the variance shares are computed here,
// once for each form, so that no writer derives a number.
#pragma once

#include <vector>

#include "numeric/array.hpp"
#include "stats/diversity.hpp"
#include "stats/statistics_workspace.hpp"
#include "stats/structure_statistics.hpp"

namespace bandscape {

// Table 1's row of one population.
struct PopulationDiversity {
  int individuals = 0;        // rows of the data file
  int nbar = 0;               // n as the report prints it: the mean number scored per locus, truncated
  double mean_scored = 0.0;   // the same mean, exact (NaN without a locus with data)
  int loci = 0;               // loci with data
  int polymorphic = 0;        // polymorphic loci
  float polymorphic_percent = 0.0f;  // as stored (0 without data)
  PopulationValues printed;   // Hj, S.E., Var(Hj), VarI(Hj), VarI%, VarL(Hj), VarL% as the report prints them
  PopulationValues defined;   // the same as numbers (population_values)
  double defined_polymorphic_percent = 0.0;  // NaN without a locus with data
};

// The rows of populations 1..r from the statistics chain `w` after
// compute_within_population_diversity (w.nbar, w.L, w.Hj, w.VarHj, w.VarIHj,
// w.VarLHj), with the polymorphic loci and their percentage (1..r), the exact
// mean numbers scored (mean_scored[j - 1]) and the populations' rows of the
// data (bounds[0..r]).
std::vector<PopulationDiversity> population_diversity(int r, const StatisticsWorkspace& w, const IVector& polymorphic,
                                                      const FVector& polymorphic_percent,
                                                      const std::vector<double>& mean_scored, const IVector& bounds);

// The standard errors and variance shares of Tables 2 and 3.
struct StructureShares {
  double se_Hw = 0.0, se_Hb = 0.0, se_Fst = 0.0;
  double VarI_percent = 0.0, VarL_percent = 0.0, VarP_percent = 0.0;  // of Var(Hw)
};

// Tables 2 and 3 over r populations.
struct StructureTable {
  int populations = 0;
  StructureStatistics printed;  // as the report prints them, 999 marks kept
  StructureShares printed_shares;  // S.E. 0 for a variance not above 0, shares 0 of a variance 0
  StructureStatistics defined;  // defined_statistics: NaN for what is undefined
  StructureShares defined_shares;  // S.E. 0 for a negative variance, NaN for an undefined one; shares NaN of 0
};

// From the statistics of compute_structure_statistics and the chain `w` they
// came from (w.VarHj, w.nPair tell which are undefined).
StructureTable structure_table(int r, const StructureStatistics& s, const StatisticsWorkspace& w);

}  // namespace bandscape
