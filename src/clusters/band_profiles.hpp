// The individuals' band profiles as the cluster analyses read them: one row
// of scores per individual (1 band present, 0 absent, 9 missing), one column
// per locus, and the populations as runs of consecutive rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "input/score_table.hpp"  // kMissingScore
#include "numeric/array.hpp"

namespace bandscape {


// A read-only view: row i starts at scores + i * row_stride.  The scores
// outlive the view.
struct BandProfiles {
  int individuals = 0;
  int loci = 0;
  const std::uint8_t* scores = nullptr;
  std::ptrdiff_t row_stride = 0;

  const std::uint8_t* row(int i) const { return scores + static_cast<std::ptrdiff_t>(i) * row_stride; }
  std::uint8_t score(int i, int locus) const { return row(i)[locus]; }
};

// The view of rows 0..individuals-1, columns 0..loci-1 of a score matrix
// indexed from (0, 0), as the reader fills band_scores.
inline BandProfiles band_profiles(const ScoreMatrix& band_scores, int individuals, int loci) {
  return BandProfiles{individuals, loci, band_scores.data(), band_scores.cols()};
}

// The view of a plain row-major vector of individuals x loci scores.
inline BandProfiles band_profiles(const std::vector<std::uint8_t>& scores, int individuals, int loci) {
  return BandProfiles{individuals, loci, scores.data(), loci};
}

}  // namespace bandscape
