// Whole runs with --no-relatedness and with a SilicoDArT data file, compared
// with the runs they must equal: the same run with relatedness (every table but
// the relatedness blocks and Table 6), and the run on the equivalent native
// data file (tests/data/dart/equivalent.txt, written by hand from the report
// and its populations file) but for the fragment sizes, which clone
// identifiers do not give.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "e2e/run_program.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_program;
using testing::TempDir;

const fs::path kData = BANDSCAPE_TEST_DATA;

TEST(NoRelatedness, ReportHoldsOneLineWhereTheRelatednessTablesStand) {
  TempDir dir;
  fs::copy_file(kData / "e2e" / "four_pops.txt", "data.txt");
  const std::string args = "--batch --seed 99 -p 10 -b 3 data.txt report.txt";
  const testing::Outcome full = run_program(args);
  const std::string full_report = read_file("report.txt");
  const std::string full_error = read_file("error.txt");
  fs::remove("report.txt");
  fs::remove("structure.txt");  // else the second run warns that it appends to the first's
  const testing::Outcome skipped = run_program("--no-relatedness " + args);
  ASSERT_EQ(full.status, 0);
  ASSERT_EQ(skipped.status, 0);
  EXPECT_EQ(skipped.console, full.console);  // nothing on the console changes
  EXPECT_EQ(read_file("error.txt"), full_error);
  const std::string before = testing::text_before(full_report, "\n\nRelatedness between pairs of individuals");
  ASSERT_TRUE(testing::ends_with(full_report, "\n\n "));
  EXPECT_EQ(read_file("report.txt"),
            before + "\n\nRelatedness between individuals not computed (--no-relatedness)\n\n ");
}

// With --results, what is made from the relatedness is left out too: the
// pairs' table, the individuals' trees and the heat map; every other file of
// the folder is there.
TEST(NoRelatedness, ResultsFolderHasNoIndividualsTreesNorHeatMap) {
  TempDir dir;
  fs::copy_file(kData / "e2e" / "four_pops.txt", "data.txt");
  auto listing = [](const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
  };
  ASSERT_EQ(run_program("--batch --seed 5 --results with data.txt a.txt").status, 0);
  ASSERT_EQ(run_program("--batch --seed 5 --no-relatedness --results without data.txt b.txt").status, 0);
  EXPECT_EQ(nlohmann::json::parse(read_file("without/run.json"))["options"]["relatedness"], false);
  std::set<std::string> expected = listing("with");
  for (const char* name :
       {"relatedness.tsv", "tree_individuals_nj.nwk", "tree_individuals_upgma.nwk", "tree_individuals_nj.svg",
        "relatedness.svg"}) {
    EXPECT_EQ(expected.erase(name), 1u) << name;
  }
  EXPECT_EQ(listing("without"), expected);
  EXPECT_EQ(read_file("without/trees.tsv").find("individuals"), std::string::npos);
}

// `text` of the native run as the DArT run writes it: its clone identifiers
// give no fragment sizes, so no mean size and no correlation with frequency.
std::string without_fragment_sizes(std::string text) {
  const auto line_end = [&](std::size_t from) {
    const std::size_t end = text.find('\n', from + 1);
    return end == std::string::npos ? text.size() : end;
  };
  const std::size_t mean = text.find("\nMean fragment size : ");
  EXPECT_NE(mean, std::string::npos);
  if (mean != std::string::npos) text.erase(mean, line_end(mean) - mean);
  const std::size_t correlation = text.find("\nThe correlation between fragment sizes and frequencies is : ");
  EXPECT_NE(correlation, std::string::npos);
  if (correlation != std::string::npos) {
    text.replace(correlation, line_end(correlation) - correlation,
                 "\nFragment sizes not available, thus correlation between fragment sizes and frequencies not "
                 "performed");
  }
  return text;
}

// The DArT run and the native run each in a folder of their own, the data file
// named alike in both, so that the report header reads the same.
TEST(SilicoDArT, RunEqualsTheRunOnTheEquivalentNativeFile) {
  std::vector<std::string> files = {"report.txt",   "error.txt",    "structure.txt", "resample.txt",
                                    "aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"};
  const std::string args = "--batch --seed 4711 -m 4 -F 0.1 -p 20 -b 4 --results results ";
  std::vector<std::string> native;
  std::string native_console;
  {
    TempDir dir;
    fs::copy_file(kData / "dart" / "equivalent.txt", "samples.csv");
    const testing::Outcome out = run_program(args + "samples.csv report.txt");
    ASSERT_EQ(out.status, 0) << out.console;
    native_console = out.console;
    // Every file of the results folder too (tables, trees, figures), except
    // those that describe the run itself: run.json and the summary page name
    // the input file, its digest and the time.
    for (const auto& entry : fs::directory_iterator("results")) {
      const std::string name = entry.path().filename().string();
      if (name != "run.json" && name != "summary.html") files.push_back("results/" + name);
    }
    ASSERT_GT(files.size(), 10u);
    for (const std::string& file : files) native.push_back(read_file(file));
  }
  TempDir dir;
  fs::copy_file(kData / "dart" / "report.csv", "samples.csv");
  fs::copy_file(kData / "dart" / "populations.csv", "populations.csv");
  const testing::Outcome out =
      run_program(args + "--format silicodart --populations populations.csv samples.csv report.txt");
  ASSERT_EQ(out.status, 0) << out.console;
  const std::string warning =
      "\nWARNING! sample S4 of file samples.csv has no row in file populations.csv: it is not analysed";
  const std::string no_sizes =
      "\n\nLocus names of file samples.csv are DArT clone identifiers, not fragment sizes: the correlation between "
      "fragment size and frequency is not performed";
  // The warning is the only addition on the console; the fragment-size lines are left out.
  std::string console = out.console;
  const std::size_t at = console.find(warning);
  ASSERT_NE(at, std::string::npos) << console;
  EXPECT_EQ(console.erase(at, warning.size()), without_fragment_sizes(native_console));
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string expected = files[i] == "error.txt"    ? warning + no_sizes + native[i]
                                 : files[i] == "report.txt" ? without_fragment_sizes(native[i])
                                                            : native[i];
    EXPECT_EQ(read_file(files[i]), expected) << files[i];
  }
  // run.json names both input files with their digests, and the format.
  const auto json = nlohmann::json::parse(read_file("results/run.json"));
  EXPECT_EQ(json["options"]["format"], "silicodart");
  EXPECT_EQ(json["files"]["data"]["name"], "samples.csv");
  EXPECT_EQ(json["files"]["populations"]["name"], "populations.csv");
  EXPECT_EQ(json["files"]["populations"]["bytes"], fs::file_size("populations.csv"));
  EXPECT_EQ(json["files"]["populations"]["sha256"].get<std::string>().size(), 64u);
}

TEST(SilicoDArT, FaultInTheReportStopsTheRunNamingRowAndColumn) {
  TempDir dir;
  testing::write_file("d.csv", "CloneID,Reproducibility,S1,S2\n101,1,1,2\n");
  testing::write_file("m.csv", "id,pop\nS1,a\nS2,a\n");
  const testing::Outcome out = run_program("--batch --format silicodart --populations m.csv d.csv out.txt");
  testing::expect_fatal(out, "\nscore '2' in row 2, column 4 of file d.csv is not 1, 0 or -");
  EXPECT_EQ(read_file("error.txt"), "\nscore '2' in row 2, column 4 of file d.csv is not 1, 0 or -");
  // The populations file is read by the run: it cannot be the report.
  const testing::Outcome refused = run_program("--batch --format silicodart --populations m.csv d.csv m.csv");
  testing::expect_fatal(refused, "\noutput file m.csv is also a file this run reads or writes");
  EXPECT_EQ(read_file("m.csv"), "id,pop\nS1,a\nS2,a\n");
}

}  // namespace
}  // namespace bandscape
