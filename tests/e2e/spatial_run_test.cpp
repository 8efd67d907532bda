// Genetic structure in space as a step of the run (--coordinates with
// --results): the files it writes, the same for every thread count, and the
// faults of its input.  The values themselves are checked against vegan and
// an R script of the formulas in tests/spatial.
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

// data.txt (four populations) and a coordinates file for its individuals:
// population p about (45 + 0.3 p, 10 + 0.4 p), individual k of it 0.001 degree
// further north per k.
void write_located_data() {
  fs::copy_file(kData / "four_pops.txt", "data.txt");
  std::ifstream in("data.txt");
  std::ofstream out("places.tsv");
  out << "individual\tlatitude\tlongitude\n";
  std::string line, population, previous;
  std::getline(in, line);
  int p = -1, k = 0;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string name;
    fields >> population >> name;
    if (population == "END" || name.empty()) break;
    if (population != previous) ++p, k = 0, previous = population;
    out << name << '\t' << 45.0 + 0.3 * p + 0.001 * k++ << '\t' << 10.0 + 0.4 * p << '\n';
  }
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

const char* const kSpatialFiles[] = {"geographic_distances.tsv", "mantel.tsv",          "autocorrelation.tsv",
                                     "kinship_classes.tsv",      "kinship_sp.tsv",      "ibd_nei_km.svg",
                                     "autocorrelation.svg",      "kinship.svg"};

TEST(SpatialRun, EveryTestOfPopulationsAndIndividualsTheSameForEveryThreadCount) {
  TempDir dir;
  write_located_data();
  for (const char* threads : {"1", "2"}) {
    const auto out = testing::run_program(std::string("--batch --seed 3 -m 2 --mantel-permutations 99 --threads ") +
                                          threads + " --results r" + threads +
                                          " --coordinates places.tsv data.txt report.txt");
    ASSERT_EQ(out.status, 0) << out.console;
  }
  for (const char* file : kSpatialFiles) {
    ASSERT_TRUE(fs::exists(fs::path("r1") / file)) << file;
    EXPECT_EQ(read_file(fs::path("r1") / file), read_file(fs::path("r2") / file)) << file;
  }
  // Four matrices of populations and two of individuals, each against km and ln km.
  const std::vector<std::string> mantel = lines_of(read_file("r1/mantel.tsv"));
  ASSERT_EQ(mantel.size(), 13u);
  EXPECT_EQ(mantel[0], "level\tgenetic\tgeographic\tpairs\tr\tslope\tintercept\tp_value\tpermutations");
  const char* const tests[] = {"populations\tnei\tkm\t6",
                               "populations\tnei\tln_km\t6",
                               "populations\tfst_linearised\tkm\t6",
                               "populations\tfst_linearised\tln_km\t6",
                               "populations\treynolds\tkm\t6",
                               "populations\treynolds\tln_km\t6",
                               "populations\tphipt_linearised\tkm\t6",
                               "populations\tphipt_linearised\tln_km\t6",
                               "individuals\tband_differences\tkm\t",
                               "individuals\tband_differences\tln_km\t",
                               "individuals\tkinship\tkm\t",
                               "individuals\tkinship\tln_km\t"};
  for (std::size_t k = 0; k < 12; ++k) {
    EXPECT_EQ(mantel[k + 1].rfind(tests[k], 0), 0u) << mantel[k + 1];
    // P = (k + 1) / 100 for 99 permutations.
    const std::string p = mantel[k + 1].substr(mantel[k + 1].rfind('\t', mantel[k + 1].size() - 4) + 1);
    const double value = std::stod(p.substr(0, p.find('\t'))) * 100.0;
    EXPECT_NEAR(value, std::round(value), 1e-9) << mantel[k + 1];
  }
  EXPECT_EQ(lines_of(read_file("r1/kinship_sp.tsv"))[0], "statistic\tvalue");
  const auto record = nlohmann::json::parse(read_file("r1/run.json"));
  EXPECT_EQ(record["spatial"]["population_locations"], "means of the individuals");
  EXPECT_EQ(record["spatial"]["mantel_permutations"], 99);
  EXPECT_NE(read_file("r1/summary.html").find("<section id=\"space\">\n<h2>Genetic structure in space</h2>"),
            std::string::npos);
}

TEST(SpatialRun, FaultsOfTheCoordinatesStopOrSkipWithTheirReason) {
  TempDir dir;
  write_located_data();
  {
    std::ofstream bad("bad.csv");
    bad << "population,latitude,longitude\nAlpine,46,11\nDinaric,95,10\n";
  }
  const auto stopped = testing::run_program("--batch --results r --coordinates bad.csv data.txt report.txt");
  EXPECT_EQ(stopped.status, 1);
  EXPECT_NE(read_file("error.txt").find("\nlatitude 95 on line 3 of coordinates file bad.csv is outside -90..90"),
            std::string::npos);

  // A name not in the data is ignored with a warning; a population without
  // coordinates skips the analyses, with the reason.
  {
    std::ofstream extra("extra.csv");
    extra << "population,latitude,longitude\nAlpine,46,11\nDinaric,45,10\nElsewhere,44,9\nBaltic_coast,54,19\n"
             "Carpathians,47,24\n";
    std::ofstream some("some.csv");
    some << "population,latitude,longitude\nAlpine,46,11\nDinaric,45,10\n";
  }
  const auto extra = testing::run_program("--batch --results e --coordinates extra.csv data.txt report.txt");
  ASSERT_EQ(extra.status, 0) << extra.console;
  EXPECT_TRUE(fs::exists("e/mantel.tsv"));
  const auto messages = nlohmann::json::parse(read_file("e/run.json"))["warnings_by_source"]["space"]["messages"];
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0]["message"],
            "1 name of coordinates file extra.csv is not in the data and is ignored (the first: Elsewhere on line 4)");
  const auto skipped = testing::run_program("--batch --results s --coordinates some.csv data.txt report.txt");
  ASSERT_EQ(skipped.status, 0) << skipped.console;
  EXPECT_FALSE(fs::exists("s/mantel.tsv"));
  EXPECT_EQ(nlohmann::json::parse(read_file("s/run.json"))["warnings_by_source"]["space"]["messages"][0]["message"],
            "no coordinates for population Baltic_coast in coordinates file some.csv: the analyses of isolation by "
            "distance and spatial structure are skipped");
}

// A GenAlEx sheet named as its own coordinates file: its lon and lat columns
// give the distances a coordinates file of the same values gives; GenAlEx's
// plain X and Y headers give no unit and stop the run with the reason.
TEST(SpatialRun, GenalexSheetGivesItsOwnCoordinates) {
  TempDir dir;
  const std::string rows =
      "N1,north,1,0,1,1,,10.5,-3\nN2,north,0,1,1,0,,11,-3.25\nS1,south,0,0,1,0,,20,4\n"
      "S2,south,1,0,0,1,,21.5,4\nE1,east,1,1,1,1,,30,0\nE2,east,0,1,0,1,,31,1\n";
  const std::string head = "4,6,3,2,2,2\nsheet,,,north,south,east\nSample,Pop,L1,L2,L3,L4,,";
  testing::write_file("sheet.csv", head + "lon,lat\n" + rows);
  testing::write_file("plain.csv", head + "X,Y\n" + rows);
  testing::write_file("places.csv",
                      "individual,lat,lon\nN1,-3,10.5\nN2,-3.25,11\nS1,4,20\nS2,4,21.5\nE1,0,30\nE2,1,31\n");
  const std::string run = "--batch --seed 3 --mantel-permutations 99 --format genalex ";
  const auto own = testing::run_program(run + "--results own --coordinates sheet.csv sheet.csv r1.txt");
  ASSERT_EQ(own.status, 0) << own.console;
  const auto file = testing::run_program(run + "--results file --coordinates places.csv sheet.csv r2.txt");
  ASSERT_EQ(file.status, 0) << file.console;
  EXPECT_EQ(read_file("own/geographic_distances.tsv"), read_file("file/geographic_distances.tsv"));
  EXPECT_EQ(lines_of(read_file("own/geographic_distances.tsv")).size(), 1u + 3u + 15u);
  EXPECT_EQ(read_file("own/mantel.tsv"), read_file("file/mantel.tsv"));
  const auto plain = testing::run_program(run + "--results plain --coordinates plain.csv plain.csv r3.txt");
  EXPECT_EQ(plain.status, 1);
  EXPECT_NE(read_file("error.txt").find("\nthe coordinate headers \"X\" and \"Y\" of GenAlEx sheet plain.csv give no "
                                        "unit: name them lat and lon (decimal degrees), x_km and y_km, or x_m and y_m"),
            std::string::npos)
      << read_file("error.txt");
}

}  // namespace
}  // namespace bandscape
