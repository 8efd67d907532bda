// The score table turned into the native data file's text, its regions into
// a subset selection, and the arrays of the classic passes into a table.
#include "input/score_table.hpp"

namespace bandscape {

NativeText as_native_text(const ScoreTable& table) {
  const int n = table.individual_count();
  const int m = table.locus_count();
  std::string first_line = format("%d\t%d", static_cast<int>(table.populations.size()), m);
  for (const std::string& locus : table.loci) first_line += "\t" + locus;
  first_line += "\n";
  std::vector<std::string> line_starts;
  line_starts.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    line_starts.push_back(table.populations[static_cast<std::size_t>(table.population_of[static_cast<std::size_t>(i)])] +
                          "\t" + table.individuals[static_cast<std::size_t>(i)]);
  }
  // NativeText keeps the scores marker by marker, as characters.
  ScannedScores markers;
  if (n > 0) {
    for (int u = 0; u < m; ++u) {
      std::uint8_t* row = markers.new_row(n);
      for (int i = 0; i < n; ++i) row[i] = static_cast<std::uint8_t>('0' + table.score(i, u));
    }
  }
  return NativeText(std::move(first_line), std::move(line_starts), std::move(markers));
}

SubsetSelection regions_as_subset(const ScoreTable& table) {
  SubsetSelection subset;
  const int r = static_cast<int>(table.populations.size());
  subset.listed_populations = r;
  subset.group_count = static_cast<int>(table.regions.size());
  subset.names = name_list(1, r);
  subset.groups = int_vector(1, r);
  subset.group_sizes = int_vector(1, subset.group_count);
  for (int k = 1; k <= r; ++k) {
    const std::size_t p = static_cast<std::size_t>(k - 1);
    subset.names[k] = table.populations[p].substr(0, kNameLength);
    subset.groups[k] = table.region_of[p] + 1;
    ++subset.group_sizes[subset.groups[k]];
  }
  return subset;
}

ScoreTable score_table_of(int r, int m, const ScoreMatrix& BandScores, const IVector& PopulationBounds,
                          const NameList& PopulationNames, const NameList& LocusNames,
                          const std::vector<std::string>& individual_names) {
  ScoreTable table;
  for (int j = 1; j <= m; ++j) table.loci.push_back(LocusNames[j]);
  const int n = PopulationBounds[r];
  table.scores.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(m));
  for (int k = 1; k <= r; ++k) {
    table.populations.push_back(PopulationNames[k]);
    for (int i = PopulationBounds[k - 1]; i < PopulationBounds[k]; ++i) {
      table.individuals.push_back(individual_names[static_cast<std::size_t>(i)]);
      table.population_of.push_back(k - 1);
      for (int j = 0; j < m; ++j) table.scores.push_back(BandScores[i][j]);
    }
  }
  return table;
}

}  // namespace bandscape
