// The replicates file reader: sample and individual columns into replicate
// groups of score-table rows.
#include "input/replicates_file.hpp"

#include <algorithm>
#include <unordered_map>

#include "input/data_file.hpp"

namespace bandscape {

namespace {

[[noreturn]] void fail(MessageLog& log, const std::string& message, const std::string& file, int row) {
  fatal_input_error(log, "\n" + message + " (file " + file + ")", file, row);
}

bool blank(const std::vector<std::string>& cells) {
  return std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return c.empty(); });
}

}  // namespace

std::vector<ReplicateGroup> read_replicates_file(const std::string& file, const ScoreTable& table, MessageLog& log) {
  TextLines text(file);
  if (!text.is_open()) fatal_input_error(log, format("\ncannot open replicates file %s", file.c_str()), file, 0);
  if (!text.has_line(1, log)) fail(log, "the file is empty", file, 0);
  const char* first = text.line(1, log);
  const char separator = std::string(first).find('\t') != std::string::npos ? '\t' : ',';
  const std::vector<std::string> header = split_csv_line(first, separator);
  int sample_column = -1, individual_column = -1;
  for (std::size_t c = 0; c < header.size(); ++c) {
    if (header[c] == "sample" && sample_column < 0) sample_column = static_cast<int>(c);
    if (header[c] == "individual" && individual_column < 0) individual_column = static_cast<int>(c);
  }
  if (sample_column < 0) fail(log, "the header row has no column sample", file, 1);
  if (individual_column < 0) fail(log, "the header row has no column individual", file, 1);

  std::unordered_map<std::string, int> row_of_sample;
  for (int i = 0; i < table.individual_count(); ++i) {
    const auto [at, fresh] = row_of_sample.emplace(table.individuals[static_cast<std::size_t>(i)], i);
    if (!fresh) at->second = -1;  // a name the data give twice
  }
  std::vector<ReplicateGroup> groups;
  std::unordered_map<std::string, std::size_t> group_of;
  std::unordered_map<int, int> file_row_of;  // table row -> row of the file naming it
  std::vector<int> first_rows;
  for (int row = 2; text.has_line(row, log); ++row) {
    const std::vector<std::string> cells = split_csv_line(text.line(row, log), separator);
    if (blank(cells)) continue;
    const auto cell = [&](int column) {
      return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)] : std::string();
    };
    const std::string sample = cell(sample_column), individual = cell(individual_column);
    if (sample.empty()) fail(log, format("sample missing in row %d, column %d", row, sample_column + 1), file, row);
    if (individual.empty()) {
      fail(log, format("individual missing in row %d, column %d", row, individual_column + 1), file, row);
    }
    const auto found = row_of_sample.find(sample);
    if (found == row_of_sample.end()) {
      fail(log, format("sample %s in row %d is not a sample of the data", sample.c_str(), row), file, row);
    }
    if (found->second < 0) {
      fail(log, format("sample %s in row %d names more than one sample of the data", sample.c_str(), row), file, row);
    }
    const auto [earlier, fresh] = file_row_of.emplace(found->second, row);
    if (!fresh) {
      fail(log, format("sample %s in row %d is already in row %d", sample.c_str(), row, earlier->second), file, row);
    }
    const auto [at, new_group] = group_of.emplace(individual, groups.size());
    if (new_group) {
      groups.push_back({individual, {}});
      first_rows.push_back(row);
    }
    groups[at->second].samples.push_back(found->second);
  }
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (groups[g].samples.size() < 2) {
      fail(log,
           format("individual %s (row %d) has a single sample: a replicate needs two", groups[g].individual.c_str(),
                  first_rows[g]),
           file, first_rows[g]);
    }
    std::sort(groups[g].samples.begin(), groups[g].samples.end());
  }
  return groups;
}

}  // namespace bandscape
