// The data set of a run as two values, one per pass over the data lines.
//
// The first pass (scan_dataset) reads the header line's counts and names, the
// populations to analyse (all, or those a subset file lists), their names and
// groups, the individuals scored per population and locus, and keeps each
// individual's band scores one byte each.  The second (read_dataset) turns
// that into the score matrix with its population bounds.  Between the two the
// run asks its options and writes its report header, so the two calls stay
// apart; the scan is consumed by the second and its working arrays go with it.
#pragma once

#include <string>
#include <vector>

#include "core/progress.hpp"
#include "input/data_file.hpp"
#include "input/score_table.hpp"
#include "input/subset_file.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// Line 1 of the data file.
struct DataHeader {
  int file_populations = 0;                // R
  int loci = 0;                            // m
  NameList locus_names;                    // 1..m, 20-character keys
  std::vector<std::string> full_locus_names;  // 0..m-1, in full (when kept)
};

DataHeader read_data_header(TextLines& data, MessageLog& log, bool keep_full_names);

// What the first pass gives.  Arrays are 1-based over the analysed populations.
struct DataScan {
  DataHeader header;
  int populations = 0;   // r: R, or the populations a subset file lists
  int individuals = 0;   // ntot, of the analysed populations
  bool use_subset = false;
  NameList population_names;                     // 1..r, 20-character keys
  std::vector<std::string> full_population_names;  // 0..r-1, in full (when kept)
  IVector population_groups;                     // 1..r, group of a subset file (else unset)
  IMatrix non_missing;                           // 1..r x 1..m, individuals scored
  IVector selected_index;                        // 1..r: the file's population of each
  IVector file_population_sizes;                 // 1..R: individuals of each file population
  DataLineFindings findings;
  ScannedScores scanned{false};
};

// The first pass over `data`, whose header is read; `subset`, when given, the
// populations to analyse and their groups.  With `keep_names`, names in full.
DataScan scan_dataset(TextLines& data, DataHeader header, const SubsetSelection* subset, bool keep_names,
                      MessageLog& log);

// The data set the analyses take.
struct Dataset {
  int file_populations = 0;  // R
  int populations = 0;       // r
  int loci = 0;              // m
  int individuals = 0;       // ntot
  bool use_subset = false;
  NameList locus_names;       // 1..m
  NameList population_names;  // 1..r
  std::vector<std::string> full_locus_names, full_population_names, individual_names;  // when kept
  IVector population_groups;  // 1..r
  IVector population_bounds;  // 0..r: population j holds rows bounds[j-1] .. bounds[j]-1
  std::vector<int> population_of;  // 0..ntot-1: the population (from 0) of each individual
  IMatrix non_missing;        // 1..r x 1..m
  ScoreMatrix band_scores;    // 0..ntot-1 x 0..m-1
  DataLineFindings findings;
};

// The second pass: the scores the scan kept, as the score matrix.
Dataset read_dataset(DataScan&& scan, MessageLog& log, const ProgressReport& progress = {});

// The data set as a score table, with its names in full when it kept them.
ScoreTable score_table_of(const Dataset& data);

}  // namespace bandscape
