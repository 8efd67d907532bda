// ln Gamma, the beta function and Neville's interpolation.
#include "numeric/special.hpp"

#include <array>
#include <cmath>

namespace bandscape {

double log_gamma_wide(double x) {
  // Lanczos (1964) with gamma = 5 and six terms; |error| < 2e-10 for x > 0.
  static constexpr std::array<double, 6> kCoefficients = {
      76.18009172947146,     -86.50532032941678,    24.01409824083091,
      -1.231739572450155,    0.001208650973866179, -0.000005395239384953};
  double y = x;
  double tmp = x + 5.5;
  tmp -= (x + 0.5) * std::log(tmp);
  double ser = 1.000000000190015;
  for (double c : kCoefficients) {
    y += 1.0;
    ser += c / y;
  }
  return std::log(2.5066282746310007 * ser / x) - tmp;
}

double log_gamma(float x) { return log_gamma_wide(static_cast<double>(x)); }

double beta_function(float z, float w) {
  const float zw = z + w;
  const float lgz = static_cast<float>(log_gamma(z));
  const float ratio = static_cast<float>(static_cast<double>(lgz) - log_gamma(zw));
  const long double exponent = static_cast<long double>(ratio) + static_cast<long double>(log_gamma(w));
  return static_cast<double>(std::exp(exponent));
}

void polint(const double* xa, const double* ya, int n, float x, float& y, float& dy, MessageLog& log) {
  if (n < 1 || n > kPolintMaxPoints) {
    log.console("\nerror in routine polint");
    throw FatalError("polint: number of points out of range");
  }
  // Neville's tableau: c and d are the corrections towards the upper and lower
  // neighbours, held in single precision.
  std::array<float, kPolintMaxPoints + 1> c{};
  std::array<float, kPolintMaxPoints + 1> d{};
  const double xd = x;
  int ns = 1;
  double dif = std::fabs(xd - xa[1]);
  for (int i = 1; i <= n; ++i) {
    const double dift = std::fabs(xd - xa[i]);
    if (dift < dif) {
      ns = i;
      dif = dift;
    }
    c[i] = static_cast<float>(ya[i]);
    d[i] = static_cast<float>(ya[i]);
  }
  // Start from the tabulated point nearest x, then walk the tableau taking the
  // correction that keeps the path closest to the middle.
  y = static_cast<float>(ya[ns]);
  --ns;
  for (int m = 1; m < n; ++m) {
    for (int i = 1; i <= n - m; ++i) {
      const double ho = xa[i] - xd;
      const double hp = xa[i + m] - xd;
      const double w = static_cast<double>(c[i + 1]) - static_cast<double>(d[i]);
      double den = ho - hp;
      if (den == 0.0) {
        log.console("\nerror in routine polint");
        throw FatalError("error in routine polint");
      }
      den = w / den;
      d[i] = static_cast<float>(hp * den);
      c[i] = static_cast<float>(ho * den);
    }
    if (2 * ns < n - m) {
      dy = c[ns + 1];
    } else {
      dy = d[ns];
      --ns;
    }
    y = y + dy;
  }
  if (n == 1) dy = 0.0f;
}

}  // namespace bandscape
