// The data quality steps as part of the run (--min-scored, --replicates): the
// classic report of a filtered run is the report of the data file with those
// loci taken out by hand, and merged replicates that agree are the individual
// itself; error.txt names every locus left out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
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

const fs::path kData = fs::path(BANDSCAPE_TEST_DATA) / "e2e";

std::vector<std::vector<std::string>> rows_of(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

void write_rows(const fs::path& file, const std::vector<std::vector<std::string>>& rows) {
  std::ofstream out(file);
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) out << (c ? "\t" : "") << row[c];
    out << '\n';
  }
}

// The report of a batch run on data.txt within `folder` (so that every run
// names the same files), with options whose paths are relative to it.
std::string report_of(const fs::path& folder, const std::string& options) {
  const fs::path back = fs::current_path();
  fs::current_path(folder);
  const auto out = testing::run_program("--batch --seed 5 -m 2 -p 20 " + options + " data.txt report.txt");
  const std::string report = read_file("report.txt");
  fs::current_path(back);
  EXPECT_EQ(out.status, 0) << out.console;
  return report;
}

// Where two texts first differ (the texts run to thousands of lines).
std::string first_difference(const std::string& a, const std::string& b) {
  std::size_t k = 0;
  while (k < a.size() && k < b.size() && a[k] == b[k]) ++k;
  if (k == a.size() && k == b.size()) return "same";
  return "at " + std::to_string(k) + ": '" + a.substr(k, 60) + "' against '" + b.substr(k, 60) + "'";
}

TEST(DataQualityRun, FilteredLociGiveTheReportOfTheFileWithoutThem) {
  TempDir dir;
  auto rows = rows_of(read_file(kData / "four_pops.txt"));
  // The loci with a missing score (9) anywhere: --min-scored 1 leaves them out.
  std::vector<bool> missing(rows[0].size(), false);
  for (std::size_t k = 1; k < rows.size(); ++k) {
    for (std::size_t c = 2; c < rows[k].size(); ++c) missing[c] = missing[c] || rows[k][c] == "9";
  }
  std::vector<std::vector<std::string>> kept;
  std::vector<std::string> left_out;
  for (const auto& row : rows) {
    std::vector<std::string> cells(row.begin(), row.begin() + std::min<std::size_t>(2, row.size()));
    for (std::size_t c = 2; c < row.size(); ++c) {
      if (!missing[c]) cells.push_back(row[c]);
    }
    kept.push_back(cells);
  }
  for (std::size_t c = 2; c < rows[0].size(); ++c) {
    if (missing[c]) left_out.push_back(rows[0][c]);
  }
  ASSERT_FALSE(left_out.empty());
  kept[0][1] = std::to_string(kept[0].size() - 2);  // line 1: R, then m
  fs::create_directories("filtered");
  fs::create_directories("by_hand");
  fs::copy_file(kData / "four_pops.txt", "filtered/data.txt");
  write_rows("by_hand/data.txt", kept);
  EXPECT_EQ(first_difference(report_of("filtered", "--min-scored 1"), report_of("by_hand", "")), "same");
  const std::string log = read_file("filtered/error.txt");
  for (const std::string& locus : left_out) {
    EXPECT_NE(log.find("\n\nlocus " + locus + " left out: scored in a fraction "), std::string::npos) << locus;
  }
}

TEST(DataQualityRun, AgreeingReplicatesMergeIntoTheIndividualWithErrorRateZero) {
  TempDir dir;
  auto rows = rows_of(read_file(kData / "four_pops.txt"));
  fs::create_directories("replicated");
  fs::create_directories("single");
  write_rows("single/data.txt", rows);
  // The second individual of the file scored twice, identically.
  std::vector<std::string> copy = rows[2];
  const std::string individual = copy[1];
  copy[1] += "_again";
  rows.insert(rows.begin() + 3, copy);
  write_rows("replicated/data.txt", rows);
  {
    std::ofstream replicates("replicated/replicates.tsv");
    replicates << "sample\tindividual\n" << individual << '\t' << individual << '\n'
               << copy[1] << '\t' << individual << '\n';
  }
  EXPECT_EQ(first_difference(report_of("replicated", "--replicates replicates.tsv --results res"),
                             report_of("single", "")),
            "same");
  const auto rates = rows_of(read_file("replicated/res/replicates.tsv"));
  ASSERT_EQ(rates.size(), 2u);
  EXPECT_EQ(rates[1][0], individual);
  EXPECT_EQ(rates[1][4], "0");  // mismatches
  EXPECT_EQ(rates[1][5], "0");  // error rate
  const auto record = nlohmann::json::parse(read_file("replicated/res/run.json"));
  EXPECT_EQ(record["quality"]["replicates"]["error_rate"], 0.0);
  EXPECT_EQ(record["quality"]["loci_left_out"], 0);
}

// The analysed data written back out as a GenAlEx sheet read again give the
// same report, and scores.tsv holds every score.
TEST(DataQualityRun, ExportedGenalexSheetReadsAsTheSameData) {
  TempDir dir;
  fs::create_directories("native");
  fs::create_directories("sheet");
  fs::copy_file(kData / "four_pops.txt", "native/data.txt");
  const std::string native = report_of("native", "--results res --export-data");
  fs::copy_file("native/res/genalex.csv", "sheet/data.txt");
  EXPECT_EQ(first_difference(report_of("sheet", "--format genalex"), native), "same");
  const auto scores = rows_of(read_file("native/res/scores.tsv"));
  const auto data = rows_of(read_file(kData / "four_pops.txt"));
  ASSERT_EQ(scores.size() + 1, data.size());  // a header and one row per individual; the data add END
  EXPECT_EQ(scores[1][1], data[1][1]);
  EXPECT_EQ(scores[1].size(), data[1].size() + 1);
}

// A DArT report's Reproducibility column: the marker of reproducibility 0.98
// is left out at 0.99, giving the report of the file without its row.
TEST(DataQualityRun, ReproducibilityFilterLeavesOutTheMarkerRow) {
  TempDir dir;
  const fs::path dart = fs::path(BANDSCAPE_TEST_DATA) / "dart";
  std::string without;
  {
    std::istringstream in(read_file(dart / "report.csv"));
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("100062014,", 0) != 0) without += line + "\n";
    }
  }
  for (const char* folder : {"filtered", "by_hand"}) {
    fs::create_directories(folder);
    fs::copy_file(dart / "populations.csv", fs::path(folder) / "populations.csv");
  }
  fs::copy_file(dart / "report.csv", "filtered/data.txt");
  testing::write_file("by_hand/data.txt", without);
  const std::string dart_options = "--format silicodart --populations populations.csv ";
  EXPECT_EQ(first_difference(report_of("filtered", dart_options + "--min-reproducibility 0.99"),
                             report_of("by_hand", dart_options)),
            "same");
  EXPECT_NE(read_file("filtered/error.txt").find("\n\nlocus 100062014 left out: reproducibility 0.98 below 0.99"),
            std::string::npos)
      << read_file("filtered/error.txt");
}

// --individual-distance: the chosen coefficient's table, the ordination of
// its square roots and the trees of 1 - S, named on the page; euclidean is
// the run without the option.
TEST(DataQualityRun, ChosenIndividualDistanceShapesOrdinationAndTrees) {
  TempDir dir;
  for (const char* folder : {"jaccard", "euclidean", "plain"}) {
    fs::create_directories(folder);
    fs::copy_file(kData / "four_pops.txt", fs::path(folder) / "data.txt");
  }
  report_of("jaccard", "--results res --individual-distance jaccard");
  report_of("euclidean", "--results res --individual-distance euclidean");
  report_of("plain", "--results res");
  const auto distances = rows_of(read_file("jaccard/res/individual_distances.tsv"));
  const std::size_t n = rows_of(read_file("plain/res/individuals.tsv")).size() - 1;
  EXPECT_EQ(distances.size(), 1 + n * (n - 1) / 2);
  EXPECT_EQ(distances[0], (std::vector<std::string>{"index_a", "individual_a", "index_b", "individual_b", "distance"}));
  const std::string page = read_file("jaccard/res/summary.html");
  EXPECT_NE(page.find("Principal coordinates of the individuals (square root of the Jaccard distance)"),
            std::string::npos);
  EXPECT_NE(page.find("Neighbour-joining tree of the individuals from the Jaccard distance"), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(read_file("jaccard/res/run.json"))["individual_distance"]["coefficient"], "jaccard");
  EXPECT_NE(read_file("jaccard/res/tree_individuals_nj.nwk"), read_file("plain/res/tree_individuals_nj.nwk"));
  EXPECT_NE(read_file("jaccard/res/pcoa_individuals.tsv"), read_file("plain/res/pcoa_individuals.tsv"));
  for (const char* file : {"pcoa_individuals.tsv", "tree_individuals_nj.nwk", "tree_individuals_upgma.nwk"}) {
    EXPECT_EQ(read_file(fs::path("euclidean/res") / file), read_file(fs::path("plain/res") / file)) << file;
  }
  EXPECT_FALSE(fs::exists("euclidean/res/individual_distances.tsv"));
}

}  // namespace
}  // namespace bandscape
