// The band-phenotype and allele frequencies of a data set, for the method of
// the run: the fragment (band-present) frequencies always, then the chosen
// estimator's allele frequencies and their sampling variances (Lynch & Milligan 1994 for the square root method,
// Zhivotovsky 1999 for the Bayesian ones).
#pragma once

#include "core/message_log.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// All matrices are 0..r-1 x 0..m-1.
struct Frequencies {
  FMatrix fragment_frequencies;  // band-present proportion among the scored individuals
  FMatrix fragment_variances;    // its binomial variance f (1 - f) / N
  IMatrix absent_counts;         // band-absent individuals
  FMatrix estimates;             // the method's allele-frequency estimate P
  FMatrix variances;             // and its variance
};

// The frequencies of method 1..4 at the inbreeding coefficient `fis`, from the
// band scores of the r populations (rows bounds[j]..bounds[j+1]-1) and the
// individuals scored per population and locus (1-based).
Frequencies estimate_frequencies(int method, float fis, int r, int m, const ScoreMatrix& band_scores,
                                 const IVector& population_bounds, const IMatrix& non_missing, MessageLog& log);

}  // namespace bandscape
