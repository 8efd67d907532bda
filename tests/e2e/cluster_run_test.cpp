// Clusters and assignment as a step of the run (--clusters with --results):
// two populations of opposite band profiles form clusters that never mix
// them, every individual is assigned back to its own population, and the
// files are the same for every thread count.  The kernels are checked against adegenet in
// tests/clusters.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <nlohmann/json.hpp>
#include <string>

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
                                     "assignment_rates.tsv", "clusters_bic.svg"};

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
  EXPECT_NE(read_file("r1/summary.html").find("<section id=\"clusters\">\n<h2>Clusters and assignment</h2>"),
            std::string::npos);
}

}  // namespace
}  // namespace bandscape
