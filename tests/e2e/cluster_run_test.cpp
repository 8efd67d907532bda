// Clusters and assignment as a step of the run (--clusters with --results):
// two populations of opposite band profiles form clusters that never mix
// them, every individual is assigned back to its own population, the
// figures hold one mark per individual, the files are the same for every
// thread count, and a given number of clusters is the one written.  The
// kernels are checked against adegenet in tests/clusters.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "core/format.hpp"
#include "e2e/run_program.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

// Population East has the band at loci 1-20 and not at 21-40, West the
// reverse; individual i of each differs from its population's profile at four
// loci, (7 i + 11 j + 3 [East]) mod 40 + 1 for j = 0..3.
void write_two_opposite_populations() {
  std::ofstream out("data.txt");
  out << "2\t40";
  for (int l = 1; l <= 40; ++l) out << '\t' << 100 + 5 * l;
  out << '\n';
  for (const char* population : {"East", "West"}) {
    const bool east = population[0] == 'E';
    for (int i = 0; i < 10; ++i) {
      out << population << '\t' << population << i;
      for (int l = 0; l < 40; ++l) {
        bool flipped = false;
        for (int j = 0; j < 4; ++j) flipped = flipped || l == (7 * i + 11 * j + (east ? 3 : 0)) % 40;
        out << '\t' << (flipped != ((l < 20) == east) ? 1 : 0);
      }
      out << '\n';
    }
  }
  out << "END\n";
}

const char* const kClusterFiles[] = {"clusters_bic.tsv",     "clusters.tsv",      "dapc_eigenvalues.tsv",
                                     "dapc_individuals.tsv", "dapc_loadings.tsv", "assignment.tsv",
                                     "assignment_rates.tsv", "clusters_bic.svg",  "dapc_scatter.svg",
                                     "dapc_clusters_scatter.svg", "membership.svg", "assignment.svg"};

int occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The individuals with a bar in each panel of a bar plot: a group of bars
// after each "scale(", a bar "M<individual>.5 ..."; bars of one panel in a list.
std::vector<std::vector<int>> bars_per_panel(const std::string& svg) {
  std::vector<std::vector<int>> panels;
  const std::regex bar("M([0-9]+)\\.5 ");
  for (std::size_t at = svg.find("scale("); at != std::string::npos; at = svg.find("scale(", at + 1)) {
    const std::string group = svg.substr(at, svg.find("</g>", at) - at);
    panels.emplace_back();
    for (auto m = std::sregex_iterator(group.begin(), group.end(), bar); m != std::sregex_iterator(); ++m) {
      panels.back().push_back(std::stoi((*m)[1]));
    }
  }
  return panels;
}

TEST(ClusterRun, OppositePopulationsNeverShareAClusterAndAssignBackForEveryThreadCount) {
  TempDir dir;
  write_two_opposite_populations();
  for (const char* threads : {"1", "2"}) {
    const auto out = testing::run_program(std::string("--batch --seed 9 --clusters --cluster-starts 5 --cluster-pcs 4 --max-clusters 4 --threads ") +
                                          threads + " --results r" + threads + " data.txt report.txt");
    ASSERT_EQ(out.status, 0) << out.console;
  }
  for (const char* file : kClusterFiles) {
    ASSERT_TRUE(fs::exists(fs::path("r1") / file)) << file;
    EXPECT_EQ(read_file(fs::path("r1") / file), read_file(fs::path("r2") / file)) << file;
  }
  EXPECT_EQ(read_file("r1/assignment_rates.tsv"),
            "population\tindividuals\tcorrect\trate\nEast\t10\t10\t1\nWest\t10\t10\t1\n");
  const auto record = nlohmann::json::parse(read_file("r1/run.json"));
  EXPECT_GE(record["clusters"]["chosen_clusters"], 2);
  EXPECT_EQ(record["clusters"]["assignment_correct"], 20);
  // No cluster mixes the two populations.
  std::map<std::string, std::set<std::string>> populations_of_cluster;
  std::istringstream members(read_file("r1/clusters.tsv"));
  std::string line;
  std::getline(members, line);
  EXPECT_EQ(line, "individual\tpopulation\tcluster");
  while (std::getline(members, line)) {
    const std::size_t a = line.find('\t'), b = line.rfind('\t');
    populations_of_cluster[line.substr(b + 1)].insert(line.substr(a + 1, b - a - 1));
  }
  for (const auto& [cluster, populations] : populations_of_cluster) EXPECT_EQ(populations.size(), 1u) << cluster;
  const std::string page = read_file("r1/summary.html");
  EXPECT_NE(page.find("<section id=\"clusters\">\n<h2>Clusters and assignment</h2>"), std::string::npos);
  EXPECT_TRUE(record["clusters"]["given_clusters"].is_null());
  EXPECT_NE(page.find("chosen by the lowest BIC)"), std::string::npos);

  // The figures: whole documents, each on the page, one mark per individual.
  for (const char* file : {"dapc_scatter.svg", "dapc_clusters_scatter.svg", "membership.svg", "assignment.svg"}) {
    const std::string svg = read_file(fs::path("r1") / file);
    EXPECT_EQ(svg.rfind("<svg", 0), 0u) << file;
    EXPECT_TRUE(svg.ends_with("</svg>\n")) << file;
    EXPECT_NE(page.find(svg.substr(svg.find('>') + 1, 200)), std::string::npos) << file;
  }
  for (const char* file : {"r1/dapc_scatter.svg", "r1/dapc_clusters_scatter.svg"}) {
    EXPECT_EQ(occurrences(read_file(file), "class=\"point\""), 20) << file;
  }
  // Two populations: a single discriminant function, drawn against the index.
  EXPECT_EQ(occurrences(read_file("r1/dapc_scatter.svg"), ">Individual (a single discriminant function: no LD2)<"), 1);
  std::vector<int> everyone(20);
  std::iota(everyone.begin(), everyone.end(), 0);
  // Crisp posteriors: one segment per individual in the panel of each DAPC.
  std::vector<std::vector<int>> membership = bars_per_panel(read_file("r1/membership.svg"));
  for (std::vector<int>& panel : membership) std::sort(panel.begin(), panel.end());
  EXPECT_EQ(membership, (std::vector<std::vector<int>>{everyone, everyone}));
  // One bar each, none vermilion: every individual assigned back.
  const std::string assignment = read_file("r1/assignment.svg");
  EXPECT_EQ(bars_per_panel(assignment), (std::vector<std::vector<int>>{everyone}));
  EXPECT_EQ(occurrences(assignment, "#D55E00\" class=\"bars\""), 0);
}

// A given K replaces the lowest BIC's: with K = 2 the clusters are the two
// populations, numbered in the order of their first individual.
TEST(ClusterRun, GivenNumberOfClustersIsTheOneWritten) {
  TempDir dir;
  write_two_opposite_populations();
  const auto out = testing::run_program(
      "--batch --seed 9 --clusters --cluster-starts 5 --cluster-pcs 4 --max-clusters 4 --clusters-k 2 --results r "
      "data.txt report.txt");
  ASSERT_EQ(out.status, 0) << out.console;
  std::string expected = "individual\tpopulation\tcluster\n";
  for (int i = 0; i < 20; ++i) {
    const char* population = i < 10 ? "East" : "West";
    expected += format("%s%d\t%s\t%d\n", population, i % 10, population, 1 + i / 10);
  }
  EXPECT_EQ(read_file("r/clusters.tsv"), expected);
  EXPECT_EQ(occurrences(read_file("r/clusters_bic.tsv"), "\n"), 5);  // the header and K = 1..4
  const auto record = nlohmann::json::parse(read_file("r/run.json"));
  EXPECT_EQ(record["clusters"]["given_clusters"], 2);
  EXPECT_EQ(record["clusters"]["chosen_clusters"], 2);
  EXPECT_NE(read_file("r/summary.html").find("(K = 2, given by --clusters-k)"), std::string::npos);
}

}  // namespace
}  // namespace bandscape
