// Methods 3 and 4: Bayesian estimators of the null-allele frequency.
#include "freq/bayes_estimator.hpp"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "numeric/special.hpp"

namespace bandscape {
namespace {

// Prior of method 3; also the fallback of method 4.
constexpr double kUniformAlpha = 0.5;
constexpr double kUniformBeta = 1.0;

// Posterior kernels whose peak lies below this (natural log) are divided by
// their peak before integration, so that the Romberg estimates stay inside the
// single-precision range.
constexpr double kRescaleBelowLog = -60.0;

struct MethodMessages {
  const char* undefined;
  const char* zero;
};

constexpr MethodMessages kUniformMessages = {
    "Error in compute_freq_allele_Bayes_UNIF : numtemp or denomtemp undefined",
    "Error in compute_freq_allele_Bayes_UNIF : denomtemp=0"};
constexpr MethodMessages kNonUniformMessages = {
    "Error in compute_freq_allele_Bayes_NONUNIF : numtemp or denomtemp undefined",
    "Error in compute_freq_allele_Bayes_NONUNIF : denomtemp=0"};

// Lower integration bounds, tried in turn while the integral is NaN: a bound
// above 0 removes q = 0, where h^(X + alpha - 1) is infinite for X + alpha < 1.
struct LowerBounds {
  const float* numerator;
  int numerator_count;
  const float* normaliser;
  int normaliser_count;
  const float* second;
  int second_count;
};

constexpr float kUniformNumerator[] = {0.0f, 0.0001f};
constexpr float kNormaliser[] = {0.0f, 0.0001f, 0.001f, 0.01f};
constexpr float kSecond[] = {0.0f, 0.0001f, 0.001f};
constexpr float kNonUniformNumerator[] = {0.0f, 0.0001f, 0.001f};

constexpr LowerBounds kUniformBounds = {kUniformNumerator, 2, kNormaliser, 4, kSecond, 3};
constexpr LowerBounds kNonUniformBounds = {kNonUniformNumerator, 3, kNormaliser, 4, kSecond, 3};

// g(q) = h^e1 (1 - h)^e2 h', h = (1 - F) q^2 + F q, h' = 2 q (1 - F) + F, with
// e1 = X + alpha - 1 and e2 = N - X + beta - 1.  When the peak M of h^e1 (1 - h)^e2
// (at h* = e1 / (e1 + e2)) is far below the float range, g / M is used instead:
// E[q] and E[q^2] are ratios of integrals, so the constant cancels, and the
// integrals no longer vanish in single precision.
class PosteriorKernel {
 public:
  PosteriorKernel(double fis, int absent, int scored, double alpha, double beta)
      : fis_(fis), e1_((absent + alpha) - 1.0), e2_(((scored - absent) + beta) - 1.0) {
    if (e1_ > 0.0 && e2_ > 0.0) {
      const double total = e1_ + e2_;
      // Written with e1 / (e1 + e2) and e2 / (e1 + e2) because 1 - h* can round to 0.
      const double log_peak = e1_ * std::log(e1_ / total) + e2_ * std::log(e2_ / total);
      if (log_peak < kRescaleBelowLog) {
        rescaled_ = true;
        log_peak_ = log_peak;
      }
    }
  }

  double operator()(float qf) const {
    const double q = qf;
    const double h = ((1.0 - fis_) * q) * q + fis_ * q;
    const double slope = (2.0 * q) * (1.0 - fis_) + fis_;
    if (rescaled_) return std::exp((e1_ * std::log(h) + e2_ * std::log(1.0 - h)) - log_peak_) * slope;
    return (std::pow(h, e1_) * std::pow(1.0 - h, e2_)) * slope;
  }

 private:
  double fis_;
  double e1_;
  double e2_;
  bool rescaled_ = false;
  double log_peak_ = 0.0;
};

// The three integrals of a cell evaluate the same kernel g at the same points
// (Romberg stages from the same lower bound visit the same grid in the same
// order).  The tape records (q, g(q)) in evaluation order during the first
// integral and replays them to the others; a point that differs from the
// recorded one (another lower bound) truncates the tape there.  Values are
// those g itself returns, so the integrals are unchanged to the last bit.
class KernelTape {
 public:
  // Points beyond this are evaluated directly (a non-converging integral can
  // visit 2^29 of them).
  static constexpr std::size_t kMostPoints = std::size_t{1} << 17;

  void start(const PosteriorKernel* kernel) {
    kernel_ = kernel;
    points_.clear();
    values_.clear();
    position_ = 0;
  }
  void rewind() { position_ = 0; }
  double operator()(float q) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(q);
    if (position_ < points_.size()) {
      if (points_[position_] == bits) return values_[position_++];
      points_.resize(position_);
      values_.resize(position_);
    }
    const double value = (*kernel_)(q);
    if (position_ < kMostPoints) {
      points_.push_back(bits);
      values_.push_back(value);
      ++position_;
    }
    return value;
  }

 private:
  const PosteriorKernel* kernel_ = nullptr;
  std::vector<std::uint32_t> points_;
  std::vector<double> values_;
  std::size_t position_ = 0;
};

// The integral of func from the first lower bound whose result is a number
// (the last result stands when none is).  Each attempt starts at the head of
// the tape, if any.
template <class Func>
float integrate_to_one(const Func& func, const float* lower, int count, KernelTape* tape, MessageLog& log) {
  float result = 0.0f;
  for (int k = 0; k < count; ++k) {
    if (tape) tape->rewind();
    result = qromb(func, lower[k], 1.0f, log);
    if (!std::isnan(result)) break;
  }
  return result;
}

// One cell by integration (F != 0).  The estimate is stored before the second
// moment is integrated, so a fatal condition there leaves it written.  With a
// tape the kernel values are shared between the three integrals.
void integrated_cell(int absent, int scored, double fis, double alpha, double beta, const LowerBounds& bounds,
                     const MethodMessages& messages, MessageLog& log, KernelTape* tape, float& estimate,
                     float& variance) {
  const PosteriorKernel kernel(fis, absent, scored, alpha, beta);
  if (tape) tape->start(&kernel);
  auto g = [&kernel, tape](float q) { return tape ? (*tape)(q) : kernel(q); };
  auto numerator = [&g](float q) { return static_cast<double>(q) * g(q); };
  auto normaliser = [&g](float q) { return g(q); };
  auto second = [&g](float q) { return (static_cast<double>(q) * q) * g(q); };
  const bool all_absent = absent == scored;

  const float numtemp = integrate_to_one(numerator, bounds.numerator, bounds.numerator_count, tape, log);
  const float denomtemp = integrate_to_one(normaliser, bounds.normaliser, bounds.normaliser_count, tape, log);
  double mean;
  if (std::isnan(numtemp) || std::isnan(denomtemp)) {
    if (!all_absent) fatal_numerical_error(log, messages.undefined);
    mean = 1.0;
  } else if (denomtemp != 0.0f) {
    mean = static_cast<double>(numtemp) / denomtemp;
  } else {
    if (!all_absent) fatal_numerical_error(log, messages.zero);
    mean = 1.0;
  }
  estimate = static_cast<float>(1.0 - mean);

  const float moment2 = integrate_to_one(second, bounds.second, bounds.second_count, tape, log);
  double var;
  if (std::isnan(denomtemp) || std::isnan(moment2)) {
    if (!all_absent) fatal_numerical_error(log, messages.undefined);
    var = 0.0;
  } else if (denomtemp != 0.0f) {
    var = static_cast<double>(moment2) / denomtemp - mean * mean;
  } else {
    if (!all_absent) fatal_numerical_error(log, messages.zero);
    var = 0.0;
  }
  variance = static_cast<float>(var);
}

double log_beta_wide(float z, float w) {
  return log_gamma_wide(z) + log_gamma_wide(w) - log_gamma_wide(static_cast<double>(z) + w);
}

bool outside_normal_range(double value) { return value < DBL_MIN || std::isinf(value); }

// B(a1, w) / B(a0, w) for the closed forms.  With large samples (method 3) or a
// large alpha + beta (method 4) the beta values leave the double range (0 or
// subnormal, or infinite) while their ratio is ordinary: it is then taken from
// the log-beta difference.  A zero or NaN denominator otherwise is fatal.
double beta_ratio(float a1, float a0, float w, const MethodMessages& messages, MessageLog& log) {
  const double numerator = beta_function(a1, w);
  const double denominator = beta_function(a0, w);
  if (!std::isnan(numerator) && !std::isnan(denominator) &&
      (outside_normal_range(numerator) || outside_normal_range(denominator))) {
    return std::exp(log_beta_wide(a1, w) - log_beta_wide(a0, w));
  }
  if (denominator == 0.0 || std::isnan(denominator)) fatal_numerical_error(log, messages.zero);
  return numerator / denominator;
}

// Method 3 with F = 0: E[q] = B(X + 1, N - X + 1) / B(X + 0.5, N - X + 1) and
// E[q^2] = B(X + 1.5, N - X + 1) / B(X + 0.5, N - X + 1).
void uniform_closed_form_cell(int absent, int scored, MessageLog& log, float& estimate, float& variance) {
  const float w = static_cast<float>((scored - absent) + 1.0);
  const float a0 = static_cast<float>(absent + 0.5);
  const double mean = beta_ratio(static_cast<float>(absent + 1.0), a0, w, kUniformMessages, log);
  estimate = static_cast<float>(1.0 - mean);
  const double moment2 = beta_ratio(static_cast<float>(absent + 1.5), a0, w, kUniformMessages, log);
  variance = static_cast<float>(moment2 - mean * mean);
}

// Method 4 with F = 0: E[q] = B(X + alpha + 0.5, N - X + beta) / B(X + alpha, N - X + beta)
// and E[q^2] = B(X + alpha + 1, N - X + beta) / B(X + alpha, N - X + beta).
void nonuniform_closed_form_cell(int absent, int scored, double alpha, double beta, MessageLog& log,
                                 float& estimate, float& variance) {
  const double shifted = absent + alpha;
  const float a0 = static_cast<float>(shifted);
  const float w = static_cast<float>((scored - absent) + beta);
  const double mean = beta_ratio(static_cast<float>(shifted + 0.5), a0, w, kNonUniformMessages, log);
  estimate = static_cast<float>(1.0 - mean);
  const double moment2 = beta_ratio(static_cast<float>(shifted + 1.0), a0, w, kNonUniformMessages, log);
  variance = static_cast<float>(moment2 - mean * mean);
}

// Runs `cell(X, N, log, estimate, variance)` over the loci of population j,
// once per distinct (X, N) when a memo is given.
template <class Cell>
void fill_population(int j, int m, const IMatrix& absent_counts, const IMatrix& non_missing,
                     FMatrix& estimates, FMatrix& variances, MessageLog& log, CellMemo* memo, const Cell& cell) {
  for (int i = 0; i < m; ++i) {
    const int absent = absent_counts[j][i];
    const int scored = non_missing[j + 1][i + 1];
    if (!memo) {
      cell(absent, scored, log, estimates[j][i], variances[j][i]);
      continue;
    }
    memoised_cell(*memo, cell_key(scored, absent), log, estimates[j][i], variances[j][i],
                  [&](MessageLog& out, float& estimate, float& variance) {
                    cell(absent, scored, out, estimate, variance);
                  });
  }
}

void fill_uniform(int r, int m, const IMatrix& absent_counts, float fis, const IMatrix& non_missing,
                  FMatrix& estimates, FMatrix& variances, MessageLog& log, CellMemo* memo) {
  const double F = fis;
  KernelTape shared_tape;
  KernelTape* tape = memo ? &shared_tape : nullptr;
  auto cell = [F, tape](int absent, int scored, MessageLog& out, float& estimate, float& variance) {
    if (F == 0.0) {
      uniform_closed_form_cell(absent, scored, out, estimate, variance);
    } else {
      integrated_cell(absent, scored, F, kUniformAlpha, kUniformBeta, kUniformBounds, kUniformMessages, out, tape,
                      estimate, variance);
    }
  };
  for (int j = 0; j < r; ++j) {
    fill_population(j, m, absent_counts, non_missing, estimates, variances, log, memo, cell);
  }
}

}  // namespace

bool fit_population_prior(int j, int m, const IMatrix& absent_counts, const IMatrix& non_missing,
                          double& alpha, double& beta) {
  double sum_x = 0.0;
  double sum_n = 0.0;
  double sum_q = 0.0;
  for (int i = 0; i < m; ++i) {
    const int x = absent_counts[j][i];
    const int n = non_missing[j + 1][i + 1];
    sum_x += x;
    sum_n += n;
    if (n != 0) sum_q += static_cast<double>(x) * x / n;
  }
  double mu = sum_x / sum_n;
  double sigma2 = sum_q / sum_n - mu * mu;
  if (sigma2 == 0.0 || std::isnan(sigma2) || sum_x == 0.0) {
    // No spread, or no absence at all: shift every count by one half.
    sum_x = 0.0;
    sum_q = 0.0;
    for (int i = 0; i < m; ++i) {
      const double x = absent_counts[j][i] + 0.5;
      const int n = non_missing[j + 1][i + 1];
      sum_x += x;
      if (n != 0) sum_q += x * x / n;
    }
    mu = sum_x / sum_n;
    sigma2 = sum_q / sum_n - mu * mu;
  }
  const double v = (1.0 - mu) * mu / sigma2 - 1.0;
  alpha = mu * v;
  beta = (1.0 - mu) * v;
  const bool v_usable = std::isfinite(v) && v >= 1e-9 && v <= 1e9;
  const bool shape_usable = std::isfinite(alpha) && alpha > 0.0 && std::isfinite(beta) && beta > 0.0;
  return v_usable && shape_usable;
}

void estimate_bayes_uniform_prior(int r, int m, const IMatrix& absent_counts, float fis, const IMatrix& non_missing,
                                  FMatrix& estimates, FMatrix& variances, MessageLog& log, CellSharing sharing) {
  if (sharing == CellSharing::kPerCell) {
    fill_uniform(r, m, absent_counts, fis, non_missing, estimates, variances, log, nullptr);
    return;
  }
  CellMemo memo;
  fill_uniform(r, m, absent_counts, fis, non_missing, estimates, variances, log, &memo);
}

void estimate_bayes_uniform_prior(int r, int m, const IMatrix& absent_counts, float fis, const IMatrix& non_missing,
                                  FMatrix& estimates, FMatrix& variances, MessageLog& log, EstimateCache& cache) {
  if (!cache.serves(3, fis)) throw std::invalid_argument("estimate cache made for another method or Fis");
  fill_uniform(r, m, absent_counts, fis, non_missing, estimates, variances, log, &cache.memo());
}

void estimate_bayes_fitted_prior(int r, int m, const IMatrix& absent_counts, float fis, const IMatrix& non_missing,
                                 DVector& alpha, DVector& beta, FMatrix& estimates, FMatrix& variances, MessageLog& log,
                                 CellSharing sharing) {
  const double F = fis;
  const bool shared = sharing == CellSharing::kShared;
  CellMemo memo;
  KernelTape shared_tape;
  KernelTape* tape = shared ? &shared_tape : nullptr;
  for (int j = 0; j < r; ++j) {
    double a = 0.0;
    double b = 0.0;
    if (!fit_population_prior(j, m, absent_counts, non_missing, a, b)) {
      a = kUniformAlpha;
      b = kUniformBeta;
      log.echo_about(j + 1, format("\nWARNING! prior of pop %d could not be estimated: uniform prior used", j + 1));
    }
    alpha[j] = a;
    beta[j] = b;
    auto cell = [F, a, b, tape](int absent, int scored, MessageLog& out, float& estimate, float& variance) {
      if (F == 0.0) {
        nonuniform_closed_form_cell(absent, scored, a, b, out, estimate, variance);
      } else {
        integrated_cell(absent, scored, F, a, b, kNonUniformBounds, kNonUniformMessages, out, tape, estimate,
                        variance);
      }
    };
    // The prior differs between populations, so results are shared within one only.
    memo.clear();
    fill_population(j, m, absent_counts, non_missing, estimates, variances, log, shared ? &memo : nullptr, cell);
  }
}

}  // namespace bandscape
