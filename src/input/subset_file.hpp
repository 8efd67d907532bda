// The subset file: which populations of the data file a run processes, and
// their assignment to groups.
//
// Line 1: listed_populations (populations listed) and group_count (groups, 0 = none), tab-separated.
// Lines 2..listed_populations+1: population name, then (only when group_count is not 0) its group id.
// Runs of consecutive lines with equal ids are groups, numbered 1, 2, ... in
// the order they appear, whatever the ids; there must be exactly group_count runs.
#pragma once

#include <string>

#include "core/message_log.hpp"
#include "input/data_file.hpp"
#include "numeric/array.hpp"

namespace bandscape {

struct SubsetSelection {
  int listed_populations = 0;
  int group_count = 0;
  NameList names;       // 1..listed_populations, at most 20 characters each
  IVector groups;       // 1..listed_populations: group number 1..group_count, or 0 when group_count is 0
  IVector group_sizes;  // 1..group_count: populations listed in each group
};

// Reads the subset file into `subset` (its vectors are allocated here).
void read_subset_file(const std::string& subset_file, SubsetSelection& subset, MessageLog& log);

// 1 and the group number of the first entry 1..r whose name equals `label` in
// the first 20 characters; 0 when none does.
int find_subset_population(const std::string& label, int r, const NameList& names, const IVector& groups,
                           int& group);

// Walks over the lines of a data-file population that the subset does not
// list: while `label` (the current line's label) equals `population_name`,
// counts the line, reads the next one and takes its label.  Meeting "END" is
// fatal; the message lists PopulationNames 1..i, the populations found so far.
void skip_population(TextLines& data, int i, const NameList& PopulationNames, int& line_number, std::string& label,
                     const std::string& population_name, int& line_count, MessageLog& log);

}  // namespace bandscape
