// Score tables for the data quality tests: from native data files through
// the classic passes, or written as one string of scores per individual.
#pragma once

#include <string>
#include <vector>

#include "input/input_test_util.hpp"
#include "input/score_table.hpp"

namespace bandscape::testing {

inline ScoreTable load_table(const std::string& native_file) {
  RecordingLog log;
  Loaded d;
  load(d, native_file, "", log);
  return score_table_of(d.r, d.m, d.scores, d.bounds, d.populations, d.loci, d.individuals);
}

// One population "p"; individual k named "i<k>"; each row a string of 0, 1
// and 9 (missing), one character per locus; loci named "L1", "L2", ...
inline ScoreTable table_of(const std::vector<std::string>& rows) {
  ScoreTable table;
  table.populations = {"p"};
  const std::size_t m = rows.empty() ? 0 : rows[0].size();
  for (std::size_t u = 0; u < m; ++u) table.loci.push_back("L" + std::to_string(u + 1));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    table.individuals.push_back("i" + std::to_string(i + 1));
    table.population_of.push_back(0);
    for (char c : rows[i]) table.scores.push_back(static_cast<std::uint8_t>(c - '0'));
  }
  return table;
}

}  // namespace bandscape::testing
