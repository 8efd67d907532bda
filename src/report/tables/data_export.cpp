// The GenAlEx sheet and the tidy score table of a score table.
#include "report/tables/data_export.hpp"

#include <charconv>
#include <cmath>

#include "report/tables/tsv.hpp"

namespace bandscape {

namespace {

std::string csv_cell(const std::string& text) {
  // White space at either end would be trimmed by a reader: quoted too.
  const bool plain = text.find_first_of(",\"\r\n") == std::string::npos &&
                     (text.empty() || (text.front() != ' ' && text.back() != ' '));
  if (plain) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// The shortest text that reads back as the same double; empty for NaN.
std::string coordinate_text(double value) {
  if (!std::isfinite(value)) return "";
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

}  // namespace

std::string genalex_csv_text(const ScoreTable& table) {
  const int n = table.individual_count(), m = table.locus_count();
  const std::size_t k = table.populations.size();
  std::vector<int> sizes(k, 0);
  for (int p : table.population_of) ++sizes[static_cast<std::size_t>(p)];
  std::string out = format("%d,%d,%zu", m, n, k);
  for (int size : sizes) out += format(",%d", size);
  if (!table.regions.empty()) {
    std::vector<int> region_sizes(table.regions.size(), 0);
    for (std::size_t p = 0; p < k; ++p) region_sizes[static_cast<std::size_t>(table.region_of[p])] += sizes[p];
    out += format(",,%zu", table.regions.size());
    for (int size : region_sizes) out += format(",%d", size);
  }
  out += "\n" + csv_cell(table.title) + ",,";
  for (const std::string& name : table.populations) out += "," + csv_cell(name);
  if (!table.regions.empty()) {
    out += ",";
    for (const std::string& name : table.regions) out += "," + csv_cell(name);
  }
  out += "\nSample,Pop";
  for (const std::string& locus : table.loci) out += "," + csv_cell(locus);
  const bool coordinates = !table.coordinates.empty();
  if (coordinates) out += ",,X,Y";
  out += "\n";
  for (int i = 0; i < n; ++i) {
    out += csv_cell(table.individuals[static_cast<std::size_t>(i)]) + "," +
           csv_cell(table.populations[static_cast<std::size_t>(table.population_of[static_cast<std::size_t>(i)])]);
    for (int u = 0; u < m; ++u) {
      const std::uint8_t score = table.score(i, u);
      out += score == 1 ? ",1" : score == 0 ? ",0" : ",-1";
    }
    if (coordinates) {
      const auto& [x, y] = table.coordinates[static_cast<std::size_t>(i)];
      out += ",," + coordinate_text(x) + "," + coordinate_text(y);
    }
    out += "\n";
  }
  return out;
}

std::string scores_tsv_text(const ScoreTable& table) {
  std::string out = "index\tindividual\tpopulation";
  for (const std::string& locus : table.loci) out += "\t" + tsv_text(locus);
  out += "\n";
  const int n = table.individual_count(), m = table.locus_count();
  for (int i = 0; i < n; ++i) {
    out += format("%d\t", i + 1) + tsv_text(table.individuals[static_cast<std::size_t>(i)]) + "\t" +
           tsv_text(table.populations[static_cast<std::size_t>(table.population_of[static_cast<std::size_t>(i)])]);
    for (int u = 0; u < m; ++u) {
      const std::uint8_t score = table.score(i, u);
      out += score == 1 ? "\t1" : score == 0 ? "\t0" : "\tNA";
    }
    out += "\n";
  }
  return out;
}

}  // namespace bandscape
