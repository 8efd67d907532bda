#include "app/run_description.hpp"

#include <cstdio>
#include <thread>

namespace bandscape {

namespace {

const char* method_name(int method) {
  switch (method) {
    case kFragmentFrequencies: return "fragment frequencies";
    case kSquareRoot: return "square root";
    case kBayesUniform: return "Bayesian, uniform prior";
    default: return "Bayesian, non-uniform prior";
  }
}

}  // namespace

void describe_run(RunRecord& record, const CommandLine& command_line, const RunOptions& options,
                  const RunFiles& files, long seed, const RunCounts& counts) {
  using Json = RunRecord::Json;
  record.add_section("command_line", Json(command_line.arguments));

  Json o;
  o["method"] = options.method;
  o["method_name"] = method_name(options.method);
  // The fragment-frequency method assumes fixed homozygosity: no Fis.
  o["fis"] = options.method == kFragmentFrequencies ? Json() : Json(static_cast<double>(options.fis));
  o["permutations"] = options.permutations;
  o["bootstraps"] = options.bootstraps;
  o["seed"] = seed;
  o["seed_given"] = command_line.seed.has_value();
  o["threads"] = command_line.threads;
  o["hardware_threads"] = std::thread::hardware_concurrency();
  o["batch"] = command_line.batch;
  o["erase"] = command_line.erase;
  o["format"] = options.populations_file.empty() ? "aflp" : "silicodart";
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

void record_log_text(RunRecord& record, const std::string& text) {
  int done = 0, total = 0, end = 0;
  char kind[16];
  if (std::sscanf(text.c_str(), "\n%d %15s done out of %d%n", &done, kind, &total, &end) == 3 &&
      static_cast<std::size_t>(end) == text.size()) {
    return;
  }
  long seed = 0;
  if (std::sscanf(text.c_str(), "\nseed:%ld%n", &seed, &end) == 1 && static_cast<std::size_t>(end) == text.size()) {
    return;
  }
  record.add_warning(text);
}

}  // namespace bandscape
