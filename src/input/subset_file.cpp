// The subset file reader and the two helpers the first pass over the data file
// uses to keep only the listed populations.
#include "input/subset_file.hpp"

#include <utility>
#include <vector>

namespace bandscape {

void read_subset_file(const std::string& subset_file, SubsetSelection& subset, MessageLog& log) {
  TextLines text(subset_file);
  if (!text.is_open())
    fatal_input_error(log, format("\ncannot open subsetfile %s", subset_file.c_str()), subset_file, 0);
  int line_number = 0;
  const char* line = read_next_line(text, line_number, log);
  const char* p = line;
  if (!scan_int(p, subset.listed_populations)) {
    fatal_input_error(log, format("\ncannot read rsub on line %d from file %s", line_number, subset_file.c_str()),
                      subset_file, line_number);
  }
  p = next_field(line, subset_file, line_number, log);
  if (!scan_int(p, subset.group_count)) {
    fatal_input_error(log, format("\ncannot read n1 on line %d from file %s", line_number, subset_file.c_str()),
                      subset_file, line_number);
  }
  const int listed_populations = subset.listed_populations;
  if (listed_populations <= 0) {
    fatal_input_error(log,
                      format("\nnumber of populations %d on line %d from file %s is not a positive count",
                             listed_populations, line_number, subset_file.c_str()),
                      subset_file, line_number);
  }
  // Names and ids are collected line by line and stored once all were read,
  // so a count far beyond the lines of the file ends at the end of the file
  // instead of allocating for it.
  std::vector<std::string> names;
  std::vector<int> ids;
  for (int k = 1; k <= listed_populations; ++k) {
    line = read_next_line(text, line_number, log);
    names.emplace_back();
    read_word(line, names.back(), kNameLength, subset_file, line_number, log);
    int id = 0;
    if (subset.group_count != 0) {
      p = next_field(line, subset_file, line_number, log);
      if (!scan_int(p, id)) {
        fatal_input_error(log, format("\ncannot read grp1id on line %d from file %s", line_number, subset_file.c_str()),
                          subset_file, line_number);
      }
    }
    ids.push_back(id);
  }
  subset.names = name_list(1, listed_populations);
  subset.groups = int_vector(1, listed_populations);
  for (int k = 1; k <= listed_populations; ++k) {
    subset.names[k] = std::move(names[static_cast<std::size_t>(k - 1)]);
    subset.groups[k] = ids[static_cast<std::size_t>(k - 1)];
  }
  if (subset.group_count == 0) {
    subset.group_sizes = int_vector(1, 0);
    return;
  }
  // Runs of equal ids are the groups, numbered in order of appearance; each id
  // is replaced by its group number.
  std::vector<int> sizes;
  int count = 0;
  int current = listed_populations >= 1 ? subset.groups[1] : 0;
  for (int k = 1; k <= listed_populations; ++k) {
    if (subset.groups[k] == current) {
      ++count;
    } else {
      sizes.push_back(count);
      current = subset.groups[k];
      count = 1;
    }
    subset.groups[k] = static_cast<int>(sizes.size()) + 1;
  }
  sizes.push_back(count);
  if (static_cast<long long>(sizes.size()) != subset.group_count) {
    fatal_input_error(log, "\nnumber of groups I does not correspond to n1", subset_file, 0);
  }
  subset.group_sizes = int_vector(1, subset.group_count);
  for (int g = 1; g <= subset.group_count; ++g) subset.group_sizes[g] = sizes[static_cast<std::size_t>(g - 1)];
}

int find_subset_population(const std::string& label, int r, const NameList& names, const IVector& groups, int& group) {
  for (int k = 1; k <= r; ++k) {
    if (same_name(label, names[k])) {
      group = groups[k];
      return 1;
    }
  }
  return 0;
}

void skip_population(TextLines& data, int i, const NameList& PopulationNames, int& line_number, std::string& label,
                     const std::string& population_name, int& line_count, MessageLog& log) {
  const std::string& file_name = data.file_name();
  while (same_name(label, population_name)) {
    ++line_count;
    read_word(read_next_line(data, line_number, log), label, kNameLength, file_name, line_number, log);
    if (label == "END") {
      std::vector<std::string> found;
      for (int k = 1; k <= i; ++k) found.push_back("\n" + PopulationNames[k]);
      fatal_input_error(log,
                        format("\nEND message encountered before all subset pop found on line %d from file %s",
                               line_number, file_name.c_str()),
                        file_name, line_number, found);
    }
  }
}

}  // namespace bandscape
