// Summaries of a resampled statistic: percentile limits, one-sided P values,
// and the side file that lists the resampled values.
#pragma once

#include <string>

#include "core/message_log.hpp"
#include "numeric/array.hpp"

namespace bandscape {

struct ResampleSummary {
  float lower95 = 0.0f;  // value at the 2.5% position; 0 with fewer than 40 values
  float upper95 = 0.0f;  // value at the 97.5% position; 0 with fewer than 40 values
  float lower99 = 0.0f;  // value at the 0.5% position; 0 with fewer than 200 values
  float upper99 = 0.0f;  // value at the 99.5% position; 0 with fewer than 200 values
  float p_low = 0.0f;    // (L + 1) / (n + 1), L values <= observed; 0 when L = 0
  float p_high = 0.0f;   // (G + 1) / (n + 1), G values >= observed; 0 when G = 0
  int permutations = 0;  // n, the resampled values summarised (NaN ones included)
  int at_most = 0;       // L
  int at_least = 0;      // G
};

// The permutation P value (k + 1) / (n + 1) of k values of n at least as
// extreme as the observed one (North, Curtis & Sham 2002): never 0,
// since the observed arrangement is one of those that could have been drawn.
// NaN without values.
double permutation_p(int at_least_as_extreme, int permutations);

// Shell's method with the increments 1, 4, 13, 40, ...: sorts a[1..n] ascending
// in place.  NaN values end up after every number.
void shell_sort(unsigned long n, float* a);

// 0-based positions in the ascending order of n values at which the 2.5%,
// 97.5%, 0.5% and 99.5% limits are read.
struct PercentilePositions {
  int k025, k975, k005, k995;
};
PercentilePositions percentile_positions(int n);

// Sorts values[0..last] ascending in place (the caller's vector stays sorted)
// and fills the summary for the observed value.  NaN values sort last and
// count in neither L nor G.
void resample_summary(FVector& values, int last, ResampleSummary& summary, float observed);

}  // namespace bandscape
