// The GenAlEx reader: the three header rows and the sample rows, checked cell
// by cell and against one another, into a score table.
#include "input/genalex_file.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "input/data_file.hpp"

namespace bandscape {

namespace {

struct Sheet {
  const std::string& file;
  MessageLog& log;

  [[noreturn]] void fail(const std::string& message, int row) const {
    fatal_input_error(log, "\n" + message + " (file " + file + ")", file, row);
  }
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The cells of a row as split_csv_line gives them, into `cells`, whose strings
// are used again from row to row: a row of many thousand scores is split
// without making a string per cell.  A row holding a quote takes the general
// path.
void split_row(const char* line, char separator, std::vector<std::string>& cells) {
  if (std::strchr(line, '"') != nullptr) {
    cells = split_csv_line(line, separator);
    return;
  }
  std::size_t count = 0;
  for (const char* p = line;; ++p) {
    const char* start = p;
    while (*p != '\0' && *p != separator && *p != '\n') ++p;
    const char* end = p;
    while (start < end && is_blank(*start)) ++start;
    while (end > start && is_blank(end[-1])) --end;
    if (count == cells.size()) cells.emplace_back();
    cells[count++].assign(start, end);
    if (*p != separator) break;
  }
  cells.resize(count);
}

const std::string& cell_at(const std::vector<std::string>& cells, std::size_t column) {
  static const std::string empty;
  return column >= 1 && column <= cells.size() ? cells[column - 1] : empty;
}

bool all_empty(const std::vector<std::string>& cells, std::size_t from_column) {
  for (std::size_t c = from_column; c <= cells.size(); ++c) {
    if (!cells[c - 1].empty()) return false;
  }
  return true;
}

// A count: digits only, at least one, within the int range.
int count_cell(const Sheet& sheet, const std::vector<std::string>& cells, std::size_t column, const char* what,
               int row) {
  const std::string& cell = cell_at(cells, column);
  bool digits = !cell.empty() && cell.size() <= 9;
  for (char c : cell) digits = digits && c >= '0' && c <= '9';
  if (!digits) {
    sheet.fail(
        format("%s '%s' in row %d, column %zu is not a count", what, cell.substr(0, kNameLength).c_str(), row, column),
        row);
  }
  return std::atoi(cell.c_str());
}

void check_name(const Sheet& sheet, const std::string& cell, const char* what, int row, std::size_t column,
                bool one_word) {
  if (cell.empty()) sheet.fail(format("%s missing in row %d, column %zu", what, row, column), row);
  for (char c : cell) {
    const bool blank = c == ' ' || c == '\t' || c == '\v' || c == '\f';
    if (c == '\t' || (one_word && blank)) {
      sheet.fail(format("%s %s in row %d, column %zu holds %s", what, cell.c_str(), row, column,
                        c == '\t' ? "a tab" : "white space"),
                 row);
    }
  }
  if (one_word && cell.substr(0, kNameLength) == "END") {
    sheet.fail(format("%s END in row %d, column %zu is not allowed as a population name", what, row, column), row);
  }
}

double coordinate_cell(const Sheet& sheet, std::string cell, char separator, int row, std::size_t column) {
  if (cell.empty()) return std::numeric_limits<double>::quiet_NaN();
  const std::string written = cell;
  if (separator == ';') {
    for (char& c : cell) {
      if (c == ',') c = '.';
    }
  }
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(cell.c_str(), &end);
  if (end == cell.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(value)) {
    sheet.fail(format("coordinate '%s' in row %d, column %zu is not a number", written.substr(0, kNameLength).c_str(),
                      row, column),
               row);
  }
  return value;
}

// The counts of row 1: loci, samples, populations and their sizes, then
// perhaps (after one empty cell) the regions and their sizes.
struct SheetCounts {
  int loci = 0, samples = 0, populations = 0, regions = 0;
  std::vector<int> population_sizes, region_sizes;
};

SheetCounts read_counts(const Sheet& sheet, const std::vector<std::string>& counts) {
  SheetCounts c;
  c.loci = count_cell(sheet, counts, 1, "number of loci", 1);
  c.samples = count_cell(sheet, counts, 2, "number of samples", 1);
  c.populations = count_cell(sheet, counts, 3, "number of populations", 1);
  if (c.loci == 0 || c.samples == 0 || c.populations == 0)
    sheet.fail("row 1 gives no locus, no sample or no population", 1);
  for (int p = 0; p < c.populations; ++p) {
    c.population_sizes.push_back(count_cell(sheet, counts, 4 + static_cast<std::size_t>(p), "population size", 1));
  }
  const std::size_t region_column = 5 + static_cast<std::size_t>(c.populations);  // the number of regions
  if (!all_empty(counts, region_column - 1)) {
    if (!cell_at(counts, region_column - 1).empty()) {
      sheet.fail(
          format("row 1, column %zu should be empty: row 1 gives %d populations", region_column - 1, c.populations), 1);
    }
    c.regions = count_cell(sheet, counts, region_column, "number of regions", 1);
    if (c.regions == 0) sheet.fail(format("number of regions 0 in row 1, column %zu", region_column), 1);
    for (int g = 0; g < c.regions; ++g) {
      c.region_sizes.push_back(
          count_cell(sheet, counts, region_column + 1 + static_cast<std::size_t>(g), "region size", 1));
    }
    if (!all_empty(counts, region_column + 1 + static_cast<std::size_t>(c.regions))) {
      sheet.fail(format("row 1 holds more cells than its %d regions", c.regions), 1);
    }
  }

  return c;
}

// Row 2: the title, the population names, the region names.
void read_names(const Sheet& sheet, const std::vector<std::string>& names, const SheetCounts& c, ScoreTable& table) {
  table.title = cell_at(names, 1);
  for (int p = 0; p < c.populations; ++p) {
    const std::size_t column = 4 + static_cast<std::size_t>(p);
    check_name(sheet, cell_at(names, column), "population", 2, column, true);
    table.populations.push_back(cell_at(names, column));
  }
  for (std::size_t column = 4 + static_cast<std::size_t>(c.populations); column <= names.size(); ++column) {
    const std::string& cell = names[column - 1];
    if (cell.empty()) continue;
    if (static_cast<int>(table.regions.size()) == c.regions) {
      sheet.fail(
          format("row 2 names more regions than the %d of row 1 (column %zu: %s)", c.regions, column, cell.c_str()), 2);
    }
    check_name(sheet, cell, "region", 2, column, false);
    table.regions.push_back(cell);
  }
  if (static_cast<int>(table.regions.size()) != c.regions) {
    sheet.fail(format("row 1 gives %d regions, row 2 names %zu", c.regions, table.regions.size()), 2);
  }
}

// Row 3: the headers and the locus names, then perhaps one empty cell and the
// two coordinate headers (X, Y) from x_column; true when they are there.
bool read_headers(const Sheet& sheet, const std::vector<std::string>& headers, const SheetCounts& c,
                  std::size_t x_column, ScoreTable& table) {
  std::size_t named = 0;
  while (!cell_at(headers, 3 + named).empty()) ++named;
  if (static_cast<int>(named) != c.loci) {
    sheet.fail(format("row 1 gives %d loci, row 3 names %zu", c.loci, named), 3);
  }
  for (int u = 0; u < c.loci; ++u) {
    const std::size_t column = 3 + static_cast<std::size_t>(u);
    check_name(sheet, headers[column - 1], "locus", 3, column, false);
    table.loci.push_back(headers[column - 1]);
  }
  const bool coordinates = !all_empty(headers, x_column - 1);
  if (coordinates && (cell_at(headers, x_column).empty() || cell_at(headers, x_column + 1).empty() ||
                      !all_empty(headers, x_column + 2))) {
    sheet.fail(format("row 3 holds cells after its %d locus names that are not one empty cell and two coordinate "
                      "headers (X, Y)",
                      c.loci),
               3);
  }
  if (coordinates) table.coordinate_headers = {headers[x_column - 1], headers[x_column]};
  return coordinates;
}

// The sample rows from row 4 (blank rows skipped): name, population (in the
// runs of row 2's order), scores 1, 0, -1 or empty, perhaps the coordinates.
struct SampleRows {
  int samples = 0;
  std::vector<int> run_starts;  // the first row of each population's run
};

SampleRows read_samples(const Sheet& sheet, TextLines& text, MessageLog& log, char separator, const SheetCounts& c,
                        bool coordinates, std::size_t x_column, ScoreTable& table) {
  const std::size_t last_score = 2 + static_cast<std::size_t>(c.loci);
  SampleRows rows;
  std::vector<std::string> cells;
  for (int row = 4; text.has_line(row, log); ++row) {
    split_row(text.line(row, log), separator, cells);
    text.forget_before(row + 1);
    if (all_empty(cells, 1)) continue;
    ++rows.samples;
    check_name(sheet, cell_at(cells, 1), "sample", row, 1, false);
    const std::string& population = cell_at(cells, 2);
    check_name(sheet, population, "population", row, 2, true);
    if (table.individuals.empty() ||
        population != table.populations[static_cast<std::size_t>(table.population_of.back())]) {
      // A new run: the next population of row 2.
      const std::size_t next = table.individuals.empty() ? 0 : static_cast<std::size_t>(table.population_of.back()) + 1;
      if (next >= table.populations.size() || table.populations[next] != population) {
        std::string expected = next < table.populations.size()
                                   ? format("row 2 names %s next", table.populations[next].c_str())
                                   : format("row 2 names %d populations", c.populations);
        sheet.fail(format("population %s in row %d does not follow the order of row 2 (%s)", population.c_str(), row,
                          expected.c_str()),
                   row);
      }
      table.population_of.push_back(static_cast<int>(next));
      rows.run_starts.push_back(row);
    } else {
      table.population_of.push_back(table.population_of.back());
    }
    table.individuals.push_back(cell_at(cells, 1));
    if (cells.size() < last_score) {
      sheet.fail(format("row %d has %zu cells, fewer than the %zu of a sample and its %d scores", row, cells.size(),
                        last_score, c.loci),
                 row);
    }
    for (std::size_t column = 3; column <= last_score; ++column) {
      const std::string& score = cells[column - 1];
      std::uint8_t value = kMissingScore;
      if (score == "1") {
        value = 1;
      } else if (score == "0") {
        value = 0;
      } else if (score != "-1" && !score.empty()) {
        sheet.fail(format("score '%s' in row %d, column %zu is not 1, 0, -1 or empty",
                          score.substr(0, kNameLength).c_str(), row, column),
                   row);
      }
      table.scores.push_back(value);
    }
    if (coordinates) {
      table.coordinates.emplace_back(
          coordinate_cell(sheet, cell_at(cells, x_column), separator, row, x_column),
          coordinate_cell(sheet, cell_at(cells, x_column + 1), separator, row, x_column + 1));
    }
    const std::size_t extra_from = coordinates ? x_column + 2 : last_score + 1;
    for (std::size_t column = extra_from; column <= cells.size(); ++column) {
      if (!cells[column - 1].empty() && !(coordinates && column == x_column - 1)) {
        sheet.fail(format("row %d holds a cell in column %zu, after its last %s", row, column,
                          coordinates ? "coordinate" : "score"),
                   row);
      }
    }
  }
  text.release();
  return rows;
}

// The counts of row 1 against the rows; the samples each population holds.
std::vector<int> check_counts(const Sheet& sheet, const SheetCounts& c, const SampleRows& rows,
                              const ScoreTable& table) {
  if (rows.samples != c.samples) {
    sheet.fail(format("row 1 gives %d samples, the file holds %d sample rows", c.samples, rows.samples), 1);
  }
  if (static_cast<int>(rows.run_starts.size()) != c.populations) {
    sheet.fail(format("row 1 gives %d populations, the sample rows hold %zu", c.populations, rows.run_starts.size()),
               1);
  }
  std::vector<int> held(static_cast<std::size_t>(c.populations), 0);
  for (int p : table.population_of) ++held[static_cast<std::size_t>(p)];
  for (int p = 0; p < c.populations; ++p) {
    if (held[static_cast<std::size_t>(p)] != c.population_sizes[static_cast<std::size_t>(p)]) {
      sheet.fail(format("row 1 gives population %s %d samples, its rows from row %d hold %d",
                        table.populations[static_cast<std::size_t>(p)].c_str(),
                        c.population_sizes[static_cast<std::size_t>(p)], rows.run_starts[static_cast<std::size_t>(p)],
                        held[static_cast<std::size_t>(p)]),
                 1);
    }
  }
  // Populations that agree in the first 20 characters would be one population of the native file.
  for (int p = 1; p < c.populations; ++p) {
    if (same_name(table.populations[static_cast<std::size_t>(p - 1)], table.populations[static_cast<std::size_t>(p)])) {
      sheet.fail(format("populations %s and %s in row 2 agree in their first %zu characters",
                        table.populations[static_cast<std::size_t>(p - 1)].c_str(),
                        table.populations[static_cast<std::size_t>(p)].c_str(), kNameLength),
                 2);
    }
  }
  return held;
}

// Regions: consecutive whole populations, sized in samples (or in populations).
void assign_regions(const Sheet& sheet, const SheetCounts& c, const std::vector<int>& held, ScoreTable& table) {
  int total = 0;
  for (int size : c.region_sizes) total += size;
  const bool in_populations = total != c.samples && total == c.populations;
  if (total != c.samples && total != c.populations) {
    sheet.fail(format("the region sizes of row 1 add up to %d, neither the %d samples nor the %d populations", total,
                      c.samples, c.populations),
               1);
  }
  std::size_t p = 0;
  for (int g = 0; g < c.regions; ++g) {
    int left = c.region_sizes[static_cast<std::size_t>(g)];
    while (left > 0) {
      left -= in_populations ? 1 : held[p];
      table.region_of.push_back(g);
      ++p;
    }
    if (left < 0 || c.region_sizes[static_cast<std::size_t>(g)] == 0) {
      sheet.fail(
          format("region %s (row 1 size %d) does not end where a population ends",
                 table.regions[static_cast<std::size_t>(g)].c_str(), c.region_sizes[static_cast<std::size_t>(g)]),
          1);
    }
  }
}

}  // namespace

char genalex_separator(const char* first_row) {
  int commas = 0, tabs = 0, semicolons = 0;
  for (const char* p = first_row; *p != '\0' && *p != '\n'; ++p) {
    commas += *p == ',';
    tabs += *p == '\t';
    semicolons += *p == ';';
  }
  if (tabs > commas && tabs >= semicolons) return '\t';
  if (semicolons > commas && semicolons > tabs) return ';';
  return ',';
}

ScoreTable read_genalex_file(const std::string& file, MessageLog& log) {
  const Sheet sheet{file, log};
  TextLines text(file);
  if (!text.is_open()) fatal_input_error(log, format("\ncannot open inputfile %s", file.c_str()), file, 0);
  for (int row = 1; row <= 3; ++row) {
    if (!text.has_line(row, log)) sheet.fail(format("the file ends before row %d of the GenAlEx header", row), row);
  }
  const char separator = genalex_separator(text.line(1, log));
  const auto cells_of = [&](int row) {
    std::vector<std::string> cells;
    split_row(text.line(row, log), separator, cells);
    return cells;
  };

  const SheetCounts counts = read_counts(sheet, cells_of(1));
  ScoreTable table;
  read_names(sheet, cells_of(2), counts, table);
  const std::size_t x_column = 4 + static_cast<std::size_t>(counts.loci);
  const bool coordinates = read_headers(sheet, cells_of(3), counts, x_column, table);
  const SampleRows rows = read_samples(sheet, text, log, separator, counts, coordinates, x_column, table);
  const std::vector<int> held = check_counts(sheet, counts, rows, table);
  if (counts.regions > 0) assign_regions(sheet, counts, held, table);
  return table;
}

}  // namespace bandscape
