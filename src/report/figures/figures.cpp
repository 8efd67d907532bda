#include "report/figures/figures.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <vector>

#include "core/format.hpp"
#include "report/figures/figure_layout.hpp"
#include "report/figures/svg.hpp"

namespace bandscape {

namespace {

double title_width(std::string_view title) { return text_width(title, kTitleFont) + 2 * kMargin; }

void check_populations(std::span<const int> population, std::size_t names, const char* what) {
  for (int p : population) {
    if (p < 0 || static_cast<std::size_t>(p) >= names) throw std::invalid_argument(what);
  }
}

// ---------------------------------------------------------------------------
// Principal coordinates

struct Scatter {
  std::vector<double> x, y;
  std::string y_title;
};

Scatter first_two_axes(const PrincipalCoordinates& pc) {
  Scatter s;
  for (int i = 0; i < pc.n; ++i) {
    s.x.push_back(pc.coordinate(i, 0));
    s.y.push_back(pc.axes >= 2 ? pc.coordinate(i, 1) : 0.0);
  }
  s.y_title = pc.axes >= 2 ? pcoa_axis_title(pc, 1) : "PCoA 2: none (only one positive axis)";
  return s;
}

// What an ordination figure shows besides its points.
struct OrdinationDrawing {
  std::span<const int> population = {};  // of each object; empty: object i is population i
  double radius = kMarkerRadius;
  std::span<const SvgText> labels = {};
  std::span<const std::string> legend = {};  // names of the populations; empty: no legend
  std::string_view title = {};
  // The style of each population (of `population` and of the legend's
  // entries); empty: population_style.
  std::span<const PopulationStyle> styles = {};
};

std::string ordination_figure(const PrincipalCoordinates& pc, const Scatter& s, const PlotFrame& frame,
                              const OrdinationDrawing& drawing);

constexpr const char* kNoAxis = "No positive principal coordinate: the distances do not separate the objects.";

// The figure's size around a plotting area with an optional legend at its right.
struct Canvas {
  double width = 0.0;
  double height = 0.0;
};

Canvas canvas_around(const PlotFrame& frame, const LegendLayout& legend, std::string_view title) {
  const double right = legend.columns > 0 ? frame.area.right + kLegendGap + legend.width : frame.area.right;
  return {std::max(right + kMargin, title_width(title)),
          std::max(frame.area.bottom + bottom_axis_height(), frame.area.top + legend.height) + kMargin};
}

std::string ordination_figure(const PrincipalCoordinates& pc, const Scatter& s, const PlotFrame& frame,
                              const OrdinationDrawing& drawing) {
  const LegendLayout legend =
      drawing.legend.empty() ? LegendLayout{} : legend_layout(drawing.legend, frame.area.bottom - frame.area.top);
  const Canvas canvas = canvas_around(frame, legend, drawing.title);
  SvgWriter svg(canvas.width, canvas.height);
  draw_title(svg, canvas.width / 2, drawing.title);
  draw_zero_lines(svg, frame);
  draw_axes(svg, frame, pcoa_axis_title(pc, 0), s.y_title);
  for (int i = 0; i < pc.n; ++i) {
    const int p = drawing.population.empty() ? i : drawing.population[i];
    const PopulationStyle style =
        static_cast<std::size_t>(p) < drawing.styles.size() ? drawing.styles[p] : population_style(p);
    draw_marker(svg, style.shape, frame.px(s.x[i]), frame.py(s.y[i]), drawing.radius, style.colour, "point");
  }
  for (const SvgText& label : drawing.labels) svg.text(label);
  if (!drawing.legend.empty()) {
    draw_legend(svg, frame.area.right + kLegendGap, frame.area.top, drawing.legend, legend, drawing.styles);
  }
  return svg.finish();
}

// ---------------------------------------------------------------------------
// Trees

struct TreeGeometry {
  std::vector<int> preorder;   // parents before children, children in their order
  std::vector<double> depth;   // distance from the root, in branch length (or levels)
  std::vector<double> row;     // vertical position in tip rows
  double max_depth = 0.0;
  bool lengths = false;        // a phylogram; otherwise tips aligned by levels
  int rows = 0;
};

TreeGeometry tree_geometry(const Tree& tree) {
  TreeGeometry g;
  const std::size_t n = tree.nodes.size();
  g.depth.assign(n, 0.0);
  g.row.assign(n, 0.0);
  std::vector<int> stack{tree.root};
  while (!stack.empty()) {
    const int node = stack.back();
    stack.pop_back();
    g.preorder.push_back(node);
    const auto& children = tree.nodes[node].children;
    for (auto c = children.rbegin(); c != children.rend(); ++c) stack.push_back(*c);
  }
  for (int node : g.preorder) {
    for (int c : tree.nodes[node].children) g.depth[c] = g.depth[node] + std::max(0.0, tree.nodes[c].length);
  }
  for (int node : g.preorder) g.max_depth = std::max(g.max_depth, g.depth[node]);
  g.lengths = g.max_depth > 0 && std::isfinite(g.max_depth);
  if (!g.lengths) {
    // Without lengths: a node sits as many levels left of the tips as its
    // deepest path down to a tip.
    std::vector<double> levels(n, 0.0);
    for (auto it = g.preorder.rbegin(); it != g.preorder.rend(); ++it) {
      for (int c : tree.nodes[*it].children) levels[*it] = std::max(levels[*it], levels[c] + 1);
    }
    g.max_depth = levels[tree.root];
    for (int node : g.preorder) g.depth[node] = g.max_depth - levels[node];
  }
  for (int node : g.preorder) {
    if (tree.nodes[node].children.empty()) g.row[node] = g.rows++;
  }
  for (auto it = g.preorder.rbegin(); it != g.preorder.rend(); ++it) {
    const auto& children = tree.nodes[*it].children;
    if (!children.empty()) g.row[*it] = (g.row[children.front()] + g.row[children.back()]) / 2;
  }
  return g;
}

constexpr double kTreeWidth = 480.0;  // from the root to the farthest tip
constexpr double kNamedRow = 16.0;

// ---------------------------------------------------------------------------
// Heat map colours

// ColorBrewer's RdBu, reversed: blue for negative, white at 0, red for
// positive; a diverging ramp that stays legible under colour blindness.
constexpr unsigned kDiverging[11] = {0x053061, 0x2166AC, 0x4393C3, 0x92C5DE, 0xD1E5F0, 0xF7F7F7,
                                     0xFDDBC7, 0xF4A582, 0xD6604D, 0xB2182B, 0x67001F};
constexpr const char* kUndefinedGrey = "#A0A0A0";

// The colour at t in -1..1, linear between the ramp's anchors.
std::string diverging_colour(double t) {
  const double at = (std::clamp(t, -1.0, 1.0) + 1.0) * 5.0;
  const int i = std::min(static_cast<int>(at), 9);
  const double f = at - i;
  int channel[3];
  for (int k = 0; k < 3; ++k) {
    const int shift = 16 - 8 * k;
    const double a = (kDiverging[i] >> shift) & 0xFF, b = (kDiverging[i + 1] >> shift) & 0xFF;
    channel[k] = static_cast<int>(std::lround(a + (b - a) * f));
  }
  return format("#%02X%02X%02X", channel[0], channel[1], channel[2]);
}

}  // namespace

std::string pcoa_axis_title(const PrincipalCoordinates& pc, int axis) {
  if (axis < 0 || static_cast<std::size_t>(axis) >= pc.positive_shares.size() ||
      !std::isfinite(pc.positive_shares[static_cast<std::size_t>(axis)])) {
    return format("PCoA %d", axis + 1);
  }
  return format("PCoA %d (%s%%)", axis + 1, fixed_text(pc.positive_shares[static_cast<std::size_t>(axis)] * 100.0, 1).c_str());
}

std::string pcoa_individuals(const PrincipalCoordinates& pc, std::span<const int> population,
                             std::span<const std::string> population_names, std::string_view title) {
  if (population.size() != static_cast<std::size_t>(pc.n)) {
    throw std::invalid_argument("pcoa_individuals: one population per individual");
  }
  check_populations(population, population_names.size(), "pcoa_individuals: population out of range");
  if (pc.n == 0 || pc.axes < 1) return note_figure(title, kNoAxis);
  const Scatter s = first_two_axes(pc);
  const PlotFrame frame = equal_scale_frame(s.x, s.y, kMargin + title_height(title));
  return ordination_figure(pc, s, frame, {.population = population, .radius = kMarkerRadius,
                                          .legend = population_names, .title = title});
}

std::string pcoa_individuals_by_group(const PrincipalCoordinates& pc, std::span<const int> population,
                                      std::span<const std::string> population_names,
                                      std::span<const int> population_group, std::string_view title) {
  if (population.size() != static_cast<std::size_t>(pc.n)) {
    throw std::invalid_argument("pcoa_individuals_by_group: one population per individual");
  }
  if (population_group.size() != population_names.size()) {
    throw std::invalid_argument("pcoa_individuals_by_group: one group per population");
  }
  check_populations(population, population_names.size(), "pcoa_individuals_by_group: population out of range");
  if (pc.n == 0 || pc.axes < 1) return note_figure(title, kNoAxis);
  // Each population's place among the members of its group, and its legend entry.
  std::map<int, int> members;
  std::vector<PopulationStyle> styles;
  std::vector<std::string> legend;
  for (std::size_t p = 0; p < population_names.size(); ++p) {
    const int g = population_group[p];
    styles.push_back(group_member_style(g, members[g]++));
    legend.push_back(population_names[p] + format(" (group %d)", g + 1));
  }
  const Scatter s = first_two_axes(pc);
  const PlotFrame frame = equal_scale_frame(s.x, s.y, kMargin + title_height(title));
  return ordination_figure(pc, s, frame, {.population = population, .radius = kMarkerRadius, .legend = legend,
                                          .title = title, .styles = styles});
}

std::string pcoa_populations(const PrincipalCoordinates& pc, std::span<const std::string> population_names,
                             std::string_view title) {
  if (population_names.size() != static_cast<std::size_t>(pc.n)) {
    throw std::invalid_argument("pcoa_populations: one name per population");
  }
  if (pc.n == 0 || pc.axes < 1) return note_figure(title, kNoAxis);
  const Scatter s = first_two_axes(pc);
  const PlotFrame frame = equal_scale_frame(s.x, s.y, kMargin + title_height(title));
  constexpr double radius = kMarkerRadius + 1.0;

  // Labels in population order, clear of every marker and inside the axes.
  LabelPlacer placer(grown(frame.area, -1.0));
  for (int i = 0; i < pc.n; ++i) {
    const double x = frame.px(s.x[i]), y = frame.py(s.y[i]);
    placer.add_obstacle({x - radius - 1, y - radius - 1, x + radius + 1, y + radius + 1});
  }
  std::vector<SvgText> labels;
  for (int i = 0; i < pc.n; ++i) {
    const auto candidates =
        candidates_around(frame.px(s.x[i]), frame.py(s.y[i]), radius, population_names[i], kTickFont);
    if (auto placed = placer.place(candidates)) {
      placed->css_class = "point-label";
      labels.push_back(*placed);
    }
  }
  const bool all_named = labels.size() == population_names.size();
  return ordination_figure(pc, s, frame, {.radius = radius, .labels = labels,
                                          .legend = all_named ? std::span<const std::string>() : population_names,
                                          .title = title});
}

std::string tree_figure(const Tree& tree, std::span<const std::string> tip_names, const TreeFigureOptions& options) {
  if (tip_names.size() < static_cast<std::size_t>(tree.tips)) throw std::invalid_argument("tree_figure: a name per tip");
  const bool coloured = !options.tip_population.empty();
  if (coloured && options.tip_population.size() != static_cast<std::size_t>(tree.tips)) {
    throw std::invalid_argument("tree_figure: a population per tip");
  }
  check_populations(options.tip_population, options.population_names.size(), "tree_figure: population out of range");
  if (tree.root < 0 || static_cast<std::size_t>(tree.root) >= tree.nodes.size()) {
    return note_figure(options.title, "Empty tree: nothing to draw.");
  }
  const TreeGeometry g = tree_geometry(tree);
  const bool named = !coloured || tree.tips <= kMaxNamedTips;
  const double row_height = named ? kNamedRow : std::clamp(1600.0 / std::max(g.rows, 1), 2.0, kNamedRow);
  const double mark_radius = std::min(kMarkerRadius, row_height * 0.45);
  const double label_offset = coloured ? 2 * mark_radius + 5.0 : 4.0;

  double widest = 0.0;
  if (named) {
    for (int node : g.preorder) {
      if (tree.is_tip(node)) widest = std::max(widest, text_width(tip_names[node], kTickFont));
    }
  }
  const double left = kMargin;
  const double top = kMargin + title_height(options.title) + 4.0;
  const double scale = g.max_depth > 0 ? kTreeWidth / g.max_depth : 0.0;
  const auto px = [&](int node) { return left + g.depth[node] * scale; };
  const auto py = [&](int node) { return top + (g.row[node] + 0.5) * row_height; };
  const double tree_right = left + (g.max_depth > 0 ? kTreeWidth : 0.0);
  const double labels_right = tree_right + label_offset + widest;
  const double tree_bottom = top + g.rows * row_height;
  const double scale_bar_height = g.lengths ? 34.0 : 0.0;

  const LegendLayout legend =
      coloured ? legend_layout(options.population_names, std::max(tree_bottom - top, 200.0)) : LegendLayout{};
  const double width =
      std::max((coloured ? labels_right + kLegendGap + legend.width : labels_right) + kMargin, title_width(options.title));
  const double height = std::max(tree_bottom + scale_bar_height, top + legend.height) + kMargin;
  SvgWriter svg(width, height);
  draw_title(svg, width / 2, options.title);

  // Branches: for each node a horizontal line from its parent's position, for
  // each internal node a vertical line joining its first and last child.
  std::vector<Box> lines;
  std::string path;
  for (int node : g.preorder) {
    const TreeNode& n = tree.nodes[node];
    if (node != tree.root) {
      const double x0 = px(n.parent), x1 = px(node), y = py(node);
      path += "M" + svg_number(x0) + " " + svg_number(y) + "H" + svg_number(x1);
      lines.push_back({x0, y - 0.5, x1, y + 0.5});
    }
    if (!n.children.empty()) {
      const double x = px(node), y0 = py(n.children.front()), y1 = py(n.children.back());
      path += "M" + svg_number(x) + " " + svg_number(y0) + "V" + svg_number(y1);
      lines.push_back({x - 0.5, y0, x + 0.5, y1});
    }
  }
  if (!path.empty()) {
    svg.raw_element("path", "d=\"" + path + "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.00\" "
                            "stroke-linecap=\"square\"");
  }

  LabelPlacer placer({0.0, top - 4.0, labels_right, tree_bottom});
  for (const Box& line : lines) placer.add_obstacle(line);
  for (int node : g.preorder) {
    if (!tree.is_tip(node)) continue;
    const double x = px(node), y = py(node);
    if (coloured) {
      const PopulationStyle style = population_style(options.tip_population[node]);
      draw_marker(svg, style.shape, x + mark_radius + 1.0, y, mark_radius, style.colour, "tip-mark");
    }
    if (named) {
      const SvgText label{.x = x + label_offset, .y = baseline_for_centre(y, kTickFont), .text = tip_names[node],
                          .font_size = kTickFont, .css_class = "tip-label"};
      svg.text(label);
      placer.add_obstacle(text_box(label));
    }
  }

  // Support values: above the branch left of its node, else right of the
  // node between its children, else below the branch; left out when none of
  // these places is free.
  std::map<int, BranchSupport> support;
  for (const BranchSupport& b : options.support) support[b.node] = b;
  for (int node : g.preorder) {
    const auto found = support.find(node);
    if (node == tree.root || tree.is_tip(node) || found == support.end()) continue;
    if (!std::isfinite(found->second.percent)) continue;
    const std::string text = format("%ld", whole_percent(found->second));
    const double x = px(node), y = py(node);
    const SvgText candidates[] = {
        {.x = x - 3.0, .y = y - 4.0, .text = text, .font_size = kSmallFont, .anchor = TextAnchor::end},
        {.x = x + 3.0, .y = baseline_for_centre(y, kSmallFont), .text = text, .font_size = kSmallFont},
        {.x = x - 3.0, .y = y + 4.0 + 0.8 * kSmallFont, .text = text, .font_size = kSmallFont,
         .anchor = TextAnchor::end}};
    if (auto placed = placer.place(candidates)) {
      placed->css_class = "support";
      placed->fill = "#444444";
      svg.text(*placed);
    }
  }

  if (g.lengths) {
    const double unit = nice_step(g.max_depth, 5);
    const double y = tree_bottom + 10.0;
    const double x1 = left + unit * scale;
    svg.raw_element("path", "d=\"M" + svg_number(left) + " " + svg_number(y - 3) + "V" + svg_number(y + 3) + "M" +
                                svg_number(left) + " " + svg_number(y) + "H" + svg_number(x1) + "M" + svg_number(x1) +
                                " " + svg_number(y - 3) + "V" + svg_number(y + 3) +
                                "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.00\" class=\"scale-bar\"");
    svg.text({.x = (left + x1) / 2, .y = y + 6.0 + 0.8 * kTickFont, .text = fixed_text(unit, axis_with_step(0, unit, unit).decimals),
              .font_size = kTickFont, .anchor = TextAnchor::middle});
  }
  if (coloured) draw_legend(svg, labels_right + kLegendGap, top, options.population_names, legend);
  return svg.finish();
}

std::string permutation_histogram(std::span<const double> permuted, double observed, double p_value,
                                  std::string_view statistic) {
  std::vector<double> values;
  for (double v : permuted) {
    if (std::isfinite(v)) values.push_back(v);
  }
  const int n = static_cast<int>(permuted.size());
  std::string title = format("%.*s: %d permutation%s", static_cast<int>(statistic.size()), statistic.data(), n,
                             n == 1 ? "" : "s");
  if (std::isfinite(p_value)) title += ", " + p_value_text(p_value, n);
  if (values.empty()) return note_figure(title, "No permuted value to draw.");

  // Bins of a nice width, about the square root of the number of values
  // across the permuted range (5 to 30 of them), aligned on multiples of the
  // width; values all equal make one bar centred on them.
  const auto [lo_it, hi_it] = std::minmax_element(values.begin(), values.end());
  const double vmin = *lo_it, vmax = *hi_it;
  const double size = std::max(std::fabs(vmin), std::fabs(vmax));
  const bool equal = !(vmax - vmin > std::max(1e-9 * size, 1e-12));
  const int target = std::clamp(static_cast<int>(std::lround(std::sqrt(values.size()))), 5, 30);
  const double width = equal ? nice_step(size > 1e-9 ? size / 5 : 0.01, 1) : nice_step(vmax - vmin, target);
  const double first = equal ? vmin - width / 2 : std::floor(vmin / width) * width;
  std::vector<int> counts(equal ? 1 : static_cast<std::size_t>(std::floor(vmax / width) - std::floor(vmin / width)) + 1);
  for (double v : values) {
    const auto bin = static_cast<std::size_t>(equal ? 0.0 : std::floor(v / width) - std::floor(vmin / width));
    ++counts[std::min(bin, counts.size() - 1)];
  }
  const double last = first + counts.size() * width;

  // A single bar of equal values takes a fifth of the axis, not all of it.
  double lo = equal ? first - 2 * width : first, hi = equal ? last + 2 * width : last;
  if (std::isfinite(observed)) lo = std::min(lo, observed), hi = std::max(hi, observed);
  const double pad = (hi - lo) * 0.03;
  PlotFrame frame{.x = nice_axis(lo - pad, hi + pad, 6)};
  const int most = *std::max_element(counts.begin(), counts.end());
  frame.y = axis_with_step(0.0, most, std::max(1.0, nice_step(most, 5)));
  const double top = kMargin + title_height(title) + 1.05 * kTickFont + 6.0;  // room for the observed label
  const double left = kMargin + left_axis_width(frame.y);
  frame.area = {left, top, left + 480.0, top + 280.0};
  const double canvas_width = std::max(frame.area.right + 3 * kMargin, title_width(title));
  const double canvas_height = frame.area.bottom + bottom_axis_height() + kMargin;

  SvgWriter svg(canvas_width, canvas_height);
  draw_title(svg, canvas_width / 2, title);
  svg.open("g", {{"fill", "#56B4E9"}, {"stroke", "#FFFFFF"}, {"stroke-width", 0.5}});
  for (std::size_t k = 0; k < counts.size(); ++k) {
    if (counts[k] == 0) continue;
    const double x0 = frame.px(first + k * width), x1 = frame.px(first + (k + 1) * width);
    const double y = frame.py(counts[k]);
    svg.element("rect", {{"x", x0}, {"y", y}, {"width", x1 - x0}, {"height", frame.area.bottom - y}, {"class", "bar"}});
  }
  svg.close();
  draw_axes(svg, frame, statistic, "Permutations");
  if (std::isfinite(observed)) {
    const double x = frame.px(observed);
    svg.element("line", {{"x1", x}, {"y1", frame.area.top}, {"x2", x}, {"y2", frame.area.bottom},
                         {"stroke", "#D55E00"}, {"stroke-width", 2.0}, {"class", "observed"}});
    SvgText label{.x = x, .y = frame.area.top - 6.0, .text = "observed " + fixed_text(observed, 4),
                  .font_size = kTickFont, .anchor = TextAnchor::middle, .fill = "#D55E00"};
    const Box box = text_box(label);
    if (box.left < kMargin) label.x += kMargin - box.left;
    if (box.right > canvas_width - kMargin) label.x -= box.right - (canvas_width - kMargin);
    svg.text(label);
  }
  return svg.finish();
}

std::string permutation_histogram(std::span<const float> permuted, double observed, double p_value,
                                  std::string_view statistic) {
  const std::vector<double> values(permuted.begin(), permuted.end());
  return permutation_histogram(std::span<const double>(values), observed, p_value, statistic);
}

std::string permutation_histogram(const PermutationTest& test, std::string_view statistic) {
  return permutation_histogram(std::span<const double>(test.permuted), test.observed, test.p_value, statistic);
}

std::string relatedness_heatmap(const RelatednessTriangle& relatedness, std::span<const int> bounds,
                                std::span<const std::string> population_names, std::string_view title) {
  const int n = relatedness.individuals();
  const int r = static_cast<int>(population_names.size());
  if (bounds.size() != static_cast<std::size_t>(r) + 1 || bounds.front() != 0 || bounds.back() != n ||
      !std::is_sorted(bounds.begin(), bounds.end())) {
    throw std::invalid_argument("relatedness_heatmap: population bounds 0 .. individuals, one more than names");
  }
  if (n < 2) return note_figure(title, "Fewer than two individuals: no pair to draw.");

  // Classes of a nice width, symmetric about 0, covering the largest |r|.
  double largest = 0.0;
  bool undefined = false;
  for (int x = 0; x < n; ++x) {
    for (int y = x + 1; y < n; ++y) {
      const float v = relatedness.at(x, y);
      if (v == kRelatednessUndefined || !std::isfinite(v)) {
        undefined = true;
      } else {
        largest = std::max(largest, std::fabs(static_cast<double>(v)));
      }
    }
  }
  const double step = nice_step(largest > 1e-9 ? largest : 0.1, 5);
  const int half = std::max(1, static_cast<int>(std::ceil(largest / step - 1e-9)));
  const int classes = 2 * half;
  const double limit = half * step;
  const auto class_of = [&](double v) {
    return std::clamp(static_cast<int>(std::floor(v / step)) + half, 0, classes - 1);
  };

  // Geometry: the matrix about 480 px wide with a cell size of two decimals,
  // so that the cells and the population lines meet exactly.
  const double cell = std::floor(480.0 / n * 100.0) / 100.0;
  const double side = cell * n;
  std::vector<SvgText> left_names, top_names;
  double widest = 0.0;
  const double text_top = kMargin + title_height(title);
  for (int p = 0; p < r; ++p) widest = std::max(widest, text_width(population_names[p], kTickFont));
  const double left = kMargin + widest + 6.0;
  const double top = text_top + std::max(widest, 16.0) + 6.0;  // room for the colour bar's title too
  LabelPlacer placer({0.0, text_top, left - 2.0, top + side});
  LabelPlacer top_placer({left, text_top, left + side, top - 2.0});
  for (int p = 0; p < r; ++p) {
    if (bounds[p + 1] == bounds[p]) continue;
    const double mid = (bounds[p] + bounds[p + 1]) / 2.0 * cell;
    const SvgText row_label{.x = left - 4.0, .y = baseline_for_centre(top + mid, kTickFont),
                            .text = population_names[p], .font_size = kTickFont, .anchor = TextAnchor::end};
    if (auto placed = placer.place(std::span(&row_label, 1))) left_names.push_back(*placed);
    const SvgText column_label{.x = baseline_for_centre(left + mid, kTickFont), .y = top - 4.0,
                               .text = population_names[p], .font_size = kTickFont, .vertical = true};
    if (auto placed = top_placer.place(std::span(&column_label, 1))) top_names.push_back(*placed);
  }

  const double bar_left = left + side + 24.0;
  constexpr double bar_width = 14.0;
  const double bar_height = std::max(side, 160.0);
  AxisScale bar_axis = axis_with_step(-limit, limit, step);
  // Label every class boundary when they are few, else every other one.
  const int label_every = classes > 10 ? 2 : 1;
  double widest_tick = 0.0;
  for (double t : bar_axis.ticks) widest_tick = std::max(widest_tick, text_width(tick_label(bar_axis, t), kTickFont));
  const char* const bar_title = "Relatedness";
  const double right = std::max(bar_left + bar_width + kTickLength + 3.0 + widest_tick,
                                bar_left + text_width(bar_title, kTickFont));
  const double width = std::max(right + kMargin, title_width(title));
  const double undefined_row = undefined ? 26.0 : 0.0;
  const double height = std::max(top + side, top + bar_height + undefined_row) + kMargin;

  SvgWriter svg(width, height);
  draw_title(svg, width / 2, title);

  // One path per class in cell units, each run of equal classes along a row
  // one horizontal stroke a cell thick.
  std::vector<std::string> runs(classes + 1);  // the last one: undefined pairs
  for (int y = 0; y < n; ++y) {
    std::vector<int> previous_end(classes + 1, -1);
    int x = 0;
    while (x < n) {
      if (x == y) {
        ++x;
        continue;
      }
      const auto class_at = [&](int col) {
        const float v = relatedness.value(y, col);
        return v == kRelatednessUndefined || !std::isfinite(v) ? classes : class_of(v);
      };
      const int c = class_at(x);
      int end = x + 1;
      while (end < n && end != y && class_at(end) == c) ++end;
      std::string& d = runs[c];
      if (previous_end[c] < 0) {
        d += "M" + std::to_string(x) + " " + std::to_string(y) + ".5";
      } else {
        d += "m" + std::to_string(x - previous_end[c]) + " 0";
      }
      d += "h" + std::to_string(end - x);
      previous_end[c] = end;
      x = end;
    }
  }
  svg.open("g", {{"transform", "translate(" + svg_number(left) + " " + svg_number(top) + ") scale(" +
                                   svg_number(cell) + ")"},
                 {"fill", "none"}, {"stroke-width", 1}, {"shape-rendering", "crispEdges"}});
  std::vector<std::string> colours;
  for (int c = 0; c < classes; ++c) colours.push_back(diverging_colour((c + 0.5 - half) / half));
  colours.emplace_back(kUndefinedGrey);
  for (int c = 0; c <= classes; ++c) {
    if (runs[c].empty()) continue;
    svg.raw_element("path", "d=\"" + runs[c] + "\" stroke=\"" + colours[c] + "\" class=\"cells\"");
  }
  svg.close();

  // Population boundaries and the frame.
  svg.open("g", {{"stroke", "#222222"}, {"stroke-width", 1.0}, {"fill", "none"}});
  for (int p = 1; p < r; ++p) {
    if (bounds[p] == 0 || bounds[p] == n) continue;
    const double at = bounds[p] * cell;
    svg.element("line", {{"x1", left + at}, {"y1", top}, {"x2", left + at}, {"y2", top + side}});
    svg.element("line", {{"x1", left}, {"y1", top + at}, {"x2", left + side}, {"y2", top + at}});
  }
  svg.element("rect", {{"x", left}, {"y", top}, {"width", side}, {"height", side}});
  svg.close();
  for (const SvgText& t : left_names) svg.text(t);
  for (const SvgText& t : top_names) svg.text(t);

  // The colour bar: classes from -limit at the bottom to +limit at the top.
  const double class_height = bar_height / classes;
  for (int c = 0; c < classes; ++c) {
    svg.element("rect", {{"x", bar_left}, {"y", top + bar_height - (c + 1) * class_height}, {"width", bar_width},
                         {"height", class_height}, {"fill", colours[c]}, {"class", "scale-class"}});
  }
  svg.element("rect", {{"x", bar_left}, {"y", top}, {"width", bar_width}, {"height", bar_height}, {"fill", "none"},
                       {"stroke", "#222222"}, {"stroke-width", 0.8}});
  for (std::size_t k = 0; k < bar_axis.ticks.size(); ++k) {
    if (static_cast<int>(k) % label_every != 0) continue;
    const double y = top + bar_height - static_cast<double>(k) * class_height;
    svg.element("line", {{"x1", bar_left + bar_width}, {"y1", y}, {"x2", bar_left + bar_width + kTickLength},
                         {"y2", y}, {"stroke", "#222222"}});
    svg.text({.x = bar_left + bar_width + kTickLength + 3.0, .y = baseline_for_centre(y, kTickFont),
              .text = tick_label(bar_axis, bar_axis.ticks[k]), .font_size = kTickFont});
  }
  svg.text({.x = bar_left, .y = top - 11.0, .text = bar_title, .font_size = kTickFont});
  if (undefined) {
    const double y = top + bar_height + 12.0;
    svg.element("rect", {{"x", bar_left}, {"y", y}, {"width", bar_width}, {"height", bar_width},
                         {"fill", kUndefinedGrey}, {"class", "undefined-key"}});
    svg.text({.x = bar_left + bar_width + 6.0, .y = baseline_for_centre(y + bar_width / 2, kTickFont),
              .text = "undefined", .font_size = kTickFont});
  }
  return svg.finish();
}

}  // namespace bandscape
