// The coordinates file reader, the matching of its names to the data's and
// the mean location of a population's individuals.
#include "input/coordinates_file.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "input/dart_file.hpp"
#include "input/data_file.hpp"

namespace bandscape {
namespace {

std::string lowercase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// The cells of one line: comma-separated cells through the DArT reader's
// splitter (quotes), tab-separated ones split at every tab and unquoted.
std::vector<std::string> split_line(const std::string& line, char separator) {
  if (separator == ',') return split_csv_line(line.c_str());
  std::vector<std::string> cells;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    std::string cell = trimmed(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') {
      std::string inner;
      for (std::size_t k = 1; k + 1 < cell.size(); ++k) {
        inner += cell[k];
        if (cell[k] == '"' && k + 2 < cell.size() && cell[k + 1] == '"') ++k;
      }
      cell = inner;
    }
    cells.push_back(cell);
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return cells;
}

int find_column(const std::vector<std::string>& header, std::initializer_list<const char*> names) {
  for (std::size_t c = 1; c < header.size(); ++c) {
    for (const char* name : names) {
      if (header[c] == name) return static_cast<int>(c);
    }
  }
  return -1;
}

// The columns of the two coordinates in a lowercase header (its column 0 the
// names) and their unit; north < 0 when the header names none of the pairs.
struct CoordinateColumns {
  int north = -1, east = -1;
  CoordinateKind kind = CoordinateKind::geographic;
  double scale = 1.0;  // to km for planar coordinates
};

CoordinateColumns coordinate_columns(const std::vector<std::string>& header) {
  CoordinateColumns c;
  c.north = find_column(header, {"latitude", "lat"});
  c.east = find_column(header, {"longitude", "lon"});
  if (c.north >= 0 && c.east >= 0) return c;
  c.kind = CoordinateKind::planar;
  for (const auto& [y, x, scale] : {std::tuple{"y_km", "x_km", 1.0}, std::tuple{"y_m", "x_m", 0.001}}) {
    c.north = find_column(header, {y});
    c.east = find_column(header, {x});
    c.scale = scale;
    if (c.north >= 0 && c.east >= 0) return c;
  }
  return CoordinateColumns{};
}

[[noreturn]] void fault(MessageLog& log, const std::string& message, const std::string& file, int line) {
  fatal_input_error(log, message, file, line);
}

double read_number(const std::vector<std::string>& cells, int column, const char* what, int line,
                   const std::string& file, MessageLog& log) {
  const std::string cell = column < static_cast<int>(cells.size()) ? cells[static_cast<std::size_t>(column)] : "";
  double value = 0.0;
  const char* begin = cell.data();
  const char* end = cell.data() + cell.size();
  if (!cell.empty() && *begin == '+') ++begin;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (cell.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
    fault(log,
          format("\ncannot read %s \"%s\" on line %d of coordinates file %s", what, cell.c_str(), line, file.c_str()),
          file, line);
  }
  return value;
}

}  // namespace

Coordinates parse_coordinates(const std::string& text, const std::string& file, MessageLog& log) {
  std::vector<std::string> lines;
  {
    std::string current;
    std::istringstream in(text);
    while (std::getline(in, current)) {
      if (!current.empty() && current.back() == '\r') current.pop_back();
      lines.push_back(current);
    }
  }
  if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);  // a UTF-8 byte order mark
  std::size_t header_index = 0;
  while (header_index < lines.size() && trimmed(lines[header_index]).empty()) ++header_index;
  if (header_index == lines.size()) fault(log, format("\ncoordinates file %s is empty", file.c_str()), file, 0);
  const int header_line = static_cast<int>(header_index) + 1;
  const char separator = lines[header_index].find('\t') != std::string::npos ? '\t' : ',';
  std::vector<std::string> header = split_line(lines[header_index], separator);
  for (auto& h : header) h = lowercase(h);

  Coordinates c;
  if (header[0] == "population") {
    c.level = CoordinateLevel::populations;
  } else if (header[0] == "individual" || header[0] == "id") {  // "id": the samples of a DArT metadata file
    c.level = CoordinateLevel::individuals;
  } else {
    fault(log,
          format("\nthe first column of coordinates file %s is \"%s\", not \"population\", \"individual\" or \"id\" "
                 "(line %d)",
                 file.c_str(), header[0].c_str(), header_line),
          file, header_line);
  }
  const CoordinateColumns columns = coordinate_columns(header);
  const int north = columns.north, east = columns.east;
  const double scale = columns.scale;
  c.kind = columns.kind;
  if (north < 0) {
    fault(log,
          format("\ncoordinates file %s has no columns latitude and longitude, x_km and y_km, or x_m and y_m "
                 "(line %d)",
                 file.c_str(), header_line),
          file, header_line);
  }
  const char* north_name = c.kind == CoordinateKind::geographic ? "latitude" : "y";
  const char* east_name = c.kind == CoordinateKind::geographic ? "longitude" : "x";

  std::map<std::string, int> seen;  // name -> its line
  for (std::size_t k = header_index + 1; k < lines.size(); ++k) {
    if (trimmed(lines[k]).empty()) continue;
    const int line = static_cast<int>(k) + 1;
    const std::vector<std::string> cells = split_line(lines[k], separator);
    const std::string& name = cells[0];
    if (name.empty()) fault(log, format("\nno name on line %d of coordinates file %s", line, file.c_str()), file, line);
    Location at{read_number(cells, north, north_name, line, file, log) * scale,
                read_number(cells, east, east_name, line, file, log) * scale};
    if (c.kind == CoordinateKind::geographic && std::fabs(at.north) > 90.0) {
      fault(log,
            format("\nlatitude %s on line %d of coordinates file %s is outside -90..90",
                   cells[static_cast<std::size_t>(north)].c_str(), line, file.c_str()),
            file, line);
    }
    if (c.kind == CoordinateKind::geographic && std::fabs(at.east) > 180.0) {
      fault(log,
            format("\nlongitude %s on line %d of coordinates file %s is outside -180..180",
                   cells[static_cast<std::size_t>(east)].c_str(), line, file.c_str()),
            file, line);
    }
    const auto [where, added] = seen.emplace(name, line);
    if (!added) {
      fault(log,
            format("\n%s on line %d of coordinates file %s was given on line %d already", name.c_str(), line,
                   file.c_str(), where->second),
            file, line);
    }
    c.names.push_back(name);
    c.locations.push_back(at);
    c.lines.push_back(line);
  }
  return c;
}

Coordinates read_coordinates_file(const std::string& file, MessageLog& log) {
  std::ifstream in(file, std::ios::binary);
  if (!in) fault(log, format("\ncannot open coordinates file %s", file.c_str()), file, 0);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return parse_coordinates(text, file, log);
}

Coordinates sheet_coordinates(const ScoreTable& sheet, const std::string& file, MessageLog& log) {
  if (sheet.coordinate_headers.size() != 2) {
    fault(log, format("\nGenAlEx sheet %s has no coordinate columns", file.c_str()), file, 0);
  }
  // Column 0 stands for the names, as in a coordinates file's header.
  const std::vector<std::string> header = {"", lowercase(sheet.coordinate_headers[0]),
                                           lowercase(sheet.coordinate_headers[1])};
  Coordinates c;
  c.level = CoordinateLevel::individuals;
  const CoordinateColumns columns = coordinate_columns(header);
  const int north = columns.north, east = columns.east;
  const double scale = columns.scale;
  c.kind = columns.kind;
  if (north < 0) {
    fault(log,
          format("\nthe coordinate headers \"%s\" and \"%s\" of GenAlEx sheet %s give no unit: name them lat and lon "
                 "(decimal degrees), x_km and y_km, or x_m and y_m",
                 sheet.coordinate_headers[0].c_str(), sheet.coordinate_headers[1].c_str(), file.c_str()),
          file, 3);
  }
  std::map<std::string, int> seen;
  for (std::size_t k = 0; k < sheet.coordinates.size() && k < sheet.individuals.size(); ++k) {
    const double xy[2] = {sheet.coordinates[k].first, sheet.coordinates[k].second};
    const Location at{xy[north - 1] * scale, xy[east - 1] * scale};
    if (!std::isfinite(at.north) || !std::isfinite(at.east)) continue;  // unknown: the sample is not located
    const std::string& name = sheet.individuals[k];
    if (c.kind == CoordinateKind::geographic && (std::fabs(at.north) > 90.0 || std::fabs(at.east) > 180.0)) {
      fault(log,
            format("\nlatitude %g, longitude %g of sample %s in GenAlEx sheet %s are outside -90..90, -180..180",
                   at.north, at.east, name.c_str(), file.c_str()),
            file, 0);
    }
    if (!seen.emplace(name, 0).second) {
      fault(log, format("\nsample %s of GenAlEx sheet %s is located twice", name.c_str(), file.c_str()), file, 0);
    }
    c.names.push_back(name);
    c.locations.push_back(at);
    c.lines.push_back(0);
  }
  return c;
}

MatchedLocations match_locations(const Coordinates& coordinates, const std::vector<std::string>& data_names,
                                 const std::string& file) {
  const bool populations = coordinates.level == CoordinateLevel::populations;
  // Population names are compared in their first 20 characters.
  auto key = [&](const std::string& name) { return populations ? name.substr(0, kNameLength) : name; };
  std::map<std::string, std::size_t> position;
  for (std::size_t k = 0; k < coordinates.names.size(); ++k) position.emplace(key(coordinates.names[k]), k);

  MatchedLocations m;
  std::vector<bool> used(coordinates.names.size(), false);
  for (const std::string& name : data_names) {
    const auto found = position.find(key(name));
    if (found == position.end()) {
      m.skipped = format("\nno coordinates for %s %s in coordinates file %s: the analyses of isolation by distance "
                         "and spatial structure are skipped",
                         populations ? "population" : "individual", name.c_str(), file.c_str());
      m.locations.clear();
      return m;
    }
    used[found->second] = true;
    m.locations.push_back(coordinates.locations[found->second]);
  }
  m.complete = true;
  const auto unused = static_cast<std::size_t>(std::count(used.begin(), used.end(), false));
  if (unused > 0) {
    const std::size_t first = static_cast<std::size_t>(std::find(used.begin(), used.end(), false) - used.begin());
    m.warnings.push_back(format("\n%zu name%s of coordinates file %s %s not in the data and %s ignored (the first: "
                                "%s on line %d)",
                                unused, unused == 1 ? "" : "s", file.c_str(), unused == 1 ? "is" : "are",
                                unused == 1 ? "is" : "are", coordinates.names[first].c_str(),
                                coordinates.lines[first]));
  }
  return m;
}

std::vector<Location> population_means(const std::vector<Location>& individuals,
                                       const std::vector<int>& population_sizes) {
  std::vector<Location> means;
  std::size_t next = 0;
  for (int size : population_sizes) {
    if (size < 1 || next + static_cast<std::size_t>(size) > individuals.size())
      throw std::invalid_argument("population sizes do not match the individuals");
    Location sum;
    for (int k = 0; k < size; ++k, ++next) {
      sum.north += individuals[next].north;
      sum.east += individuals[next].east;
    }
    means.push_back({sum.north / size, sum.east / size});
  }
  if (next != individuals.size()) throw std::invalid_argument("population sizes do not match the individuals");
  return means;
}

}  // namespace bandscape
