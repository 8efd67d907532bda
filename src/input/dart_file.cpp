// The SilicoDArT reader: the report and its populations file, checked cell by
// cell, written out as the native data file's text.
#include "input/dart_file.hpp"

#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "input/data_file.hpp"

namespace bandscape {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string trimmed(const std::string& text) {
  std::size_t a = 0, b = text.size();
  while (a < b && is_blank(text[a])) ++a;
  while (b > a && is_blank(text[b - 1])) --b;
  return text.substr(a, b - a);
}

bool blank_line(const char* line) {
  for (; *line != '\0'; ++line) {
    if (!is_blank(*line)) return false;
  }
  return true;
}

[[noreturn]] void fail(MessageLog& log, const std::string& message, const std::string& file, int row) {
  fatal_input_error(log, message, file, row);
}

// A cell copied into the native text as a name: it may hold no tab (the
// native file's separator) and may not be empty.
void check_name_cell(const std::string& cell, const char* what, int row, int column, const std::string& file,
                     MessageLog& log) {
  if (cell.empty()) {
    fail(log, format("\n%s missing in row %d, column %d of file %s", what, row, column, file.c_str()), file, row);
  }
  if (cell.find('\t') != std::string::npos) {
    fail(log,
         format("\n%s %s in row %d, column %d of file %s holds a tab", what, cell.c_str(), row, column, file.c_str()),
         file, row);
  }
}

struct Individual {
  std::string id;
  std::string population;  // as written
  int group = 0;           // index of its population, in order of first appearance
  int sample = -1;         // its column among the report's samples (0 = first sample column)
};

// The populations file: every row's id and population, in file order, with
// the group of each population.
std::vector<Individual> read_populations_file(const std::string& file, int& groups, MessageLog& log) {
  TextLines text(file);
  if (!text.is_open()) fail(log, format("\ncannot open populations file %s", file.c_str()), file, 0);
  if (!text.has_line(1, log)) fail(log, format("\nfile %s is empty", file.c_str()), file, 0);
  const std::vector<std::string> header = split_csv_line(text.line(1, log));
  int id_column = -1, pop_column = -1;
  for (std::size_t c = 0; c < header.size(); ++c) {
    if (header[c] == "id" && id_column < 0) id_column = static_cast<int>(c);
    if (header[c] == "pop" && pop_column < 0) pop_column = static_cast<int>(c);
  }
  for (const auto& [column, name] : {std::pair{id_column, "id"}, std::pair{pop_column, "pop"}}) {
    if (column < 0) fail(log, format("\nthe header row of file %s has no column %s", file.c_str(), name), file, 1);
  }
  std::vector<Individual> individuals;
  std::unordered_map<std::string, int> row_of_id;
  std::vector<std::string> group_names;  // cut to the significant length
  std::vector<std::pair<std::string, int>> group_first;  // each group's name in full and its first row
  for (int row = 2; text.has_line(row, log); ++row) {
    const char* line = text.line(row, log);
    if (blank_line(line)) continue;
    const std::vector<std::string> cells = split_csv_line(line);
    Individual one;
    for (const auto& [column, name] : {std::pair{id_column, "id"}, std::pair{pop_column, "pop"}}) {
      const std::string cell = static_cast<std::size_t>(column) < cells.size() ? cells[column] : std::string();
      check_name_cell(cell, name, row, column + 1, file, log);
      (column == id_column ? one.id : one.population) = cell;
    }
    // The native file's population label is one word.
    for (char c : one.population) {
      if (is_blank(c)) {
        fail(log,
             format("\npop %s in row %d, column %d of file %s holds white space", one.population.c_str(), row,
                    pop_column + 1, file.c_str()),
             file, row);
      }
    }
    // "END" closes the data of a native file.
    if (one.population.substr(0, kNameLength) == "END") {
      fail(log,
           format("\npop END in row %d, column %d of file %s is not allowed as a population name", row, pop_column + 1,
                  file.c_str()),
           file, row);
    }
    const auto [at, fresh] = row_of_id.emplace(one.id, row);
    if (!fresh) {
      fail(log, format("\nid %s in row %d of file %s is already in row %d", one.id.c_str(), row, file.c_str(), at->second),
           file, row);
    }
    const std::string label = one.population.substr(0, kNameLength);
    std::size_t g = 0;
    while (g < group_names.size() && group_names[g] != label) ++g;
    if (g == group_names.size()) {
      group_names.push_back(label);
      group_first.emplace_back(one.population, row);
    } else if (group_first[g].first != one.population) {
      // The native file keys a population by its first 20 characters: two
      // names that differ only after them would be read as one population.
      fail(log,
           format("\npop %s in row %d and pop %s in row %d of file %s differ only after their first %zu "
                  "characters, which name a population: they would be merged",
                  group_first[g].first.c_str(), group_first[g].second, one.population.c_str(), row, file.c_str(),
                  kNameLength),
           file, row);
    }
    one.group = static_cast<int>(g);
    individuals.push_back(std::move(one));
  }
  if (individuals.empty()) fail(log, format("\nfile %s lists no sample", file.c_str()), file, 0);
  groups = static_cast<int>(group_names.size());
  return individuals;
}

}  // namespace

std::vector<std::string> split_csv_line(const char* line, char separator) {
  std::vector<std::string> cells;
  std::string cell;
  bool quoted_cell = false;  // the cell was quoted: its text is kept as written
  const char* p = line;
  for (;;) {
    // One cell: leading white space, then a quoted text or plain text up to the comma.
    while ((*p == ' ' || *p == '\t') && *p != separator) ++p;
    cell.clear();
    quoted_cell = false;
    if (*p == '"') {
      quoted_cell = true;
      ++p;
      for (; *p != '\0'; ++p) {
        if (*p == '"') {
          if (p[1] == '"') {
            cell += '"';
            ++p;
            continue;
          }
          ++p;
          break;
        }
        cell += *p;
      }
      while (*p != '\0' && *p != separator && *p != '\n') ++p;  // text after the closing quote: ignored
    } else {
      while (*p != '\0' && *p != separator && *p != '\n') cell += *p++;
    }
    cells.push_back(quoted_cell ? cell : trimmed(cell));
    if (*p != separator) break;
    ++p;
  }
  return cells;
}

NativeText silicodart_as_native_text(const std::string& data_file, const std::string& populations_file,
                                     MessageLog& log) {
  int groups = 0;
  std::vector<Individual> individuals = read_populations_file(populations_file, groups, log);

  TextLines text(data_file);
  if (!text.is_open()) fail(log, format("\ncannot open inputfile %s", data_file.c_str()), data_file, 0);

  // The rows starting with "*", then the header row.
  int row = 1;
  std::vector<std::string> header;
  for (;; ++row) {
    if (!text.has_line(row, log)) {
      fail(log, format("\nfile %s ends before its header row beginning with CloneID", data_file.c_str()), data_file,
           row);
    }
    header = split_csv_line(text.line(row, log));
    if (header.empty() || header[0] != "*") break;
    if (row > kDartMaxStarRows) {
      fail(log,
           format("\nrow %d of file %s begins with *: at most %d such rows may stand above the header row", row,
                  data_file.c_str(), kDartMaxStarRows),
           data_file, row);
    }
  }
  const int header_row = row;
  if (header[0] != "CloneID") {
    fail(log,
         format("\nrow %d of file %s should be the header row, beginning with CloneID", header_row, data_file.c_str()),
         data_file, header_row);
  }
  std::size_t first_sample = 0;
  for (std::size_t c = 1; c < header.size() && first_sample == 0; ++c) {
    if (header[c] == "Reproducibility") first_sample = c + 1;
  }
  if (first_sample == 0) {
    fail(log, format("\nthe header row (row %d) of file %s has no column Reproducibility", header_row, data_file.c_str()),
         data_file, header_row);
  }
  const std::size_t columns = header.size();
  std::unordered_map<std::string, int> column_of_sample;
  for (std::size_t c = first_sample; c < columns; ++c) {
    const auto [at, fresh] = column_of_sample.emplace(header[c], static_cast<int>(c));
    if (!fresh) {
      fail(log,
           format("\nsample %s in row %d, column %zu of file %s is already in column %d", header[c].c_str(),
                  header_row, c + 1, data_file.c_str(), at->second + 1),
           data_file, header_row);
    }
  }

  // Every id of the populations file is a sample of the report.
  std::vector<bool> listed(columns, false);
  for (Individual& one : individuals) {
    const auto at = column_of_sample.find(one.id);
    if (at == column_of_sample.end()) {
      fail(log,
           format("\nid %s of file %s is not a sample of file %s", one.id.c_str(), populations_file.c_str(),
                  data_file.c_str()),
           populations_file, 0);
    }
    one.sample = at->second;
    listed[static_cast<std::size_t>(at->second)] = true;
  }

  // The individuals grouped by population, in the order of the populations
  // file within each.
  std::vector<const Individual*> order;
  for (int g = 0; g < groups; ++g) {
    for (const Individual& one : individuals) {
      if (one.group == g) order.push_back(&one);
    }
  }
  const int n = static_cast<int>(order.size());

  // The marker rows, read once: CloneID and one checked score per sample;
  // the scores of the individuals kept as characters ('-' as '9').
  ScannedScores markers;
  std::string header_text;
  int m = 0;
  for (row = header_row + 1; text.has_line(row, log); ++row) {
    const char* line = text.line(row, log);
    if (blank_line(line)) continue;
    const std::vector<std::string> cells = split_csv_line(line);
    text.forget_before(row + 1);
    if (cells.size() != columns) {
      fail(log,
           format("\nrow %d of file %s has %zu cells, the header row has %zu", row, data_file.c_str(), cells.size(),
                  columns),
           data_file, row);
    }
    check_name_cell(cells[0], "CloneID", row, 1, data_file, log);
    for (std::size_t c = first_sample; c < columns; ++c) {
      const std::string& score = cells[c];
      if (score != "1" && score != "0" && score != "-") {
        fail(log,
             format("\nscore '%s' in row %d, column %zu of file %s is not 1, 0 or -", score.substr(0, kNameLength).c_str(),
                    row, c + 1, data_file.c_str()),
             data_file, row);
      }
    }
    header_text += '\t';
    header_text += cells[0];
    if (n > 0) {
      std::uint8_t* scores = markers.new_row(n);
      for (int k = 0; k < n; ++k) {
        const char score = cells[static_cast<std::size_t>(order[static_cast<std::size_t>(k)]->sample)][0];
        scores[k] = static_cast<std::uint8_t>(score == '-' ? '9' : score);
      }
    }
    ++m;
  }
  text.release();
  if (m == 0) fail(log, format("\nfile %s holds no marker row", data_file.c_str()), data_file, 0);

  int unlisted = 0;
  std::string first_unlisted;
  for (std::size_t c = first_sample; c < columns; ++c) {
    if (listed[c]) continue;
    if (unlisted++ == 0) first_unlisted = header[c];
  }
  if (unlisted == 1) {
    log.echo(format("\nWARNING! sample %s of file %s has no row in file %s: it is not analysed", first_unlisted.c_str(),
                    data_file.c_str(), populations_file.c_str()));
  } else if (unlisted > 1) {
    log.echo(format("\nWARNING! %d samples of file %s have no row in file %s: they are not analysed (the first: %s)",
                    unlisted, data_file.c_str(), populations_file.c_str(), first_unlisted.c_str()));
  }

  std::vector<std::string> line_starts;
  for (const Individual* one : order) line_starts.push_back(one->population + "\t" + one->id);
  return NativeText(format("%d\t%d", groups, m) + header_text + "\n", std::move(line_starts), std::move(markers));
}

std::vector<double> silicodart_reproducibility(const std::string& data_file, MessageLog& log) {
  TextLines text(data_file);
  if (!text.is_open()) fail(log, format("\ncannot open inputfile %s", data_file.c_str()), data_file, 0);
  int row = 1;
  std::vector<std::string> header;
  for (; text.has_line(row, log); ++row) {
    header = split_csv_line(text.line(row, log));
    if (header.empty() || header[0] != "*") break;
  }
  std::size_t column = 0;
  while (column < header.size() && header[column] != "Reproducibility") ++column;
  if (header.empty() || header[0] != "CloneID" || column == header.size()) {
    fail(log, format("\nfile %s has no header row with CloneID and Reproducibility", data_file.c_str()), data_file,
         row);
  }
  std::vector<double> values;
  for (++row; text.has_line(row, log); ++row) {
    const char* line = text.line(row, log);
    if (blank_line(line)) continue;
    const std::vector<std::string> cells = split_csv_line(line);
    text.forget_before(row + 1);
    const std::string cell = column < cells.size() ? cells[column] : std::string();
    char* end = nullptr;
    const double value = std::strtod(cell.c_str(), &end);
    if (cell.empty() || *end != '\0' || !(value >= 0.0 && value <= 1.0)) {
      fail(log,
           format("\nReproducibility '%s' in row %d, column %zu of file %s is not a number from 0 to 1",
                  cell.substr(0, kNameLength).c_str(), row, column + 1, data_file.c_str()),
           data_file, row);
    }
    values.push_back(value);
  }
  return values;
}

NativeText::NativeText(std::string first_line, std::vector<std::string> line_starts, ScannedScores markers)
    : first_line_(std::move(first_line)), line_starts_(std::move(line_starts)), markers_(std::move(markers)) {
  marker_rows_ = markers_.row_addresses(static_cast<int>(line_starts_.size()));
}

bool NativeText::next_line(std::vector<char>& text) {
  text.clear();
  const std::size_t n = line_starts_.size();
  if (next_ == 0) {
    text.assign(first_line_.begin(), first_line_.end());
  } else if (next_ <= n) {
    // "pop\tid", then "\t<score>" per marker, then the line break.
    const std::size_t k = next_ - 1;
    const std::string& start = line_starts_[k];
    const std::size_t m = marker_rows_.size();
    text.resize(start.size() + 2 * m + 1);
    std::memcpy(text.data(), start.data(), start.size());
    char* p = text.data() + start.size();
    for (std::size_t u = 0; u < m; ++u) {
      p[2 * u] = '\t';
      p[2 * u + 1] = static_cast<char>(marker_rows_[u][k]);
    }
    p[2 * m] = '\n';
  } else if (next_ == n + 1) {
    const char end[] = "END\n";
    text.assign(end, end + 4);
  } else {
    return false;
  }
  ++next_;
  return true;
}

std::vector<char> NativeText::rest() {
  std::vector<char> whole, line;
  while (next_line(line)) whole.insert(whole.end(), line.begin(), line.end());
  return whole;
}

}  // namespace bandscape
