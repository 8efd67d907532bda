// The figures of Tables 1 to 4 and of relatedness, and summary.html, written
// into the results folder at the end of a run.  The driver collects the values
// into a ResultsSummary while the run goes on and hands it over once, after
// every other file of the folder is written (the page links to the files it
// finds there).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/run_warnings.hpp"
#include "report/page/summary_page.hpp"
#include "numeric/resample_summary.hpp"
#include "stats/relatedness.hpp"

namespace bandscape {

// The relatedness heat map is drawn for at most this many individuals; above,
// its cells would be smaller than a screen pixel.
inline constexpr int kMaxRelatednessFigureIndividuals = 500;

// What the run was asked to do and what it read.
struct RunDescription {
  std::string data_file;
  std::string report_file;
  int method = 1;  // 1..4, freq/frequency_method.hpp
  float fis = 0.0f;
  int permutations = 0;
  int bootstraps = 0;
  long seed = 0;
  int threads = 1;  // 0: one per core
  int populations = 0;
  int loci = 0;
  int individuals = 0;
};

// The permutation test of Fst: the observed value, the permuted values (in
// any order) and Table 4's summary of them.
struct FstPermutations {
  float observed = 0.0f;
  std::vector<float> permuted;
  ResampleSummary summary;
};

// The run's details in the order the page lists them.
std::vector<SummaryDetail> run_details(const RunDescription& run);

// The details of a subset file: its name and, when it puts the populations
// in groups, which populations form each ("1: PopA, PopB; 2: PopC").
// names: the analysed populations, population 1 first; groups: their group
// numbers 1..G in the same order (empty or all 0: no groups).
std::vector<SummaryDetail> subset_details(const std::string& subset_file, const std::vector<std::string>& names,
                                          const std::vector<int>& groups);

struct ResultsSummary {
  RunDescription run;
  // Further details (start and end time, the data file's digest, ...), listed
  // after those of `run`.
  std::vector<SummaryDetail> more_details;
  // Shown under the details, by where they arose; populations named from
  // population_names.
  std::vector<WarningGroup> warnings;
  std::vector<std::string> population_names;  // r names, population 0 first
  std::vector<int> population_bounds;         // r + 1: population p holds individuals bounds[p] .. bounds[p+1]-1
  std::vector<PopulationDiversity> populations;  // Table 1, names from population_names
  std::optional<StructureTable> structure;       // Tables 2 and 3 (r > 1)
  // Table 4 and permutation_fst.svg (when permutations ran).
  std::optional<FstPermutations> permutation;
  // relatedness.svg, up to kMaxRelatednessFigureIndividuals individuals.
  const RelatednessTriangle* relatedness = nullptr;
  // Tables and figures made elsewhere, shown after those above: AMOVA, band
  // patterns, trees, principal coordinates, ...
  std::vector<HtmlTable> more_tables;
  std::vector<SummaryFigure> more_figures;
  // Sections of their own after the tables and figures (genetic structure in space, ...).
  std::vector<PageSection> sections;
};

// The page's lists of warnings: one per group, headed by where the messages
// arose (with the number of permutations or bootstrap replicates); each
// message once, the population it is about named after its number, with the
// number of replicates that wrote it ("in 252 of 999 permutations") or the
// times it was written.  population_names: r names, population 1 first.
std::vector<WarningList> warning_lists(const std::vector<WarningGroup>& groups,
                                       const std::vector<std::string>& population_names, int permutations,
                                       int bootstraps);

// The summary page of a run as summary_html gets it.  `files`: the names of
// the files of the results folder, linked in the order given, each described
// after its name or kind.
SummaryPage results_summary_page(const ResultsSummary& summary, const std::vector<SummaryFigure>& figures,
                                 const std::vector<std::string>& files);

// Writes permutation_fst.svg and relatedness.svg when their values are there,
// then summary.html with links to the tables (.tsv), trees (.nwk), figures
// (.svg) and run record (.json) of the folder, in the order of their names.
void write_results_summary(const std::string& folder, const ResultsSummary& summary);

}  // namespace bandscape
