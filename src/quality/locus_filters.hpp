// Locus filters applied before the analyses, each opt-in:
//   min_scored F         leaves out a locus scored in fewer than a fraction F
//                        of the individuals (a call-rate filter);
//   band_frequency MIN,MAX  leaves out a locus whose band frequency (bands
//                        present / individuals scored) is outside [MIN, MAX];
//   lm_rule              Lynch & Milligan (1994, Mol. Ecol. 3: 91-99): their
//                        estimator of the null-allele frequency from the
//                        band-absent phenotype is biased when few individuals
//                        lack the band, so a locus whose band-absent phenotype
//                        frequency is below 3/N (N the individuals scored) is
//                        left out;
//   min_reproducibility R  leaves out a locus whose reproducibility (the
//                        Reproducibility column of a DArT report) is below R;
//   max_locus_error E    leaves out a locus whose replicate error rate
//                        (Bonin et al. 2004) is above E; a locus without a
//                        comparison is kept.
// A locus none of whose individuals is scored has no band frequency: the
// frequency filters and the Lynch & Milligan rule leave it out.  Each locus
// left out carries the first reason, in the order above, that applies.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "input/score_table.hpp"

namespace bandscape {

struct LocusFilterSettings {
  std::optional<double> min_scored;
  std::optional<double> min_band_frequency, max_band_frequency;
  bool lm_rule = false;
  std::optional<double> min_reproducibility;
  std::optional<double> max_locus_error;
};

enum class LocusFilter { min_scored, band_frequency, lm_rule, reproducibility, locus_error };

struct LeftOutLocus {
  int locus = 0;  // from 0, a column of the table
  LocusFilter reason = LocusFilter::min_scored;
  double value = 0.0;  // the quantity that failed: fraction scored, band frequency, absent frequency, ...
  double limit = 0.0;  // the bound it failed (for the LM rule 3/N)
};

struct LocusSelection {
  std::vector<int> kept;  // loci from 0, in order
  std::vector<LeftOutLocus> left_out;
  std::vector<std::string> warnings;
};

// `reproducibility` and `locus_error` hold one value per locus, or nothing
// when the data have none (a filter needing them is then not applied, with a
// warning).
LocusSelection filter_loci(const ScoreTable& table, const LocusFilterSettings& settings,
                           const std::vector<double>& reproducibility = {},
                           const std::vector<double>& locus_error = {});

// The reason in words, for error.txt: "scored in 0.4 of the individuals,
// fewer than 0.5".
std::string left_out_reason(const LeftOutLocus& locus);

// The table holding only the loci `kept` (in that order).
ScoreTable keep_loci(const ScoreTable& table, const std::vector<int>& kept);

}  // namespace bandscape
