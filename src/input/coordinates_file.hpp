// The coordinates file: where each population or each individual was sampled.
//
// A tab- or comma-separated text (the separator is the one of the header row:
// a tab when it holds one, else a comma) with a header row.  The first column
// is "population" or "individual" (or "id", the sample column of a DArT
// metadata file, which can so give the coordinates of its samples) and holds
// the names as in the data file;
// then, anywhere after it, either "latitude" and "longitude" (or "lat" and
// "lon", as in a DArT metadata file) in decimal degrees on WGS84, or planar
// coordinates "x_m" and "y_m" (metres) or "x_km" and "y_km" (kilometres).
// Other columns are ignored; header names are compared without regard to
// case.  Cells may be quoted ("..." with "" for a quote); white space around a
// cell is ignored; blank rows are skipped.
//
// Faults are fatal through fatal_input_error, naming the line (from 1) and the
// file: an unknown first column, missing coordinate columns, a cell that is
// not a number, a latitude outside -90..90 or a longitude outside -180..180, a
// name given twice.
#pragma once

#include <string>
#include <vector>

#include "core/message_log.hpp"
#include "input/score_table.hpp"

namespace bandscape {

enum class CoordinateLevel { populations, individuals };
enum class CoordinateKind { geographic, planar };

// One sampling location: for geographic coordinates north is the latitude and
// east the longitude in decimal degrees; for planar ones both are in km.
struct Location {
  double north = 0.0;
  double east = 0.0;
};

struct Coordinates {
  CoordinateLevel level = CoordinateLevel::populations;
  CoordinateKind kind = CoordinateKind::geographic;
  std::vector<std::string> names;    // in the order of the file
  std::vector<Location> locations;   // one per name
  std::vector<int> lines;            // the line of each name, from 1
};

// Reads a coordinates file.  "\ncannot open coordinates file F" when it cannot
// be opened.
Coordinates read_coordinates_file(const std::string& file, MessageLog& log);
// The same from the text of a file named `file` (for the messages).
Coordinates parse_coordinates(const std::string& text, const std::string& file, MessageLog& log);

// The coordinates of a GenAlEx sheet (its X and Y columns; `file` the
// sheet's name for the messages) for its individuals with both known.  The
// headers give the unit as a coordinates file's do: "lat" and "lon" (or
// "latitude" and "longitude", in either column), "x_km" and "y_km", or "x_m"
// and "y_m".  Fatal: a sheet without coordinates, headers that give no unit
// (GenAlEx's plain X and Y), a latitude or longitude out of range, a sample
// name given twice.
Coordinates sheet_coordinates(const ScoreTable& sheet, const std::string& file, MessageLog& log);

// The locations of the data's names (populations or individuals, as the
// coordinates' level), in the data's order.  Names are compared in full for
// individuals and in their first 20 characters for populations, as the data
// file reader compares them.
struct MatchedLocations {
  // False when a name of the data has no coordinates: `skipped` then says
  // which (the first one) and that the spatial analyses are skipped, and
  // `locations` is empty.
  bool complete = false;
  std::string skipped;
  std::vector<Location> locations;
  // One warning when names of the file are not in the data (how many, the
  // first of them); they are ignored.
  std::vector<std::string> warnings;
};
MatchedLocations match_locations(const Coordinates& coordinates, const std::vector<std::string>& data_names,
                                 const std::string& file);

// The location of each population as the mean of its individuals': the
// individuals in population order, population p holding the next
// population_sizes[p] (>= 1) of them.  The plain mean of latitudes and of
// longitudes (or of x and of y) is taken, as is usual for the small extent of
// one population; a population straddling the antimeridian is not treated
// specially.
std::vector<Location> population_means(const std::vector<Location>& individuals,
                                       const std::vector<int>& population_sizes);

}  // namespace bandscape
