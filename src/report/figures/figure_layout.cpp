#include "report/figures/figure_layout.hpp"

#include <algorithm>
#include <cmath>

namespace bandscape {

namespace {

// Advance widths in thousandths of an em of the characters 32..126: the
// larger of DejaVu Sans and Liberation Sans, rounded up (read from the fonts'
// horizontal metrics by tools/text_widths.py).
constexpr short kAsciiWidths[95] = {
    318, 401, 460, 838, 637, 951, 780, 275, 391, 391, 500, 838, 318, 361, 318, 337,   //  !"#$%&'()*+,-./
    637, 637, 637, 637, 637, 637, 637, 637, 637, 637, 337, 337, 838, 838, 838, 557,   // 0-9 :;<=>?
    1016, 685, 687, 723, 771, 667, 611, 778, 752, 295, 500, 667, 558, 863, 749, 788,  // @A-O
    667, 788, 723, 667, 611, 732, 685, 989, 686, 667, 686, 391, 337, 391, 838, 557,   // P-Z [\]^_
    500, 613, 635, 550, 635, 616, 353, 635, 634, 278, 278, 580, 278, 975, 634, 612,   // `a-o
    635, 635, 412, 521, 393, 634, 592, 818, 592, 592, 525, 637, 337, 637, 838,        // p-z {|}~
};

constexpr double kAscent = 0.8;
constexpr double kDescent = 0.25;

}  // namespace

double text_width(std::string_view text, double font_size) {
  long thousandths = 0;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 32 && c <= 126) {
      thousandths += kAsciiWidths[c - 32];
    } else if (c == '\t') {
      thousandths += kAsciiWidths[0];
    } else if (c >= 0x80 && (c & 0xC0) != 0x80) {
      thousandths += 1000;  // the first byte of a character beyond ASCII
    }
  }
  return static_cast<double>(thousandths) * font_size / 1000.0;
}

bool overlaps(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool contains(const Box& outer, const Box& inner) {
  return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
         inner.bottom <= outer.bottom;
}

Box grown(const Box& box, double by) { return {box.left - by, box.top - by, box.right + by, box.bottom + by}; }

Box text_box(const SvgText& text) {
  const double size = std::max(text.font_size, kMinimumFontSize);
  const double width = text_width(text.text, size);
  const double before = text.anchor == TextAnchor::start ? 0.0 : text.anchor == TextAnchor::middle ? width / 2 : width;
  if (text.vertical) {
    // Turned counter-clockwise: the text runs upwards, its ascent to the left.
    return {text.x - kAscent * size, text.y - (width - before), text.x + kDescent * size, text.y + before};
  }
  return {text.x - before, text.y - kAscent * size, text.x + width - before, text.y + kDescent * size};
}

double baseline_for_centre(double centre, double font_size) {
  return centre + (kAscent - kDescent) / 2 * font_size;
}

double nice_step(double span, int target) {
  const double raw = span / std::max(target, 1);
  if (!std::isfinite(raw) || !(raw > 0)) return 1.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double f = raw / power;
  return (f < 1.5 ? 1.0 : f < 3.5 ? 2.0 : f < 7.5 ? 5.0 : 10.0) * power;
}

AxisScale axis_with_step(double lo, double hi, double step) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0.0, hi = 1.0;
  if (hi < lo) std::swap(lo, hi);
  if (!std::isfinite(step) || !(step > 0) || (hi - lo) / step > 1000) step = nice_step(hi - lo, 5);
  double first = std::floor(lo / step + 1e-9);
  double last = std::ceil(hi / step - 1e-9);
  if (last <= first) last = first + 1;
  AxisScale axis;
  axis.step = step;
  axis.lo = first * step;
  axis.hi = last * step;
  axis.decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 9);
  for (double k = first; k <= last; ++k) axis.ticks.push_back(k * step);
  return axis;
}

AxisScale axis_within(double lo, double hi, double step) {
  AxisScale axis = axis_with_step(lo, hi, step);
  if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) return axis;
  const double slack = 1e-9 * axis.step;
  std::erase_if(axis.ticks, [&](double t) { return t < lo - slack || t > hi + slack; });
  axis.lo = lo;
  axis.hi = hi;
  return axis;
}

AxisScale nice_axis(double lo, double hi, int target) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0.0, hi = 1.0;
  if (hi < lo) std::swap(lo, hi);
  const double size = std::max(std::fabs(lo), std::fabs(hi));
  if (hi - lo <= std::max(1e-9 * size, 1e-12)) {
    const double half = size > 1e-9 ? size / 10 : 1.0;
    lo -= half;
    hi += half;
  }
  return axis_with_step(lo, hi, nice_step(hi - lo, target));
}

std::string tick_label(const AxisScale& axis, double value) { return fixed_text(value, axis.decimals); }

double PlotFrame::px(double v) const {
  return area.left + (v - x.lo) / (x.hi - x.lo) * (area.right - area.left);
}

double PlotFrame::py(double v) const {
  return area.bottom - (v - y.lo) / (y.hi - y.lo) * (area.bottom - area.top);
}

namespace {

constexpr double kTickGap = 3.0;    // between a tick and its label
constexpr double kTitleGap = 6.0;   // between tick labels and the axis title
constexpr double kLineHeight = 1.05;  // ascent + descent, in font sizes

}  // namespace

double left_axis_width(const AxisScale& y) {
  double widest = 0.0;
  for (double t : y.ticks) widest = std::max(widest, text_width(tick_label(y, t), kTickFont));
  return kTickLength + kTickGap + widest + kTitleGap + kLineHeight * kLabelFont;
}

double bottom_axis_height() {
  return kTickLength + kTickGap + kLineHeight * kTickFont + kTitleGap + kLineHeight * kLabelFont;
}

std::vector<Box> draw_axes(SvgWriter& svg, const PlotFrame& frame, std::string_view x_title,
                           std::string_view y_title) {
  const Box& a = frame.area;
  std::vector<Box> boxes;
  const auto put = [&](const SvgText& t) {
    svg.text(t);
    boxes.push_back(text_box(t));
  };
  svg.open("g", {{"stroke", "#000000"}, {"stroke-width", 1.0}});
  svg.element("line", {{"x1", a.left}, {"y1", a.top}, {"x2", a.left}, {"y2", a.bottom}, {"class", "axis"}});
  svg.element("line", {{"x1", a.left}, {"y1", a.bottom}, {"x2", a.right}, {"y2", a.bottom}, {"class", "axis"}});
  for (double t : frame.x.ticks) {
    const double x = frame.px(t);
    svg.element("line", {{"x1", x}, {"y1", a.bottom}, {"x2", x}, {"y2", a.bottom + kTickLength}});
  }
  for (double t : frame.y.ticks) {
    const double y = frame.py(t);
    svg.element("line", {{"x1", a.left - kTickLength}, {"y1", y}, {"x2", a.left}, {"y2", y}});
  }
  svg.close();

  const double x_label_baseline = a.bottom + kTickLength + kTickGap + kAscent * kTickFont;
  Box previous{};
  bool any = false;
  const auto put_spaced = [&](const SvgText& label, double gap) {
    const Box box = text_box(label);
    if (any && overlaps(grown(previous, gap), box)) return;
    put(label);
    previous = box;
    any = true;
  };
  for (double t : frame.x.ticks) {
    put_spaced({.x = frame.px(t), .y = x_label_baseline, .text = tick_label(frame.x, t), .font_size = kTickFont,
                .anchor = TextAnchor::middle},
               2.0);
  }
  any = false;
  for (double t : frame.y.ticks) {
    put_spaced({.x = a.left - kTickLength - kTickGap, .y = baseline_for_centre(frame.py(t), kTickFont),
                .text = tick_label(frame.y, t), .font_size = kTickFont, .anchor = TextAnchor::end},
               1.0);
  }
  if (!x_title.empty()) {
    put({.x = (a.left + a.right) / 2,
         .y = x_label_baseline + kDescent * kTickFont + kTitleGap + kAscent * kLabelFont,
         .text = std::string(x_title), .font_size = kLabelFont, .anchor = TextAnchor::middle});
  }
  if (!y_title.empty()) {
    put({.x = a.left - left_axis_width(frame.y) + kAscent * kLabelFont, .y = (a.top + a.bottom) / 2,
         .text = std::string(y_title), .font_size = kLabelFont, .anchor = TextAnchor::middle, .vertical = true});
  }
  return boxes;
}

void draw_zero_lines(SvgWriter& svg, const PlotFrame& frame) {
  const Box& a = frame.area;
  svg.open("g", {{"stroke", "#BBBBBB"}, {"stroke-width", 0.8}, {"stroke-dasharray", "4 3"}});
  if (frame.x.lo < 0 && frame.x.hi > 0) {
    svg.element("line", {{"x1", frame.px(0)}, {"y1", a.top}, {"x2", frame.px(0)}, {"y2", a.bottom}});
  }
  if (frame.y.lo < 0 && frame.y.hi > 0) {
    svg.element("line", {{"x1", a.left}, {"y1", frame.py(0)}, {"x2", a.right}, {"y2", frame.py(0)}});
  }
  svg.close();
}

PlotFrame equal_scale_frame(const std::vector<double>& xs, const std::vector<double>& ys, double top) {
  const auto [xmin, xmax] = std::minmax_element(xs.begin(), xs.end());
  const auto [ymin, ymax] = std::minmax_element(ys.begin(), ys.end());
  double span = std::max(*xmax - *xmin, *ymax - *ymin);
  const double size = std::max({std::fabs(*xmin), std::fabs(*xmax), std::fabs(*ymin), std::fabs(*ymax)});
  if (!(span > 1e-9 * size) || !(span > 1e-12)) span = size > 1e-9 ? size / 5 : 1.0;
  const auto padded = [span](double lo, double hi) {
    const double half = std::max(hi - lo, span / 2) / 2 + 0.06 * span;
    return std::pair{(lo + hi) / 2 - half, (lo + hi) / 2 + half};
  };
  const double step = nice_step(span * 1.12, 6);
  const auto [xlo, xhi] = padded(*xmin, *xmax);
  const auto [ylo, yhi] = padded(*ymin, *ymax);
  PlotFrame frame{.x = axis_within(xlo, xhi, step), .y = axis_within(ylo, yhi, step)};
  const double per_pixel = std::max(frame.x.hi - frame.x.lo, frame.y.hi - frame.y.lo) / kOrdinationSide;
  const double left = kMargin + left_axis_width(frame.y);
  frame.area = {left, top, left + (frame.x.hi - frame.x.lo) / per_pixel, top + (frame.y.hi - frame.y.lo) / per_pixel};
  return frame;
}

double title_height(std::string_view title) { return title.empty() ? 0.0 : kLineHeight * kTitleFont + 10.0; }

void draw_title(SvgWriter& svg, double centre_x, std::string_view title) {
  if (title.empty()) return;
  svg.text({.x = centre_x, .y = kMargin + kAscent * kTitleFont, .text = std::string(title),
            .font_size = kTitleFont, .anchor = TextAnchor::middle, .bold = true});
}

namespace {

constexpr double kLegendRow = 18.0;
constexpr double kLegendColumnGap = 16.0;
constexpr double kLegendTextOffset = 2 * kMarkerRadius + 6.0;

}  // namespace

LegendLayout legend_layout(std::span<const std::string> names, double max_height) {
  LegendLayout layout;
  const int n = static_cast<int>(names.size());
  if (n == 0) return layout;
  const int fit = std::max(1, static_cast<int>(max_height / kLegendRow));
  layout.columns = (n + fit - 1) / fit;
  layout.rows = (n + layout.columns - 1) / layout.columns;
  double widest = 0.0;
  for (const auto& name : names) widest = std::max(widest, text_width(name, kTickFont));
  layout.column_width = kLegendTextOffset + widest;
  layout.width = layout.columns * layout.column_width + (layout.columns - 1) * kLegendColumnGap;
  layout.height = layout.rows * kLegendRow;
  return layout;
}

void draw_legend(SvgWriter& svg, double left, double top, std::span<const std::string> names,
                 const LegendLayout& layout, std::span<const PopulationStyle> styles) {
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    const double x = left + (i / layout.rows) * (layout.column_width + kLegendColumnGap);
    const double centre = top + (i % layout.rows + 0.5) * kLegendRow;
    const PopulationStyle style = static_cast<std::size_t>(i) < styles.size() ? styles[i] : population_style(i);
    draw_marker(svg, style.shape, x + kMarkerRadius, centre, kMarkerRadius, style.colour, "legend-marker");
    svg.text({.x = x + kLegendTextOffset, .y = baseline_for_centre(centre, kTickFont), .text = names[i],
              .font_size = kTickFont});
  }
}

std::optional<SvgText> LabelPlacer::place(std::span<const SvgText> candidates) {
  for (const SvgText& candidate : candidates) {
    const Box box = text_box(candidate);
    if (!contains(bounds_, box)) continue;
    if (std::any_of(taken_.begin(), taken_.end(), [&](const Box& b) { return overlaps(b, box); })) continue;
    taken_.push_back(box);
    return candidate;
  }
  return std::nullopt;
}

std::vector<SvgText> candidates_around(double x, double y, double radius, std::string_view text,
                                       double font_size) {
  std::vector<SvgText> out;
  for (double gap : {radius + 2.0, radius + 8.0}) {
    const double centred = baseline_for_centre(y, font_size);
    const double above = y - gap - kDescent * font_size;
    const double below = y + gap + kAscent * font_size;
    const std::string s(text);
    const auto at = [&](double tx, double ty, TextAnchor anchor) {
      out.push_back({.x = tx, .y = ty, .text = s, .font_size = font_size, .anchor = anchor});
    };
    at(x + gap, centred, TextAnchor::start);
    at(x - gap, centred, TextAnchor::end);
    at(x, above, TextAnchor::middle);
    at(x, below, TextAnchor::middle);
    at(x + gap * 0.7, above, TextAnchor::start);
    at(x - gap * 0.7, above, TextAnchor::end);
    at(x + gap * 0.7, below, TextAnchor::start);
    at(x - gap * 0.7, below, TextAnchor::end);
  }
  return out;
}

std::string note_figure(std::string_view title, std::string_view message) {
  const double width = std::max({360.0, text_width(title, kTitleFont), text_width(message, kTickFont)}) + 2 * kMargin;
  const double height = title_height(title) + 2 * kMargin + 40.0;
  SvgWriter svg(width, height);
  draw_title(svg, width / 2, title);
  svg.text({.x = width / 2, .y = baseline_for_centre(title_height(title) + kMargin + 20.0, kTickFont),
            .text = std::string(message), .font_size = kTickFont, .anchor = TextAnchor::middle,
            .css_class = "note"});
  return svg.finish();
}

}  // namespace bandscape
