// Fragment size against band frequency: the mean and standard deviation of
// the fragment sizes, and the Pearson correlation of size with pooled band
// frequency with its two-tailed P-value from Student's t distribution,
// evaluated through the regularized incomplete beta function.
#pragma once

#include "core/message_log.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// Mean and standard deviation of values[0..n-1], every value taking part
// (zeros included).  The sum for the mean is kept in single precision; the
// deviations are summed in double and their sum s corrects the variance:
// (s2 - s^2 / n) / (n - 1).  n = 0 gives mean 0 and sd 0, n = 1 gives sd 0.
// The driver passes FragmentSizes.begin() (the size of locus 1) and m.
void compute_mean_sd(const float* values, unsigned n, float& mean, float& sd);

// Pearson correlation r between sizes[i] (float_vector(1,m)) and pooled[i-1]
// (float_vector(0,m-1)) over the loci i whose size and pooled frequency are both
// non-zero, and the two-tailed P-value of r under Student's t with k - 2
// degrees of freedom.  Returns k, the number of loci used.  With k < 3 no
// t statistic exists: r and prob are set to 0 and nothing is computed (the
// caller reports that the correlation was not performed).  |r| = 1 gives
// prob = 0.
int correlate_size_freq(const FVector& sizes, const FVector& pooled, int m, float& r, float& prob,
                        MessageLog& log);

// The regularized incomplete beta function I_x(a, b).  An x below 0 or above
// 1 is reported on `log` (with echo), and a value is returned all the same.
float betai(float a, float b, float x, MessageLog& log);

// The continued fraction of I_x(a, b) (modified Lentz method, single
// precision); reports on `log` when it does not converge in 100 iterations
// and returns the current approximation.
float betacf(float a, float b, float x, MessageLog& log);

}  // namespace bandscape
