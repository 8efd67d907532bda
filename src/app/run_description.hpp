// What run.json says about the run: the command line, every option in effect,
// the input files with their size and SHA-256, the counts, the AMOVA's outcome
// and the warnings by where they arose.
#pragma once

#include "app/command_line.hpp"
#include "core/run_files.hpp"
#include "core/run_warnings.hpp"
#include "amova/amova_analysis.hpp"
#include "report/record/run_record.hpp"
#include "report/page/summary_page.hpp"

namespace bandscape {

struct RunCounts {
  int populations_in_file = 0;  // populations of the data file
  int populations = 0;          // populations analysed (the subset, when one is used)
  int loci = 0;
  int individuals = 0;  // individuals analysed
};

// Adds the sections "command_line", "options", "files" and "counts".
// `seed` is the seed the random stream was started from.
void describe_run(RunRecord& record, const CommandLine& command_line, const RunOptions& options,
                  const RunFiles& files, long seed, const RunCounts& counts);

// The section "warnings_by_source": one object per group of `groups` (keys
// "data", "analysis", "permutations", "bootstraps", "amova", "trees", "space", "clusters") with
// "replicates" (the permutations or bootstrap replicates run; null for the
// other groups) and "messages", each message once as {"message",
// "population" (its number, or null), "population_name" (or null), "times"};
// for the resampled data sets "times" is the number of replicates that wrote
// it.  population_names: population 1 first.
RunRecord::Json warnings_by_source(const std::vector<WarningGroup>& groups,
                                   const std::vector<std::string>& population_names, int permutations,
                                   int bootstraps);

// The AMOVA's part of run.json: whether it ran, its levels, loci and
// permutations, the Phi statistics with their P values, and `warnings` (of
// the AMOVA and of the ordinations).
RunRecord::Json amova_record(const AmovaAnalysis& analysis, const std::vector<std::string>& warnings);

// The lines of the summary page's run details that only run.json knows: the
// start time and the data file's SHA-256.
std::vector<SummaryDetail> run_details(const RunRecord::Json& record);

}  // namespace bandscape
