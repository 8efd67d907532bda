// The figures of genetic structure in space: the isolation-by-distance
// scatter of a Mantel test (genetic against geographic distance, with the
// least-squares line), and the curve of a statistic over distance classes
// (the correlogram with its null band and bootstrap bars, the kinship curve).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bandscape {

// Points (x[k], y[k]) and the line y = intercept + slope x over their x range;
// pairs with a value that is not a number are left out.
std::string ibd_scatter(std::span<const double> x, std::span<const double> y, double slope, double intercept,
                        std::string_view title, std::string_view x_title, std::string_view y_title);

// A statistic per distance class at the classes' mean distances `x`: the values
// joined by a line (a class without a value breaks it), an optional band
// (band_lo..band_hi, e.g. the 95% interval under the null hypothesis) shaded
// behind, optional bars (bar_lo..bar_hi, e.g. a bootstrap interval), and a
// dashed line at 0.
struct ClassCurve {
  std::vector<double> x, y;
  std::vector<double> band_lo, band_hi;  // empty: no band
  std::vector<double> bar_lo, bar_hi;    // empty: no bars
};
std::string class_curve_figure(const ClassCurve& curve, std::string_view title, std::string_view x_title,
                               std::string_view y_title);

}  // namespace bandscape
