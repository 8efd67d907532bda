// The coordinates file: its two layouts and three units, the exact messages
// of its faults, the matching of its names to the data's and the mean
// location of populations.  Expected values are read off the file texts.
#include "input/coordinates_file.hpp"

#include <gtest/gtest.h>

#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::RecordingLog;

struct Parsed {
  Coordinates c;
  std::string error;  // the message of the fault, empty when none
  int line = -1;
};

Parsed parse(const std::string& text) {
  RecordingLog log;
  Parsed p;
  try {
    p.c = parse_coordinates(text, "coords.tsv", log);
  } catch (const InputError& e) {
    p.error = e.what();
    p.line = e.line();
  }
  return p;
}

TEST(CoordinatesFile, LayoutsAndUnits) {
  struct Case {
    const char* text;
    CoordinateLevel level;
    CoordinateKind kind;
    std::vector<std::string> names;
    std::vector<double> north, east;
  };
  const Case cases[] = {
      {"population\tlatitude\tlongitude\nP1\t47.5\t8.25\nP2\t-33.9\t151.2\n", CoordinateLevel::populations,
       CoordinateKind::geographic, {"P1", "P2"}, {47.5, -33.9}, {8.25, 151.2}},
      // Comma-separated, CRLF line ends, a byte order mark, quotes, blank
      // rows, other columns, the DArT names lat/lon in another order.
      {"\xEF\xBB\xBFIndividual,site,lon,lat\r\n\r\n\"i 1\",north,+10,45\r\ni2,south,-10.5,-45.75\r\n",
       CoordinateLevel::individuals, CoordinateKind::geographic, {"i 1", "i2"}, {45, -45.75}, {10, -10.5}},
      {"individual\tx_km\ty_km\na\t1.5\t2\nb\t0\t-3\n", CoordinateLevel::individuals, CoordinateKind::planar,
       {"a", "b"}, {2, -3}, {1.5, 0}},
      // Metres are turned into km.
      {"population,y_m,x_m\nA,2500,-1000\n", CoordinateLevel::populations, CoordinateKind::planar, {"A"}, {2.5},
       {-1.0}},
      // A DArT metadata file: its id column names the samples.
      {"id,pop,lat,lon\nS3,north,-12.5,130.75\n", CoordinateLevel::individuals, CoordinateKind::geographic, {"S3"},
       {-12.5}, {130.75}},
      // The limits themselves are allowed.
      {"population\tlatitude\tlongitude\nN\t90\t-180\nS\t-90\t180\n", CoordinateLevel::populations,
       CoordinateKind::geographic, {"N", "S"}, {90, -90}, {-180, 180}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Parsed p = parse(c.text);
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.c.level, c.level);
    EXPECT_EQ(p.c.kind, c.kind);
    EXPECT_EQ(p.c.names, c.names);
    ASSERT_EQ(p.c.locations.size(), c.names.size());
    for (std::size_t k = 0; k < c.names.size(); ++k) {
      EXPECT_DOUBLE_EQ(p.c.locations[k].north, c.north[k]);
      EXPECT_DOUBLE_EQ(p.c.locations[k].east, c.east[k]);
    }
  }
}

TEST(CoordinatesFile, FaultsStopWithTheLine) {
  struct Case {
    const char* text;
    const char* message;
    int line;
  };
  const Case cases[] = {
      {"population\tlatitude\tlongitude\nP1\t90.5\t8\n",
       "\nlatitude 90.5 on line 2 of coordinates file coords.tsv is outside -90..90", 2},
      {"population\tlatitude\tlongitude\nP1\t10\t8\n\nP2\t10\t-180.25\n",
       "\nlongitude -180.25 on line 4 of coordinates file coords.tsv is outside -180..180", 4},
      {"population\tlatitude\tlongitude\nP1\t10,5\t8\n",
       "\ncannot read latitude \"10,5\" on line 2 of coordinates file coords.tsv", 2},
      {"population\tlatitude\tlongitude\nP1\t10\n",
       "\ncannot read longitude \"\" on line 2 of coordinates file coords.tsv", 2},
      {"individual,x_km,y_km\na,1,NA\n", "\ncannot read y \"NA\" on line 2 of coordinates file coords.tsv", 2},
      {"individual,x_km,y_km\na,1,2\nb,3,4\na,5,6\n",
       "\na on line 4 of coordinates file coords.tsv was given on line 2 already", 4},
      {"site\tlatitude\tlongitude\n",
       "\nthe first column of coordinates file coords.tsv is \"site\", not \"population\", \"individual\" or \"id\" (line 1)",
       1},
      {"\n\npopulation\tlatitude\tx_km\n",
       "\ncoordinates file coords.tsv has no columns latitude and longitude, x_km and y_km, or x_m and y_m (line 3)",
       3},
      {"", "\ncoordinates file coords.tsv is empty", 0},
      {"population,lat,lon\n,1,2\n", "\nno name on line 2 of coordinates file coords.tsv", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Parsed p = parse(c.text);
    EXPECT_EQ(p.error, c.message);
    EXPECT_EQ(p.line, c.line);
  }
}

TEST(CoordinatesFile, MissingFileIsFatal) {
  RecordingLog log;
  try {
    read_coordinates_file("no/such/coordinates.tsv", log);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "\ncannot open coordinates file no/such/coordinates.tsv");
  }
}

TEST(CoordinatesFile, MatchingToTheData) {
  const Coordinates individuals =
      parse("individual\tx_km\ty_km\nb\t1\t2\na\t3\t4\nextra1\t0\t0\nc\t5\t6\nextra2\t0\t0\n").c;
  // In the data's order; the two names the data lacks give one warning.
  const MatchedLocations m = match_locations(individuals, {"a", "b", "c"}, "coords.tsv");
  ASSERT_TRUE(m.complete);
  ASSERT_EQ(m.locations.size(), 3u);
  EXPECT_EQ(m.locations[0].east, 3);
  EXPECT_EQ(m.locations[1].east, 1);
  EXPECT_EQ(m.locations[2].east, 5);
  EXPECT_EQ(m.warnings, (std::vector<std::string>{"\n2 names of coordinates file coords.tsv are not in the data and "
                                                  "are ignored (the first: extra1 on line 4)"}));
  // A name without coordinates: the first one is named and nothing is matched.
  const MatchedLocations missing = match_locations(individuals, {"a", "zz", "yy"}, "coords.tsv");
  EXPECT_FALSE(missing.complete);
  EXPECT_TRUE(missing.locations.empty());
  EXPECT_EQ(missing.skipped, "\nno coordinates for individual zz in coordinates file coords.tsv: the analyses of "
                             "isolation by distance and spatial structure are skipped");
  // Population names count in their first 20 characters, as in the data file.
  const Coordinates populations =
      parse("population,latitude,longitude\nabcdefghijklmnopqrstUVW,1,2\nshort,3,4\n").c;
  const MatchedLocations p = match_locations(populations, {"abcdefghijklmnopqrst", "short"}, "c.csv");
  ASSERT_TRUE(p.complete);
  EXPECT_TRUE(p.warnings.empty());
  EXPECT_EQ(p.locations[0].north, 1);
  const MatchedLocations one = match_locations(populations, {"short"}, "c.csv");
  EXPECT_EQ(one.warnings, (std::vector<std::string>{"\n1 name of coordinates file c.csv is not in the data and is "
                                                    "ignored (the first: abcdefghijklmnopqrstUVW on line 2)"}));
}

TEST(CoordinatesFile, PopulationMeansOfIndividuals) {
  // Populations of 2 and 3 individuals: (1 + 3) / 2 = 2, (10 + 20) / 2 = 15;
  // (0 + 1 + 5) / 3 = 2, (-3 + 0 + 0) / 3 = -1.
  const std::vector<Location> ind{{1, 10}, {3, 20}, {0, -3}, {1, 0}, {5, 0}};
  const std::vector<Location> m = population_means(ind, {2, 3});
  ASSERT_EQ(m.size(), 2u);
  EXPECT_DOUBLE_EQ(m[0].north, 2);
  EXPECT_DOUBLE_EQ(m[0].east, 15);
  EXPECT_DOUBLE_EQ(m[1].north, 2);
  EXPECT_DOUBLE_EQ(m[1].east, -1);
  EXPECT_THROW(population_means(ind, {2, 2}), std::invalid_argument);
  EXPECT_THROW(population_means(ind, {2, 4}), std::invalid_argument);
  EXPECT_THROW(population_means(ind, {0, 5}), std::invalid_argument);
}

}  // namespace
}  // namespace bandscape
