#include "input/dataset.hpp"

#include <utility>

namespace bandscape {

DataHeader read_data_header(TextLines& data, MessageLog& log, bool keep_full_names) {
  DataHeader header;
  read_header_line(data, header.file_populations, header.loci, header.locus_names, log,
                   keep_full_names ? &header.full_locus_names : nullptr);
  return header;
}

DataScan scan_dataset(TextLines& data, DataHeader header, const SubsetSelection* subset, bool keep_names,
                      MessageLog& log) {
  const SubsetSelection none;
  DataScan scan{std::move(header), 0, 0, subset != nullptr, {}, {}, {}, {}, {}, {}, {}, ScannedScores(keep_names)};
  const int R = scan.header.file_populations;
  const int m = scan.header.loci;
  const int r = subset != nullptr ? subset->listed_populations : R;
  scan.populations = r;
  scan.population_names = name_list(1, r);
  scan.non_missing = int_matrix(1, r, 1, m);
  scan.selected_index = int_vector(1, r);
  scan.population_groups = int_vector(1, r);
  scan.file_population_sizes = int_vector(1, R);
  scan_populations(data, R, r, scan.use_subset, subset != nullptr ? *subset : none, m, scan.population_names,
                   scan.non_missing, scan.selected_index, scan.population_groups, scan.file_population_sizes,
                   scan.individuals, scan.findings, log, &scan.scanned);
  scan.full_population_names = scan.scanned.take_population_names();
  return scan;
}

Dataset read_dataset(DataScan&& scan, MessageLog& log, const ProgressReport& progress) {
  const int r = scan.populations;
  const int m = scan.header.loci;
  const int ntot = scan.individuals;
  Dataset data;
  data.file_populations = scan.header.file_populations;
  data.populations = r;
  data.loci = m;
  data.individuals = ntot;
  data.use_subset = scan.use_subset;
  data.band_scores = score_matrix(0, ntot - 1, 0, m - 1);
  data.population_bounds = int_vector(0, r);
  const bool keep_names = scan.scanned.keeps_names();
  read_band_scores(scan.scanned, r, scan.use_subset, m, scan.selected_index, scan.file_population_sizes, ntot,
                   data.band_scores, data.population_bounds, log, keep_names ? &data.individual_names : nullptr,
                   progress);
  data.population_of.reserve(static_cast<std::size_t>(ntot));
  for (int j = 1; j <= r; ++j) {
    data.population_of.insert(data.population_of.end(),
                              static_cast<std::size_t>(data.population_bounds[j] - data.population_bounds[j - 1]), j - 1);
  }
  data.locus_names = std::move(scan.header.locus_names);
  data.full_locus_names = std::move(scan.header.full_locus_names);
  data.population_names = std::move(scan.population_names);
  data.full_population_names = std::move(scan.full_population_names);
  data.population_groups = std::move(scan.population_groups);
  data.non_missing = std::move(scan.non_missing);
  data.findings = scan.findings;
  // The scan's index arrays are given up with it.
  scan = DataScan{};
  return data;
}

ScoreTable score_table_of(const Dataset& data) {
  ScoreTable table = score_table_of(data.populations, data.loci, data.band_scores, data.population_bounds,
                                    data.population_names, data.locus_names, data.individual_names);
  if (data.full_locus_names.size() == table.loci.size()) table.loci = data.full_locus_names;
  if (data.full_population_names.size() == table.populations.size()) table.populations = data.full_population_names;
  return table;
}

}  // namespace bandscape
