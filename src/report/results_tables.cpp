#include "report/results_tables.hpp"

#include <filesystem>
#include <system_error>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_file.hpp"
#include "core/run_files.hpp"
#include "report/tsv.hpp"

namespace bandscape {

void create_results_folder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) throw OutputError(folder, format("\ncannot create folder %s: %s", folder.c_str(), ec.message().c_str()));
}

std::string results_file(const std::string& folder, const char* name) { return in_folder(folder, name); }

void write_results_text(const std::string& folder, const char* name, const std::string& text) {
  const std::string path = results_file(folder, name);
  OutputFile out;
  if (!out.open(path, OpenMode::kTruncate, Links::kFollow)) throw OutputError(path, "\ncannot open file " + path);
  out.write(text);
  out.close();
}

void write_individuals_table(const std::string& folder, const std::vector<std::string>& individual_names,
                             const NameList& population_names, int r, const IVector& population_bounds) {
  TsvFile tsv(results_file(folder, "individuals.tsv"), {"index", "individual", "population"});
  for (int j = 1; j <= r; ++j) {
    for (int k = population_bounds[j - 1]; k < population_bounds[j]; ++k) {
      tsv.integer(k + 1).text(individual_names[static_cast<std::size_t>(k)]).text(population_names[j]).end_row();
    }
  }
  tsv.close();
}

}  // namespace bandscape
