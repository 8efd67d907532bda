// Special functions, Romberg integration and root finding.
//
// The Bayesian frequency estimators need ln Gamma and the complete beta
// function (closed forms when Fis = 0) and the Romberg integral of a posterior
// moment (Fis != 0); the square-root estimator with Fis needs a bracketing scan
// followed by Brent's method.  The algorithms are the classical ones: Lanczos'
// approximation of ln Gamma (gamma = 5, six terms), Romberg integration by the
// extended trapezoidal rule extrapolated to zero step with Neville's polynomial
// interpolation, and Brent's van Wijngaarden-Dekker-Brent root finder.
//
// Precision is part of the behaviour: evaluation points, interval ends and
// roots are single precision, function values, sums and intermediates double.
//
// A function argument is any callable `double(float)`; its parameters travel in
// the closure, so two integrations may run side by side on different threads.
// Nothing here allocates on the heap: qromb and polint run millions of times in
// the permutation test.
//
// The numerical routines report on the console only (never in error.txt),
// through the console() of the MessageLog their caller passes: a resampling
// replicate hands in its own buffer, so the notes keep their place among the
// replicate's other messages whatever the number of threads.  Their fatal
// conditions give the message and throw FatalError.
#pragma once

#include <array>
#include <cmath>

#include "core/message_log.hpp"

namespace bandscape {

// ln Gamma(x) for x > 0 (Lanczos).  The argument is not checked: x <= 0 gives
// whatever the logarithm gives (infinite or NaN), and callers test the result.
double log_gamma(float x);
// The same Lanczos formula for a double argument (arguments that a float
// cannot hold exactly, such as sums of large counts and prior parameters).
double log_gamma_wide(double x);

// B(z, w) = Gamma(z) Gamma(w) / Gamma(z + w), as exp(lnG(z) - lnG(z + w) + lnG(w))
// with z + w, lnG(z) and lnG(z) - lnG(z + w) held in single precision.
double beta_function(float z, float w);

// Neville's algorithm: the value y at x of the polynomial of degree n - 1 through
// (xa[i], ya[i]), i = 1..n (the pointers are addressed from 1), and an error
// estimate dy.  Two equal abscissae give "\nerror in routine polint" on the
// console of `log` and end the run.  n is at most kPolintMaxPoints.
inline constexpr int kPolintMaxPoints = 16;
void polint(const double* xa, const double* ya, int n, float x, float& y, float& dy, MessageLog& log);

// Stage n (n = 1, 2, 3, ... called in this order) of the extended trapezoidal
// rule for the integral of func over [a, b].  Stage 1 uses the two ends; stage
// n > 1 adds the 2^(n-2) midpoints of the previous grid and refines `running`,
// the running estimate of this one integration, which it also returns.
template <class F>
double trapezoid_stage(F&& func, float a, float b, int n, double& running) {
  const double width = static_cast<double>(b) - static_cast<double>(a);
  if (n == 1) {
    running = 0.5 * width * (func(b) + func(a));
    return running;
  }
  int it = 1;
  for (int j = 1; j < n - 1; ++j) it <<= 1;
  const float tnm = static_cast<float>(it);
  const float del = static_cast<float>(width / tnm);
  float x = static_cast<float>(a + 0.5 * del);
  double sum = 0.0;
  for (int j = 1; j <= it; ++j) {
    sum += func(x);
    x = x + del;
  }
  running = 0.5 * (running + width * sum / tnm);
  return running;
}

// Romberg integration of func over [a, b] to a relative accuracy of 1e-6:
// successive trapezoid stages (up to 30), the last five extrapolated to zero
// step in h^2.  Once a NaN (or an infinity, which turns into NaN in the
// extrapolation) has entered the estimates the convergence test counts as met
// and NaN comes back after the fifth stage.  Without convergence after 30
// stages it shows "\ntoo many steps in integration routine qromb" on the console
// of `log` and returns 9999 (an integral that is exactly 0 ends this way).
template <class F>
float qromb(F&& func, float a, float b, MessageLog& log) {
  constexpr double kEps = 1.0e-6;
  constexpr int kMaxStages = 30;
  constexpr int kPoints = 5;
  std::array<double, kMaxStages + 2> s{};
  std::array<double, kMaxStages + 2> h{};
  double running = 0.0;
  h[1] = 1.0;
  for (int j = 1; j <= kMaxStages; ++j) {
    s[j] = trapezoid_stage(func, a, b, j, running);
    if (j >= kPoints) {
      float ss = 0.0f;
      float dss = 0.0f;
      // 1-based view of the last five steps and estimates.
      polint(h.data() + (j - kPoints), s.data() + (j - kPoints), kPoints, 0.0f, ss, dss, log);
      if (!(std::fabs(static_cast<double>(dss)) >= kEps * std::fabs(static_cast<double>(ss)))) return ss;
    }
    s[j + 1] = s[j];
    h[j + 1] = 0.25 * h[j];
  }
  log.console("\ntoo many steps in integration routine qromb");
  return 9999.0f;
}

// Scans [x1, x2] in n equal segments and records the segments over which func
// changes sign strictly: xb1[k], xb2[k] (k = 0..nb-1) are their ends.  On entry
// nb is the most intervals wanted; the scan stops as soon as that many are found.
// A grid point where func is exactly 0 gives no interval on either side.
template <class F>
void bracket_root(F&& func, float x1, float x2, int n, float* xb1, float* xb2, int& nb) {
  const int wanted = nb;
  int count = 0;
  const double dx = (static_cast<double>(x2) - static_cast<double>(x1)) / n;
  double x = x1;
  double fp = func(static_cast<float>(x));
  for (int i = 1; i <= n; ++i) {
    x += dx;
    const double fc = func(static_cast<float>(x));
    if (fc * fp < 0.0) {
      xb1[count] = static_cast<float>(x - dx);
      xb2[count] = static_cast<float>(x);
      ++count;
      if (count == wanted) return;
    }
    fp = fc;
  }
  nb = count;
}

// Brent's method: a root of func between x1 and x2 located to within
// 2 * 3e-8 |b| + tol / 2.  When func(x1) and func(x2) have the same strict sign
// it shows "\nRoot must be bracketed in zbrent" on the console of `log` and
// returns the midpoint.  After 100 iterations without convergence it shows
// "Maximum number of iterations exceeded in zbrent" there and ends the run.
template <class F>
float zbrent(F&& func, float x1, float x2, float tol, MessageLog& log) {
  constexpr double kEps = 3.0e-8;
  constexpr int kMaxIterations = 100;
  float a = x1;
  float b = x2;
  float c = x2;
  float d = 0.0f;
  float e = 0.0f;
  double fa = func(a);
  double fb = func(b);
  if ((fa > 0.0 && fb > 0.0) || (fa < 0.0 && fb < 0.0)) {
    log.console("\nRoot must be bracketed in zbrent");
    return static_cast<float>((static_cast<double>(x1) + static_cast<double>(x2)) / 2.0);
  }
  double fc = fb;
  for (int iter = 1; iter <= kMaxIterations; ++iter) {
    if ((fb > 0.0 && fc > 0.0) || (fb < 0.0 && fc < 0.0)) {
      // Root lies between a and b: rename so that c is the other end.
      c = a;
      fc = fa;
      d = static_cast<float>(static_cast<double>(b) - a);
      e = d;
    }
    if (std::fabs(fc) < std::fabs(fb)) {
      a = b;
      b = c;
      c = a;
      fa = fb;
      fb = fc;
      fc = fa;
    }
    const double tol1 = 2.0 * kEps * std::fabs(static_cast<double>(b)) + 0.5 * tol;
    const double xm = 0.5 * (static_cast<double>(c) - b);
    if (std::fabs(xm) <= tol1 || fb == 0.0) return b;
    if (std::fabs(static_cast<double>(e)) >= tol1 && std::fabs(fa) > std::fabs(fb)) {
      // Inverse quadratic interpolation, or the secant step when only two points differ.
      const double s = fb / fa;
      double p;
      double q;
      if (a == c) {
        p = 2.0 * xm * s;
        q = 1.0 - s;
      } else {
        q = fa / fc;
        const double r = fb / fc;
        p = s * (2.0 * xm * q * (q - r) - (static_cast<double>(b) - a) * (r - 1.0));
        q = (q - 1.0) * (r - 1.0) * (s - 1.0);
      }
      if (p > 0.0) q = -q;
      p = std::fabs(p);
      const double min1 = 3.0 * xm * q - std::fabs(tol1 * q);
      const double min2 = std::fabs(static_cast<double>(e) * q);
      if (2.0 * p < (min1 < min2 ? min1 : min2)) {
        // Accept the interpolation.
        e = d;
        d = static_cast<float>(p / q);
      } else {
        // Interpolation failed: bisect.
        d = static_cast<float>(xm);
        e = d;
      }
    } else {
      // Bounds decreasing too slowly: bisect.
      d = static_cast<float>(xm);
      e = d;
    }
    a = b;
    fa = fb;
    if (std::fabs(static_cast<double>(d)) > tol1) {
      b = static_cast<float>(static_cast<double>(b) + d);
    } else {
      b = static_cast<float>(static_cast<double>(b) + (xm > 0.0 ? std::fabs(tol1) : -std::fabs(tol1)));
    }
    fb = func(b);
  }
  log.console("Maximum number of iterations exceeded in zbrent");
  throw FatalError("Maximum number of iterations exceeded in zbrent");
}

}  // namespace bandscape
