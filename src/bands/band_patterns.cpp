// Band patterns per population.
#include "bands/band_patterns.hpp"

#include <cmath>
#include <cstddef>

namespace bandscape {

double shannon_information(double p) {
  if (p <= 0.0 || p >= 1.0) return 0.0;
  return -(p * std::log(p) + (1.0 - p) * std::log(1.0 - p));
}

std::vector<BandPattern> band_patterns(int r, int m, const ScoreMatrix& band_scores, const IVector& population_bounds,
                                       const FMatrix& fragment_frequencies, const FMatrix& estimates) {
  std::vector<BandPattern> out(r);
  const auto cell = [m](int j, int i) { return static_cast<std::size_t>(j) * m + i; };
  std::vector<int> carriers(static_cast<std::size_t>(r) * m, 0), scored(carriers.size(), 0);
  std::vector<int> carriers_in_all(m, 0), populations_with_band(m, 0);
  for (int j = 0; j < r; ++j) {
    out[j].individuals = population_bounds[j + 1] - population_bounds[j];
    for (int k = population_bounds[j]; k < population_bounds[j + 1]; ++k) {
      const std::uint8_t* row = band_scores[k];
      for (int i = 0; i < m; ++i) {
        carriers[cell(j, i)] += row[i] == 1;
        scored[cell(j, i)] += row[i] < 9;
      }
    }
    for (int i = 0; i < m; ++i) {
      carriers_in_all[i] += carriers[cell(j, i)];
      populations_with_band[i] += fragment_frequencies[j][i] > 0.0f;
    }
  }

  for (int j = 0; j < r; ++j) {
    BandPattern& p = out[j];
    double shannon_bands = 0.0, shannon_estimates = 0.0;
    for (int i = 0; i < m; ++i) {
      const double frequency = fragment_frequencies[j][i];
      const int sharing = populations_with_band[i];
      if (frequency > 0.0) {
        ++p.bands_present;
        p.private_bands += sharing == 1;
      }
      if (frequency >= kCommonBandFrequency) {
        ++p.bands_common;
        p.locally_common_25 += 4 * sharing <= r;  // at most a quarter of the populations
        p.locally_common_50 += 2 * sharing <= r;  // at most half
      }
      if (scored[cell(j, i)] > 0) {
        ++p.loci_with_data;
        shannon_bands += shannon_information(frequency);
        shannon_estimates += shannon_information(estimates[j][i]);
      }
      if (carriers_in_all[i] > 0) {
        p.down_weighted += static_cast<double>(carriers[cell(j, i)]) / carriers_in_all[i];
      }
    }
    if (p.loci_with_data > 0) {
      p.shannon_bands = shannon_bands / p.loci_with_data;
      p.shannon_estimates = shannon_estimates / p.loci_with_data;
    }
    if (p.individuals > 0) p.down_weighted_per_individual = p.down_weighted / p.individuals;
  }
  return out;
}

}  // namespace bandscape
