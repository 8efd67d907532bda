// The state of one run as its steps fill it: what the run was given (console,
// command line, options, files, the run record), the one error log with the
// warnings it has seen, the data set, its frequencies and the values each
// analysis adds.  The steps (app/run_steps.hpp) take it in turn; each computes
// from what the earlier ones left, writes its classic output at once so the
// report, console and error.txt keep their order, and keeps what the results
// folder and the summary page need.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/console.hpp"
#include "app/driver.hpp"
#include "app/interrupt.hpp"
#include "core/message_log.hpp"
#include "core/run_files.hpp"
#include "core/run_warnings.hpp"
#include "amova/amova_analysis.hpp"
#include "freq/frequencies.hpp"
#include "input/coordinates_file.hpp"
#include "quality/data_quality.hpp"
#include "input/dataset.hpp"
#include "numeric/array.hpp"
#include "numeric/random.hpp"
#include "report/record/run_record.hpp"
#include "report/page/summary_page.hpp"
#include "report/page/summary_results.hpp"
#include "stats/binary_coefficients.hpp"
#include "stats/relatedness.hpp"
#include "stats/statistics_workspace.hpp"
#include "tree/run_trees.hpp"

namespace bandscape {

struct RunState {
  RunState(Console& console, const CommandLine& command_line, const SeedSource& seed_source, RunOptions& options,
           const RunFiles& files, RunRecord& record);
  RunState(const RunState&) = delete;
  RunState& operator=(const RunState&) = delete;

  // A warning that the classic files do not hold: on the console after
  // `console_prefix`, and in run.json and on the page under `from`.
  void warn(WarningSource from, const std::string& text, const char* console_prefix);
  // A classic table writer's status: -999 when the report could not be opened.
  void count_table(int status) {
    if (status == -999) ++missing_tables;
  }
  int populations() const { return data.populations; }
  int loci() const { return data.loci; }

  Console& console;
  const CommandLine& command_line;
  const SeedSource& seed_source;
  RunOptions& options;
  const RunFiles& files;
  RunRecord& record;
  const bool results;  // a results folder is written

  // error.txt; each message is kept with the part of the run that wrote it.
  WarningSource source = WarningSource::kData;
  std::vector<SourcedWarning> warnings;
  ErrorLogFile log;
  InterruptNote interrupt_note;

  // The data: the first pass, then the data set it gives.
  std::optional<DataScan> scan;
  Dataset data;
  // With replicates or locus filters: what the data quality steps measured
  // and left out (their table given up once the analysed data are read), the
  // samples and loci as read, and the counts of the file as read.
  struct Quality {
    DataQuality outcome;
    ScoreTable as_read;  // names only
    int file_populations = 0, loci = 0;
  };
  std::optional<Quality> quality;
  // Names as the results folder holds them: in full and valid UTF-8.
  NameList result_populations, result_loci;
  std::vector<std::string> population_list;  // result_populations from 0

  // Band summaries, frequencies, pooled frequencies and relatedness.
  int sizes_available = 0;
  FVector fragment_sizes;
  Frequencies frequencies;
  FVector pooled, similarity, similarity_variance;
  RelatednessTriangle relatedness;

  // The random stream, seeded once whether or not resampling was asked.
  RandomState random;
  long seed = 0;

  // The statistics chain (populations and loci from 1).
  std::optional<StatisticsWorkspace> stats;
  float fst = 0.0f;
  FMatrix results_nei, pairwise_fst;     // 1..r, as the results folder takes them
  std::optional<AmovaAnalysis> amova;    // with the results folder and r > 1
  std::optional<ChosenDistance> individual_distance;  // --individual-distance other than euclidean

  // Where the samples were taken (--coordinates), matched to the data's names.
  struct Places {
    CoordinateKind kind = CoordinateKind::geographic;
    std::vector<Location> populations, individuals;  // individuals: empty unless each was located
    bool population_means = false;
  };
  std::optional<Places> places;

  TreeBuilder trees;
  HtmlTable band_table;    // shown after the AMOVA table in summary.html
  ResultsSummary summary;  // the values summary.html shows
  int missing_tables = 0;
};

}  // namespace bandscape
