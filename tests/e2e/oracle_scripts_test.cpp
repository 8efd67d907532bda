// The stored outputs of the oracle scripts (R with ade4, ape, adegenet and
// vegan; Python for the replicate error rates) are what those scripts print
// today: each script is run again where its interpreter and packages are
// installed and its output compared whole with the file the tests read.  A
// newer package that changed a reference value shows here rather than as a
// silent disagreement between the tests and the peer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;

const fs::path kTests = fs::path(BANDSCAPE_SOURCE_DIR) / "tests";

bool succeeds(const std::string& command, const std::string& output = "/dev/null") {
  return std::system((command + " > " + output + " 2> /dev/null").c_str()) == 0;
}

bool r_has(const std::vector<std::string>& packages) {
  std::string list;
  for (const std::string& p : packages) list += (list.empty() ? "'" : ", '") + p + "'";
  return succeeds("Rscript -e \"quit(status = !all(sapply(c(" + list + "), requireNamespace, quietly = TRUE)))\"");
}

std::string without_lines_starting(const std::string& text, const std::string& start) {
  std::istringstream in(text);
  std::string kept;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(start, 0) != 0) kept += line + "\n";
  }
  return kept;
}

struct Oracle {
  std::string script;                // under tests/
  std::vector<std::string> packages;  // R packages needed
  std::vector<std::string> stored;    // under tests/data/: the script's standard output, or the files it writes
  bool writes_files = false;          // run from a scratch folder, compared file by file
};

TEST(OracleScripts, StoredReferencesAreWhatTheScriptsPrintToday) {
  if (!succeeds("Rscript --version")) GTEST_SKIP() << "no Rscript";
  const std::vector<Oracle> oracles = {
      {"amova/ade4_reference.R", {"ade4"}, {"amova/ade4_reference.txt"}},
      {"ordination/pcoa_reference.R", {"ape"}, {"ordination/pcoa_reference.txt"}},
      {"clusters/clusters_reference.R", {"adegenet"}, {"clusters/clusters_reference.txt"}},
      {"data/spatial/spatial_reference.R", {"vegan"}, {"spatial/spatial_reference.txt"}},
      {"data/quality/binary_distances.R",
       {"vegan", "ade4"},
       {"quality/binary_profiles.tsv", "quality/binary_distances.tsv"},
       true},
  };
  int ran = 0;
  for (const Oracle& o : oracles) {
    if (!r_has(o.packages)) continue;
    ++ran;
    const testing::TempDir scratch;
    const std::string script = (kTests / o.script).string();
    // A script that prints its output runs from the source folder, whose
    // relative paths it may read; one that writes files runs in the scratch.
    const std::string from = o.writes_files ? "" : "cd '" + std::string(BANDSCAPE_SOURCE_DIR) + "' && ";
    const std::string out = (scratch.path() / "out.txt").string();
    ASSERT_TRUE(succeeds(from + "Rscript '" + script + "'", o.writes_files ? "/dev/null" : "'" + out + "'")) << o.script;
    for (const std::string& stored : o.stored) {
      const std::string got = read_file(o.writes_files ? fs::path(stored).filename() : fs::path(out));
      std::string want = read_file(kTests / "data" / stored);
      // Without geosphere the spatial script leaves out its geodesic block.
      if (o.script.find("spatial") != std::string::npos && !r_has({"geosphere"})) {
        want = without_lines_starting(want, "geodesic ");
      }
      EXPECT_EQ(got, want) << o.script << " -> " << stored;
    }
  }
  if (ran == 0) GTEST_SKIP() << "none of ade4, ape, adegenet, vegan installed";
}

TEST(OracleScripts, ReplicateErrorRatesAreWhatThePythonScriptWritesToday) {
  if (!succeeds("python3 --version")) GTEST_SKIP() << "no python3";
  const testing::TempDir scratch;
  ASSERT_TRUE(succeeds("python3 '" + (kTests / "data/quality/replicate_errors.py").string() + "'"));
  for (const char* name : {"replicates_data.txt", "replicates_groups.tsv", "replicate_pairs.tsv", "replicate_loci.tsv",
                           "replicate_overall.tsv", "replicates_consensus.txt"}) {
    EXPECT_EQ(read_file(name), read_file(kTests / "data/quality" / name)) << name;
  }
}

}  // namespace
}  // namespace bandscape
