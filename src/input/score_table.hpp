// The band scores of a data set as one value: loci, populations (with their
// regions when the data give them), individuals with their population, the
// scores of each individual (0 band absent, 1 band present, kMissingScore
// missing) and, when the data give them, each individual's coordinates.  The
// GenAlEx reader fills it, the writers of the analysed data and the data
// quality kernels take it, and as_native_text turns it into the text of the
// equivalent native data file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "input/dart_file.hpp"
#include "input/subset_file.hpp"
#include "numeric/array.hpp"

namespace bandscape {

inline constexpr std::uint8_t kMissingScore = 9;

struct ScoreTable {
  std::string title;
  std::vector<std::string> loci;
  std::vector<std::string> populations;  // in the order of the data
  std::vector<std::string> regions;      // empty when the data give none
  std::vector<int> region_of;            // per population, from 0; empty without regions
  std::vector<std::string> individuals;
  std::vector<int> population_of;  // per individual, from 0, never decreasing
  std::vector<std::uint8_t> scores;  // individual by individual, one per locus
  std::vector<std::pair<double, double>> coordinates;  // per individual (X, Y; NaN unknown), or empty
  std::vector<std::string> coordinate_headers;          // the headers of X and Y as written, with coordinates

  int individual_count() const { return static_cast<int>(individuals.size()); }
  int locus_count() const { return static_cast<int>(loci.size()); }
  std::uint8_t score(int individual, int locus) const {
    return scores[static_cast<std::size_t>(individual) * loci.size() + static_cast<std::size_t>(locus)];
  }
  bool operator==(const ScoreTable&) const = default;
};

// The text of the native data file holding the table: line 1 "R\tm\t" and the
// locus names, one line "population\tindividual\tscores" per individual (9
// for missing), then "END".
NativeText as_native_text(const ScoreTable& table);

// The regions as the subset file with groups would give them: every
// population listed, in order, its region its group.  The table has regions.
SubsetSelection regions_as_subset(const ScoreTable& table);

// The table of the scores the classic passes read: individuals 0..ntot-1 of
// BandScores (m loci), population k holding rows PopulationBounds[k-1] up to
// PopulationBounds[k]-1 (k = 1..r), named PopulationNames[k]; LocusNames 1..m;
// `individual_names` one per row.
ScoreTable score_table_of(int r, int m, const ScoreMatrix& BandScores, const IVector& PopulationBounds,
                          const NameList& PopulationNames, const NameList& LocusNames,
                          const std::vector<std::string>& individual_names);

}  // namespace bandscape
