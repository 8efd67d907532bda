// The run driver: the run as a list of steps over one run state
// (app/run_steps.hpp).  The steps come in a fixed order, so the report always
// holds its tables in the same sequence:
//   header, band summaries, fragment sizes, correlation, Table 1, (r > 1:)
//   Tables 2 and 3, Table 4, distance blocks, bootstrap line, Table 5,
//   relatedness blocks, Table 6;
// the results folder's files come with the step whose values they hold, then
// run.json and the summary page last.
#include "app/driver.hpp"

#include <algorithm>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <thread>

#include "app/dialogue.hpp"
#include "app/interrupt.hpp"
#include "app/run_steps.hpp"
#include "core/message_log.hpp"
#include "core/output_file.hpp"
#include "core/run_files.hpp"
#include "core/version.hpp"
#include "report/record/run_record.hpp"

namespace bandscape {

namespace {

// The run from the error log's truncation to the closing line; returns the
// exit status of a run that reaches its end.
int run_analysis(Console& console, const CommandLine& command_line, const SeedSource& seed_source,
                 RunOptions& options, const RunFiles& files, RunRecord& record) {
  // run.json first, "running" until the run ends: the folder was taken and
  // checked writable by the dialogue, before any other file was touched.
  std::optional<InterruptRecord> interrupt_record;
  if (!files.results.empty()) {
    record.set_folder(files.results);
    record.write_running();
    interrupt_record.emplace(files.results);
  }
  // Emptied once per run; failing to open it is noticed at its first append.
  truncate_file(files.error_log, Links::kRefuse);
  RunState run(console, command_line, seed_source, options, files, record);

  read_data(run);
  choose_options(run);
  write_report_header(run);
  read_scores(run);
  if (!options.coordinates_file.empty()) read_places(run);
  describe_bands(run);
  compute_frequencies(run);
  compare_individuals(run);
  seed_random_stream(run);
  if (run.results && command_line.individual_distance) individual_distance(run);
  diversity_table(run);
  if (run.populations() > 1) {
    structure_tables(run);
    if (options.permutations > 0) fst_permutations(run);
    population_distances(run);
    if (options.bootstraps > 0) distance_bootstraps(run);
  }
  final_tables(run);
  if (run.results) {
    results_tables(run);
    build_trees(run);
    spatial_structure(run);
    if (command_line.clusters) cluster_structure(run);
    if (command_line.export_data) export_data(run);
    if (run.quality) quality_results(run);
  }
  close_report(run);
  if (run.results) {
    write_run_record_and_page(run);
    interrupt_record->finish();
  }
  return finish_run(run);
}

// run.json after a fatal error, and no summary.html: the page is only a
// complete run's.  A failure to write it changes nothing more.
void record_failure(RunRecord& record, const char* message) noexcept {
  if (record.folder().empty()) return;
  try {
    std::error_code ignored;
    std::filesystem::remove(in_folder(record.folder(), "summary.html"), ignored);
    record.write(1, message);
  } catch (...) {
  }
}

}  // namespace

int run_bandscape(Console& console, const CommandLine& command_line, const SeedSource& seed_source) {
  console.print(std::string("\n") + kProgramVersion +
                " - a program for genetic diversity analysis with AFLP population data \n");

  RunRecord record("BANDSCAPE", kVersionNumber);
  // More worker threads than the machine can run only cost memory (each
  // holds a replicate's arrays); the results are the same for every count.
  CommandLine capped = command_line;
  const int most_threads = std::max(8, 4 * static_cast<int>(std::thread::hardware_concurrency()));
  if (capped.threads > most_threads) {
    console.print(format("\n%d worker threads asked (--threads); %d used, 4 times the hardware threads or at least 8",
                         capped.threads, most_threads));
    capped.threads = most_threads;
  }
  RunOptions options = command_line.options;
  ask_file_names(console, command_line, options);
  record.step("file_names");
  RunFiles files = run_files(command_line.outdir);
  files.report = options.output_file;
  if (!command_line.results.empty()) files.results = in_folder(files.folder, command_line.results);

  // A file that cannot be written and memory that cannot be had are reported
  // here, where the run's files are known.  A run that has its results folder
  // records how it ended there, as far as that can still be written.
  try {
    return run_analysis(console, capped, seed_source, options, files, record);
  } catch (const OutputError& error) {
    // The error log may be the very file that failed.
    report_last_failure(files.error_log.c_str(), error.what());
    record_failure(record, error.what());
    throw FatalError(error.what());
  } catch (const AllocationError& error) {
    try {
      append_to_file_echo(files.allocation_log, error.what(), Links::kRefuse);
    } catch (const OutputError& failure) {
      console.print(failure.what());
    }
    record_failure(record, error.what());
    throw FatalError(error.what());
  } catch (const std::bad_alloc&) {
    // Memory refused to a standard container (the arrays of the analyses
    // report their own failure above).
    const std::string message = format("\nout of memory after step %s of the run", record.last_step().c_str());
    report_last_failure(files.error_log.c_str(), message.c_str());
    record_failure(record, message.c_str());
    throw FatalError(message);
  } catch (const FatalError& error) {
    record_failure(record, error.what());
    throw;
  }
}

}  // namespace bandscape
