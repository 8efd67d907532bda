// The layout rules every figure shares: font sizes and margins, estimated
// text extents, "nice" axis ticks, the axes themselves, legends, titles and
// the placement of point labels so that no text covers another text or an
// axis.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report/figures/svg.hpp"

namespace bandscape {

inline constexpr double kTickFont = 11.0;   // tick labels, legend entries, point and tip labels
inline constexpr double kLabelFont = 12.0;  // axis titles
inline constexpr double kTitleFont = 13.0;  // figure titles
inline constexpr double kSmallFont = 10.0;  // support values, notes
inline constexpr double kMargin = 14.0;     // around the whole figure
inline constexpr double kTickLength = 5.0;
inline constexpr double kMarkerRadius = 4.0;
inline constexpr double kLegendGap = 20.0;  // between a plotting area and its legend

// Estimated advance width of a line of UTF-8 text in the generic sans-serif
// family: per printable ASCII character the larger advance of DejaVu Sans and
// Liberation Sans (whose metrics are those of Arial and Helvetica), so the
// usual faces behind "sans-serif" are not wider; one em for any other
// character.
double text_width(std::string_view text, double font_size);

struct Box {
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
};
// Whether the interiors of two boxes meet; boxes that only touch do not.
bool overlaps(const Box& a, const Box& b);
bool contains(const Box& outer, const Box& inner);
Box grown(const Box& box, double by);

// The extent of a text line: from 0.8 of the font size above the baseline to
// 0.25 below, turned with the text when it is vertical.
Box text_box(const SvgText& text);
// The baseline that centres a line of the given size on `centre`.
double baseline_for_centre(double centre, double font_size);

// An axis from lo to hi with ticks every `step`, labelled with `decimals`.
struct AxisScale {
  double lo = 0.0;
  double hi = 1.0;
  double step = 1.0;
  int decimals = 0;
  std::vector<double> ticks;
};
// The step of 1, 2 or 5 times a power of ten nearest to span / target
// (1 for a span that is not a positive number).
double nice_step(double span, int target);
// The axis of multiples of `step` that covers lo..hi.
AxisScale axis_with_step(double lo, double hi, double step);
// The axis from lo to hi itself, ticked at the multiples of `step` within it.
AxisScale axis_within(double lo, double hi, double step);
// About `target` nice ticks covering lo..hi; a range of zero width is widened
// around its value (by a tenth of it, or by 1 around 0).
AxisScale nice_axis(double lo, double hi, int target = 5);
std::string tick_label(const AxisScale& axis, double value);

// A plotting area and the data ranges it shows.
struct PlotFrame {
  Box area{};
  AxisScale x{};
  AxisScale y{};
  double px(double v) const;
  double py(double v) const;
};

// Room the y axis needs left of the plotting area (ticks, their labels and
// the vertical title) and the x axis below it.
double left_axis_width(const AxisScale& y);
double bottom_axis_height();

// The left and bottom axis lines (class "axis"), ticks, tick labels and axis
// titles; a tick label that would touch its neighbour is left out.  Returns
// the boxes of the texts drawn.
std::vector<Box> draw_axes(SvgWriter& svg, const PlotFrame& frame, std::string_view x_title,
                           std::string_view y_title);
// A dashed grey line through 0 on each axis whose range holds 0 inside.
void draw_zero_lines(SvgWriter& svg, const PlotFrame& frame);

// The plotting area of an ordination, its longer side kOrdinationSide px
// below `top`: both axes on one scale, so that distances on the page are
// proportional to the distances the coordinates represent.  The shorter range
// is widened around its centre to at least half the longer one, so a flat
// cloud (or a single axis) still gets a readable height.  xs and ys: the
// points, at least one.
inline constexpr double kOrdinationSide = 420.0;
PlotFrame equal_scale_frame(const std::vector<double>& xs, const std::vector<double>& ys, double top);

// Height a title takes at the top of a figure (0 without one), and the title
// centred on `centre_x`.
double title_height(std::string_view title);
void draw_title(SvgWriter& svg, double centre_x, std::string_view title);

// A legend of populations (marker and name, population i styled as
// population_style(i)) in as many columns as it needs to stay within
// max_height.
struct LegendLayout {
  int rows = 0;
  int columns = 0;
  double column_width = 0.0;
  double width = 0.0;
  double height = 0.0;
};
LegendLayout legend_layout(std::span<const std::string> names, double max_height);
// `styles`: the style of each entry; empty: population_style(i).
void draw_legend(SvgWriter& svg, double left, double top, std::span<const std::string> names,
                 const LegendLayout& layout, std::span<const PopulationStyle> styles = {});

// Places labels one after the other: a label goes to the first of its
// candidate positions that lies within the bounds and meets neither an
// obstacle nor a label placed before; a label without such a position is
// dropped.  The order of the calls decides, so the result is the same on
// every run.
class LabelPlacer {
 public:
  explicit LabelPlacer(const Box& bounds) : bounds_(bounds) {}
  void add_obstacle(const Box& box) { taken_.push_back(box); }
  std::optional<SvgText> place(std::span<const SvgText> candidates);

 private:
  Box bounds_;
  std::vector<Box> taken_;
};

// Candidate positions of a label next to a point marker of the given radius:
// right, left, above, below, then the four corners, then the same eight
// positions further out.
std::vector<SvgText> candidates_around(double x, double y, double radius, std::string_view text,
                                       double font_size);

// A figure that only says why there is nothing to draw.
std::string note_figure(std::string_view title, std::string_view message);

}  // namespace bandscape
