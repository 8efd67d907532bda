// Fragment size against band frequency: mean, S.D., Pearson r and its P-value.
#include "stats/correlation.hpp"

#include <cmath>

#include "numeric/special.hpp"

namespace bandscape {

void compute_mean_sd(const float* values, unsigned n, float& mean, float& sd) {
  float sum = 0.0f;
  for (unsigned i = 0; i < n; ++i) sum += values[i];
  mean = n > 0 ? static_cast<float>(static_cast<double>(sum) / n) : 0.0f;
  // Two-pass variance corrected by the sum of the deviations.
  double s = 0.0;
  double s2 = 0.0;
  for (unsigned i = 0; i < n; ++i) {
    const double d = static_cast<double>(values[i]) - static_cast<double>(mean);
    s += d;
    s2 += d * d;
  }
  const double variance = n > 1 ? (s2 - s * s / n) / (n - 1) : s2;
  sd = static_cast<float>(std::sqrt(variance));
}

int correlate_size_freq(const FVector& sizes, const FVector& pooled, int m, float& r, float& prob,
                        MessageLog& log) {
  int k = 0;
  double sum_x = 0.0;
  double sum_y = 0.0;
  for (int i = 1; i <= m; ++i) {
    if (sizes[i] == 0.0f || pooled[i - 1] == 0.0f) continue;
    ++k;
    sum_x += sizes[i];
    sum_y += pooled[i - 1];
  }
  r = 0.0f;
  prob = 0.0f;
  if (k < 3) return k;
  const double mean_x = sum_x / k;
  const double mean_y = sum_y / k;
  double sxx = 0.0, syy = 0.0, sxy = 0.0;
  for (int i = 1; i <= m; ++i) {
    if (sizes[i] == 0.0f || pooled[i - 1] == 0.0f) continue;
    const double dx = sizes[i] - mean_x;
    const double dy = pooled[i - 1] - mean_y;
    sxx += dx * dx;
    syy += dy * dy;
    sxy += dx * dy;
  }
  r = static_cast<float>(sxy / std::sqrt(sxx * syy));
  // Student's t with df = k - 2; |r| = 1 makes t infinite and the beta
  // argument 0, hence P = 0.
  const double df = k - 2;
  const double rr = r;
  const double t = rr * std::sqrt(df / ((1.0 + rr) * (1.0 - rr)));
  prob = betai(static_cast<float>(0.5 * df), 0.5f, static_cast<float>(df / (df + t * t)), log);
  return k;
}

float betai(float a, float b, float x, MessageLog& log) {
  if ((std::signbit(x) && x != 0.0f) || x > 1.0f) {
    log.echo(format("Error in betai: bad value of x = %7.5f ", static_cast<double>(x)));
  }
  float bt = 0.0f;
  if (x != 0.0f && x != 1.0f) {
    // ln of the front factor x^a (1-x)^b / (a B(a, b)) without the 1/a,
    // with lnG(a+b) and lnG(a+b) - lnG(a) held in single precision.
    const float lg_ab = static_cast<float>(log_gamma(a + b));
    const float lg_ab_a = static_cast<float>(lg_ab - log_gamma(a));
    const double xd = x;
    bt = static_cast<float>(
        std::exp(lg_ab_a - log_gamma(b) + a * std::log(xd) + b * std::log(1.0 - xd)));
  }
  // The continued fraction converges fast on this side; the other side
  // follows from I_x(a, b) = 1 - I_{1-x}(b, a).
  if (x < (static_cast<double>(a) + 1.0) / (static_cast<double>(a) + b + 2.0)) {
    return static_cast<float>(bt * static_cast<double>(betacf(a, b, x, log)) / a);
  }
  return static_cast<float>(1.0 - bt * static_cast<double>(betacf(b, a, static_cast<float>(1.0 - x), log)) / b);
}

float betacf(float a, float b, float x, MessageLog& log) {
  constexpr int kMaxIt = 100;
  constexpr double kEps = 3.0e-7;
  constexpr double kFpMin = 1.0e-30;
  // Values below kFpMin in magnitude are replaced by it, so that no
  // denominator vanishes; the test is on the unrounded double value.
  auto guard = [](double v) { return std::fabs(v) < kFpMin ? static_cast<float>(kFpMin) : static_cast<float>(v); };
  const double ad = a, bd = b, xd = x;
  float c = 1.0f;
  float d = guard(1.0 - (ad + bd) * xd / (ad + 1.0));
  d = static_cast<float>(1.0 / d);
  float h = d;
  // One step of the fraction with coefficient aa; returns the factor delta
  // by which it multiplied h.
  auto step = [&](double aa_unrounded) {
    const float aa = static_cast<float>(aa_unrounded);
    d = guard(1.0 + aa * static_cast<double>(d));
    c = guard(1.0 + aa / static_cast<double>(c));
    d = static_cast<float>(1.0 / d);
    const float del = static_cast<float>(static_cast<double>(d) * c);
    h = static_cast<float>(static_cast<double>(h) * del);
    return del;
  };
  for (int m = 1; m <= kMaxIt; ++m) {
    const double m2 = 2.0 * m;
    step(m * (bd - m) * xd / ((ad - 1.0 + m2) * (ad + m2)));
    const float del = step(-(ad + m) * (ad + bd + m) * xd / ((ad + m2) * (ad + 1.0 + m2)));
    if (std::fabs(static_cast<double>(del) - 1.0) < kEps) return h;
  }
  log.echo("Error in betacf: a or b too big, or MAXIT too small");
  return h;
}

}  // namespace bandscape
