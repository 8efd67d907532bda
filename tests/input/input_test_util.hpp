// Shared by the input-file tests: a log that records what was written, the
// whole read sequence of a run (header, subset, both passes), and conversions
// of the offset arrays to plain vectors for whole-value comparison.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/message_log.hpp"
#include "input/data_file.hpp"
#include "input/subset_file.hpp"
#include "numeric/array.hpp"
#include "test_util.hpp"

namespace bandscape::testing {

// Runs `step`, which must end with a fatal error, and returns what it logged.
inline std::vector<std::string> fatal_log(const std::function<void(MessageLog&)>& step) {
  RecordingLog log;
  EXPECT_THROW(step(log), FatalError);
  return log.entries;
}

inline std::vector<std::string> names_of(const NameList& names) {
  std::vector<std::string> out;
  for (int i = names.lo(); i <= names.hi(); ++i) out.push_back(names[i]);
  return out;
}

inline std::vector<int> ints_of(const IVector& v, int lo, int hi) {
  std::vector<int> out;
  for (int i = lo; i <= hi; ++i) out.push_back(v[i]);
  return out;
}

template <class T>
inline std::vector<std::vector<int>> rows_of(const OffsetMatrix<T>& a) {
  std::vector<std::vector<int>> out;
  for (int i = a.row_lo(); i <= a.row_hi(); ++i) {
    std::vector<int> row;
    for (int j = a.col_lo(); j <= a.col_hi(); ++j) row.push_back(a[i][j]);
    out.push_back(std::move(row));
  }
  return out;
}

// Everything the reading steps of a run produce.
struct Loaded {
  int R = 0, m = 0, r = 0, ntot = 0;
  DataLineFindings findings;
  bool use_subset = false;
  SubsetSelection subset;
  NameList loci, populations;
  IMatrix counts;
  IVector selected, groups, file_sizes;
  ScoreMatrix scores;
  IVector bounds;
  std::vector<std::string> individuals;
};

// The driver's calling order: read_header_line, read_subset_file (when a
// subset file is named), scan_populations, read_band_scores, all over one reading of
// the data file whose longest line is `longest_line`.
inline void load(Loaded& d, const std::string& data_file, const std::string& subset_file, MessageLog& log,
                 std::size_t longest_line = kLongestLine) {
  TextLines text(data_file, longest_line);
  read_header_line(text, d.R, d.m, d.loci, log);
  d.use_subset = !subset_file.empty();
  d.r = d.R;
  if (d.use_subset) {
    read_subset_file(subset_file, d.subset, log);
    d.r = d.subset.listed_populations;
  }
  d.populations = name_list(1, d.r);
  d.counts = int_matrix(1, d.r, 1, d.m);
  d.selected = int_vector(1, d.r);
  d.groups = int_vector(1, d.r);
  d.file_sizes = int_vector(1, d.R);
  ScannedScores scanned(true);
  scan_populations(text, d.R, d.r, d.use_subset, d.subset, d.m, d.populations, d.counts, d.selected, d.groups,
                   d.file_sizes, d.ntot, d.findings, log, &scanned);
  d.scores = score_matrix(0, d.ntot - 1, 0, d.m - 1);
  d.bounds = int_vector(0, d.r);
  read_band_scores(scanned, d.r, d.use_subset, d.m, d.selected, d.file_sizes, d.ntot, d.scores, d.bounds, log,
                   &d.individuals);
}

// A fatal error while loading: what was logged.
inline std::vector<std::string> load_failure(const std::string& data_file, const std::string& subset_file = "") {
  return fatal_log([&](MessageLog& log) {
    Loaded d;
    load(d, data_file, subset_file, log);
  });
}

}  // namespace bandscape::testing
