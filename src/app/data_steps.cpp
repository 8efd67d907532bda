// The steps that read the data: header line, subset file, the two passes over
// the data lines, the options asked between them and the report's header.
#include <memory>
#include <string>
#include <utility>

#include "app/dialogue.hpp"
#include "app/run_description.hpp"
#include "app/run_steps.hpp"
#include "core/output_file.hpp"
#include "core/system_file.hpp"
#include "core/utf8_text.hpp"
#include "freq/frequency_method.hpp"
#include "input/dart_file.hpp"
#include "input/genalex_file.hpp"
#include "input/subset_file.hpp"
#include "report/classic/classic_tables.hpp"
#include "report/tables/results_tables.hpp"
#include "report/classic/structure_export.hpp"

namespace bandscape {

RunState::RunState(Console& console_, const CommandLine& command_line_, const SeedSource& seed_source_,
                   RunOptions& options_, const RunFiles& files_, RunRecord& record_)
    : console(console_),
      command_line(command_line_),
      seed_source(seed_source_),
      options(options_),
      files(files_),
      record(record_),
      results(!files_.results.empty()),
      log(files_.error_log,
          [this](const std::string& text, int population) {
            record.add_warning(text);
            warnings.push_back({source, text.substr(std::min(text.find_first_not_of('\n'), text.size())), population});
          }),
      interrupt_note(files_.report, files_.error_log) {}

void RunState::warn(WarningSource from, const std::string& text, const char* console_prefix) {
  const std::string sentence = text.substr(std::min(text.find_first_not_of('\n'), text.size()));
  console.print(console_prefix + sentence);
  warnings.push_back({from, sentence, 0});
}

namespace {

// The data lines: the file itself, or the text of the equivalent native file
// that a SilicoDArT report (with its populations file) or a GenAlEx sheet
// gives.
std::unique_ptr<TextLines> data_lines(const RunOptions& options, const std::optional<ScoreTable>& genalex,
                                      MessageLog& log) {
  const std::string& input = options.input_file;
  const auto from = [&input](NativeText text) {
    return std::make_unique<TextLines>(input, [native = std::make_shared<NativeText>(std::move(text))](
                                                  std::vector<char>& line) { return native->next_line(line); });
  };
  if (genalex) return from(as_native_text(*genalex));
  if (options.populations_file.empty()) return std::make_unique<TextLines>(input);
  return from(silicodart_as_native_text(input, options.populations_file, log));
}

}  // namespace

// The data file is read once, line by line; the first pass keeps the band
// scores of the analysed individuals, one byte each, and the second takes
// them from there.  A GenAlEx sheet's regions (unless a subset file is named)
// group its populations as a subset file's groups would.
void read_data(RunState& run) {
  const RunOptions& options = run.options;
  std::optional<ScoreTable> genalex;
  if (options.genalex) genalex = read_genalex_file(options.input_file, run.log);
  std::unique_ptr<TextLines> lines = data_lines(options, genalex, run.log);
  DataHeader header = read_data_header(*lines, run.log, run.results);
  std::optional<SubsetSelection> subset;
  if (options.use_subset) {
    subset.emplace();
    read_subset_file(options.subset_file, *subset, run.log);
  } else if (genalex && !genalex->regions.empty()) {
    subset = regions_as_subset(*genalex);
  }
  genalex.reset();
  const bool quality = run.command_line.data_quality();
  run.scan = scan_dataset(*lines, std::move(header), subset ? &*subset : nullptr, run.results || quality, run.log);
  lines.reset();
  if (quality) assure_data_quality(run, subset ? &*subset : nullptr);
  echo_loaded_data(run.console, options.input_file, run.files.report, run.scan->populations, run.scan->header.loci,
                   run.scan->population_names);
  run.record.step("read");
}

// Every permuted value of a test is kept (for its quantiles, its table and
// its figure): about 12 bytes per Fst permutation (the values, their sorted
// copy, the figure's copy) and 48 per AMOVA permutation (four statistics of
// a three-level design, in double precision).  A count whose values alone
// would take more than the machine's memory is refused before the run starts
// on it, naming the option.
static void refuse_counts_beyond_memory(int permutations, int amova_permutations) {
  const unsigned long long memory = physical_memory_bytes();
  if (memory == 0) return;
  const auto refuse = [memory](const char* option, int count, double bytes_each) {
    const double bytes = bytes_each * count;
    if (bytes <= static_cast<double>(memory)) return;
    throw FatalError(format("\n%s %d would keep %.1f GB of permuted values, more than the %.1f GB of memory of this "
                            "machine",
                            option, count, bytes / 1e9, static_cast<double>(memory) / 1e9));
  };
  refuse("--permutations", permutations, 12.0);
  refuse("--amova-permutations", amova_permutations, 48.0);
}

void choose_options(RunState& run) {
  ask_options(run.console, run.command_line, run.options);
  run.record.step("options");
  const RunOptions& options = run.options;
  refuse_counts_beyond_memory(options.permutations, run.results ? run.command_line.amova_permutations : 0);
  // Side files of an earlier run that this run is going to write again: removed
  // now, so that a run stopped half-way does not leave them looking current.
  const int r = run.scan->populations;
  if (r > 1 && options.permutations > 0) remove_stale_file(run.files.resample);
  if (r > 1 && options.bootstraps > 0) {
    for (const std::string& name : run.files.bootstrap) remove_stale_file(name);
  }
}

void write_report_header(RunState& run) {
  const RunOptions& options = run.options;
  const std::string& report = run.files.report;
  const int m = run.scan->header.loci;
  append_to_file(report, format("\nThe file %s has been read succesfully", options.input_file.c_str()));
  append_to_file(report, format("\nThe number of populations is : %i", run.scan->populations));
  append_to_file(report, format("\nThe number of loci is: %i", m));
  append_to_file_echo(report, "\nThe method of computation of allelic frequencies is:");
  append_to_file_echo(report, std::string("\n\t") + method_names(options.method).title);
  if (options.method != kFragmentFrequencies) {
    append_to_file(report, format("\n\twith a predefined value of Fis (0.0 if H&W assumed)= %5.3f", options.fis));
  }
  append_to_file_echo(report, format("\nThe number of permutations for test on Fst is: %i", options.permutations));
  append_to_file_echo(report, format("\nThe number of bootstraps for genetic distances is: %i", options.bootstraps));
  append_to_file_echo(report, format("\n\nTotal number of fragments recorded: %d", m));
}

namespace {

// The names as the results folder holds them: in full and valid UTF-8 (the
// classic files keep the 20-character keys, in the bytes of the data file).
void results_names(RunState& run) {
  Dataset& data = run.data;
  const int r = data.populations, m = data.loci;
  run.result_populations = name_list(1, r);
  run.result_loci = name_list(1, m);
  if (!run.results) return;
  bool converted = false;
  for (int j = 1; j <= r; ++j) {
    const bool full = static_cast<std::size_t>(j) <= data.full_population_names.size();
    run.result_populations[j] = full ? utf8_text(data.full_population_names[static_cast<std::size_t>(j - 1)], converted)
                                     : utf8_text(data.population_names[j], converted, kNameLength);
  }
  for (int i = 1; i <= m; ++i) {
    run.result_loci[i] = utf8_text(data.full_locus_names[static_cast<std::size_t>(i - 1)], converted);
  }
  data.full_locus_names = std::vector<std::string>();
  for (std::string& name : data.individual_names) name = utf8_text(name, converted);
  if (converted) {
    run.log.append(format("\n\nWarning! names in file %s are not all UTF-8: read as Windows-1252 (Latin-1) and "
                          "written as UTF-8 in the results folder",
                          run.options.input_file.c_str()));
  }
}

}  // namespace

// The second pass: the band scores, then their STRUCTURE export.
void read_scores(RunState& run) {
  Console& console = run.console;
  run.data = read_dataset(std::move(*run.scan), run.log,
                          [&console](int percent) { console.print(format("\n%4d%% of the band scores read", percent)); });
  run.scan.reset();
  Dataset& data = run.data;
  // The data lines' warnings are those of the file as read.
  const int file_populations = run.quality ? run.quality->file_populations : data.file_populations;
  const int file_loci = run.quality ? run.quality->loci : data.loci;
  warn_about_data_lines(data.findings, run.options.input_file, file_populations, file_loci, run.log);
  // The STRUCTURE file is appended to, never emptied: a reused folder gives
  // STRUCTURE every earlier run's individuals too.  Said on the console and in
  // the results' warnings, not in error.txt, whose lines stay those of old.
  const std::string& structure = run.files.structure;
  if (const long long earlier = structure_file_individuals(structure); earlier > 0) {
    run.warn(WarningSource::kData,
             format("%s already holds %lld individuals of earlier runs; this run's %d are appended after them, and "
                    "STRUCTURE reads them all",
                    structure.c_str(), earlier, data.individuals),
             "\nWARNING! ");
  }
  write_structure_file(structure, data.populations, data.loci, data.band_scores, data.population_bounds, run.log,
                       [&console](int percent) { console.print(format("\n%4d%% of the STRUCTURE file written", percent)); });
  results_names(run);
  run.population_list.assign(run.result_populations.begin(), run.result_populations.end());
  if (run.results) {
    write_individuals_table(run.files.results, data.individual_names, run.population_list, data.population_of);
  }
  run.record.step("read");
  run.source = WarningSource::kAnalysis;
}

}  // namespace bandscape
