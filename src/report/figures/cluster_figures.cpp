#include "report/figures/cluster_figures.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "core/format.hpp"
#include "report/figures/figure_layout.hpp"
#include "report/figures/svg.hpp"

namespace bandscape {

namespace {

double title_width(std::string_view title) { return text_width(title, kTitleFont) + 2 * kMargin; }

void check_groups(std::span<const int> group, std::size_t individuals, std::size_t names, const char* what) {
  if (group.size() != individuals) throw std::invalid_argument(std::string(what) + ": one group per individual");
  for (int g : group) {
    if (g < 0 || static_cast<std::size_t>(g) >= names) {
      throw std::invalid_argument(std::string(what) + ": group out of range");
    }
  }
}

std::string share_title(const Dapc& d, int f) {
  const double share = d.shares[static_cast<std::size_t>(f)];
  if (!std::isfinite(share)) return format("LD%d", f + 1);
  return format("LD%d (%s%%)", f + 1, fixed_text(100.0 * share, 1).c_str());
}

// ---------------------------------------------------------------------------
// Bar plots of individuals

constexpr double kWidestBar = 12.0;
constexpr double kNarrowestArea = 240.0;
constexpr double kWidestArea = 720.0;
constexpr double kMembershipHeight = 140.0;
constexpr double kBarPlotHeight = 240.0;
constexpr double kLongestName = 160.0;  // population names below the bars, at most

// Where the bars of n individuals go: bar i spans left + i*bar .. left + (i+1)*bar.
struct BarAxis {
  int n = 0;
  double left = 0.0;
  double bar = 0.0;
  double right() const { return left + n * bar; }
  double x(int i) const { return left + i * bar; }
};

BarAxis bar_axis(int n, double left) {
  const double width = std::clamp(kWidestBar * n, kNarrowestArea, kWidestArea);
  return {n, left, width / std::max(n, 1)};
}

// The group element whose user units are one bar across and one pixel down,
// its origin at the top left of the bars: a bar is then a stroke of width 1 at
// x = i + 0.5, whatever its width on the page.
// `gap`: bars of 3 px or more keep a fifth of their width free, so that they
// read as bars rather than as an area.
void open_bars(SvgWriter& svg, const BarAxis& axis, double top, bool gap) {
  const std::string transform =
      "translate(" + svg_number(axis.left) + " " + svg_number(top) + ") scale(" + fixed_text(axis.bar, 6) + " 1)";
  svg.open("g", {{"transform", transform}, {"fill", "none"}, {"stroke-width", gap && axis.bar >= 3.0 ? 0.8 : 1.0},
                 {"shape-rendering", axis.bar >= 1.0 ? "crispEdges" : ""}});
}

void bar_path(SvgWriter& svg, const std::string& d, std::string_view colour) {
  if (!d.empty()) svg.raw_element("path", "d=\"" + d + "\" stroke=\"" + std::string(colour) + "\" class=\"bars\"");
}

std::string bar_stroke(int i, const std::string& from, const std::string& to) {
  return "M" + std::to_string(i) + ".5 " + from + "V" + to;
}

// Consecutive individuals of one population.
struct PopulationBlock {
  int first = 0;
  int end = 0;
  int population = 0;
};

std::vector<PopulationBlock> population_blocks(std::span<const int> population) {
  std::vector<PopulationBlock> blocks;
  for (int i = 0; i < static_cast<int>(population.size()); ++i) {
    if (blocks.empty() || blocks.back().population != population[i]) blocks.push_back({i, i, population[i]});
    blocks.back().end = i + 1;
  }
  return blocks;
}

// Lines between the blocks from top to bottom.
void draw_block_lines(SvgWriter& svg, const BarAxis& axis, const std::vector<PopulationBlock>& blocks, double top,
                      double bottom) {
  if (blocks.size() < 2) return;
  svg.open("g", {{"stroke", "#222222"}, {"stroke-width", 0.8}});
  for (std::size_t b = 1; b < blocks.size(); ++b) {
    const double x = axis.x(blocks[b].first);
    svg.element("line", {{"x1", x}, {"y1", top}, {"x2", x}, {"y2", bottom}, {"class", "block-line"}});
  }
  svg.close();
}

double names_height(std::span<const std::string> population_names) {
  double widest = 0.0;
  for (const std::string& name : population_names) widest = std::max(widest, text_width(name, kTickFont));
  return std::min(widest, kLongestName) + 6.0;
}

// Each block's population name reading upwards under the block's middle,
// from `top` down; names that would meet another or run past the bars'
// ends are left out.
void draw_block_names(SvgWriter& svg, const BarAxis& axis, const std::vector<PopulationBlock>& blocks,
                      std::span<const std::string> population_names, double top) {
  LabelPlacer placer({axis.left - kTickFont, top, axis.right() + kTickFont, top + kLongestName});
  for (const PopulationBlock& b : blocks) {
    const double middle = (axis.x(b.first) + axis.x(b.end)) / 2;
    const SvgText name{.x = baseline_for_centre(middle, kTickFont), .y = top,
                       .text = population_names[static_cast<std::size_t>(b.population)], .font_size = kTickFont,
                       .anchor = TextAnchor::end, .vertical = true, .css_class = "block-name"};
    if (auto placed = placer.place(std::span(&name, 1))) svg.text(*placed);
  }
}

// The plotting area of the bars: the y axis given, an x axis without ticks.
PlotFrame bar_frame(const BarAxis& axis, double top, double height, const AxisScale& y) {
  const AxisScale individuals{.lo = 0.0, .hi = static_cast<double>(std::max(axis.n, 1)), .step = 1.0,
                              .decimals = 0, .ticks = {}};
  PlotFrame frame{.x = individuals, .y = y};
  frame.area = {axis.left, top, axis.right(), top + height};
  return frame;
}

}  // namespace

std::string dapc_scatter(const Dapc& d, std::span<const int> group, std::span<const std::string> group_names,
                         std::string_view title) {
  if (group_names.size() != static_cast<std::size_t>(d.groups)) {
    throw std::invalid_argument("dapc_scatter: one name per group");
  }
  check_groups(group, static_cast<std::size_t>(d.individuals), group_names.size(), "dapc_scatter");
  if (!d.done || d.individuals == 0 || d.functions < 1) {
    return note_figure(title, "No discriminant function: the analysis was not done.");
  }
  std::vector<double> xs, ys;
  for (int i = 0; i < d.individuals; ++i) {
    xs.push_back(d.functions >= 2 ? d.coordinate(i, 0) : i + 1.0);
    ys.push_back(d.functions >= 2 ? d.coordinate(i, 1) : d.coordinate(i, 0));
  }
  const double top = kMargin + title_height(title);
  PlotFrame frame;
  std::string x_title, y_title;
  if (d.functions >= 2) {
    frame = equal_scale_frame(xs, ys, top);
    x_title = share_title(d, 0);
    y_title = share_title(d, 1);
  } else {
    // One function: the individuals in their order along x.
    const auto [lo, hi] = std::minmax_element(ys.begin(), ys.end());
    const double pad = std::max((*hi - *lo) * 0.04, 1e-9);
    frame = {.x = nice_axis(0.0, d.individuals + 1.0, 6), .y = nice_axis(*lo - pad, *hi + pad, 5)};
    const double left = kMargin + left_axis_width(frame.y);
    frame.area = {left, top, left + kOrdinationSide, top + 300.0};
    x_title = "Individual (a single discriminant function: no LD2)";
    y_title = share_title(d, 0);
  }
  const LegendLayout legend = legend_layout(group_names, frame.area.bottom - frame.area.top);
  const double width = std::max(frame.area.right + kLegendGap + legend.width + kMargin, title_width(title));
  const double height = std::max(frame.area.bottom + bottom_axis_height(), frame.area.top + legend.height) + kMargin;
  SvgWriter svg(width, height);
  draw_title(svg, width / 2, title);
  draw_zero_lines(svg, frame);
  draw_axes(svg, frame, x_title, y_title);
  for (int i = 0; i < d.individuals; ++i) {
    const PopulationStyle style = population_style(group[static_cast<std::size_t>(i)]);
    draw_marker(svg, style.shape, frame.px(xs[static_cast<std::size_t>(i)]), frame.py(ys[static_cast<std::size_t>(i)]),
                kMarkerRadius, style.colour, "point");
  }
  draw_legend(svg, frame.area.right + kLegendGap, frame.area.top, group_names, legend);
  return svg.finish();
}

std::string membership_figure(std::span<const MembershipPanel> panels, std::span<const int> population,
                              std::span<const std::string> population_names, std::string_view title) {
  for (const MembershipPanel& p : panels) {
    if (p.group_names.size() != static_cast<std::size_t>(p.dapc.groups) ||
        static_cast<std::size_t>(p.dapc.individuals) != population.size()) {
      throw std::invalid_argument("membership_figure: one name per group and the same individuals in every panel");
    }
  }
  check_groups(population, population.size(), population_names.size(), "membership_figure");
  if (panels.empty() || population.empty()) return note_figure(title, "No discriminant analysis to draw.");

  const int n = static_cast<int>(population.size());
  const AxisScale y = axis_with_step(0.0, 1.0, 0.5);
  const BarAxis axis = bar_axis(n, kMargin + left_axis_width(y));
  const std::vector<PopulationBlock> blocks = population_blocks(population);
  const double heading_height = 1.05 * kLabelFont + 6.0;
  const double first_top = kMargin + title_height(title);
  double right = axis.right(), bottom = first_top;
  std::vector<LegendLayout> legends;
  for (const MembershipPanel& p : panels) {
    legends.push_back(legend_layout(p.group_names, kMembershipHeight));
    right = std::max(right, axis.right() + kLegendGap + legends.back().width);
    bottom += heading_height + std::max(kMembershipHeight, legends.back().height) + 10.0;
  }
  const double names_top = bottom + kTickLength;
  const double width = std::max(right + kMargin, title_width(title));
  SvgWriter svg(width, names_top + names_height(population_names) + kMargin);
  draw_title(svg, width / 2, title);

  double top = first_top;
  for (std::size_t k = 0; k < panels.size(); ++k) {
    const MembershipPanel& p = panels[k];
    svg.text({.x = axis.left, .y = top + 0.8 * kLabelFont, .text = p.heading, .font_size = kLabelFont,
              .css_class = "panel-heading"});
    const double bars_top = top + heading_height;
    // Each group's segment of every bar, its ends the cumulative posterior
    // rounded to whole pixels so that the segments of a bar meet exactly.
    std::vector<std::string> paths(static_cast<std::size_t>(p.dapc.groups));
    for (int i = 0; i < n; ++i) {
      double below = 0.0;
      for (int g = 0; g < p.dapc.groups; ++g) {
        const double share = p.dapc.posterior_of(i, g);
        const double above = std::clamp(below + (std::isfinite(share) ? share : 0.0), 0.0, 1.0);
        const long from = std::lround(kMembershipHeight * (1.0 - below));
        const long to = std::lround(kMembershipHeight * (1.0 - above));
        if (from != to) paths[static_cast<std::size_t>(g)] += bar_stroke(i, std::to_string(from), std::to_string(to));
        below = above;
      }
    }
    open_bars(svg, axis, bars_top, false);
    for (int g = 0; g < p.dapc.groups; ++g) {
      bar_path(svg, paths[static_cast<std::size_t>(g)], population_style(g).colour);
    }
    svg.close();
    const PlotFrame frame = bar_frame(axis, bars_top, kMembershipHeight, y);
    draw_block_lines(svg, axis, blocks, bars_top, frame.area.bottom);
    draw_axes(svg, frame, {}, "Membership");
    draw_legend(svg, axis.right() + kLegendGap, bars_top, p.group_names, legends[k]);
    top = bars_top + std::max(kMembershipHeight, legends[k].height) + 10.0;
  }
  draw_block_names(svg, axis, blocks, population_names, names_top);
  return svg.finish();
}

std::string assignment_figure(const AssignmentTest& test, std::span<const std::string> population_names,
                              std::string_view title) {
  const std::size_t n = static_cast<std::size_t>(test.individuals);
  if (test.difference.size() != n || test.assigned.size() != n) {
    throw std::invalid_argument("assignment_figure: one difference and one assignment per individual");
  }
  check_groups(test.population, n, population_names.size(), "assignment_figure");
  double largest = 0.0;
  bool any = false;
  for (double v : test.difference) {
    if (std::isfinite(v)) largest = std::max(largest, v), any = true;
  }
  if (!any) return note_figure(title, "No second population to compare with: no log-likelihood difference.");

  const AxisScale y = axis_with_step(0.0, largest > 0 ? largest : 1.0, nice_step(largest > 0 ? largest : 1.0, 5));
  const BarAxis axis = bar_axis(test.individuals, kMargin + left_axis_width(y));
  const double top = kMargin + title_height(title);
  const PlotFrame frame = bar_frame(axis, top, kBarPlotHeight, y);
  const std::vector<PopulationBlock> blocks = population_blocks(test.population);
  const std::vector<std::string> keys = {
      format("Assigned to its own population (%d)", test.correct),
      format("Assigned to another population (%d)", test.individuals - test.correct)};
  const PopulationStyle styles[] = {{kOkabeIto[2], MarkerShape::square}, {kOkabeIto[5], MarkerShape::square}};
  const LegendLayout legend = legend_layout(keys, kBarPlotHeight);
  const double width = std::max(axis.right() + kLegendGap + legend.width + kMargin, title_width(title));
  const double names_top = frame.area.bottom + kTickLength;
  SvgWriter svg(width, names_top + names_height(population_names) + kMargin);
  draw_title(svg, width / 2, title);

  std::string own, other;
  const std::string base = svg_number(kBarPlotHeight);
  for (std::size_t i = 0; i < n; ++i) {
    const double v = test.difference[i];
    if (!std::isfinite(v)) continue;
    std::string& d = test.assigned[i] == test.population[i] ? own : other;
    d += bar_stroke(static_cast<int>(i), base, svg_number(frame.py(v) - top));
  }
  open_bars(svg, axis, top, true);
  bar_path(svg, own, styles[0].colour);
  bar_path(svg, other, styles[1].colour);
  svg.close();
  draw_block_lines(svg, axis, blocks, top, frame.area.bottom);
  draw_axes(svg, frame, {}, "Log-likelihood difference");
  draw_legend(svg, axis.right() + kLegendGap, top, keys, legend, styles);
  draw_block_names(svg, axis, blocks, population_names, names_top);
  return svg.finish();
}

}  // namespace bandscape
