// The bar plots of clusters and assignment from hand-made results:
// membership segments stacked from the cumulative posteriors in whole pixels,
// assignment bars split by whether the individual was assigned back, names
// under their blocks, and sizes that disagree refused.
#include <gtest/gtest.h>

#include <cmath>
#include <pugixml.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "report/figures/cluster_figures.hpp"
#include "report/svg_queries.hpp"

namespace bandscape::testing {
namespace {

pugi::xml_document parsed(const std::string& svg) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(svg.c_str())) << svg;
  return doc;
}

// The d of each path of class "bars", in document order.
std::vector<std::string> bar_paths(const pugi::xml_document& doc) {
  std::vector<std::string> out;
  for (const auto& p : doc.select_nodes("//path[@class='bars']")) out.emplace_back(p.node().attribute("d").value());
  return out;
}

Dapc three_individuals() {
  Dapc d;
  d.done = true;
  d.individuals = 3;
  d.groups = 2;
  d.posterior = {1.0, 0.0, 0.5, 0.5, 0.25, 0.75};
  return d;
}

const std::vector<std::string> kNames = {"A&B", "C"};
const std::vector<int> kPopulation = {0, 0, 1};

// Segments of a 140 px panel from the bottom: group 0 up to the cumulative
// posterior, group 1 from there to the top; an empty segment is left out.
TEST(ClusterFigures, MembershipStacksThePosteriorsOfEachPanel) {
  const Dapc d = three_individuals();
  const std::vector<MembershipPanel> panels = {{d, kNames, "Populations"}, {d, kNames, "Clusters"}};
  const std::string svg = membership_figure(panels, kPopulation, kNames, "Membership");
  const pugi::xml_document doc = parsed(svg);
  const std::string group0 = "M0.5 140V0M1.5 140V70M2.5 140V105", group1 = "M1.5 70V0M2.5 105V0";
  EXPECT_EQ(bar_paths(doc), (std::vector<std::string>{group0, group1, group0, group1}));
  EXPECT_EQ(texts(doc, "block-name"), (std::vector<std::string>{"A&B", "C"}));
  EXPECT_EQ(count(doc, "block-line"), 2);  // between the two populations, in each panel
  EXPECT_NE(svg.find("scale(80.000000 1)"), std::string::npos);  // 3 bars over the narrowest area, 240 px
  EXPECT_THROW(membership_figure(panels, std::vector<int>{0, 1}, kNames, "M"), std::invalid_argument);
}

TEST(ClusterFigures, AssignmentBarsByOwnOrOtherPopulation) {
  AssignmentTest a;
  a.individuals = 3;
  a.populations = 2;
  a.population = kPopulation;
  a.assigned = {0, 1, 1};
  a.difference = {4.0, 2.0, NAN};
  a.correct = 1;
  const std::string svg = assignment_figure(a, kNames, "Assignment");
  const pugi::xml_document doc = parsed(svg);
  // The y axis 0..4 over 240 px; the undefined difference has no bar.
  EXPECT_EQ(bar_paths(doc), (std::vector<std::string>{"M0.5 240.00V0.00", "M1.5 240.00V120.00"}));
  EXPECT_EQ(doc.select_nodes("//path[@class='bars'][@stroke='#D55E00']").size(), 1u);
  EXPECT_NE(svg.find(">Assigned to another population (2)</text>"), std::string::npos);
  a.difference = {NAN, NAN, NAN};  // one population: nothing to compare
  EXPECT_EQ(count(parsed(assignment_figure(a, kNames, "Assignment")), "note"), 1);
  a.assigned = {0, 1};
  EXPECT_THROW(assignment_figure(a, kNames, "Assignment"), std::invalid_argument);
}

}  // namespace
}  // namespace bandscape::testing
