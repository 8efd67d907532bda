// Whole runs on a GenAlEx sheet compared with the runs on the equivalent
// native data file: the sheet is written from tests/data/e2e/four_pops.txt
// (read through the classic passes, then laid out as genalex.csv), so the
// data are the same by construction.  The runs must give the same classic
// outputs and results folder byte for byte (the data file named alike in
// both); with regions, those of the native file with the subset file whose
// groups are the regions.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "e2e/run_program.hpp"
#include "quality/quality_inputs.hpp"
#include "report/tables/data_export.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_program;
using testing::TempDir;
using testing::write_file;

const fs::path kData = BANDSCAPE_TEST_DATA;

// The classic files and every file of the results folder but those that
// describe the run itself (run.json and the summary page name the input
// file's format, digest and the time), as a run left them in the working folder.
std::vector<std::pair<std::string, std::string>> outputs() {
  std::vector<std::pair<std::string, std::string>> files;
  for (const char* name :
       {"report.txt", "error.txt", "structure.txt", "resample.txt", "aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"}) {
    files.emplace_back(name, read_file(name));
  }
  for (const auto& entry : fs::directory_iterator("results")) {
    const std::string name = entry.path().filename().string();
    if (name != "run.json" && name != "summary.html") files.emplace_back("results/" + name, read_file(entry.path()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

void expect_same_runs(const ScoreTable& sheet, const std::string& subset_text) {
  const std::string args = "--batch --seed 2711 -m 4 -F 0.1 -p 20 -b 4 --results results ";
  std::vector<std::pair<std::string, std::string>> native;
  {
    TempDir dir;
    fs::copy_file(kData / "e2e" / "four_pops.txt", "samples.csv");
    std::string names = "samples.csv report.txt";
    if (!subset_text.empty()) {
      write_file("subset.txt", subset_text);
      names += " subset.txt";
    }
    const testing::Outcome out = run_program(args + names);
    ASSERT_EQ(out.status, 0) << out.console;
    native = outputs();
  }
  TempDir dir;
  write_file("samples.csv", genalex_csv_text(sheet));
  const testing::Outcome out = run_program(args + "--format genalex samples.csv report.txt");
  ASSERT_EQ(out.status, 0) << out.console;
  const auto genalex = outputs();
  ASSERT_GT(genalex.size(), 15u);
  ASSERT_EQ(genalex.size(), native.size());
  for (std::size_t k = 0; k < native.size(); ++k) {
    EXPECT_EQ(genalex[k].first, native[k].first);
    EXPECT_EQ(genalex[k].second, native[k].second) << native[k].first;
  }
  const auto json = nlohmann::json::parse(read_file("results/run.json"));
  EXPECT_EQ(json["options"]["format"], "genalex");
  // The page says which populations the regions group, as for a subset file.
  const std::string page = read_file("results/summary.html");
  EXPECT_EQ(page.find("regions of samples.csv") != std::string::npos, !subset_text.empty());
  if (!subset_text.empty()) {
    EXPECT_NE(page.find("1: Alpine, Baltic_coast; 2: Carpathians, Dinaric"), std::string::npos);
  }
}

TEST(GenalexRun, EqualsTheRunOnTheEquivalentNativeFile) {
  expect_same_runs(testing::load_table((kData / "e2e" / "four_pops.txt").string()), "");
}

// Regions west (Alpine, Baltic_coast) and east (Carpathians, Dinaric): the
// AMOVA has three levels, as with a subset file of these two groups.
TEST(GenalexRun, RegionsGroupThePopulationsAsASubsetFile) {
  ScoreTable sheet = testing::load_table((kData / "e2e" / "four_pops.txt").string());
  ASSERT_EQ(sheet.populations, (std::vector<std::string>{"Alpine", "Baltic_coast", "Carpathians", "Dinaric"}));
  sheet.regions = {"west", "east"};
  sheet.region_of = {0, 0, 1, 1};
  expect_same_runs(sheet, "4\t2\nAlpine\t1\nBaltic_coast\t1\nCarpathians\t2\nDinaric\t2\n");
}

TEST(GenalexRun, CountsThatDisagreeStopTheRun) {
  TempDir dir;
  write_file("g.csv", "2,3,2,2,2\nt,,,a,b\nSample,Pop,L1,L2\nx1,a,1,0\nx2,a,0,1\ny1,b,1,1\n");
  const testing::Outcome out = run_program("--batch --format genalex g.csv out.txt");
  EXPECT_NE(out.status, 0);
  EXPECT_NE(read_file("error.txt").find("row 1 gives population b 2 samples, its rows from row 6 hold 1"), std::string::npos)
      << read_file("error.txt");
}

}  // namespace
}  // namespace bandscape
