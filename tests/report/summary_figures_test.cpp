// The figures of the results folder drawn next to the AMOVA, the principal
// coordinates and the trees, and what those writers hand over for
// summary.html: every SVG parses, holds one point per individual or population
// and one tip per tree leaf, carries no NaN or infinity, and is the very text
// the page inlines.  Counts follow from the small inputs below (hand-worked).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "app/amova_step.hpp"
#include "report/tables/amova_results.hpp"
#include "report/tables/tree_results.hpp"
#include "report/svg_queries.hpp"
#include "test_util.hpp"

namespace bandscape::testing {
namespace {

namespace fs = std::filesystem;

// The texts of a class in alphabetical order.
std::vector<std::string> sorted_texts(const pugi::xml_document& doc, const std::string& css_class) {
  std::vector<std::string> out = texts(doc, css_class);
  std::sort(out.begin(), out.end());
  return out;
}

// The file parsed, with no attribute reading NaN or infinity.
pugi::xml_document parsed_svg(const fs::path& file) {
  pugi::xml_document doc;
  const auto result = doc.load_file(file.c_str());
  EXPECT_TRUE(result) << file << ": " << result.description();
  EXPECT_TRUE(doc.child("svg")) << file;
  for (const auto& node : doc.select_nodes("//*")) {
    for (const auto& a : node.node().attributes()) {
      std::string value = a.value();
      std::transform(value.begin(), value.end(), value.begin(), ::tolower);
      EXPECT_EQ(value.find("nan"), std::string::npos) << file << " " << a.name() << "=" << a.value();
      EXPECT_EQ(value.find("inf"), std::string::npos) << file << " " << a.name() << "=" << a.value();
    }
  }
  return doc;
}

bool has_text_starting(const pugi::xml_document& doc, const std::string& start) {
  for (const auto& t : doc.select_nodes("//text")) {
    if (std::string(t.node().child_value()).rfind(start, 0) == 0) return true;
  }
  return false;
}

// Three populations of four individuals, six loci, every pair of individuals
// sharing scored loci; the stored population matrices are made up (defined,
// one negative Fst that counts as 0).
struct SmallRun {
  ScoreMatrix scores = scores_from({"110100", "110110", "100100", "110101", "011010", "001011", "011001", "011110",
                                "101011", "100011", "101111", "000011"});
  std::vector<std::string> names = {"north", "south", "east & west"};
  std::vector<std::string> individuals;
  FMatrix nei = float_matrix(1, 3, 1, 3), fst = float_matrix(1, 3, 1, 3);
  AmovaData data;
  AmovaLabels labels;

  SmallRun() {
    for (int k = 0; k < 12; ++k) individuals.push_back("i" + std::to_string(k));
    nei[1][2] = 0.12f, nei[1][3] = 0.30f, nei[2][3] = 0.25f;
    fst[1][2] = -0.01f, fst[1][3] = 0.20f, fst[2][3] = 0.15f;
    data = {&scores, 12, 6, {4, 4, 4}, {}, &individuals};
    labels = {&names, &individuals, {0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2}, {}};
  }
  AmovaStep run(int permutations) const {
    return amova_step(".", data, labels, nei, fst, permutations, 7, 1);
  }
};

TEST(AmovaFigures, OrdinationsAndPhiPTPermutationsAreDrawnAndHandedToTheSummary) {
  TempDir dir;
  SmallRun run;
  const AmovaStep step = run.run(19);
  ASSERT_TRUE(step.analysis.result);
  EXPECT_TRUE(step.warnings.empty());
  const AmovaPage& outcome = step.page;
  ASSERT_EQ(outcome.tables.size(), 1u);
  EXPECT_EQ(outcome.tables[0].caption.rfind("AMOVA", 0), 0u) << outcome.tables[0].caption;

  const std::vector<std::string> files = {"pcoa_individuals.svg",     "amova_phipt.svg",
                                          "pcoa_populations_nei.svg", "pcoa_populations_fst.svg",
                                          "pcoa_populations_reynolds.svg", "pcoa_populations_phipt.svg"};
  ASSERT_EQ(outcome.figures.size(), files.size());
  for (std::size_t k = 0; k < files.size(); ++k) {
    EXPECT_EQ(outcome.figures[k].svg, read_file(files[k])) << files[k];
    EXPECT_FALSE(outcome.figures[k].title.empty()) << files[k];
  }

  // Individuals: 12 points, a legend of the three populations, axis titles with their shares.
  const auto individuals = parsed_svg("pcoa_individuals.svg");
  EXPECT_EQ(count(individuals, "point"), 12);
  EXPECT_EQ(count(individuals, "legend-marker"), 3);
  EXPECT_TRUE(has_text_starting(individuals, "PCoA 1 ("));
  EXPECT_TRUE(has_text_starting(individuals, "PCoA 2 ("));
  // Populations: three points, each labelled with its name (room enough: no legend).
  for (const char* m : {"nei", "fst", "reynolds", "phipt"}) {
    const auto doc = parsed_svg(std::string("pcoa_populations_") + m + ".svg");
    EXPECT_EQ(count(doc, "point"), 3) << m;
    EXPECT_EQ(count(doc, "legend-marker"), 0) << m;
    EXPECT_EQ(sorted_texts(doc, "point-label"), (std::vector<std::string>{"east & west", "north", "south"})) << m;
  }
  // The histogram: bars for 19 permuted values and its title with the P value of the table.
  const auto histogram = parsed_svg("amova_phipt.svg");
  EXPECT_GE(count(histogram, "bar"), 1);
  EXPECT_LE(count(histogram, "bar"), 19);
  EXPECT_EQ(count(histogram, "observed"), 1);
  char title[64];
  std::snprintf(title, sizeof title, "\u03a6PT: 19 permutations, P = %.3f", step.analysis.result->phi_pt.p_value);
  EXPECT_TRUE(has_text_starting(histogram, title)) << title;

  // Without permutations: no histogram, the same ordinations.
  fs::remove("amova_phipt.svg");
  const AmovaPage plain = run.run(0).page;
  EXPECT_EQ(plain.figures.size(), files.size() - 1);
  EXPECT_FALSE(fs::exists("amova_phipt.svg"));
  EXPECT_EQ(plain.figures[0].svg, outcome.figures[0].svg);

  // The band summary: one row per population, named as in the data.
  // Band frequencies of the three populations (no missing score): their
  // fragment frequencies serve as the estimates too.
  FMatrix frequencies = float_matrix(0, 2, 0, 5);
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 6; ++i) {
      int present = 0;
      for (int k = 4 * j; k < 4 * j + 4; ++k) present += run.scores[k][i] == 1;
      frequencies[j][i] = static_cast<float>(present) / 4.0f;
    }
  }
  const HtmlTable bands = write_band_patterns(
      ".", band_patterns(3, 6, run.scores, bounds_of({0, 4, 8, 12}), frequencies, frequencies), run.names);
  ASSERT_EQ(bands.rows.size(), 3u);
  EXPECT_EQ(bands.rows[2][0], "east & west");
}

TEST(TreeFigures, PopulationTreesCarryTheirSupportAndTheIndividualsTreeItsPopulations) {
  TempDir dir;
  // Four populations on the additive tree ((A:0.1,B:0.1):0.2,(C:0.1,D:0.1)):
  // one internal split, AB|CD, found in all three identical replicates.
  FMatrix nei = float_matrix(1, 4, 1, 4), fst = float_matrix(1, 4, 1, 4);
  for (int a = 1; a <= 4; ++a) {
    for (int b = a + 1; b <= 4; ++b) nei[a][b] = fst[a][b] = (a == 1 && b == 2) || (a == 3 && b == 4) ? 0.2f : 0.4f;
  }
  TreeBuilder trees;
  trees.observe_populations({"A", "B", "C", "D"}, nei, fst);
  const BootstrapSink sink = trees.bootstrap_sink();
  for (int k = 1; k <= 3; ++k) sink(k, nei, fst);

  // Five individuals in two populations; 1 - r of 0.5 within, 1.2 between,
  // a little more for each later individual so that no two pairs tie.
  RelatednessTriangle relatedness(5);
  const int population[] = {0, 0, 1, 1, 1};
  for (int x = 0; x < 5; ++x) {
    for (int y = x + 1; y < 5; ++y) {
      relatedness.at(x, y) = (population[x] == population[y] ? 0.5f : -0.2f) - 0.01f * static_cast<float>(x + y);
    }
  }
  const std::vector<std::string> population_names = {"north", "south"};
  const std::vector<int> population_of(std::begin(population), std::end(population));
  const RunTrees run = trees.finish({"a1", "a2", "b1", "b2", "b3"}, relatedness);
  EXPECT_TRUE(run.warnings.empty());
  const std::vector<SummaryFigure> figures = write_trees(".", run, population_names, population_of);

  const std::vector<std::string> files = {"tree_nei_nj.svg", "tree_fst_nj.svg", "tree_reynolds_nj.svg",
                                          "tree_individuals_nj.svg"};
  ASSERT_EQ(figures.size(), files.size());
  for (std::size_t k = 0; k < files.size(); ++k) {
    EXPECT_EQ(figures[k].svg, read_file(files[k])) << files[k];
  }
  EXPECT_NE(figures[0].title.find("bootstrap support (%) over 3 trees"), std::string::npos);
  for (std::size_t k = 0; k < 3; ++k) {
    const auto doc = parsed_svg(files[k]);
    EXPECT_EQ(sorted_texts(doc, "tip-label"), (std::vector<std::string>{"A", "B", "C", "D"})) << files[k];
    EXPECT_EQ(sorted_texts(doc, "support"), (std::vector<std::string>{"100"})) << files[k];
    EXPECT_EQ(count(doc, "scale-bar"), 1) << files[k];
  }
  const auto individuals = parsed_svg("tree_individuals_nj.svg");
  EXPECT_EQ(sorted_texts(individuals, "tip-label"), (std::vector<std::string>{"a1", "a2", "b1", "b2", "b3"}));
  EXPECT_EQ(count(individuals, "tip-mark"), 5);
  EXPECT_EQ(count(individuals, "legend-marker"), 2);
  EXPECT_EQ(count(individuals, "support"), 0);

  // Without their populations the individuals' tips are named, without marks.
  const RunTrees individuals_only = TreeBuilder().finish({"a1", "a2", "b1", "b2", "b3"}, relatedness);
  ASSERT_EQ(write_trees(".", individuals_only, population_names).size(), 1u);
  const auto unmarked = parsed_svg("tree_individuals_nj.svg");
  EXPECT_EQ(count(unmarked, "tip-mark"), 0);
  EXPECT_EQ(count(unmarked, "tip-label"), 5);
}

}  // namespace
}  // namespace bandscape::testing
