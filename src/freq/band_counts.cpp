// Band counts per population and locus, fragment frequencies, selection.
#include "freq/band_counts.hpp"

#include <limits>

namespace bandscape {

namespace {

// Individuals scored in population j, summed over its loci, and the number of
// loci with data there.
struct ScoredTotals {
  long long sum = 0;
  int with_data = 0;
};

ScoredTotals scored_totals(int j, int m, const IMatrix& non_missing) {
  ScoredTotals t;
  for (int i = 1; i <= m; ++i) {
    t.sum += non_missing[j][i];
    if (non_missing[j][i] != 0) ++t.with_data;
  }
  return t;
}

}  // namespace

void summarize_sample_sizes(int r, int m, const IMatrix& non_missing, IVector& nbar, IVector& L) {
  for (int j = 1; j <= r; ++j) {
    const ScoredTotals t = scored_totals(j, m, non_missing);
    L[j] = t.with_data;
    nbar[j] = static_cast<int>(t.sum / (t.with_data == 0 ? 1 : t.with_data));
  }
}

std::vector<double> mean_scored_per_locus(int r, int m, const IMatrix& non_missing) {
  std::vector<double> mean(static_cast<std::size_t>(r), std::numeric_limits<double>::quiet_NaN());
  for (int j = 1; j <= r; ++j) {
    const ScoredTotals t = scored_totals(j, m, non_missing);
    if (t.with_data > 0) mean[static_cast<std::size_t>(j - 1)] = static_cast<double>(t.sum) / t.with_data;
  }
  return mean;
}

void mean_fragments_per_individual(int r, const ScoreMatrix& band_scores, int ntot,
                                   const IVector& population_bounds, int m, float& mean) {
  double total = 0.0;
  for (int j = 0; j < r; ++j) {
    long long present = 0;
    for (int k = population_bounds[j]; k < population_bounds[j + 1]; ++k) {
      const std::uint8_t* row = band_scores[k];
      for (int i = 0; i < m; ++i) present += (row[i] == 1);
    }
    total += static_cast<double>(present);
  }
  mean = static_cast<float>(total / ntot);
}

void count_segregating_fragments(const ScoreMatrix& band_scores, int ntot, int m, int& segregating) {
  segregating = 0;
  for (int i = 0; i < m; ++i) {
    int reference = 9;
    for (int k = 0; k < ntot; ++k) {
      const int s = band_scores[k][i];
      if (s == 9) continue;
      if (reference == 9) {
        reference = s;
      } else if (s != reference) {
        ++segregating;
        break;
      }
    }
  }
}

void compute_freq_frag(int r, const ScoreMatrix& band_scores, const IVector& population_bounds, int m,
                       FMatrix& fragment_frequencies, const IMatrix& non_missing, IMatrix& absent_counts,
                       FMatrix& fragment_variances, MessageLog& log) {
  for (int j = 0; j < r; ++j) {
    for (int i = 0; i < m; ++i) {
      int present = 0;
      int scored = 0;
      for (int k = population_bounds[j]; k < population_bounds[j + 1]; ++k) {
        const int s = band_scores[k][i];
        if (s == 1) ++present;
        if (s < 9) ++scored;
      }
      const int n = non_missing[j + 1][i + 1];
      if (scored != n) {
        log.echo(format("\nError in compute_freq_frag: npl not equal to count_nonmissing on locus %d  in pop %d",
                        i + 1, j + 1));
      }
      float f = 0.0f;
      if (scored != 0) {
        f = static_cast<float>(static_cast<double>(present) / scored);
      } else {
        log.echo_about(j + 1, format("\nWARNING! Data on locus %d always missing in pop %d", i + 1, j + 1));
      }
      absent_counts[j][i] = n - present;
      fragment_frequencies[j][i] = f;
      // With n = 0 this is 0/0: later statistics skip loci without scored individuals.
      fragment_variances[j][i] = static_cast<float>(static_cast<double>(f) * (1.0 - f) / n);
    }
  }
}

}  // namespace bandscape
