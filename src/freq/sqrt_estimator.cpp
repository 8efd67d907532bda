// Method 2: square-root estimator with an inbreeding coefficient.
#include "freq/sqrt_estimator.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "numeric/special.hpp"

namespace bandscape {
namespace {

constexpr int kScanSegments = 20;
constexpr int kMostIntervals = 10;

// The scan records an interval only where the residual changes sign strictly;
// when it is exactly 0 at an interior grid point no interval is recorded, and
// that grid point (as the float at which the scan evaluated it) is the root.
// The grid is rebuilt exactly as the scan builds it.
float grid_point_root(double fis, double x) {
  const double dx = (1.0 - 0.0) / kScanSegments;
  double point = 0.0;
  for (int i = 1; i <= kScanSegments; ++i) {
    point += dx;
    const float q = static_cast<float>(point);
    if (sqrt_method_residual(q, fis, x) == 0.0) return q;
  }
  // Only a residual that is NaN everywhere (F not a number) gets here.
  return std::numeric_limits<float>::quiet_NaN();
}

void fill(int r, int m, const FMatrix& fragment_frequencies, const IMatrix& non_missing, float fis,
          FMatrix& estimates, FMatrix& variances, MessageLog& log, CellMemo* memo) {
  // With F = 0 a cell costs one square root, less than looking it up.
  if (fis == 0.0f) memo = nullptr;
  for (int j = 0; j < r; ++j) {
    for (int i = 0; i < m; ++i) {
      const float f = fragment_frequencies[j][i];
      const int n = non_missing[j + 1][i + 1];
      auto compute = [f, n, fis](MessageLog& out, float& estimate, float& variance) {
        const CellEstimate cell = sqrt_estimate_cell(f, n, fis, out);
        estimate = cell.estimate;
        variance = cell.variance;
      };
      if (memo) {
        memoised_cell(*memo, cell_key(n, f), log, estimates[j][i], variances[j][i], compute);
      } else {
        compute(log, estimates[j][i], variances[j][i]);
      }
    }
  }
}

}  // namespace

CellEstimate sqrt_estimate_cell(float fragment_frequency, int scored, float fis, MessageLog& log) {
  const double F = fis;
  const double x = 1.0 - static_cast<double>(fragment_frequency);
  double p;
  if (F == 0.0) {
    p = 1.0 - std::sqrt(x);
  } else if (x == 0.0) {
    p = 1.0;  // every scored individual has the band
  } else if (x == 1.0) {
    p = 0.0;  // no band, or nobody scored
  } else {
    auto residual = [F, x](float q) { return sqrt_method_residual(q, F, x); };
    float lo[kMostIntervals];
    float hi[kMostIntervals];
    int nb = kMostIntervals;
    bracket_root(residual, 0.0f, 1.0f, kScanSegments, lo, hi, nb);
    float q;
    if (nb > 0) {
      const float tol = static_cast<float>((static_cast<double>(lo[0]) + hi[0]) * 1.0e-7);
      q = zbrent(residual, lo[0], hi[0], tol, log);
    } else {
      q = grid_point_root(F, x);
    }
    p = 1.0 - static_cast<double>(q);
  }
  CellEstimate cell;
  cell.estimate = static_cast<float>(p);
  cell.variance = p == 0.0 ? 0.0f : static_cast<float>(fragment_frequency / (4.0 * scored));
  return cell;
}

void compute_freq_allele_sqrt(int r, int m, const FMatrix& fragment_frequencies, const IMatrix& non_missing,
                              float fis, FMatrix& estimates, FMatrix& variances, MessageLog& log,
                              CellSharing sharing) {
  if (sharing == CellSharing::kPerCell) {
    fill(r, m, fragment_frequencies, non_missing, fis, estimates, variances, log, nullptr);
    return;
  }
  CellMemo memo;
  fill(r, m, fragment_frequencies, non_missing, fis, estimates, variances, log, &memo);
}

void compute_freq_allele_sqrt(int r, int m, const FMatrix& fragment_frequencies, const IMatrix& non_missing,
                              float fis, FMatrix& estimates, FMatrix& variances, MessageLog& log,
                              EstimateCache& cache) {
  if (!cache.serves(2, fis)) throw std::invalid_argument("estimate cache made for another method or Fis");
  fill(r, m, fragment_frequencies, non_missing, fis, estimates, variances, log, &cache.memo());
}

}  // namespace bandscape
