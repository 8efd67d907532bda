// The GenAlEx reader.  tests/data/genalex/plain.csv and regions.csv were
// written by hand in the layout of poppr's GenAlEx test files (the second
// with regions and coordinates); equivalent.txt is the native data file
// written by hand from them (-1 and empty cells as 9) and regions_subset.txt
// the subset file whose groups are the regions (coast: north and south, 5
// samples; inland: east, 2).  The error messages are written out by hand.
#include "input/genalex_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::fatal_log;
using testing::read_file;
using testing::RecordingLog;
using testing::TempDir;
using testing::write_file;

const fs::path kGenalex = fs::path(BANDSCAPE_TEST_DATA) / "genalex";

std::string as_text(const std::vector<char>& text) { return std::string(text.begin(), text.end()); }

std::string with_separator(std::string text, char separator) {
  for (char& c : text) {
    if (c == ',') c = separator;
  }
  return text;
}

// The same sheet comma-, tab- and semicolon-separated gives the native file.
TEST(GenalexFile, EverySeparatorGivesTheEquivalentNativeText) {
  const std::string sheet = read_file(kGenalex / "plain.csv");
  for (char separator : {',', '\t', ';'}) {
    TempDir dir;
    write_file("g.csv", with_separator(sheet, separator));
    RecordingLog log;
    const ScoreTable table = read_genalex_file("g.csv", log);
    EXPECT_EQ(as_text(as_native_text(table).rest()), read_file(kGenalex / "equivalent.txt")) << separator;
    EXPECT_TRUE(log.entries.empty());
    EXPECT_EQ(table.title, "AFLP test sheet");
    EXPECT_EQ(table.populations, (std::vector<std::string>{"north", "south", "east"}));
    EXPECT_EQ(table.individuals, (std::vector<std::string>{"N1", "N2", "N3", "S1", "S2", "E1", "E2"}));
    EXPECT_EQ(table.population_of, (std::vector<int>{0, 0, 0, 1, 1, 2, 2}));
    EXPECT_TRUE(table.regions.empty() && table.region_of.empty() && table.coordinates.empty());
  }
}

TEST(GenalexFile, RegionsAndCoordinates) {
  RecordingLog log;
  const ScoreTable table = read_genalex_file((kGenalex / "regions.csv").string(), log);
  EXPECT_EQ(as_text(as_native_text(table).rest()), read_file(kGenalex / "equivalent.txt"));
  EXPECT_EQ(table.regions, (std::vector<std::string>{"coast", "inland"}));
  EXPECT_EQ(table.region_of, (std::vector<int>{0, 0, 1}));
  ASSERT_EQ(table.coordinates.size(), 7u);
  const std::vector<std::pair<double, double>> known = {{10.5, -3}, {11, -3.25}, {20, 4}, {21.5, 4}, {30, 0}, {31, 100}};
  std::vector<std::pair<double, double>> read;
  for (std::size_t i = 0; i < 7; ++i) {
    if (i == 2) {
      EXPECT_TRUE(std::isnan(table.coordinates[i].first) && std::isnan(table.coordinates[i].second));
    } else {
      read.push_back(table.coordinates[i]);
    }
  }
  EXPECT_EQ(read, known);

  // The regions as a subset selection equal the subset file with groups.
  SubsetSelection from_file;
  read_subset_file((kGenalex / "regions_subset.txt").string(), from_file, log);
  const SubsetSelection regions = regions_as_subset(table);
  EXPECT_EQ(regions.listed_populations, from_file.listed_populations);
  EXPECT_EQ(regions.group_count, from_file.group_count);
  EXPECT_EQ(testing::names_of(regions.names), testing::names_of(from_file.names));
  EXPECT_EQ(testing::ints_of(regions.groups, 1, 3), testing::ints_of(from_file.groups, 1, 3));
  EXPECT_EQ(testing::ints_of(regions.group_sizes, 1, 2), testing::ints_of(from_file.group_sizes, 1, 2));

  // Semicolons with decimal commas; region sizes given in populations (2, 1).
  TempDir dir;
  std::string sheet = with_separator(read_file(kGenalex / "regions.csv"), ';');
  sheet.replace(sheet.find(";2;5;2"), 6, ";2;2;1");
  sheet.replace(sheet.find("10.5"), 4, "10,5");
  write_file("g.csv", sheet);
  const ScoreTable semicolons = read_genalex_file("g.csv", log);
  EXPECT_EQ(semicolons.region_of, table.region_of);
  EXPECT_EQ(semicolons.coordinates[0], (std::pair<double, double>{10.5, -3}));
}

TEST(GenalexFile, SeparatorIsTheCommonestOfRowOne) {
  EXPECT_EQ(genalex_separator("4,7,3,3,2,2\n"), ',');
  EXPECT_EQ(genalex_separator("4\t7\t3\t3\n"), '\t');
  EXPECT_EQ(genalex_separator("4;7;3;3\n"), ';');
  EXPECT_EQ(genalex_separator("4;7;3;3,5\n"), ';');
  EXPECT_EQ(genalex_separator("4\n"), ',');
}

// Each case: the sheet and the one message logged.
TEST(GenalexFile, FaultsNameTheCountsRowColumnAndFile) {
  const std::string names = "t,,,a,b\nSample,Pop,L1,L2\n";
  const std::string rows = "x1,a,1,0\nx2,a,0,1\ny1,b,1,1\n";
  struct Case {
    std::string sheet, message;
  };
  const std::vector<Case> cases = {
      {"2,3,2,2,1\n" + names + rows.substr(0, 18), "\nrow 1 gives 3 samples, the file holds 2 sample rows (file g.csv)"},
      {"2,3,2,1,2\n" + names + rows, "\nrow 1 gives population a 1 samples, its rows from row 4 hold 2 (file g.csv)"},
      {"3,3,2,2,1\n" + names + rows, "\nrow 1 gives 3 loci, row 3 names 2 (file g.csv)"},
      {"2,3,3,2,1,0\nt,,,a,b,c\nSample,Pop,L1,L2\n" + rows,
       "\nrow 1 gives 3 populations, the sample rows hold 2 (file g.csv)"},
      {"2,3,2,2,1\n" + names + "x1,a,1,0\ny1,b,1,1\nx2,a,0,1\n",
       "\npopulation a in row 6 does not follow the order of row 2 (row 2 names 2 populations) (file g.csv)"},
      {"2,3,2,2,1\n" + names + "x1,a,1,0\nx2,a,0,1\ny1,c,1,1\n",
       "\npopulation c in row 6 does not follow the order of row 2 (row 2 names b next) (file g.csv)"},
      {"2,3,2,2,1\n" + names + "x1,a,1,0\nx2,a,2,1\ny1,b,1,1\n",
       "\nscore '2' in row 5, column 3 is not 1, 0, -1 or empty (file g.csv)"},
      {"2,3,2,2,1\n" + names + "x1,a,1\nx2,a,0,1\ny1,b,1,1\n",
       "\nrow 4 has 3 cells, fewer than the 4 of a sample and its 2 scores (file g.csv)"},
      {"2,3,2,2,1\n" + names + "x1,a,1,0,5\nx2,a,0,1\ny1,b,1,1\n",
       "\nrow 4 holds a cell in column 5, after its last score (file g.csv)"},
      {"2,3,2,2,x\n" + names + rows, "\npopulation size 'x' in row 1, column 5 is not a count (file g.csv)"},
      {"2,3,2,2,1,,2,2,2\n" + names + rows,
       "\nrow 1 gives 2 regions, row 2 names 0 (file g.csv)"},
      {"2,3,2,2,1,,2,1,3\nt,,,a,b,,r1,r2\nSample,Pop,L1,L2\n" + rows,
       "\nthe region sizes of row 1 add up to 4, neither the 3 samples nor the 2 populations (file g.csv)"},
      {"2,3,2,2,1,,2,1,2\nt,,,a,b,,r1,r2\nSample,Pop,L1,L2\n" + rows,
       "\nregion r1 (row 1 size 1) does not end where a population ends (file g.csv)"},
      {"2,3,2,2,1\nt,,,a site,b\nSample,Pop,L1,L2\n" + rows,
       "\npopulation a site in row 2, column 4 holds white space (file g.csv)"},
      {"2,3,2,2,1\nt,,,END,b\nSample,Pop,L1,L2\n" + rows,
       "\npopulation END in row 2, column 4 is not allowed as a population name (file g.csv)"},
      {"2,3,2,2,1\n" + names + "x1,a,1,0\n,a,0,1\ny1,b,1,1\n", "\nsample missing in row 5, column 1 (file g.csv)"},
      {"2,3,2,2,1\n" + names + "x1,a,1,0\nx2,a,0,1\ny1,b,1,1,,3\n",
       "\nrow 6 holds a cell in column 6, after its last score (file g.csv)"},
      {"2,3,2,2,1\nt,,,a,b\nSample,Pop,L1,L2,,X,Y\nx1,a,1,0,,1,2\nx2,a,0,1,,3,north\ny1,b,1,1,,5,6\n",
       "\ncoordinate 'north' in row 5, column 7 is not a number (file g.csv)"},
      {"2,3,2,2,1\nt,,,a,b\nSample,Pop,L1,L2,,X\n" + rows,
       "\nrow 3 holds cells after its 2 locus names that are not one empty cell and two coordinate headers (X, Y) "
       "(file g.csv)"},
      {"2,3\n", "\nthe file ends before row 2 of the GenAlEx header (file g.csv)"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file("g.csv", c.sheet);
    const std::vector<std::string> logged = fatal_log([](MessageLog& log) { read_genalex_file("g.csv", log); });
    EXPECT_EQ(logged, std::vector<std::string>{"E:" + c.message}) << c.message;
  }
  EXPECT_EQ(fatal_log([](MessageLog& log) { read_genalex_file("none.csv", log); }),
            std::vector<std::string>{"E:\ncannot open inputfile none.csv"});
}

}  // namespace
}  // namespace bandscape
