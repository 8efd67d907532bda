// The methods of computation of allelic frequencies from dominant band scores.
#pragma once

namespace bandscape {

enum FrequencyMethod : int {
  kFragmentFrequencies = 1,  // band frequency as allele frequency, assuming fixed homozygosity
  kSquareRoot = 2,           // square root of the band-absent proportion (Lynch & Milligan 1994)
  kBayesUniform = 3,         // Bayesian, uniform prior (Zhivotovsky 1999)
  kBayesNonUniform = 4,      // Bayesian, non-uniform prior fitted per population (Zhivotovsky 1999)
};

}  // namespace bandscape
