// summary.html of a whole run with --results: it parses as XML, its tables
// hold the numbers of the report's Tables 1 to 4 (read back from report.txt,
// the independent record of the same run), its figures are the SVG files of
// the folder inlined (permutations of Fst and of PhiPT, relatedness, principal
// coordinates, neighbour-joining trees), with no NaN or infinity in any
// attribute, and its links name files that exist.  The same run gives the
// same page, and so the same figures, whatever the number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_program.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// The line of `text` that starts (after blanks) with `start`.
std::string line_starting(const std::string& text, const std::string& start) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first != std::string::npos && line.compare(first, start.size(), start) == 0) return line;
  }
  return {};
}

std::vector<std::string> row_cells(const pugi::xml_node& row) {
  std::vector<std::string> out;
  for (const pugi::xml_node& c : row.children()) out.emplace_back(c.child_value());
  return out;
}

// summary.html and the report of a run in folder "out", emptied first: the
// four populations in two groups (a three-level AMOVA), Fst permutations,
// bootstraps and AMOVA permutations.
std::pair<std::string, std::string> run(const std::string& threads) {
  for (const char* name : {"four_pops.txt", "groups.txt"}) {
    if (!fs::exists(name)) fs::copy_file(fs::path(BANDSCAPE_TEST_DATA) / "e2e" / name, name);
  }
  fs::remove_all("out");
  const auto out = testing::run_program("--batch --seed 4711 -p 60 -b 6 --amova-permutations 99 -s groups.txt "
                                        "--threads " + threads +
                                        " --outdir out --results res four_pops.txt report.txt");
  EXPECT_EQ(out.status, 0) << out.console;
  return {read_file("out/res/summary.html"), read_file("out/report.txt")};
}

TEST(SummaryHtml, HoldsTheReportsTablesEveryFigureAndLinksToTheFolder) {
  TempDir dir;
  // The page names the thread count and the start time among the run's
  // details, and differs nowhere else.
  auto without_threads = [](std::string page) {
    for (const char* label : {"<dt>Threads</dt>", "<dt>Started</dt>"}) {
      const std::size_t at = page.find(label);
      EXPECT_NE(at, std::string::npos) << label;
      page.erase(at, page.find('\n', at) - at);
    }
    return page;
  };
  const std::string seven = without_threads(run("7").first);
  EXPECT_TRUE(without_threads(run("2").first) == seven);
  const auto [html, report] = run("1");
  EXPECT_TRUE(without_threads(html) == seven);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(html.c_str()));

  const auto tables = doc.select_nodes("//section[@id='tables']/div[@class='table-block']");
  ASSERT_GE(tables.size(), 4u);
  for (int k = 0; k < 4; ++k) {
    const std::string caption = tables[k].node().child("h3").child_value();
    EXPECT_EQ(caption.rfind("Table " + std::to_string(k + 1) + ":", 0), 0u) << caption;
  }
  // Table 1: every population's row holds the numbers of its line in the
  // report, n as the exact mean the report truncates.
  const auto populations = tables[0].node().select_nodes(".//tbody/tr");
  ASSERT_EQ(populations.size(), 4u);
  for (const auto& row : populations) {
    std::vector<std::string> cells = row_cells(row.node());
    const std::vector<std::string> line = words(line_starting(report, cells[0] + " "));
    ASSERT_EQ(cells.size(), line.size());
    EXPECT_EQ(std::to_string(static_cast<int>(std::stod(cells[1]))), line[1]) << cells[0];
    cells[1] = line[1];
    EXPECT_EQ(cells, line) << cells[0];
  }
  // Table 3's estimates and Table 4's observed Fst and P values as in the report.
  std::vector<std::string> estimates = row_cells(tables[2].node().select_node(".//tbody/tr").node());
  estimates.erase(estimates.begin());
  const std::size_t table3 = report.find("Table 3:");
  ASSERT_NE(table3, std::string::npos);
  EXPECT_EQ(estimates, words(line_starting(report.substr(table3), "4 ")));
  for (const auto& row : tables[3].node().select_nodes(".//tbody/tr")) {
    const std::vector<std::string> cells = row_cells(row.node());
    const std::vector<std::string> line = words(line_starting(report, cells[0]));
    ASSERT_FALSE(line.empty()) << cells[0];
    EXPECT_EQ(cells[1], line.back()) << cells[0];
  }

  // After Tables 1 to 4: the three-level AMOVA table, its Phi statistics read as
  // in amova.tsv, then the band summary with a row per population.
  ASSERT_EQ(tables.size(), 6u);
  EXPECT_STREQ(tables[4].node().child("h3").child_value(), "AMOVA: groups, populations and individuals");
  EXPECT_EQ(tables[4].node().select_nodes(".//tbody/tr").size(), 4u);  // groups, populations, within, total
  EXPECT_STREQ(tables[5].node().child("h3").child_value(), "Band patterns per population");
  EXPECT_EQ(tables[5].node().select_nodes(".//tbody/tr").size(), 4u);

  // Figures: every SVG file of the folder inlined once, the Fst histogram
  // first; the expected files are those of a run with permutations,
  // bootstraps, 4 populations and 26 individuals.
  const auto figures = doc.select_nodes("//section[@id='figures']/figure/svg");
  std::vector<std::string> svg_files;
  for (const auto& entry : fs::directory_iterator(fs::path("out") / "res")) {
    if (entry.path().extension() == ".svg") svg_files.push_back(entry.path().filename().string());
  }
  std::sort(svg_files.begin(), svg_files.end());
  EXPECT_EQ(svg_files, (std::vector<std::string>{"amova_phipt.svg", "pcoa_individuals.svg", "pcoa_populations_fst.svg",
                                                 "pcoa_populations_nei.svg", "pcoa_populations_phipt.svg",
                                                 "pcoa_populations_reynolds.svg", "permutation_fst.svg",
                                                 "relatedness.svg", "tree_fst_nj.svg", "tree_individuals_nj.svg",
                                                 "tree_nei_nj.svg", "tree_reynolds_nj.svg"}));
  ASSERT_EQ(figures.size(), svg_files.size());
  for (const std::string& name : svg_files) {
    const std::string svg = read_file(fs::path("out") / "res" / name);
    EXPECT_NE(html.find(svg), std::string::npos) << name;
  }
  // One point and one tip per individual, one per population; the PhiPT histogram's observed line.
  auto counted = [](const std::string& name, const char* css_class) {
    pugi::xml_document svg;
    EXPECT_TRUE(svg.load_file((fs::path("out") / "res" / name).c_str())) << name;
    return svg.select_nodes((std::string("//*[@class='") + css_class + "']").c_str()).size();
  };
  EXPECT_EQ(counted("pcoa_individuals.svg", "point"), 26u);
  EXPECT_EQ(counted("tree_individuals_nj.svg", "tip-mark"), 26u);
  EXPECT_EQ(counted("tree_individuals_nj.svg", "tip-label"), 26u);
  for (const char* m : {"nei", "fst", "reynolds", "phipt"}) {
    EXPECT_EQ(counted(std::string("pcoa_populations_") + m + ".svg", "point"), 4u) << m;
  }
  for (const char* m : {"nei", "fst", "reynolds"}) {
    EXPECT_EQ(counted(std::string("tree_") + m + "_nj.svg", "tip-label"), 4u) << m;
  }
  EXPECT_EQ(counted("amova_phipt.svg", "observed"), 1u);
  EXPECT_NE(read_file("out/res/amova_phipt.svg").find("\u03a6PT: 99 permutations, P = "), std::string::npos);
  for (const auto& node : doc.select_nodes("//svg//*")) {
    for (const auto& a : node.node().attributes()) {
      std::string value = a.value();
      std::transform(value.begin(), value.end(), value.begin(), ::tolower);
      EXPECT_EQ(value.find("nan"), std::string::npos) << a.name() << "=" << a.value();
      EXPECT_EQ(value.find("inf"), std::string::npos) << a.name() << "=" << a.value();
    }
  }
  // Its title carries Table 4's high P value (three decimals for 60 permutations).
  const double p_high = std::stod(words(line_starting(report, "P value (high)")).back());
  std::string title;
  for (const auto& t : figures[0].node().select_nodes(".//text")) {
    const std::string text = t.node().child_value();
    if (text.rfind("Fst: 60 permutations, P = ", 0) == 0) title = text;
  }
  ASSERT_FALSE(title.empty());
  EXPECT_NEAR(std::stod(title.substr(title.rfind(' ') + 1)), p_high, 0.0005 + 1e-9) << title;

  // Links: the files of the folder, each present.
  std::vector<std::string> linked;
  for (const auto& a : doc.select_nodes("//section[@id='files']//a")) {
    linked.emplace_back(a.node().attribute("href").value());
    EXPECT_TRUE(fs::exists(fs::path("out") / "res" / linked.back())) << linked.back();
  }
  for (const char* name : {"individuals.tsv", "permutation_fst.svg", "relatedness.svg"}) {
    EXPECT_NE(std::find(linked.begin(), linked.end(), name), linked.end()) << name;
  }
  EXPECT_TRUE(std::is_sorted(linked.begin(), linked.end()));
}

}  // namespace
}  // namespace bandscape
