// The tidy tables of the results folder (--results): one file per kind of
// result, one observation per row, full names, every number as the program
// holds it.  Each writer creates its file anew and closes it before it returns.
#pragma once

#include <string>
#include <vector>

#include "numeric/array.hpp"
#include "stats/diversity_tables.hpp"
#include "report/tables/tsv.hpp"
#include "stats/relatedness.hpp"

namespace bandscape {

// `name` inside the results folder.
std::string results_file(const std::string& folder, const char* name);

// Every name a run may give a file of the results folder: a folder of an
// earlier run holds only these, and they are all removed when a new run takes
// the folder.
const std::vector<std::string>& results_file_names();

// Writes `text` as the file `name` of the results folder (a figure, a page).
void write_results_text(const std::string& folder, const char* name, const std::string& text);

// individuals.tsv: index (1-based, as in Table 6 and the STRUCTURE export), the
// individual's name from the data file, its population (population_of: from 0).
void write_individuals_table(const std::string& folder, const std::vector<std::string>& individual_names,
                             const std::vector<std::string>& population_names, const std::vector<int>& population_of);

// populations.tsv: Table 1 per population (names 1..r, rows[j - 1]) as
// numbers: population, individuals (rows of the data file), n (the exact mean
// number scored per locus with data; Table 1 prints it truncated), loci (with
// data), polymorphic_loci, plp (percent), Hj, se_Hj, VarHj, VarI_Hj,
// VarI_percent, VarL_Hj, VarL_percent; NA for what is undefined.
void write_populations_table(const std::string& folder, const NameList& names,
                             const std::vector<PopulationDiversity>& rows);

// diversity.tsv: rows statistic, value, variance: populations, Hw, VarI_Hw,
// VarL_Hw, VarP_Hw (the components of Var(Hw) as values), Ht, Hb, Fst; NA for
// what is undefined.
void write_diversity_table(const std::string& folder, const StructureTable& table);

// permutations.tsv: columns sample (observed or permuted), permutation (NA for
// the observed value, 1..n in the order drawn), fst; undefined Fst (999) is NA.
// permutation_summary.tsv: rows statistic, value: permutations, observed,
// lower_95, upper_95, lower_99, upper_99 (NA with fewer than 40 or 200
// permutations, where the report shows 0), p_low, p_high (as in Table 4: 0
// when no permuted value reaches the observed one), p_value ((G + 1) / (n + 1)
// of the G permuted values at least the observed Fst; never 0).
void write_permutation_tables(const std::string& folder, float observed_fst, const std::vector<float>& permuted,
                              float lower95, float upper95, float lower99, float upper99, float p_low,
                              float p_high, double p_value);

// distances.tsv: one row per pair a < b: population_a, population_b, nei, fst,
// reynolds, loci_shared (nPair of the pair).  Undefined distances are NA.
void write_distances_table(const std::string& folder, const NameList& names, int r, const FMatrix& Nei,
                           const FMatrix& Fst, const IMatrix& nPair);

// bootstrap_distances.tsv, streamed: opened before the bootstrap, one block of
// rows per replicate as it is committed: replicate (1..n), population_a,
// population_b, nei, fst, reynolds.
class BootstrapDistancesTable {
 public:
  BootstrapDistancesTable(const std::string& folder, const NameList& names, int r);
  void add(int replicate, const FMatrix& nei, const FMatrix& fst);
  void close() { tsv_.close(); }

 private:
  const NameList& names_;
  int r_;
  TsvFile tsv_;
};

// frequencies.tsv: Table 5 in long form, population after population, locus
// after locus: population, locus, n (individuals scored), fragment_frequency,
// allele_frequency (the chosen method's estimate of the frequency of the
// band-present allele), variance; NA for the
// frequencies of a locus without data in the population.
//   population_names 1..r, locus_names 1..m, non_missing int_matrix(1,r,1,m),
//   fragment, P, V float_matrix(0,r-1,0,m-1).
void write_frequencies_table(const std::string& folder, int r, int m, const NameList& population_names,
                             const NameList& locus_names, const IMatrix& non_missing, const FMatrix& fragment,
                             const FMatrix& P, const FMatrix& V);

// relatedness.tsv: one row per pair of individuals x < y, streamed from the
// triangle: index_a, individual_a, population_a, index_b, individual_b,
// population_b, r (NA without a usable locus).
void write_relatedness_pairs(const std::string& folder, const RelatednessTriangle& rel,
                             const std::vector<std::string>& individual_names, const NameList& population_names,
                             int r, const IVector& population_bounds);

}  // namespace bandscape
