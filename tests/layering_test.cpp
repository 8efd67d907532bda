// The layers of the source tree: each folder of src/ includes only its own
// headers and those of the folders below it, so the statistics can be used
// (and tested) without the console, and the report writers without the
// driver.  The test reads every #include "..." line of src/ and fails on any
// that reaches upwards or into a folder it does not know.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace bandscape {
namespace {

namespace fs = std::filesystem;

// Bottom to top.  Folders on one rank are independent analyses and may not
// include each other.
const std::map<std::string, int> kRank = {
    {"core", 0},     {"numeric", 1}, {"input", 2},   {"freq", 3},    {"stats", 4},
    {"quality", 5},  {"resample", 5}, {"tree", 6},    {"amova", 6},   {"ordination", 6},
    {"bands", 6},    {"clusters", 6}, {"spatial", 6}, {"report", 7},  {"app", 8},
};

TEST(Layering, NoFolderIncludesAHigherOrSiblingLayer) {
  const fs::path src = fs::path(BANDSCAPE_SOURCE_DIR) / "src";
  const std::regex include_line(R"re(^\s*#\s*include\s+"([a-z_]+)/[^"]+")re");
  std::vector<std::string> faults;
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string layer = fs::relative(entry.path(), src).begin()->string();
    const auto own = kRank.find(layer);
    if (own == kRank.end()) {
      faults.push_back(entry.path().string() + ": folder " + layer + " has no place in the layers");
      continue;
    }
    ++files;
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      std::smatch m;
      if (!std::regex_search(line, m, include_line)) continue;
      const std::string target = m[1];
      const auto other = kRank.find(target);
      const std::string where = entry.path().string() + ":" + std::to_string(number) + ": ";
      if (other == kRank.end()) {
        faults.push_back(where + "includes unknown folder " + target);
      } else if (target != layer && other->second >= own->second) {
        faults.push_back(where + layer + " includes " + target);
      }
    }
  }
  EXPECT_GT(files, 20);
  for (const auto& f : faults) ADD_FAILURE() << f;
}

// The report layer computes nothing: from the layers below core and numeric
// it may include only the headers that define the result values it writes
// (and the reading of a stored cell), never a kernel's.  A new writer that
// needs another header adds its value here, after asking whether the
// computation belongs in a step instead.
const std::set<std::string> kResultValueHeaders = {
    "amova/amova.hpp",              // AmovaResult
    "amova/amova_analysis.hpp",     // AmovaAnalysis
    "bands/band_patterns.hpp",      // BandPattern
    "clusters/cluster_analysis.hpp",  // ClusterAnalysis
    "freq/frequency_method.hpp",    // the methods' names
    "input/score_table.hpp",        // ScoreTable, the data as a table
    "ordination/ordinations.hpp",   // Ordinations
    "ordination/pcoa.hpp",          // PrincipalCoordinates
    "quality/replicates.hpp",       // replicate error rates
    "resample/permutation_test.hpp",  // PermutationResult
    "stats/band_differences.hpp",   // PackedDistances between individuals
    "stats/distances.hpp",          // stored distance cells read as numbers
    "stats/diversity.hpp",          // the 999 mark of an undefined statistic
    "stats/diversity_tables.hpp",   // Tables 1 to 3
    "spatial/spatial_analysis.hpp",  // SpatialAnalysis
    "stats/relatedness.hpp",        // RelatednessTriangle
    "tree/run_trees.hpp",           // RunTrees
    "tree/splits.hpp",              // split support of a tree
    "tree/tree.hpp",                // Tree
};

TEST(Layering, ReportIncludesOnlyResultValuesFromTheAnalyses) {
  const fs::path report = fs::path(BANDSCAPE_SOURCE_DIR) / "src" / "report";
  const std::regex include_line(R"re(^\s*#\s*include\s+"(([a-z_]+)/[^"]+)")re");
  std::vector<std::string> faults;
  for (const auto& entry : fs::recursive_directory_iterator(report)) {
    if (!entry.is_regular_file()) continue;
    if (entry.path().parent_path() == report) {
      faults.push_back(entry.path().string() + ": a writer belongs in a folder of its output kind");
    }
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      std::smatch m;
      if (!std::regex_search(line, m, include_line)) continue;
      const std::string folder = m[2];
      if (folder == "core" || folder == "numeric" || folder == "report") continue;
      if (kResultValueHeaders.count(m[1]) == 0) {
        faults.push_back(entry.path().string() + ":" + std::to_string(number) + ": includes " + std::string(m[1]));
      }
    }
  }
  for (const auto& f : faults) ADD_FAILURE() << f;
}

}  // namespace
}  // namespace bandscape
