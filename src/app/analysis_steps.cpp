// The steps of the classic analyses, in the order of the report: band
// summaries and fragment sizes, frequencies, pooled frequencies and
// relatedness, Table 1, Tables 2 and 3, the test on Fst, the distances (with
// the AMOVA and ordinations of the results folder), their bootstraps, and
// Tables 5 and 6.
#include <cmath>
#include <string>
#include <vector>

#include "app/amova_step.hpp"
#include "app/run_description.hpp"
#include "app/run_steps.hpp"
#include "bands/band_patterns.hpp"
#include "core/output_file.hpp"
#include "freq/band_counts.hpp"
#include "input/data_file.hpp"
#include "report/tables/amova_results.hpp"
#include "report/classic/bootstrap_files.hpp"
#include "report/classic/classic_tables.hpp"
#include "report/classic/permutation_files.hpp"
#include "report/classic/relatedness_report.hpp"
#include "report/tables/quality_tables.hpp"
#include "report/tables/results_tables.hpp"
#include "resample/bootstrap.hpp"
#include "resample/permutation_test.hpp"
#include "stats/binary_coefficients.hpp"
#include "stats/correlation.hpp"
#include "stats/distances.hpp"
#include "stats/diversity.hpp"
#include "stats/diversity_tables.hpp"
#include "stats/structure.hpp"
#include "stats/structure_statistics.hpp"

namespace bandscape {

void describe_bands(RunState& run) {
  const Dataset& data = run.data;
  const std::string& report = run.files.report;
  const int m = data.loci;
  float mean_fragments = 0.0f;
  mean_fragments_per_individual(data.populations, data.band_scores, data.individuals, data.population_bounds, m,
                                mean_fragments);
  append_to_file_echo(report, format("\nMean number of fragments per individual: %5.1f", mean_fragments));
  int segregating = 0;
  count_segregating_fragments(data.band_scores, data.individuals, m, segregating);
  append_to_file_echo(report, format("\nTotal number of segregating fragments : %d (%5.1f%%)", segregating,
                                     static_cast<double>(segregating) / m * 100.0));

  // Fragment sizes from the locus names.  The clone identifiers that name the
  // markers of a SilicoDArT report are numbers but not sizes: their mean and
  // their correlation with band frequency would mean nothing.
  run.fragment_sizes = float_vector(1, m);
  if (run.options.populations_file.empty()) {
    locus_names_to_sizes(run.sizes_available, m, data.locus_names, run.fragment_sizes, run.log);
  } else {
    run.log.append(format("\n\nLocus names of file %s are DArT clone identifiers, not fragment sizes: the "
                          "correlation between fragment size and frequency is not performed",
                          run.options.input_file.c_str()));
  }
  if (run.sizes_available == 1) {
    float mean_size = 0.0f, sd_size = 0.0f;
    compute_mean_sd(run.fragment_sizes.begin(), static_cast<unsigned>(m), mean_size, sd_size);
    append_to_file_echo(report, format("\nMean fragment size : %10.2f (S.D. %10.2f)", mean_size, sd_size));
  }
}

void compute_frequencies(RunState& run) {
  const Dataset& data = run.data;
  run.console.print("\n\nStarting to compute allelic frequencies...");
  run.frequencies = estimate_frequencies(run.options.method, run.options.fis, data.populations, data.loci,
                                         data.band_scores, data.population_bounds, data.non_missing, run.log);
  run.console.print("\nFinished computing allelic frequencies");
  if (run.results) {
    run.band_table = write_band_patterns(
        run.files.results,
        band_patterns(data.populations, data.loci, data.band_scores, data.population_bounds,
                      run.frequencies.fragment_frequencies, run.frequencies.estimates),
        run.population_list);
  }
  run.record.step("frequencies");
}

void compare_individuals(RunState& run) {
  const Dataset& data = run.data;
  const std::string& report = run.files.report;
  const int m = data.loci;
  run.pooled = float_vector(0, m - 1);
  run.similarity = float_vector(0, m - 1);
  run.similarity_variance = float_vector(0, m - 1);
  compute_overall_freq(data.band_scores, data.individuals, m, run.pooled, run.similarity, run.similarity_variance);
  if (run.sizes_available == 1) {
    float correlation = 0.0f, probability = 0.0f;
    const int usable = correlate_size_freq(run.fragment_sizes, run.pooled, m, correlation, probability, run.log);
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
  if (!run.command_line.no_relatedness) {
    Console& console = run.console;
    run.relatedness = RelatednessTriangle(data.individuals);
    compute_relatedness(data.band_scores, data.individuals, m, run.similarity, run.similarity_variance,
                        run.relatedness, run.command_line.threads, RelatednessKernel::automatic,
                        [&console](int percent) {
                          console.print(percent == 0
                                            ? std::string("\n\nStarting to compute relatedness between individuals...")
                                            : format("\n%4d%% of the relatedness pairs done", percent));
                        });
  }
  run.record.step("relatedness");
}

void seed_random_stream(RunState& run) {
  run.seed = run.seed_source();
  run.random.word = static_cast<std::int32_t>(-run.seed);
  run.log.append_note(format("\nseed:%ld", -run.seed));
  if (run.results) {
    const Dataset& data = run.data;
    describe_run(run.record, run.command_line, run.options, run.files, run.seed,
                 RunCounts{data.file_populations, data.populations, data.loci, data.individuals});
    run.record.write_running();
  }
}

// Table 1, after the null-allele frequencies (1 - P) and their variances
// are in the statistics chain (populations and loci from 1).
void diversity_table(RunState& run) {
  const Dataset& data = run.data;
  const int r = data.populations, m = data.loci;
  StatisticsWorkspace& stats = run.stats.emplace(r, m);
  for (int j = 1; j <= r; ++j) {
    for (int i = 1; i <= m; ++i) {
      stats.N[j][i] = data.non_missing[j][i];
      stats.q[j][i] = static_cast<float>(1.0 - static_cast<double>(run.frequencies.estimates[j - 1][i - 1]));
      stats.Vq[j][i] = run.frequencies.variances[j - 1][i - 1];
    }
  }
  IVector polymorphic = int_vector(1, r);
  FVector polymorphic_percent = float_vector(1, r);
  count_polymorphic_loci(r, m, data.non_missing, stats.q, polymorphic, polymorphic_percent);
  compute_within_population_diversity(r, m, stats, run.log);
  const std::vector<PopulationDiversity> rows =
      population_diversity(r, stats, polymorphic, polymorphic_percent, mean_scored_per_locus(r, m, data.non_missing),
                           data.population_bounds);
  run.count_table(write_population_table(run.files.report, data.population_names, rows));
  if (run.results) write_populations_table(run.files.results, run.result_populations, rows);
  run.summary.populations = rows;
}

void structure_tables(RunState& run) {
  const int r = run.populations(), m = run.loci();
  StatisticsWorkspace& stats = *run.stats;
  const StructureStatistics structure = compute_structure_statistics(r, m, stats, run.log);
  run.fst = structure.Fst;
  const StructureTable& table = run.summary.structure.emplace(structure_table(r, structure, stats));
  run.count_table(write_within_diversity_table(run.files.report, table));
  run.count_table(write_structure_table(run.files.report, table));
  if (run.results) write_diversity_table(run.files.results, table);
  run.record.step("statistics");
}

void fst_permutations(RunState& run) {
  const Dataset& data = run.data;
  const int permutations = run.options.permutations;
  run.console.print("\n\nStarting permutations for test on Fst...");
  run.source = WarningSource::kPermutations;
  const PermutationResult result =
      permutation_test_fst(permutations, run.options.method, data.populations, data.loci, data.individuals,
                           data.band_scores, data.population_bounds, run.options.fis, run.fst, run.random, run.log,
                           run.command_line.threads);
  run.source = WarningSource::kAnalysis;
  write_permutation_files(run.files, permutations, result, run.log);
  run.summary.permutation = FstPermutations{run.fst, result.permuted, result.summary};
  const ResampleSummary& s = result.summary;
  if (run.results) {
    write_permutation_tables(run.files.results, run.fst, result.permuted, s.lower95, s.upper95, s.lower99, s.upper99,
                             s.p_low, s.p_high, permutation_p(s.at_least, s.permutations));
  }
  run.record.step("permutations");
}

namespace {

// The AMOVA with pairwise PhiPT and the ordinations of the results folder:
// its files, its warnings and its part of run.json and the page.
void amova_and_ordinations(RunState& run, const FMatrix& nei, const FMatrix& fst) {
  const Dataset& data = run.data;
  run.console.print("\n\nStarting AMOVA and principal coordinates...");
  AmovaData amova_data{&data.band_scores, data.individuals, data.loci, {}, {}, &data.individual_names,
                       run.command_line.amova_missing_millionths};
  AmovaLabels labels{&run.population_list, &data.individual_names, data.population_of, {}};
  for (int j = 1; j <= data.populations; ++j) {
    amova_data.population_sizes.push_back(data.population_bounds[j] - data.population_bounds[j - 1]);
    if (data.use_subset) {
      amova_data.subset_groups.push_back(data.population_groups[j]);
      labels.subset_groups.push_back(data.population_groups[j] - 1);
    }
  }
  AmovaStep amova = amova_step(run.files.results, amova_data, labels, nei, fst,
                                     run.command_line.amova_permutations, run.seed, run.command_line.threads,
                                     run.individual_distance ? &*run.individual_distance : nullptr);
  for (const std::string& warning : amova.warnings) run.warn(WarningSource::kAmova, warning, "\nWARNING! ");
  run.record.add_section("amova", amova_record(amova.analysis, amova.warnings));
  run.summary.more_tables = amova.page.tables;
  run.summary.more_figures = amova.page.figures;
  if (!run.options.coordinates_file.empty()) run.amova = std::move(amova.analysis);
}

}  // namespace

// The chosen coefficient between every pair of individuals, for their
// ordination and trees, and its table.
void individual_distance(RunState& run) {
  const Dataset& data = run.data;
  const BinaryCoefficient coefficient = *run.command_line.individual_distance;
  ChosenDistance& chosen = run.individual_distance.emplace();
  chosen.coefficient = coefficient;
  chosen.distances =
      coefficient_distances(data.band_scores, data.individuals, data.loci, coefficient, run.command_line.threads);
  write_individual_distances(run.files.results, data.individual_names, chosen.distances);
  std::size_t undefined = 0;
  for (double d : chosen.distances.values()) undefined += std::isnan(d) ? 1 : 0;
  if (undefined > 0) {
    run.warn(WarningSource::kAnalysis,
             format("%zu pairs of individuals have no %s (no locus scored in both, or no band in either): NA in "
                    "individual_distances.tsv",
                    undefined, coefficient_title(coefficient)),
             "\nWARNING! ");
  }
  run.record.add_section("individual_distance", RunRecord::Json{{"coefficient", coefficient_key(coefficient)},
                                                                {"ordination", "square root of 1 - S"},
                                                                {"trees", "1 - S"},
                                                                {"undefined_pairs", undefined}});
  run.record.step("individual_distance");
}

void population_distances(RunState& run) {
  const int r = run.populations();
  StatisticsWorkspace& stats = *run.stats;
  FMatrix Nei = float_matrix(1, r, 1, r), FstPair = float_matrix(1, r, 1, r);
  compute_distances(r, stats.nPair, stats.Hj, stats.VarHj, stats.D, stats.VarD, stats.HbPair, Nei, FstPair);
  for (const std::string& warning : phylip_label_warnings(run.data.population_names, r)) run.log.echo(warning);
  run.count_table(write_distance_matrices(run.files.report, run.data.population_names, r, Nei, FstPair));
  if (run.results) {
    // The folder's Nei distances leave out those corrected with a 999 mark.
    run.results_nei = nei_without_marked_corrections(r, stats.nPair, stats.VarHj, stats.VarD, Nei);
    write_distances_table(run.files.results, run.result_populations, r, run.results_nei, FstPair, stats.nPair);
    run.trees.observe_populations(run.population_list, run.results_nei, FstPair);
    amova_and_ordinations(run, run.results_nei, FstPair);
    run.pairwise_fst = std::move(FstPair);
  }
  run.record.step("distances");
}

void distance_bootstraps(RunState& run) {
  const Dataset& data = run.data;
  const int r = data.populations, bootstraps = run.options.bootstraps;
  run.console.print("\n\nStarting bootstraps for genetic distances...");
  BootstrapFiles bootstrap_files(run.files, data.population_names, r, run.log);
  // bootstrap_distances.tsv and the bootstrap trees take each replicate as it is committed.
  std::optional<BootstrapDistancesTable> table;
  if (run.results) table.emplace(run.files.results, run.result_populations, r);
  const BootstrapSink tree_sink = run.trees.bootstrap_sink();
  run.source = WarningSource::kBootstraps;
  // The classic files take the replicates as computed, the results folder
  // without the Nei distances corrected with a 999 mark.
  BootstrapSink results_sink;
  if (run.results) {
    results_sink = [&](int b, const FMatrix& nei, const FMatrix& fst) {
      if (table) table->add(b + 1, nei, fst);
      if (tree_sink) tree_sink(b, nei, fst);
    };
  }
  bootstrap_distance(bootstraps, r, data.loci, data.non_missing, run.frequencies.estimates,
                     run.frequencies.variances, run.random, run.log, run.command_line.threads,
                     [&](int, const FMatrix& nei, const FMatrix& fst) { bootstrap_files.add(nei, fst); },
                     results_sink);
  run.source = WarningSource::kAnalysis;
  if (table) table->close();
  run.record.step("bootstraps");
  append_to_file_echo(run.files.report,
                      format("\n\n%d bootstrapped distance matrices written to files aflp_nei.txt aflp_fst.txt "
                             "and aflp_reyn.txt",
                             bootstraps));
}

void final_tables(RunState& run) {
  const Dataset& data = run.data;
  const std::string& report = run.files.report;
  Console& console = run.console;
  run.count_table(write_frequency_table(report, data.populations, data.loci, data.population_names,
                                        data.locus_names, data.non_missing, run.pooled,
                                        run.frequencies.fragment_frequencies, run.frequencies.estimates,
                                        run.frequencies.variances, [&console](int percent) {
                                          console.print(format("\n%4d%% of Table 5 written", percent));
                                        }));
  if (run.command_line.no_relatedness) {
    append_to_file(report, "\n\nRelatedness between individuals not computed (--no-relatedness)");
  } else {
    run.count_table(write_relatedness_matrices(report, data.individuals, run.relatedness));
    run.count_table(write_relatedness_table(report, data.individuals, run.relatedness, data.populations,
                                            data.population_names, data.population_bounds));
  }
  run.record.step("writing");
}

}  // namespace bandscape
