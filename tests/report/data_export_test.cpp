// The GenAlEx sheet and the tidy score table written from a score table.  The
// expected texts are written out by hand from tests/data/genalex/regions.csv
// and plain.csv (missing scores as -1 and NA, coordinates in their shortest
// form); the round trips read a native data file through the classic passes,
// write its sheet and read that again.
#include "report/tables/data_export.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "input/genalex_file.hpp"
#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::RecordingLog;
using testing::TempDir;
using testing::write_file;

const fs::path kData = BANDSCAPE_TEST_DATA;

std::string as_text(const std::vector<char>& text) { return std::string(text.begin(), text.end()); }

TEST(DataExport, GenalexSheetWithRegionsAndCoordinates) {
  RecordingLog log;
  const ScoreTable table = read_genalex_file((kData / "genalex" / "regions.csv").string(), log);
  EXPECT_EQ(genalex_csv_text(table),
            "4,7,3,3,2,2,,2,5,2\n"
            "AFLP test sheet,,,north,south,east,,coast,inland\n"
            "Sample,Pop,101.5,120,133.2,150,,X,Y\n"
            "N1,north,1,0,1,1,,10.5,-3\n"
            "N2,north,0,-1,1,0,,11,-3.25\n"
            "N3,north,1,1,-1,1,,,\n"
            "S1,south,0,0,1,0,,20,4\n"
            "S2,south,1,0,0,-1,,21.5,4\n"
            "E1,east,1,1,1,1,,30,0\n"
            "E2,east,0,1,0,1,,31,100\n");
}

TEST(DataExport, ScoresTable) {
  RecordingLog log;
  const ScoreTable table = read_genalex_file((kData / "genalex" / "plain.csv").string(), log);
  EXPECT_EQ(scores_tsv_text(table),
            "index\tindividual\tpopulation\t101.5\t120\t133.2\t150\n"
            "1\tN1\tnorth\t1\t0\t1\t1\n"
            "2\tN2\tnorth\t0\tNA\t1\t0\n"
            "3\tN3\tnorth\t1\t1\tNA\t1\n"
            "4\tS1\tsouth\t0\t0\t1\t0\n"
            "5\tS2\tsouth\t1\t0\t0\tNA\n"
            "6\tE1\teast\t1\t1\t1\t1\n"
            "7\tE2\teast\t0\t1\t0\t1\n");
}

// Native file -> table -> genalex.csv -> table: the same table, and the
// native text it gives is the native file again.  Regions taken from the
// groups of a subset file come back too; names that need quoting and
// coordinates survive.
TEST(DataExport, NativeToGenalexAndBackGivesTheSameData) {
  for (const char* name : {"four_pops.txt", "three_pops.txt"}) {
    RecordingLog log;
    testing::Loaded d;
    const std::string native = (kData / "e2e" / name).string();
    testing::load(d, native, "", log);
    ScoreTable table = score_table_of(d.r, d.m, d.scores, d.bounds, d.populations, d.loci, d.individuals);
    TempDir dir;
    write_file("g.csv", genalex_csv_text(table));
    const ScoreTable again = read_genalex_file("g.csv", log);
    EXPECT_EQ(again, table) << name;
    EXPECT_EQ(as_text(as_native_text(again).rest()), read_file(native)) << name;
  }
  RecordingLog log;
  testing::Loaded d;
  testing::load(d, (kData / "e2e" / "four_pops.txt").string(), "", log);
  ScoreTable table = score_table_of(d.r, d.m, d.scores, d.bounds, d.populations, d.loci, d.individuals);
  table.title = "a \"title\", quoted";
  table.individuals[0] = " Al,01 ";
  table.regions = {"west", "east, far"};
  table.region_of = {0, 0, 1, 1};
  for (int i = 0; i < table.individual_count(); ++i) {
    table.coordinates.emplace_back(i == 3 ? std::numeric_limits<double>::quiet_NaN() : 0.1 * i, -1.0 / (i + 1));
  }
  TempDir dir;
  write_file("g.csv", genalex_csv_text(table));
  const ScoreTable again = read_genalex_file("g.csv", log);
  EXPECT_EQ(again.title, table.title);
  EXPECT_EQ(again.individuals, table.individuals);
  EXPECT_EQ(again.regions, table.regions);
  EXPECT_EQ(again.region_of, table.region_of);
  EXPECT_EQ(again.scores, table.scores);
  ASSERT_EQ(again.coordinates.size(), table.coordinates.size());
  for (std::size_t i = 0; i < table.coordinates.size(); ++i) {
    if (i == 3) {
      EXPECT_TRUE(std::isnan(again.coordinates[i].first));
    } else {
      EXPECT_EQ(again.coordinates[i], table.coordinates[i]) << i;
    }
  }
}

}  // namespace
}  // namespace bandscape
