// The steps that end a run: the results folder's last tables and its trees,
// the report's closing line, run.json and the summary page, the closing line
// on the console.
#include <string>
#include <vector>

#include "app/run_description.hpp"
#include "app/run_steps.hpp"
#include "core/output_file.hpp"
#include "core/write_guard.hpp"
#include "report/classic/relatedness_report.hpp"
#include "report/tables/results_tables.hpp"
#include "report/tables/tree_results.hpp"

namespace bandscape {

void results_tables(RunState& run) {
  const Dataset& data = run.data;
  write_frequencies_table(run.files.results, data.populations, data.loci, run.result_populations, run.result_loci,
                          data.non_missing, run.frequencies.fragment_frequencies, run.frequencies.estimates,
                          run.frequencies.variances);
  if (!run.command_line.no_relatedness) {
    write_relatedness_pairs(run.files.results, run.relatedness, data.individual_names, run.result_populations,
                            data.populations, data.population_bounds);
  }
  run.record.step("results_tables");
}

// Without relatedness the triangle is empty: no individuals' trees, no heat map.
void build_trees(RunState& run) {
  ResultsSummary& summary = run.summary;
  summary.population_names = run.population_list;
  summary.population_bounds.assign(run.data.population_bounds.begin(), run.data.population_bounds.end());
  const RunTrees trees = run.trees.finish(run.data.individual_names, run.relatedness,
                                         run.individual_distance ? &*run.individual_distance : nullptr);
  const std::vector<SummaryFigure> figures =
      write_trees(run.files.results, trees, summary.population_names, run.data.population_of);
  for (const std::string& warning : trees.warnings) run.warn(WarningSource::kTrees, warning, "\n");
  run.record.add_section("trees", RunRecord::Json{{"warnings", trees.warnings}});
  run.record.step("trees");
  summary.more_tables.push_back(std::move(run.band_table));
  summary.more_figures.insert(summary.more_figures.end(), figures.begin(), figures.end());
}

// One step for an interruption: either the note without the closing text, or
// the closing text without the note.
void close_report(RunState& run) {
  const WriteGuard closing;
  append_to_file(run.files.report, "\n\n ");
  run.interrupt_note.finish();
}

// run.json complete, then the figures and summary.html, only by a run that is
// complete: the page links to every file of the folder and shows the run's
// details from run.json.  Interactive runs end with status 1, as they always have.
void write_run_record_and_page(RunState& run) {
  const RunOptions& options = run.options;
  const CommandLine& command_line = run.command_line;
  ResultsSummary& summary = run.summary;
  const std::vector<WarningGroup> groups = group_warnings(run.warnings);
  run.record.add_section("warnings_by_source", warnings_by_source(groups, summary.population_names,
                                                                  options.permutations, options.bootstraps));
  run.record.write(run.missing_tables > 0 || !command_line.batch ? 1 : 0);
  const Dataset& data = run.data;
  summary.run = {options.input_file, run.files.report, options.method, options.fis, options.permutations,
                 options.bootstraps, run.seed, command_line.threads, data.populations, data.loci, data.individuals};
  summary.more_details = run_details(run.record.json());
  if (data.use_subset) {
    // A GenAlEx sheet's regions group its populations as a subset file would.
    const std::vector<SummaryDetail> subset_lines = subset_details(
        options.use_subset ? options.subset_file : "regions of " + options.input_file, summary.population_names,
        std::vector<int>(data.population_groups.begin(), data.population_groups.end()));
    summary.more_details.insert(summary.more_details.begin(), subset_lines.begin(), subset_lines.end());
  }
  summary.warnings = groups;
  summary.relatedness = command_line.no_relatedness ? nullptr : &run.relatedness;
  write_results_summary(run.files.results, summary);
}

int finish_run(RunState& run) {
  Console& console = run.console;
  const bool batch = run.command_line.batch;
  if (run.missing_tables > 0) {
    console.print(format("\n\nThe program has finished, but %d tables could not be written to file %s\n",
                         run.missing_tables, run.files.report.c_str()));
    if (batch) return 1;
    console.print("Press Return to close the window.");
    console.wait_for_key();
    return 1;
  }
  if (batch) {
    console.print("\n\nThe program has finished normally.\n");
    return 0;
  }
  console.print("\n\nThe program has finished normally. Press Return to close the window.");
  console.wait_for_key();
  return 1;
}

}  // namespace bandscape
