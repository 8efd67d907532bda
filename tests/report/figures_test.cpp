// Every figure read back as XML with pugixml: well-formed, a viewBox, the
// sans-serif family, no font below 10 px, no "nan" or "inf" in any attribute,
// the same bytes on a second call, the expected number of points, tips and
// bars, and no text box meeting another or crossing an axis line.  Positions
// and counts are worked by hand from the layout rules (plot widths, margins
// and nice steps of report/figure_layout.hpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <pugixml.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "report/figures/figure_layout.hpp"
#include "report/figures/figures.hpp"
#include "report/svg_queries.hpp"

namespace bandscape::testing {
namespace {

// The figure made twice must be the same text; it is checked for what every
// figure must hold and returned parsed.
template <class Make>
pugi::xml_document figure(Make make) {
  const std::string svg = make();
  EXPECT_EQ(svg, make()) << "not the same bytes on a second call";
  pugi::xml_document doc;
  const auto parsed = doc.load_string(svg.c_str());
  EXPECT_TRUE(parsed) << parsed.description();
  const pugi::xml_node root = doc.child("svg");
  EXPECT_EQ(std::string(root.attribute("viewBox").value()),
            std::string("0 0 ") + root.attribute("width").value() + " " + root.attribute("height").value());
  EXPECT_STREQ(root.attribute("font-family").value(), "sans-serif");
  for (const auto& node : doc.select_nodes("//*")) {
    for (const auto& a : node.node().attributes()) {
      std::string value = a.value();
      std::transform(value.begin(), value.end(), value.begin(), ::tolower);
      EXPECT_EQ(value.find("nan"), std::string::npos) << a.name() << "=" << a.value();
      EXPECT_EQ(value.find("inf"), std::string::npos) << a.name() << "=" << a.value();
    }
  }
  for (const auto& text : doc.select_nodes("//text")) {
    EXPECT_GE(text.node().attribute("font-size").as_double(), 10.0) << text.node().child_value();
  }
  return doc;
}

bool has_text(const pugi::xml_document& doc, const std::string& text) {
  for (const auto& t : doc.select_nodes("//text")) {
    if (text == t.node().child_value()) return true;
  }
  return false;
}

// No two texts meet and none crosses an axis line, their boxes estimated with
// the same width table the layout uses.
void expect_texts_apart(const pugi::xml_document& doc) {
  std::vector<Box> boxes;
  for (const auto& t : doc.select_nodes("//text")) {
    const pugi::xml_node n = t.node();
    const std::string anchor = n.attribute("text-anchor").value();
    boxes.push_back(text_box({.x = n.attribute("x").as_double(), .y = n.attribute("y").as_double(),
                              .text = n.child_value(), .font_size = n.attribute("font-size").as_double(),
                              .anchor = anchor == "middle" ? TextAnchor::middle
                                        : anchor == "end"  ? TextAnchor::end
                                                           : TextAnchor::start,
                              .vertical = std::string(n.attribute("transform").value()).starts_with("rotate(-90")}));
  }
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    for (std::size_t j = i + 1; j < boxes.size(); ++j) EXPECT_FALSE(overlaps(boxes[i], boxes[j])) << i << " " << j;
  }
  for (const auto& l : doc.select_nodes("//line[@class='axis']")) {
    const pugi::xml_node n = l.node();
    const double x1 = n.attribute("x1").as_double(), x2 = n.attribute("x2").as_double();
    const double y1 = n.attribute("y1").as_double(), y2 = n.attribute("y2").as_double();
    const Box line{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    for (const Box& b : boxes) EXPECT_FALSE(overlaps(b, line));
  }
}

PrincipalCoordinates coordinates(const std::vector<std::pair<double, double>>& points, int axes) {
  PrincipalCoordinates pc;
  pc.n = static_cast<int>(points.size());
  pc.axes = axes;
  pc.relative_eigenvalues = {0.23449, 0.1, 0.05};
  pc.positive_shares = pc.relative_eigenvalues;
  for (const auto& [x, y] : points) {
    pc.coordinates.push_back(x);
    if (axes > 1) pc.coordinates.push_back(y);
  }
  return pc;
}

std::vector<std::string> names(int n, const std::string& stem = "Population ") {
  std::vector<std::string> out;
  for (int i = 1; i <= n; ++i) out.push_back(stem + std::to_string(i));
  return out;
}

TEST(Figures, IndividualsOnEqualScalesColouredByPopulation) {
  const auto pc = coordinates({{-1.2, 0.3}, {0.8, -0.5}, {0.4, 0.9}, {1.5, 0.1}, {-0.7, -0.2}}, 2);
  const std::vector<int> population = {0, 2, 1, 2, 0};
  const auto pops = names(3);
  const auto doc = figure([&] { return pcoa_individuals(pc, population, pops); });
  EXPECT_EQ(count(doc, "point"), 5);
  EXPECT_EQ(count(doc, "legend-marker"), 3);
  EXPECT_TRUE(has_text(doc, "PCoA 1 (23.4%)"));
  EXPECT_TRUE(has_text(doc, "PCoA 2 (10.0%)"));
  expect_texts_apart(doc);
  const auto points = doc.select_nodes("//circle[@class='point']");
  ASSERT_EQ(points.size(), 5u);
  EXPECT_STREQ(points[1].node().attribute("fill").value(), "#009E73");  // population 2: third colour
  // One scale on both axes: pixels per unit from points 0 and 1 agree.
  const auto at = [&](int i, const char* a) { return points[i].node().attribute(a).as_double(); };
  EXPECT_NEAR((at(1, "cx") - at(0, "cx")) / 2.0, (at(1, "cy") - at(0, "cy")) / 0.8, 0.02);
}

TEST(Figures, IndividualsColouredByGroupShapedByPopulationWithinIt) {
  const auto pc = coordinates({{-1.2, 0.3}, {0.8, -0.5}, {0.4, 0.9}, {1.5, 0.1}, {-0.7, -0.2}, {0.1, 0.1}}, 2);
  // Populations 0 and 2 form group 0, population 1 alone group 1, population 3 group 0 too.
  const std::vector<int> population = {0, 1, 2, 3, 0, 2};
  const std::vector<int> group = {0, 1, 0, 0};
  const auto pops = names(4);
  const auto doc = figure([&] { return pcoa_individuals_by_group(pc, population, pops, group); });
  EXPECT_EQ(count(doc, "point"), 6);
  EXPECT_EQ(count(doc, "legend-marker"), 4);
  EXPECT_TRUE(has_text(doc, "Population 1 (group 1)"));
  EXPECT_TRUE(has_text(doc, "Population 2 (group 2)"));
  EXPECT_TRUE(has_text(doc, "Population 4 (group 1)"));
  expect_texts_apart(doc);
  // Group 1's colour (the first Okabe-Ito one) for its three populations,
  // told apart by shape: circle, square, triangle in the order of the
  // populations; group 2 gets the second colour and the first shape.
  const auto circles = doc.select_nodes("//circle[@class='point']");
  ASSERT_EQ(circles.size(), 3u);  // individuals 0 and 4 (population 1), 1 (population 2)
  EXPECT_STREQ(circles[0].node().attribute("fill").value(), "#E69F00");
  EXPECT_STREQ(circles[1].node().attribute("fill").value(), "#56B4E9");
  const auto squares = doc.select_nodes("//rect[@class='point']");
  ASSERT_EQ(squares.size(), 2u);  // population 3, individuals 2 and 5
  EXPECT_STREQ(squares[0].node().attribute("fill").value(), "#E69F00");
  EXPECT_EQ(doc.select_nodes("//polygon[@class='point']").size(), 1u);  // population 4: a triangle
  EXPECT_THROW(pcoa_individuals_by_group(pc, population, pops, std::vector<int>{0, 1}), std::invalid_argument);
}

TEST(Figures, PopulationLabelsStayApartOrMoveToALegend) {
  // 40 populations, 30 of them in a tight cluster: names that find no free
  // place are dropped and the legend names everyone.
  std::vector<std::pair<double, double>> crowded;
  for (int i = 0; i < 40; ++i) {
    crowded.emplace_back(i < 30 ? 0.01 * (i % 6) : std::cos(i) * 0.8, i < 30 ? 0.01 * (i / 6) : std::sin(i) * 0.5);
  }
  const auto many = names(40, "Site ");
  const auto doc = figure([&] { return pcoa_populations(coordinates(crowded, 2), many); });
  EXPECT_EQ(count(doc, "point"), 40);
  EXPECT_LT(count(doc, "point-label"), 40);
  EXPECT_EQ(count(doc, "legend-marker"), 40);
  expect_texts_apart(doc);

  const auto sparse = coordinates({{-1, -1}, {1, 1}, {-1, 1}, {1, -1}, {0, 0}}, 2);
  const auto few = names(5);
  const auto named = figure([&] { return pcoa_populations(sparse, few, "Nei & Li <1979>"); });
  EXPECT_EQ(texts(named, "point-label"), few);
  EXPECT_EQ(count(named, "legend-marker"), 0);
  EXPECT_TRUE(has_text(named, "Nei & Li <1979>"));
  expect_texts_apart(named);
}

TEST(Figures, SixtyPopulationsKeepTheirLegendApartWith48Styles) {
  std::vector<std::pair<double, double>> points;
  std::vector<int> population;
  for (int i = 0; i < 120; ++i) {
    points.emplace_back(std::sin(i * 0.7), std::cos(i * 1.3) * 0.3);
    population.push_back(i % 60);
  }
  const auto pops = names(60);
  const auto doc = figure([&] { return pcoa_individuals(coordinates(points, 2), population, pops); });
  EXPECT_EQ(count(doc, "point"), 120);
  // A style: element, colour and the polygon's corners relative to its first.
  std::set<std::string> styles;
  for (const auto& m : doc.select_nodes("//*[@class='legend-marker']")) {
    std::string style = std::string(m.node().name()) + m.node().attribute("fill").value();
    std::istringstream corners(m.node().attribute("points").value());
    double x0 = 0, y0 = 0, x, y;
    char comma;
    for (int k = 0; corners >> x >> comma >> y; ++k) {
      if (k == 0) x0 = x, y0 = y;
      style += " " + std::to_string(std::lround(x - x0)) + "," + std::to_string(std::lround(y - y0));
    }
    styles.insert(style);
  }
  EXPECT_EQ(styles.size(), 48u);
  expect_texts_apart(doc);
}

TEST(Figures, DegenerateOrdinations) {
  const auto one = names(1);
  // A single axis: axis 1 against 0, said in the axis title.
  const auto flat = figure([&] { return pcoa_populations(coordinates({{-1, 0}, {2, 0}, {2, 0}}, 1), names(3)); });
  EXPECT_EQ(count(flat, "point"), 3);
  EXPECT_TRUE(has_text(flat, "PCoA 2: none (only one positive axis)"));
  expect_texts_apart(flat);
  // One point, points all equal, no positive axis at all.
  EXPECT_EQ(count(figure([&] { return pcoa_individuals(coordinates({{0.5, -0.5}}, 2), std::vector{0}, one); }), "point"), 1);
  EXPECT_EQ(count(figure([&] { return pcoa_individuals(coordinates({{0, 0}, {0, 0}}, 2), std::vector{0, 0}, one); }),
                  "point"),
            2);
  const auto none = figure([&] { return pcoa_individuals(coordinates({{0, 0}}, 0), std::vector{0}, one); });
  EXPECT_EQ(count(none, "point"), 0);
  EXPECT_EQ(count(none, "note"), 1);
  EXPECT_EQ(count(figure([&] { return pcoa_populations(PrincipalCoordinates{}, {}); }), "note"), 1);
  EXPECT_THROW(pcoa_individuals(coordinates({{0, 0}}, 2), std::vector{1}, one), std::invalid_argument);
  EXPECT_THROW(pcoa_populations(coordinates({{0, 0}}, 2), names(2)), std::invalid_argument);
}

// ((A:0.1,B:0.3):0.1,(C:0.2,D:0.05):0.15,E:0.5): tips at depths 0.2, 0.4,
// 0.35, 0.2 and 0.5; the deepest maps to 480 px right of the 14 px margin.
Tree five_tips() {
  Tree t = tips_only(5, false);
  const int a = t.join({0, 1}), b = t.join({2, 3});
  t.root = t.join({a, b, 4});
  const double lengths[] = {0.1, 0.3, 0.2, 0.05, 0.5, 0.1, 0.15};
  for (int node = 0; node < 7; ++node) t.nodes[node].length = lengths[node];
  return t;
}

Tree caterpillar(int tips) {
  Tree t = tips_only(tips, false);
  int node = t.join({0, 1});
  for (int tip = 2; tip < tips; ++tip) node = t.join({node, tip});
  t.root = node;
  for (auto& n : t.nodes) n.length = 0.01;
  return t;
}

TEST(Figures, PhylogramWithFullNamesSupportAndScaleBar) {
  const std::vector<std::string> tip_names = {"A", "Pop & Co <2>", "a long name with spaces", "D", "E"};
  const std::vector<BranchSupport> support = {{5, 19, 95.0}, {6, 25, 62.5}, {7, 20, 100.0}};
  const auto doc = figure([&] { return tree_figure(five_tips(), tip_names, {.support = support}); });
  EXPECT_EQ(texts(doc, "tip-label"), tip_names);
  EXPECT_EQ(texts(doc, "support"), (std::vector<std::string>{"95", "63"}));  // none at the root; 62.5 as in the Newick label
  const auto x_of = [&](const std::string& name) {
    return doc.select_node(("//text[.='" + name + "']").c_str()).node().attribute("x").as_double();
  };
  EXPECT_DOUBLE_EQ(x_of("E"), 14 + 480 + 4);                     // depth 0.5
  EXPECT_DOUBLE_EQ(x_of("Pop & Co <2>"), 14 + 0.4 * 960 + 4);    // depth 0.4
  EXPECT_DOUBLE_EQ(x_of("D"), 14 + 0.2 * 960 + 4);               // depth 0.2
  // Scale bar: the nice step of 0.5 / 5, 0.1, is 96 px long.
  EXPECT_EQ(count(doc, "scale-bar"), 1);
  EXPECT_NE(std::string(doc.select_node("//*[@class='scale-bar']").node().attribute("d").value()).find("H110.00"),
            std::string::npos);
  EXPECT_TRUE(has_text(doc, "0.1"));
  expect_texts_apart(doc);
}

TEST(Figures, TreesColouredByPopulationDropNamesAbove200Tips) {
  for (int tips : {200, 201}) {
    std::vector<int> population(tips);
    for (int i = 0; i < tips; ++i) population[i] = i % 9;
    const auto tip_names = names(tips, "ind");
    const auto pops = names(9);
    const auto doc = figure([&] {
      return tree_figure(caterpillar(tips), tip_names, {.tip_population = population, .population_names = pops});
    });
    EXPECT_EQ(count(doc, "tip-mark"), tips);
    EXPECT_EQ(count(doc, "tip-label"), tips == 200 ? 200 : 0);
    EXPECT_EQ(count(doc, "legend-marker"), 9);
  }
}

TEST(Figures, SmallAndEmptyTrees) {
  const auto abc = names(3, "T");
  Tree one = tips_only(1, false);
  one.root = 0;
  EXPECT_EQ(count(figure([&] { return tree_figure(one, abc); }), "tip-label"), 1);
  Tree two = tips_only(2, false);
  two.root = two.join({0, 1});
  two.nodes[0].length = 0.2;
  EXPECT_EQ(count(figure([&] { return tree_figure(two, abc); }), "tip-label"), 2);
  // A star of three tips without lengths: drawn with aligned tips, no scale.
  Tree star = tips_only(3, false);
  star.root = star.join({0, 1, 2});
  const auto doc = figure([&] { return tree_figure(star, abc); });
  EXPECT_EQ(count(doc, "scale-bar"), 0);
  std::set<std::string> xs;
  for (const auto& t : doc.select_nodes("//text[@class='tip-label']")) xs.insert(t.node().attribute("x").value());
  EXPECT_EQ(xs.size(), 1u);
  EXPECT_EQ(count(figure([&] { return tree_figure(tips_only(3, false), abc); }), "note"), 1);
  EXPECT_THROW(tree_figure(star, names(2)), std::invalid_argument);
}

TEST(Figures, PermutationHistogramBinsAndObservedValue) {
  // Six values, target 5 bins over 0.038 -> width 0.01: bins 1, 1, 2, 2, 2, 4
  // give bars of 2, 3 and 1 on a count axis 0..3 of 280 px.  The x axis
  // covers 0.01..0.08 padded by 3%: 0.00 .. 0.09 in steps of 0.01, 480 px.
  const std::vector<double> permuted = {0.011, 0.025, 0.012, 0.026, 0.049, 0.027};
  const auto doc = figure([&] { return permutation_histogram(permuted, 0.08, 1.0 / 7, "Fst"); });
  const auto bars = doc.select_nodes("//rect[@class='bar']");
  ASSERT_EQ(bars.size(), 3u);
  const char* heights[] = {"186.67", "280.00", "93.33"};
  for (int k = 0; k < 3; ++k) {
    EXPECT_STREQ(bars[k].node().attribute("height").value(), heights[k]);
    EXPECT_STREQ(bars[k].node().attribute("width").value(), "53.33");
  }
  const double first_bar = bars[0].node().attribute("x").as_double();
  const double observed = doc.select_node("//line[@class='observed']").node().attribute("x1").as_double();
  EXPECT_NEAR(observed - first_bar, 0.07 * 480 / 0.09, 0.011);
  EXPECT_TRUE(has_text(doc, "Fst: 6 permutations, P = 0.143"));
  EXPECT_TRUE(has_text(doc, "observed 0.0800"));
  expect_texts_apart(doc);
}

TEST(Figures, DegenerateHistograms) {
  const double nan = std::nan("");
  const std::vector<float> equal(99, 0.02f);
  const auto one_bar = figure([&] { return permutation_histogram(equal, 0.02, 1.0, "Fst"); });
  EXPECT_EQ(count(one_bar, "bar"), 1);
  EXPECT_TRUE(has_text(one_bar, "Fst: 99 permutations, P = 1.000"));
  const PermutationTest undefined{nan, {nan, 0.5, std::numeric_limits<double>::infinity()}, nan};
  const auto odd = figure([&] { return permutation_histogram(undefined, "\xCE\xA6PT"); });
  EXPECT_EQ(count(odd, "bar"), 1);
  EXPECT_EQ(count(odd, "observed"), 0);
  EXPECT_TRUE(has_text(odd, "\xCE\xA6PT: 3 permutations"));
  const auto empty = figure([&] { return permutation_histogram(std::vector<double>{}, 0.1, nan, "Fst"); });
  EXPECT_EQ(count(empty, "bar"), 0);
  EXPECT_EQ(count(empty, "note"), 1);
}

// Cells (row, column) of each colour from the run-length paths in cell units.
std::map<std::string, std::set<std::pair<int, int>>> cells_by_colour(const pugi::xml_document& doc) {
  std::map<std::string, std::set<std::pair<int, int>>> out;
  const std::regex run(R"(([Mm])(\d+) (\d+)(?:\.5)?h(\d+))");
  for (const auto& p : doc.select_nodes("//path[@class='cells']")) {
    const std::string d = p.node().attribute("d").value();
    auto& cells = out[p.node().attribute("stroke").value()];
    int x = 0, y = 0;
    for (std::sregex_iterator it(d.begin(), d.end(), run), end; it != end; ++it) {
      const auto& m = *it;
      if (m[1] == "M") x = std::stoi(m[2]), y = std::stoi(m[3]);
      else x += std::stoi(m[2]);
      for (int k = 0; k < std::stoi(m[4]); ++k) cells.insert({y, x + k});
      x += std::stoi(m[4]);
    }
  }
  return out;
}

TEST(Figures, RelatednessHeatMapClassesBoundariesAndScale) {
  // Largest |r| 0.37: classes of the nice step 0.05, 8 each side of 0, so r
  // falls in class floor(r / 0.05) + 8 of 0..15 (16 > 10 classes: every other
  // boundary labelled).  As floats, 0.05f lies just above 0.05 (class 9) and
  // -0.05f just below -0.05 (class 6).  Pair (1, 3) is undefined.
  RelatednessTriangle rel(5);
  const float values[5][5] = {{0, 0.37f, -0.12f, 0.0f, 0.049f},
                              {0, 0, -0.37f, 999.0f, 0.05f},
                              {0, 0, 0, 0.2f, -0.05f},
                              {0, 0, 0, 0, 0.1f}};
  const int classes[5][5] = {{-1, 15, 5, 8, 8}, {-1, -1, 0, -1, 9}, {-1, -1, -1, 12, 6}, {-1, -1, -1, -1, 10}};
  for (int x = 0; x < 5; ++x) {
    for (int y = x + 1; y < 5; ++y) rel.at(x, y) = values[x][y];
  }
  const std::vector<int> bounds = {0, 2, 5};
  const auto doc = figure([&] { return relatedness_heatmap(rel, bounds, names(2), "Relatedness & kin"); });
  std::vector<std::string> class_colour;
  for (const auto& r : doc.select_nodes("//rect[@class='scale-class']")) class_colour.push_back(r.node().attribute("fill").value());
  ASSERT_EQ(class_colour.size(), 16u);
  const auto cells = cells_by_colour(doc);
  std::size_t drawn = 0;
  for (const auto& [colour, set] : cells) drawn += set.size();
  EXPECT_EQ(drawn, 20u);  // every pair twice, the diagonal left blank
  for (int x = 0; x < 5; ++x) {
    for (int y = x + 1; y < 5; ++y) {
      const std::string colour = classes[x][y] < 0 ? "#A0A0A0" : class_colour[classes[x][y]];
      EXPECT_TRUE(cells.at(colour).count({x, y}) && cells.at(colour).count({y, x})) << x << " " << y;
    }
  }
  EXPECT_EQ(count(doc, "undefined-key"), 1);
  for (const char* tick : {"-0.40", "-0.20", "0.00", "0.20", "0.40"}) EXPECT_TRUE(has_text(doc, tick)) << tick;
  EXPECT_FALSE(has_text(doc, "0.05"));
  EXPECT_EQ(doc.select_nodes("//g[@stroke='#222222']/line").size(), 2u);  // one boundary each way
  expect_texts_apart(doc);

  EXPECT_EQ(count(figure([&] { return relatedness_heatmap(RelatednessTriangle(1), std::vector{0, 1}, names(1)); }),
                  "note"),
            1);
  EXPECT_THROW(relatedness_heatmap(rel, std::vector{0, 2, 4}, names(2)), std::invalid_argument);
}

}  // namespace
}  // namespace bandscape::testing
