#include "app/run_description.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "freq/frequency_method.hpp"

namespace bandscape {

namespace {

// A single-precision option as the decimal number it was given as: the
// shortest decimal that reads back as the same float (0.1, not the double
// 0.10000000149011612 the float holds).
double as_given(float value) {
  for (int digits = 1; digits < 9; ++digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) return std::strtod(text, nullptr);
  }
  return value;
}

}  // namespace

void describe_run(RunRecord& record, const CommandLine& command_line, const RunOptions& options,
                  const RunFiles& files, long seed, const RunCounts& counts) {
  using Json = RunRecord::Json;
  record.add_section("command_line", Json(command_line.arguments));

  Json o;
  o["method"] = options.method;
  o["method_name"] = method_names(options.method).short_name;
  // The fragment-frequency method assumes fixed homozygosity: no Fis.
  o["fis"] = options.method == kFragmentFrequencies ? Json() : Json(as_given(options.fis));
  o["permutations"] = options.permutations;
  o["bootstraps"] = options.bootstraps;
  o["seed"] = seed;
  o["seed_given"] = command_line.seed.has_value();
  o["threads"] = command_line.threads;
  o["hardware_threads"] = std::thread::hardware_concurrency();
  o["batch"] = command_line.batch;
  o["erase"] = command_line.erase;
  o["format"] = options.genalex ? "genalex" : options.populations_file.empty() ? "aflp" : "silicodart";
  o["relatedness"] = !command_line.no_relatedness;
  record.add_section("options", std::move(o));

  Json f;
  f["data"] = RunRecord::file_entry(options.input_file);
  f["subset"] = options.use_subset ? RunRecord::file_entry(options.subset_file) : Json();
  // The populations file of a SilicoDArT report is an input as much as the report.
  f["populations"] = options.populations_file.empty() ? Json() : RunRecord::file_entry(options.populations_file);
  f["report"] = files.report;
  f["output_folder"] = files.folder;
  f["results_folder"] = files.results;
  record.add_section("files", std::move(f));

  Json c;
  c["populations_in_file"] = counts.populations_in_file;
  c["populations"] = counts.populations;
  c["loci"] = counts.loci;
  c["individuals"] = counts.individuals;
  record.add_section("counts", std::move(c));
}

RunRecord::Json warnings_by_source(const std::vector<WarningGroup>& groups,
                                   const std::vector<std::string>& population_names, int permutations,
                                   int bootstraps) {
  using Json = RunRecord::Json;
  Json section = Json::object();
  for (const WarningGroup& g : groups) {
    Json messages = Json::array();
    for (const WarningCount& w : g.messages) {
      Json entry;
      entry["message"] = w.text;
      const bool named = w.population >= 1 && static_cast<std::size_t>(w.population) <= population_names.size();
      entry["population"] = w.population >= 1 ? Json(w.population) : Json();
      entry["population_name"] = named ? Json(population_names[static_cast<std::size_t>(w.population - 1)]) : Json();
      entry["times"] = w.times;
      messages.push_back(std::move(entry));
    }
    Json replicates;  // null but for the resampled data sets
    if (g.source == WarningSource::kPermutations) replicates = permutations;
    if (g.source == WarningSource::kBootstraps) replicates = bootstraps;
    section[warning_source_key(g.source)] = {{"replicates", std::move(replicates)}, {"messages", std::move(messages)}};
  }
  return section;
}

// The AMOVA's outcome for run.json, with the warnings of the AMOVA and of the ordinations.
RunRecord::Json amova_record(const AmovaAnalysis& analysis, const std::vector<std::string>& warnings) {
  RunRecord::Json section;
  const AmovaResult* result = analysis.result ? &*analysis.result : nullptr;
  const bool three_levels = result != nullptr && result->table.three_levels;
  section["done"] = result != nullptr;
  section["levels"] = three_levels ? 3 : 2;
  section["loci_used"] = analysis.loci_used;
  section["loci"] = analysis.loci;
  section["max_missing"] = analysis.missing_millionths / 1e6;
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

}  // namespace bandscape
