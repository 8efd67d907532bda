// The data quality steps of a run (--replicates, --min-scored,
// --band-frequency, --lm-rule, --max-locus-error): the data as read become a
// score table, the replicate samples are measured and merged, the loci
// filtered, and the first pass is made again over the text of what is left,
// so that every classic step describes the analysed data.  error.txt lists
// each locus left out with its reason; the results folder holds the error
// rates, and run.json and the page the counts.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "app/run_steps.hpp"
#include "core/format.hpp"
#include "input/dart_file.hpp"
#include "report/tables/data_export.hpp"
#include "report/tables/quality_tables.hpp"
#include "report/tables/results_tables.hpp"

namespace bandscape {

void assure_data_quality(RunState& run, const SubsetSelection* subset) {
  const CommandLine& cl = run.command_line;
  const DataLineFindings findings = run.scan->findings;
  RunState::Quality quality;
  quality.file_populations = run.scan->header.file_populations;
  quality.loci = run.scan->header.loci;
  ScoreTable table = score_table_of(read_dataset(std::move(*run.scan), run.log));
  run.scan.reset();
  QualitySettings settings;
  settings.merge = cl.replicate_merge;
  settings.filters = cl.locus_filters;
  if (cl.locus_filters.min_reproducibility) {
    settings.reproducibility = silicodart_reproducibility(run.options.input_file, run.log);
  }
  if (!run.options.replicates_file.empty()) {
    settings.replicates = read_replicates_file(run.options.replicates_file, table, run.log);
  }
  quality.as_read.individuals = table.individuals;
  quality.as_read.loci = table.loci;
  quality.outcome = assure_quality(std::move(table), settings);
  DataQuality& q = quality.outcome;
  for (const std::string& warning : q.warnings) run.log.append("\n\nWarning! " + warning);
  for (const LeftOutLocus& locus : q.selection.left_out) {
    run.log.append(format("\n\nlocus %s left out: %s", q.locus_names[static_cast<std::size_t>(locus.locus)].c_str(),
                          left_out_reason(locus).c_str()));
  }
  if (q.table.locus_count() == 0) fatal_error(run.log, "\nno locus is left after the locus filters");
  TextLines lines(run.options.input_file, [native = std::make_shared<NativeText>(as_native_text(q.table))](
                                              std::vector<char>& line) { return native->next_line(line); });
  q.table = ScoreTable();
  DataHeader header = read_data_header(lines, run.log, true);
  run.scan = scan_dataset(lines, std::move(header), subset, true, run.log);
  run.scan->findings = findings;
  run.quality = std::move(quality);
}

namespace {

// The page's table of the replicate error rates: overall, then the five loci
// of highest rate.
HtmlTable replicate_table(const RunState::Quality& quality) {
  const ReplicateErrors& e = *quality.outcome.errors;
  HtmlTable t;
  t.caption = "Scoring error rate from replicate samples (Bonin et al. 2004)";
  t.columns = {"", "Comparisons", "Mismatches", "Error rate"};
  const auto row = [&t](const std::string& what, const MismatchCount& c) {
    const double rate = c.error_rate();
    t.rows.push_back({what, format("%lld", c.comparisons), format("%lld", c.mismatches),
                      std::isfinite(rate) ? format("%.4f", rate) : "undefined"});
  };
  row(format("All %zu pairs of replicates", e.pairs.size()), e.overall);
  std::vector<std::size_t> order(e.loci.size());
  for (std::size_t u = 0; u < order.size(); ++u) order[u] = u;
  const auto rate = [&e](std::size_t u) {
    const double r = e.loci[u].error_rate();
    return std::isfinite(r) ? r : -1.0;
  };
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return rate(a) > rate(b); });
  for (std::size_t k = 0; k < order.size() && k < 5 && rate(order[k]) > 0.0; ++k) {
    row("Locus " + quality.as_read.loci[order[k]], e.loci[order[k]]);
  }
  t.note = "Comparisons: loci scored in both samples of a pair; the error rate is mismatches / comparisons. "
           "replicate_loci.tsv holds every locus.";
  return t;
}

const char* filter_name(LocusFilter f) {
  switch (f) {
    case LocusFilter::min_scored: return "--min-scored";
    case LocusFilter::band_frequency: return "--band-frequency";
    case LocusFilter::lm_rule: return "--lm-rule";
    case LocusFilter::reproducibility: return "--min-reproducibility";
    case LocusFilter::locus_error: return "--max-locus-error";
  }
  return "";
}

}  // namespace

void quality_results(RunState& run) {
  const RunState::Quality& quality = *run.quality;
  const DataQuality& q = quality.outcome;
  PageSection section;
  section.id = "quality";
  section.heading = "Data quality";
  RunRecord::Json record;
  if (q.errors) {
    write_results_text(run.files.results, "replicates.tsv", replicates_tsv_text(quality.as_read, *q.errors));
    write_results_text(run.files.results, "replicate_loci.tsv", replicate_loci_tsv_text(quality.as_read, *q.errors));
    section.tables.push_back(replicate_table(quality));
    const double rate = q.errors->overall.error_rate();
    record["replicates"] = {{"file", RunRecord::file_entry(run.options.replicates_file)},
                            {"pairs", q.errors->pairs.size()},
                            {"comparisons", q.errors->overall.comparisons},
                            {"mismatches", q.errors->overall.mismatches},
                            {"error_rate", std::isfinite(rate) ? RunRecord::Json(rate) : RunRecord::Json()},
                            {"merge", run.command_line.replicate_merge == ReplicateMerge::first ? "first" : "consensus"}};
  }
  std::map<std::string, int> by_filter;
  for (const LeftOutLocus& locus : q.selection.left_out) ++by_filter[filter_name(locus.reason)];
  HtmlTable left;
  left.caption = format("Loci left out before the analyses: %zu of %zu", q.selection.left_out.size(),
                        q.locus_names.size());
  left.columns = {"Filter", "Loci left out"};
  for (const auto& [filter, count] : by_filter) left.rows.push_back({filter, format("%d", count)});
  left.note = "error.txt names each locus left out with its reason.";
  section.tables.push_back(std::move(left));
  const LocusFilterSettings& f = run.command_line.locus_filters;
  const auto given = [](const std::optional<double>& x) { return x ? RunRecord::Json(*x) : RunRecord::Json(); };
  record["filters"] = {{"min_scored", given(f.min_scored)},
                       {"band_frequency", f.min_band_frequency
                                              ? RunRecord::Json::array({*f.min_band_frequency, *f.max_band_frequency})
                                              : RunRecord::Json()},
                       {"lm_rule", f.lm_rule},
                       {"min_reproducibility", given(f.min_reproducibility)},
                       {"max_locus_error", given(f.max_locus_error)}};
  record["loci_read"] = q.locus_names.size();
  record["loci_left_out"] = q.selection.left_out.size();
  record["loci_left_out_by_filter"] = by_filter;
  record["warnings"] = q.warnings;
  run.record.add_section("quality", std::move(record));
  run.summary.sections.insert(run.summary.sections.begin(), std::move(section));
}

}  // namespace bandscape

namespace bandscape {

// The analysed data as a table with the names of the results folder; the
// subset file's groups (or a GenAlEx sheet's regions) as regions, and the
// individuals' coordinates when each was located.
static ScoreTable analysed_table(const RunState& run) {
  const Dataset& data = run.data;
  ScoreTable table;
  table.title = run.options.input_file;
  table.loci.assign(run.result_loci.begin(), run.result_loci.end());
  table.populations = run.population_list;
  table.individuals = data.individual_names;
  table.population_of = data.population_of;
  table.scores.reserve(static_cast<std::size_t>(data.individuals) * static_cast<std::size_t>(data.loci));
  for (int i = 0; i < data.individuals; ++i) {
    table.scores.insert(table.scores.end(), data.band_scores[i], data.band_scores[i] + data.loci);
  }
  if (data.use_subset) {
    int groups = 0;
    for (int j = 1; j <= data.populations; ++j) {
      table.region_of.push_back(data.population_groups[j] - 1);
      groups = std::max(groups, data.population_groups[j]);
    }
    for (int g = 1; g <= groups; ++g) table.regions.push_back(format("%d", g));
  }
  if (run.places && !run.places->individuals.empty()) {
    for (const Location& at : run.places->individuals) table.coordinates.emplace_back(at.east, at.north);
  }
  return table;
}

void export_data(RunState& run) {
  const ScoreTable table = analysed_table(run);
  write_results_text(run.files.results, "genalex.csv", genalex_csv_text(table));
  write_results_text(run.files.results, "scores.tsv", scores_tsv_text(table));
  run.record.step("export");
}

}  // namespace bandscape
