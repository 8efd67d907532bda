#include "report/figures/spatial_figures.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/format.hpp"
#include "report/figures/figure_layout.hpp"
#include "report/figures/svg.hpp"

namespace bandscape {

namespace {

constexpr double kPlotWidth = 480.0;
constexpr double kPlotHeight = 300.0;

// The range of the finite values of the given lists, padded by 4% (a single
// value gets a range around it).
std::pair<double, double> padded_range(std::initializer_list<std::span<const double>> lists) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (std::span<const double> list : lists) {
    for (double v : list) {
      if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    }
  }
  if (!(lo <= hi)) return {0.0, 1.0};
  const double pad = (hi - lo) * 0.04;
  return {lo - pad, hi + pad};
}

// A frame of the standard plotting size below a title.
PlotFrame frame_for(std::pair<double, double> x, std::pair<double, double> y, std::string_view title) {
  PlotFrame frame{.x = nice_axis(x.first, x.second, 6), .y = nice_axis(y.first, y.second, 5)};
  const double top = kMargin + title_height(title);
  const double left = kMargin + left_axis_width(frame.y);
  frame.area = {left, top, left + kPlotWidth, top + kPlotHeight};
  return frame;
}

double canvas_width(const PlotFrame& frame, std::string_view title) {
  return std::max(frame.area.right + 2 * kMargin, text_width(title, kTitleFont) + 2 * kMargin);
}

}  // namespace

std::string ibd_scatter(std::span<const double> x, std::span<const double> y, double slope, double intercept,
                        std::string_view title, std::string_view x_title, std::string_view y_title) {
  std::vector<double> xs, ys;
  for (std::size_t k = 0; k < x.size() && k < y.size(); ++k) {
    if (std::isfinite(x[k]) && std::isfinite(y[k])) xs.push_back(x[k]), ys.push_back(y[k]);
  }
  if (xs.empty()) return note_figure(title, "No pair with both distances to draw.");
  const auto [x0, x1] = std::minmax_element(xs.begin(), xs.end());
  const double line_lo = intercept + slope * *x0, line_hi = intercept + slope * *x1;
  const std::vector<double> line = {line_lo, line_hi};
  const PlotFrame frame = frame_for(padded_range({xs}), padded_range({ys, line}), title);
  const double width = canvas_width(frame, title);
  SvgWriter svg(width, frame.area.bottom + bottom_axis_height() + kMargin);
  draw_title(svg, width / 2, title);
  draw_axes(svg, frame, x_title, y_title);
  for (std::size_t k = 0; k < xs.size(); ++k) {
    draw_marker(svg, MarkerShape::circle, frame.px(xs[k]), frame.py(ys[k]), kMarkerRadius, kOkabeIto[5], "point");
  }
  if (std::isfinite(line_lo) && std::isfinite(line_hi)) {
    svg.element("line", {{"x1", frame.px(*x0)}, {"y1", frame.py(line_lo)}, {"x2", frame.px(*x1)},
                         {"y2", frame.py(line_hi)}, {"stroke", "#D55E00"}, {"stroke-width", 2.0},
                         {"class", "regression"}});
  }
  return svg.finish();
}

std::string class_curve_figure(const ClassCurve& c, std::string_view title, std::string_view x_title,
                               std::string_view y_title) {
  const std::size_t n = c.x.size();
  const bool band = c.band_lo.size() == n && c.band_hi.size() == n;
  const bool bars = c.bar_lo.size() == n && c.bar_hi.size() == n;
  if (std::none_of(c.y.begin(), c.y.end(), [](double v) { return std::isfinite(v); })) {
    return note_figure(title, "No distance class with a value to draw.");
  }
  const std::vector<double> zero = {0.0};
  std::pair<double, double> x_range = padded_range({c.x});
  const PlotFrame frame = frame_for(x_range, padded_range({c.y, c.band_lo, c.band_hi, c.bar_lo, c.bar_hi, zero}), title);
  const double width = canvas_width(frame, title);
  SvgWriter svg(width, frame.area.bottom + bottom_axis_height() + kMargin);
  draw_title(svg, width / 2, title);
  if (band) {
    std::string points;
    for (std::size_t k = 0; k < n; ++k) {
      if (std::isfinite(c.band_hi[k])) points += svg_number(frame.px(c.x[k])) + "," + svg_number(frame.py(c.band_hi[k])) + " ";
    }
    for (std::size_t k = n; k-- > 0;) {
      if (std::isfinite(c.band_lo[k])) points += svg_number(frame.px(c.x[k])) + "," + svg_number(frame.py(c.band_lo[k])) + " ";
    }
    if (!points.empty()) {
      points.pop_back();
      svg.raw_element("polygon", "points=\"" + points + "\" fill=\"#DDDDDD\" class=\"null-band\"");
    }
  }
  draw_zero_lines(svg, frame);
  draw_axes(svg, frame, x_title, y_title);
  if (bars) {
    for (std::size_t k = 0; k < n; ++k) {
      if (!std::isfinite(c.bar_lo[k]) || !std::isfinite(c.bar_hi[k])) continue;
      const double x = frame.px(c.x[k]);
      svg.element("line", {{"x1", x}, {"y1", frame.py(c.bar_lo[k])}, {"x2", x}, {"y2", frame.py(c.bar_hi[k])},
                           {"stroke", "#0072B2"}, {"stroke-width", 1.5}, {"class", "interval"}});
    }
  }
  for (std::size_t k = 0; k + 1 < n; ++k) {
    if (!std::isfinite(c.y[k]) || !std::isfinite(c.y[k + 1])) continue;
    svg.element("line", {{"x1", frame.px(c.x[k])}, {"y1", frame.py(c.y[k])}, {"x2", frame.px(c.x[k + 1])},
                         {"y2", frame.py(c.y[k + 1])}, {"stroke", "#0072B2"}, {"stroke-width", 2.0},
                         {"class", "curve"}});
  }
  for (std::size_t k = 0; k < n; ++k) {
    if (std::isfinite(c.y[k])) {
      draw_marker(svg, MarkerShape::circle, frame.px(c.x[k]), frame.py(c.y[k]), kMarkerRadius, kOkabeIto[5], "point");
    }
  }
  return svg.finish();
}

}  // namespace bandscape
