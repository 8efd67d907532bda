// The results folder (--results): its tables hold what the report holds, and
// asking for it changes no byte of the classic files, whatever the threads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/run_program.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

const fs::path kData = fs::path(BANDSCAPE_TEST_DATA) / "e2e";

const std::vector<std::string> kClassicFiles = {"report.txt",   "error.txt",    "structure.txt", "resample.txt",
                                                "aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"};

// The classic files of one batch run in `folder`, read back in kClassicFiles order.
std::vector<std::string> classic_run(const fs::path& folder, const std::string& options) {
  if (!fs::exists("data.txt")) fs::copy_file(kData / "four_pops.txt", "data.txt");
  const auto out = testing::run_program("--batch --seed 4711 -p 60 -b 6 --outdir '" + folder.string() + "' " +
                                        options + " data.txt report.txt");
  EXPECT_EQ(out.status, 0) << out.console;
  std::vector<std::string> files;
  for (const std::string& name : kClassicFiles) files.push_back(read_file(folder / name));
  return files;
}

TEST(ResultsFolder, ClassicFilesAreTheSameWithAndWithoutItForEveryThreadCount) {
  TempDir dir;
  const std::vector<std::string> reference = classic_run("plain", "--threads 1");
  for (const char* threads : {"1", "2", "7"}) {
    const std::vector<std::string> files =
        classic_run(std::string("with") + threads, std::string("--results tables --threads ") + threads);
    for (std::size_t k = 0; k < files.size(); ++k) EXPECT_TRUE(files[k] == reference[k]) << kClassicFiles[k];
    EXPECT_TRUE(fs::exists(fs::path(std::string("with") + threads) / "tables" / "individuals.tsv"));
  }
}

TEST(ResultsFolder, IndividualsKeepTheirNamesAndIndices) {
  TempDir dir;
  fs::copy_file(kData / "three_pops.txt", "data.txt");
  const auto out = testing::run_program("--batch --results out data.txt report.txt");
  ASSERT_EQ(out.status, 0) << out.console;
  // Rows in data-file order, numbered as in Table 6; the names as written in the data file.
  std::string expected = "index\tindividual\tpopulation\n";
  const int sizes[] = {7, 6, 5};
  int index = 1;
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < sizes[p]; ++i) {
      expected += std::to_string(index++) + "\tind" + std::to_string(i) + "\tpop" + std::to_string(p + 1) + "\n";
    }
  }
  EXPECT_EQ(read_file("out/individuals.tsv"), expected);
}

const std::vector<std::string> kTreeFiles = {
    "tree_nei_nj.nwk",      "tree_nei_upgma.nwk",      "consensus_nei_nj.nwk",       "tree_fst_nj.nwk",
    "tree_fst_upgma.nwk",   "consensus_fst_nj.nwk",    "tree_reynolds_nj.nwk",       "tree_reynolds_upgma.nwk",
    "consensus_reynolds_nj.nwk", "tree_individuals_nj.nwk", "tree_individuals_upgma.nwk"};

// Expected trees: tests/data/e2e/expected/trees/make_expected.sh (the program's
// files; the code path is checked against PHYLIP in tests/report/tree_results_test.cpp).
TEST(ResultsFolder, TreeFilesAreTheExpectedOnesForEveryThreadCount) {
  TempDir dir;
  struct Case {
    const char* data;
    const char* options;
  };
  for (const Case& c : {Case{"four_pops", "--seed 2 -b 40"}, Case{"three_pops", "--seed 4711 -b 20"}}) {
    fs::copy_file(kData / (std::string(c.data) + ".txt"), std::string(c.data) + ".txt");
    for (const char* threads : {"1", "3"}) {
      const std::string out = std::string(c.data) + "_" + threads;
      const auto run = testing::run_program(std::string("--batch ") + c.options + " --threads " + threads +
                                            " --outdir " + out + " --results res " + c.data + ".txt report.txt");
      ASSERT_EQ(run.status, 0) << run.console;
      EXPECT_EQ(run.console.find("No tree"), std::string::npos);
      // three_pops.txt numbers its individuals within each population.
      EXPECT_EQ(run.console.find("\nThe individuals' trees have more than one tip named ind0: individual names are "
                                 "not unique\n") != std::string::npos,
                std::string(c.data) == "three_pops");
      for (const std::string& name : kTreeFiles) {
        EXPECT_EQ(read_file(fs::path(out) / "res" / name), read_file(kData / "expected" / "trees" / c.data / name))
            << c.data << " " << name << " threads " << threads;
      }
      // One row per tree file, in the order above, after the header.
      const std::string tsv = read_file(fs::path(out) / "res" / "trees.tsv");
      std::string files;
      for (std::size_t at = tsv.find('\n'); at + 1 < tsv.size(); at = tsv.find('\n', at + 1)) {
        files += tsv.substr(at + 1, tsv.find('\t', at) - at - 1) + " ";
      }
      std::string expected_files;
      for (const std::string& name : kTreeFiles) expected_files += name + " ";
      EXPECT_EQ(files, expected_files) << c.data;
    }
  }
  // A three-population run: no split within the NJ trees, the UPGMA clade's support.
  EXPECT_NE(read_file("three_pops_1/res/trees.tsv")
                .find("tree_nei_upgma.nwk\tnei\tupgma\t3\t0.59824188798666\t20\t85\n"),
            std::string::npos);
}

// A fourth population of one individual scored nowhere: no distance to it, no
// 1-r distance of that individual, so no tree at all; the classic files are
// still written.
TEST(ResultsFolder, AMatrixWithAnUndefinedDistanceGetsNoTree) {
  TempDir dir;
  std::string data = read_file(kData / "three_pops.txt");
  data[0] = '4';
  data.insert(data.rfind("END"), "pop4\tlost\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\n");
  testing::write_file("data.txt", data);
  const auto out = testing::run_program("--batch --seed 1 -b 5 --results res data.txt report.txt");
  ASSERT_EQ(out.status, 0) << out.console;
  EXPECT_NE(out.console.find("\nNo tree from Nei's distance: the distance between pop1 and pop4 is undefined"
                             "\nNo tree from the pairwise Fst: the distance between pop1 and pop4 is undefined"
                             "\nNo tree from Reynolds' distance: the distance between pop1 and pop4 is undefined"
                             "\nNo tree from the 1-r distance between individuals: the distance between ind0 and "
                             "lost is undefined\n"),
            std::string::npos)
      << out.console;
  EXPECT_EQ(read_file("res/trees.tsv"), "file\tmatrix\tmethod\ttips\ttree_length\tbootstrap_trees\tmean_support\n");
  EXPECT_EQ(read_file("error.txt").find("No tree"), std::string::npos);
  EXPECT_EQ(read_file("report.txt").find("No tree"), std::string::npos);
}

}  // namespace
}  // namespace bandscape
