// The run driver.  It owns every array that passes from one step to another,
// allocates each when the step that fills it comes, and calls the readers,
// estimators, statistics, resampling tests and writers in a fixed order, so the
// report always holds its tables in the same sequence:
//   header, band summaries, fragment sizes, correlation, Table 1, (r > 1:)
//   Tables 2 and 3, Table 4, distance blocks, bootstrap line, Table 5,
//   relatedness blocks, Table 6.
#include "app/driver.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/amova_step.hpp"
#include "app/dialogue.hpp"
#include "app/interrupt.hpp"
#include "app/run_description.hpp"
#include "bands/band_patterns.hpp"
#include "core/message_log.hpp"
#include "core/output_file.hpp"
#include "core/run_files.hpp"
#include "core/run_warnings.hpp"
#include "core/system_file.hpp"
#include "core/utf8_text.hpp"
#include "core/write_guard.hpp"
#include "freq/band_counts.hpp"
#include "freq/bayes_estimator.hpp"
#include "freq/frequency_method.hpp"
#include "freq/sqrt_estimator.hpp"
#include "input/dart_file.hpp"
#include "input/data_file.hpp"
#include "input/genalex_file.hpp"
#include "input/subset_file.hpp"
#include "numeric/array.hpp"
#include "numeric/random.hpp"
#include "report/amova_results.hpp"
#include "report/bootstrap_files.hpp"
#include "report/classic_tables.hpp"
#include "report/permutation_files.hpp"
#include "report/relatedness_report.hpp"
#include "report/results_tables.hpp"
#include "report/run_record.hpp"
#include "report/structure_export.hpp"
#include "report/summary_results.hpp"
#include "report/tree_results.hpp"
#include "resample/bootstrap.hpp"
#include "resample/permutation_test.hpp"
#include "stats/correlation.hpp"
#include "stats/distances.hpp"
#include "stats/diversity.hpp"
#include "stats/relatedness.hpp"
#include "stats/structure.hpp"
#include "stats/structure_statistics.hpp"
#include "tree/run_trees.hpp"

namespace bandscape {

namespace {

// The AMOVA's outcome for run.json, with the warnings of the AMOVA and of the ordinations.
RunRecord::Json amova_section(const AmovaAnalysis& analysis, const std::vector<std::string>& warnings) {
  RunRecord::Json section;
  const AmovaResult* result = analysis.result ? &*analysis.result : nullptr;
  const bool three_levels = result != nullptr && result->table.three_levels;
  section["done"] = result != nullptr;
  section["levels"] = three_levels ? 3 : 2;
  section["loci_used"] = analysis.loci_used;
  section["permutations"] = analysis.permutations;
  if (result != nullptr) {
    section["PhiPT"] = {{"value", result->phi_pt.observed}, {"p_value", result->phi_pt.p_value}};
    if (three_levels) {
      section["PhiPR"] = {{"value", result->phi_pr.observed}, {"p_value", result->phi_pr.p_value}};
      section["PhiRT"] = {{"value", result->phi_rt.observed}, {"p_value", result->phi_rt.p_value}};
    }
  }
  section["warnings"] = warnings;
  return section;
}

// The lines of the summary page's run details that only run.json knows.
std::vector<SummaryDetail> run_details(const RunRecord::Json& record) {
  std::vector<SummaryDetail> details;
  if (record.contains("start_time")) details.push_back({"Started", record["start_time"].get<std::string>()});
  if (record.contains("files") && record["files"]["data"].is_object()) {
    const RunRecord::Json& data = record["files"]["data"];
    if (data["sha256"].is_string()) details.push_back({"SHA-256 of the data file", data["sha256"].get<std::string>()});
  }
  return details;
}

// Every permuted value of a test is kept (for its quantiles, its table and
// its figure): about 12 bytes per Fst permutation (the values, their sorted
// copy, the figure's copy) and 48 per AMOVA permutation (four statistics of
// a three-level design, in double precision).  A count whose values alone
// would take more than the machine's memory is refused before the run starts
// on it, naming the option.
void refuse_counts_beyond_memory(int permutations, int amova_permutations) {
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

// The run from the error log's truncation to the closing line; returns the
// exit status of a run that reaches its end.
int run_analysis(Console& console, const CommandLine& command_line, const SeedSource& seed_source,
                 RunOptions& options, const RunFiles& files, RunRecord& record) {
  const std::string& report = files.report;
  const std::string& input = options.input_file;

  // run.json first, "running" until the run ends: the folder was taken and
  // checked writable by the dialogue, before any other file was touched.
  const bool results = !files.results.empty();
  std::optional<InterruptRecord> interrupt_record;
  if (results) {
    record.set_folder(files.results);
    record.write_running();
    interrupt_record.emplace(files.results);
  }

  // Emptied once per run; failing to open it is noticed at its first append.
  // Each message is kept with the part of the run that wrote it.
  truncate_file(files.error_log, Links::kRefuse);
  WarningSource source = WarningSource::kData;
  std::vector<SourcedWarning> warnings;
  ErrorLogFile log(files.error_log, [&record, &source, &warnings](const std::string& text, int population) {
    if (record_log_text(record, text)) {
      warnings.push_back({source, text.substr(std::min(text.find_first_not_of('\n'), text.size())), population});
    }
  });
  InterruptNote interrupt_note(report, log.name());

  // Header line, subset file, first pass over the data lines.  The data file
  // is read once, line by line; the first pass keeps the band scores of the
  // processed individuals, one byte each, and the second takes them from
  // there.  A SilicoDArT file is first turned into the text of the equivalent
  // native file, and so is a GenAlEx sheet, whose regions (unless a subset
  // file is named) group its populations as a subset file's groups would.
  std::optional<ScoreTable> genalex;
  if (options.genalex) genalex = read_genalex_file(input, log);
  std::unique_ptr<TextLines> data_lines =
      genalex ? std::make_unique<TextLines>(input,
                                            [native = std::make_shared<NativeText>(as_native_text(*genalex))](
                                                std::vector<char>& text) { return native->next_line(text); })
      : options.populations_file.empty()
          ? std::make_unique<TextLines>(input)
          : std::make_unique<TextLines>(
                input, [native = std::make_shared<NativeText>(silicodart_as_native_text(input, options.populations_file,
                                                                                        log))](std::vector<char>& text) {
                  return native->next_line(text);
                });
  TextLines& data_text = *data_lines;
  int R = 0, m = 0;
  NameList locus_names;
  std::vector<std::string> full_locus_names;
  read_header_line(data_text, R, m, locus_names, log, results ? &full_locus_names : nullptr);

  SubsetSelection subset;
  int r = R;
  const bool use_subset = options.use_subset || (genalex && !genalex->regions.empty());
  if (options.use_subset) {
    read_subset_file(options.subset_file, subset, log);
  } else if (use_subset) {
    subset = regions_as_subset(*genalex);
  }
  genalex.reset();
  if (use_subset) r = subset.listed_populations;

  NameList population_names = name_list(1, r);
  // The arrays of the statistics chain; the counts of scored individuals per
  // population and locus are filled by the first pass.
  StatisticsWorkspace stats(r, m);
  IMatrix& non_missing = stats.N;
  IVector selected_index = int_vector(1, r);
  IVector population_groups = int_vector(1, r);
  IVector file_population_sizes = int_vector(1, R);
  int ntot = 0;
  DataLineFindings findings;
  ScannedScores scanned(results);
  scan_populations(data_text, R, r, use_subset, subset, m, population_names, non_missing, selected_index,
                   population_groups, file_population_sizes, ntot, findings, log, &scanned);
  data_lines.reset();
  const std::vector<std::string> full_population_names = scanned.take_population_names();
  echo_loaded_data(console, input, report, r, m, population_names);

  record.step("read");
  ask_options(console, command_line, options);
  record.step("options");
  refuse_counts_beyond_memory(options.permutations, results ? command_line.amova_permutations : 0);
  const int method = options.method;
  const float fis = options.fis;
  // Side files of an earlier run that this run is going to write again: removed
  // now, so that a run stopped half-way does not leave them looking current.
  if (r > 1 && options.permutations > 0) remove_stale_file(files.resample);
  if (r > 1 && options.bootstraps > 0) {
    for (const std::string& name : files.bootstrap) remove_stale_file(name);
  }
  TreeBuilder trees;

  // Report header.
  append_to_file(report, format("\nThe file %s has been read succesfully", input.c_str()));
  append_to_file(report, format("\nThe number of populations is : %i", r));
  append_to_file(report, format("\nThe number of loci is: %i", m));
  append_to_file_echo(report, "\nThe method of computation of allelic frequencies is:");
  append_to_file_echo(report, std::string("\n\t") + method_names(method).title);
  if (method != kFragmentFrequencies) {
    append_to_file(report, format("\n\twith a predefined value of Fis (0.0 if H&W assumed)= %5.3f", fis));
  }
  append_to_file_echo(report, format("\nThe number of permutations for test on Fst is: %i", options.permutations));
  append_to_file_echo(report, format("\nThe number of bootstraps for genetic distances is: %i", options.bootstraps));
  append_to_file_echo(report, format("\n\nTotal number of fragments recorded: %d", m));

  // Second pass: the band scores, then their STRUCTURE export.
  ScoreMatrix band_scores = score_matrix(0, ntot - 1, 0, m - 1);
  IVector population_bounds = int_vector(0, r);
  std::vector<std::string> individual_names;
  read_band_scores(scanned, r, use_subset, m, selected_index, file_population_sizes, ntot, band_scores,
                   population_bounds, log, results ? &individual_names : nullptr,
                   [&console](int percent) { console.print(format("\n%4d%% of the band scores read", percent)); });
  warn_about_data_lines(findings, input, R, m, log);
  // The STRUCTURE file is appended to, never emptied: a reused folder gives
  // STRUCTURE every earlier run's individuals too.  Said on the console and in
  // the results' warnings, not in error.txt, whose lines stay those of old.
  if (const long long earlier = structure_file_individuals(files.structure); earlier > 0) {
    const std::string warning =
        format("%s already holds %lld individuals of earlier runs; this run's %d are appended after them, and "
               "STRUCTURE reads them all",
               files.structure.c_str(), earlier, ntot);
    console.print("\nWARNING! " + warning);
    warnings.push_back({WarningSource::kData, warning, 0});
  }
  write_structure_file(files.structure, r, m, band_scores, population_bounds, log, [&console](int percent) {
    console.print(format("\n%4d%% of the STRUCTURE file written", percent));
  });
  selected_index = IVector();
  file_population_sizes = IVector();
  // The names as the results folder holds them: in full and valid UTF-8 (the
  // classic files keep the 20-character keys, in the bytes of the data file).
  NameList result_populations = name_list(1, r);
  NameList result_loci = name_list(1, m);
  if (results) {
    bool converted = false;
    for (int j = 1; j <= r; ++j) {
      const bool full = static_cast<std::size_t>(j) <= full_population_names.size();
      result_populations[j] = full ? utf8_text(full_population_names[static_cast<std::size_t>(j - 1)], converted)
                                   : utf8_text(population_names[j], converted, kNameLength);
    }
    for (int i = 1; i <= m; ++i) result_loci[i] = utf8_text(full_locus_names[static_cast<std::size_t>(i - 1)], converted);
    full_locus_names = std::vector<std::string>();
    for (std::string& name : individual_names) name = utf8_text(name, converted);
    if (converted) {
      log.append(format("\n\nWarning! names in file %s are not all UTF-8: read as Windows-1252 (Latin-1) and "
                        "written as UTF-8 in the results folder",
                        input.c_str()));
    }
  }
  if (results) write_individuals_table(files.results, individual_names, result_populations, r, population_bounds);
  record.step("read");
  source = WarningSource::kAnalysis;

  // Band summaries.
  IVector nbar = int_vector(1, r);
  IVector loci_with_data = int_vector(1, r);
  summarize_sample_sizes(r, m, non_missing, nbar, loci_with_data);
  float mean_fragments = 0.0f;
  mean_fragments_per_individual(r, band_scores, ntot, population_bounds, m, mean_fragments);
  append_to_file_echo(report, format("\nMean number of fragments per individual: %5.1f", mean_fragments));
  int segregating = 0;
  count_segregating_fragments(band_scores, ntot, m, segregating);
  append_to_file_echo(report, format("\nTotal number of segregating fragments : %d (%5.1f%%)", segregating,
                                     static_cast<double>(segregating) / m * 100.0));

  // Fragment sizes from the locus names.  The clone identifiers that name the
  // markers of a SilicoDArT report are numbers but not sizes: their mean and
  // their correlation with band frequency would mean nothing.
  int sizes_available = 0;
  FVector fragment_sizes = float_vector(1, m);
  if (options.populations_file.empty()) {
    locus_names_to_sizes(sizes_available, m, locus_names, fragment_sizes, log);
  } else {
    log.append(format("\n\nLocus names of file %s are DArT clone identifiers, not fragment sizes: the correlation "
                      "between fragment size and frequency is not performed",
                      input.c_str()));
  }
  if (sizes_available == 1) {
    float mean_size = 0.0f, sd_size = 0.0f;
    compute_mean_sd(fragment_sizes.begin(), static_cast<unsigned>(m), mean_size, sd_size);
    append_to_file_echo(report, format("\nMean fragment size : %10.2f (S.D. %10.2f)", mean_size, sd_size));
  }

  // Allele frequencies: fragment frequencies always, then the chosen estimator.
  console.print("\n\nStarting to compute allelic frequencies...");
  FMatrix fragment_frequencies = float_matrix(0, r - 1, 0, m - 1);
  IMatrix absent_counts = int_matrix(0, r - 1, 0, m - 1);
  FMatrix fragment_variances = float_matrix(0, r - 1, 0, m - 1);
  compute_freq_frag(r, band_scores, population_bounds, m, fragment_frequencies, non_missing, absent_counts,
                    fragment_variances, log);
  FMatrix estimates[5];
  FMatrix variances[5];
  for (int k = 2; k <= 4; ++k) {
    estimates[k] = float_matrix(0, r - 1, 0, m - 1);
    variances[k] = float_matrix(0, r - 1, 0, m - 1);
  }
  if (method == kSquareRoot) {
    compute_freq_allele_sqrt(r, m, fragment_frequencies, non_missing, fis, estimates[2], variances[2], log);
  } else if (method == kBayesUniform) {
    estimate_bayes_uniform_prior(r, m, absent_counts, fis, non_missing, estimates[3], variances[3], log);
  } else if (method == kBayesNonUniform) {
    DVector alpha = double_vector(0, r - 1);
    DVector beta = double_vector(0, r - 1);
    estimate_bayes_fitted_prior(r, m, absent_counts, fis, non_missing, alpha, beta, estimates[4], variances[4], log);
  }
  FMatrix P = float_matrix(0, r - 1, 0, m - 1);
  FMatrix V = float_matrix(0, r - 1, 0, m - 1);
  select_freq_estimates(r, m, method, fragment_frequencies, estimates[2], estimates[3], estimates[4], P);
  select_freq_estimates(r, m, method, fragment_variances, variances[2], variances[3], variances[4], V);
  console.print("\nFinished computing allelic frequencies");
  const std::vector<std::string> population_list(result_populations.begin(), result_populations.end());
  HtmlTable band_table;  // shown after the AMOVA table in summary.html
  if (results) {
    band_table = write_band_patterns(
        files.results, band_patterns(r, m, band_scores, population_bounds, fragment_frequencies, P), population_list);
  }
  record.step("frequencies");

  // Pooled band frequencies, their correlation with fragment size, relatedness.
  FVector pooled = float_vector(0, m - 1);
  FVector similarity = float_vector(0, m - 1);
  FVector similarity_variance = float_vector(0, m - 1);
  compute_overall_freq(band_scores, ntot, m, pooled, similarity, similarity_variance);
  if (sizes_available == 1) {
    float correlation = 0.0f, probability = 0.0f;
    const int usable = correlate_size_freq(fragment_sizes, pooled, m, correlation, probability, log);
    if (usable < 3) {
      append_to_file_echo(report,
                          "\nFragment sizes and frequencies available for fewer than 3 loci, thus correlation "
                          "between fragment sizes and frequencies not performed");
    } else {
      append_to_file_echo(report,
                          format("\nThe correlation between fragment sizes and frequencies is : %10.4f (P-value %10.5f)",
                                 correlation, probability));
    }
  } else {
    append_to_file_echo(report,
                        "\nFragment sizes not available, thus correlation between fragment sizes and frequencies "
                        "not performed");
  }
  // The relatedness between individuals, unless the run skips it; the pairs
  // of a large sample take long enough for progress lines on the console.
  RelatednessTriangle relatedness;
  if (!command_line.no_relatedness) {
    relatedness = RelatednessTriangle(ntot);
    compute_relatedness(band_scores, ntot, m, similarity, similarity_variance, relatedness, command_line.threads,
                        RelatednessKernel::automatic, [&console](int percent) {
                          console.print(percent == 0
                                            ? std::string("\n\nStarting to compute relatedness between individuals...")
                                            : format("\n%4d%% of the relatedness pairs done", percent));
                        });
  }
  record.step("relatedness");

  // The random stream: seeded once, whether or not resampling was asked.
  RandomState random;
  const long seed = seed_source();
  random.word = static_cast<std::int32_t>(-seed);
  log.append(format("\nseed:%ld", -seed));
  if (results) {
    describe_run(record, command_line, options, files, seed, RunCounts{R, r, m, ntot});
    record.write_running();
  }

  // Null-allele frequencies and their variances, populations 1..r, loci 1..m.
  FMatrix& q = stats.q;
  FMatrix& Vq = stats.Vq;
  for (int j = 1; j <= r; ++j) {
    for (int i = 1; i <= m; ++i) {
      q[j][i] = static_cast<float>(1.0 - static_cast<double>(P[j - 1][i - 1]));
      Vq[j][i] = V[j - 1][i - 1];
    }
  }

  // Tables that cannot be written because the report cannot be opened are
  // counted and named in the closing line.
  int missing_tables = 0;
  auto count_missing = [&missing_tables](int status) {
    if (status == -999) ++missing_tables;
  };

  // The values summary.html shows, collected as the run goes.
  ResultsSummary summary;

  // Table 1.
  IVector polymorphic = int_vector(1, r);
  FVector polymorphic_percent = float_vector(1, r);
  count_polymorphic_loci(r, m, non_missing, q, polymorphic, polymorphic_percent);
  compute_within_population_diversity(r, m, stats, log);
  const FVector& Hj = stats.Hj;
  const FVector& VarHj = stats.VarHj;
  count_missing(write_population_table(report, r, population_names, nbar, loci_with_data, polymorphic,
                                      polymorphic_percent, Hj, VarHj, stats.VarIHj, stats.VarLHj));
  if (results) {
    const std::vector<double> mean_scored = mean_scored_per_locus(r, m, non_missing);
    summary.populations = population_rows(r, result_populations, mean_scored, loci_with_data, polymorphic,
                                          polymorphic_percent, Hj, VarHj, stats.VarIHj, stats.VarLHj);
    write_populations_table(files.results, r, result_populations, population_bounds, mean_scored, loci_with_data,
                            polymorphic, polymorphic_percent, Hj, VarHj, stats.VarIHj, stats.VarLHj);
  }

  if (r > 1) {
    const StructureStatistics structure = compute_structure_statistics(r, m, stats, log);
    const float Fst = structure.Fst;
    count_missing(write_within_diversity_table(report, r, structure.Hw, structure.VarHw, structure.VarIHw,
                                               structure.VarLHw, structure.VarPHw));
    count_missing(write_structure_table(report, r, structure.Ht, structure.Hw, structure.Hb, Fst, structure.VarHw,
                                        structure.VarHb, structure.VarFst));
    const IMatrix& nPair = stats.nPair;
    // Beyond the report, Tables 2 and 3 without the 999 marks and what derives from them.
    const StructureStatistics defined = defined_statistics(structure, r, VarHj, stats.nPair);
    summary.within = WithinDiversity{r, defined.Hw, defined.VarHw, defined.VarIHw, defined.VarLHw, defined.VarPHw};
    summary.structure = PopulationStructure{r, defined.Ht, defined.Hw, defined.Hb, defined.Fst, defined.VarHw,
                                            defined.VarHb, defined.VarFst};
    if (results) {
      write_diversity_table(files.results,
                            DiversityValues{r, defined.Hw, defined.VarHw, defined.VarIHw, defined.VarLHw,
                                            defined.VarPHw, defined.Ht, defined.Hb, defined.VarHb, defined.Fst,
                                            defined.VarFst});
    }
    record.step("statistics");

    if (options.permutations > 0) {
      console.print("\n\nStarting permutations for test on Fst...");
      source = WarningSource::kPermutations;
      const PermutationResult permutations =
          permutation_test_fst(options.permutations, method, r, m, ntot, band_scores, population_bounds, fis, Fst,
                               random, log, command_line.threads);
      source = WarningSource::kAnalysis;
      write_permutation_files(files, options.permutations, permutations, log);
      summary.permutation = FstPermutations{Fst, permutations.permuted, permutations.summary};
      const ResampleSummary& s = permutations.summary;
      if (results) {
        write_permutation_tables(files.results, Fst, permutations.permuted, s.lower95, s.upper95, s.lower99,
                                 s.upper99, s.p_low, s.p_high, permutation_p(s.at_least, s.permutations));
      }
      record.step("permutations");
    }

    FMatrix Nei = float_matrix(1, r, 1, r), FstPair = float_matrix(1, r, 1, r);
    compute_distances(r, nPair, Hj, VarHj, stats.D, stats.VarD, stats.HbPair, Nei, FstPair);
    for (const std::string& warning : phylip_label_warnings(population_names, r)) log.echo(warning);
    count_missing(write_distance_matrices(report, population_names, r, Nei, FstPair));
    if (results) {
      // The folder's Nei distances leave out those corrected with a 999 mark.
      const FMatrix results_nei = nei_without_marked_corrections(r, nPair, VarHj, stats.VarD, Nei);
      write_distances_table(files.results, result_populations, r, results_nei, FstPair, nPair);
      trees.observe_populations(population_list, results_nei, FstPair);
      console.print("\n\nStarting AMOVA and principal coordinates...");
      AmovaData amova_data{&band_scores, ntot, m, {}, {}, &individual_names};
      AmovaLabels labels{&population_list, &individual_names, {}, {}};
      for (int j = 1; j <= r; ++j) {
        amova_data.population_sizes.push_back(population_bounds[j] - population_bounds[j - 1]);
        labels.population_of.insert(labels.population_of.end(), amova_data.population_sizes.back(), j - 1);
        if (use_subset) {
          amova_data.subset_groups.push_back(population_groups[j]);
          labels.subset_groups.push_back(population_groups[j] - 1);
        }
      }
      const AmovaStep amova = amova_step(files.results, amova_data, labels, results_nei, FstPair,
                                         command_line.amova_permutations, seed, command_line.threads);
      for (const std::string& warning : amova.warnings) {
        console.print("\nWARNING! " + warning);
        warnings.push_back({WarningSource::kAmova, warning, 0});
      }
      record.add_section("amova", amova_section(amova.analysis, amova.warnings));
      summary.more_tables = amova.page.tables;
      summary.more_figures = amova.page.figures;
    }
    record.step("distances");

    if (options.bootstraps > 0) {
      console.print("\n\nStarting bootstraps for genetic distances...");
      BootstrapFiles bootstrap_files(files, population_names, r, log);
      // bootstrap_distances.tsv and the bootstrap trees take each replicate as it is committed.
      std::optional<BootstrapDistancesTable> table;
      if (results) table.emplace(files.results, result_populations, r);
      const BootstrapSink tree_sink = trees.bootstrap_sink();
      source = WarningSource::kBootstraps;
      // The classic files take the replicates as computed, the results folder
      // without the Nei distances corrected with a 999 mark.
      BootstrapSink results_sink;
      if (results) {
        results_sink = [&](int b, const FMatrix& nei, const FMatrix& fst) {
          if (table) table->add(b + 1, nei, fst);
          if (tree_sink) tree_sink(b, nei, fst);
        };
      }
      bootstrap_distance(options.bootstraps, r, m, non_missing, P, V, random, log, command_line.threads,
                         [&](int, const FMatrix& nei, const FMatrix& fst) { bootstrap_files.add(nei, fst); },
                         results_sink);
      source = WarningSource::kAnalysis;
      if (table) table->close();
      record.step("bootstraps");
      append_to_file_echo(report,
                          format("\n\n%d bootstrapped distance matrices written to files aflp_nei.txt aflp_fst.txt "
                                 "and aflp_reyn.txt",
                                 options.bootstraps));
    }
  }

  // Table 5, the relatedness blocks and Table 6.
  count_missing(write_frequency_table(report, r, m, population_names, locus_names, non_missing, pooled,
                                     fragment_frequencies, P, V, [&console](int percent) {
                                       console.print(format("\n%4d%% of Table 5 written", percent));
                                     }));
  if (command_line.no_relatedness) {
    append_to_file(report, "\n\nRelatedness between individuals not computed (--no-relatedness)");
  } else {
    count_missing(write_relatedness_matrices(report, ntot, relatedness));
    count_missing(write_relatedness_table(report, ntot, relatedness, r, population_names, population_bounds));
  }
  record.step("writing");
  if (results) {
    write_frequencies_table(files.results, r, m, result_populations, result_loci, non_missing, fragment_frequencies,
                            P, V);
    if (!command_line.no_relatedness) {
      write_relatedness_pairs(files.results, relatedness, individual_names, result_populations, r, population_bounds);
    }
    record.step("results_tables");
    // Without relatedness the triangle is empty: no individuals' trees, no heat map.
    summary.population_names = population_list;
    summary.population_bounds.assign(population_bounds.begin(), population_bounds.end());
    const RunTrees run_trees = trees.finish(individual_names, relatedness);
    const std::vector<SummaryFigure> tree_figures =
        write_trees(files.results, run_trees, summary.population_names, summary.population_bounds);
    for (const std::string& warning : run_trees.warnings) {
      console.print("\n" + warning);
      warnings.push_back({WarningSource::kTrees, warning, 0});
    }
    record.add_section("trees", RunRecord::Json{{"warnings", run_trees.warnings}});
    record.step("trees");
    summary.more_tables.push_back(std::move(band_table));
    summary.more_figures.insert(summary.more_figures.end(), tree_figures.begin(), tree_figures.end());
  }
  {
    // One step for an interruption: either the note without the closing
    // text, or the closing text without the note.
    const WriteGuard closing;
    append_to_file(report, "\n\n ");
    interrupt_note.finish();
  }

  // Interactive runs end with status 1, as they always have.
  if (results) {
    const std::vector<WarningGroup> groups = group_warnings(warnings);
    record.add_section("warnings_by_source", warnings_by_source(groups, summary.population_names,
                                                                options.permutations, options.bootstraps));
    record.write(missing_tables > 0 || !command_line.batch ? 1 : 0);
    // The figures and summary.html last, only by a run that is complete: the
    // page links to every file of the folder and shows the run's details
    // from run.json.
    summary.run = {input, report, method, fis, options.permutations, options.bootstraps, seed,
                   command_line.threads, r, m, ntot};
    summary.more_details = run_details(record.json());
    if (use_subset) {
      // A GenAlEx sheet's regions group its populations as a subset file would.
      const std::vector<SummaryDetail> subset_lines = subset_details(
          options.use_subset ? options.subset_file : "regions of " + input, summary.population_names,
          std::vector<int>(population_groups.begin(), population_groups.end()));
      summary.more_details.insert(summary.more_details.begin(), subset_lines.begin(), subset_lines.end());
    }
    summary.warnings = groups;
    summary.relatedness = command_line.no_relatedness ? nullptr : &relatedness;
    write_results_summary(files.results, summary);
    interrupt_record->finish();
  }
  if (missing_tables > 0) {
    console.print(format("\n\nThe program has finished, but %d tables could not be written to file %s\n",
                         missing_tables, report.c_str()));
    if (command_line.batch) return 1;
    console.print("Press Return to close the window.");
    console.wait_for_key();
    return 1;
  }
  if (command_line.batch) {
    console.print("\n\nThe program has finished normally.\n");
    return 0;
  }
  console.print("\n\nThe program has finished normally. Press Return to close the window.");
  console.wait_for_key();
  return 1;
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
