// The results folder (--results): its tables hold what the report holds, and
// asking for it changes no byte of the classic files, whatever the threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <nlohmann/json.hpp>
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
  const auto out = testing::run_program("--batch --seed 4711 -p 60 -b 6 --outdir " + folder.string() + " " +
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
  const auto notes = nlohmann::json::parse(read_file("res/run.json"))["trees"]["warnings"];
  ASSERT_EQ(notes.size(), 4u) << notes;
  EXPECT_EQ(notes[0], "No tree from Nei's distance: the distance between pop1 and pop4 is undefined");
  EXPECT_EQ(notes[3],
            "No tree from the 1-r distance between individuals: the distance between ind0 and lost is undefined");
  EXPECT_EQ(read_file("error.txt").find("No tree"), std::string::npos);
  EXPECT_EQ(read_file("report.txt").find("No tree"), std::string::npos);
}

// Known digests of the test data, from `sha256sum tests/data/e2e/four_pops.txt
// tests/data/e2e/subset.txt`.
constexpr const char* kFourPopsSha256 = "112ebe1397e7a0ab0d15d5ee3afd2dfad4842dabd15a07ef5e0f5af9362d393f";
constexpr const char* kSubsetSha256 = "198a37bba166a6636d2b9662c30cfb1f10633bc097d8743e86d1aaacc89400a1";

TEST(ResultsFolder, RunJsonRecordsTheRun) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "data.txt");
  fs::copy_file(kData / "subset.txt", "subset.txt");
  const std::string args =
      "--batch --seed 4711 -m 2 -F 0.25 -p 60 -b 6 --threads 2 --results res data.txt report.txt subset.txt";
  const auto out = testing::run_program(args);
  ASSERT_EQ(out.status, 0) << out.console;
  const auto json = nlohmann::json::parse(read_file("res/run.json"));

  EXPECT_EQ(json["program"], "BANDSCAPE");
  EXPECT_EQ(json["version"], "1.0");
  for (const char* field : {"start_time", "end_time"}) {
    const std::string t = json[field];
    EXPECT_EQ(t.size(), 20u) << t;  // 2026-12-08T17:52:37Z
    EXPECT_TRUE(t[4] == '-' && t[10] == 'T' && t[19] == 'Z') << t;
  }
  EXPECT_LE(json["start_time"].get<std::string>(), json["end_time"].get<std::string>());
  std::vector<std::string> argv = json["command_line"];
  ASSERT_EQ(argv.size(), 19u);
  EXPECT_EQ(argv[0], BANDSCAPE_EXE);
  EXPECT_EQ(argv[18], "subset.txt");

  const auto& o = json["options"];
  EXPECT_EQ(o["method"], 2);
  EXPECT_EQ(o["fis"], 0.25);
  EXPECT_EQ(o["permutations"], 60);
  EXPECT_EQ(o["bootstraps"], 6);
  EXPECT_EQ(o["seed"], 4711);
  EXPECT_EQ(o["seed_given"], true);
  EXPECT_EQ(o["threads"], 2);
  EXPECT_EQ(o["format"], "aflp");
  EXPECT_EQ(o["relatedness"], true);

  const auto& f = json["files"];
  EXPECT_EQ(f["data"]["name"], "data.txt");
  EXPECT_EQ(f["data"]["bytes"], 1240);
  EXPECT_EQ(f["data"]["sha256"], kFourPopsSha256);
  EXPECT_EQ(f["subset"]["name"], "subset.txt");
  EXPECT_EQ(f["subset"]["bytes"], 23);
  EXPECT_EQ(f["subset"]["sha256"], kSubsetSha256);
  EXPECT_TRUE(f["populations"].is_null());
  EXPECT_EQ(f["report"], "report.txt");
  EXPECT_EQ(f["results_folder"], "res");

  // The subset keeps Dinaric and Alpine of the four populations.
  const auto& c = json["counts"];
  EXPECT_EQ(c["populations_in_file"], 4);
  EXPECT_EQ(c["populations"], 2);
  EXPECT_EQ(c["loci"], 15);
  const std::string individuals = read_file("res/individuals.tsv");
  EXPECT_EQ(c["individuals"], std::count(individuals.begin(), individuals.end(), '\n') - 1);

  // The messages of error.txt, each without its leading line end, in order;
  // not the progress lines nor the seed line.
  std::string logged;
  for (const auto& w : json["warnings"]) logged += "\n" + w.get<std::string>();
  std::string expected;
  std::istringstream log(read_file("error.txt"));
  for (std::string line; std::getline(log, line);) {
    if (line.empty() || line.find(" done out of ") != std::string::npos || line == "seed:-4711") continue;
    expected += "\n" + line;
  }
  EXPECT_EQ(logged, expected);
  EXPECT_NE(expected, "");  // this data set has warnings

  for (const char* step : {"file_names", "read", "options", "frequencies", "relatedness", "statistics",
                           "permutations", "distances", "bootstraps", "writing", "results_tables"}) {
    EXPECT_TRUE(json["steps_seconds"].contains(step)) << step;
    EXPECT_GE(json["steps_seconds"].value(step, -1.0), 0.0) << step;
  }
  EXPECT_GE(json["wall_seconds"].get<double>(), 0.0);
  EXPECT_EQ(json["exit_status"], 0);
  EXPECT_FALSE(json.contains("error"));
}

TEST(ResultsFolder, RunJsonRecordsAFatalEnd) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "data.txt");
  // resample.txt cannot be created where a folder has its name: the run ends
  // after Table 4, when the results folder already exists.
  fs::create_directory("resample.txt");
  const auto out = testing::run_program("--batch --seed 4711 -m 1 -p 60 --results res data.txt report.txt");
  ASSERT_EQ(out.status, 1) << out.console;
  const auto json = nlohmann::json::parse(read_file("res/run.json"));
  EXPECT_EQ(json["exit_status"], 1);
  EXPECT_EQ(json["error"], "cannot open file in resample_write");
  EXPECT_TRUE(json["options"]["fis"].is_null());  // method 1 assumes no Fis
  EXPECT_TRUE(json["files"]["subset"].is_null());
  EXPECT_EQ(json["warnings"].back(), "cannot open file in resample_write");
}

}  // namespace
}  // namespace bandscape
