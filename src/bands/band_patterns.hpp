// Band patterns per population: how many bands a population shows, how many
// are common, private or locally common, Shannon's information index over
// loci, and the frequency-down-weighted marker value (rarity) of Schönswetter
// & Tribsch (2005).
//
// A population "has" a band at a locus when its band frequency (present /
// scored) is above 0.  Rules at the edges:
//  - a locus with no scored individual in a population has frequency 0 there:
//    the band is absent, and the locus is left out of that population's
//    Shannon means, which average over the loci with data;
//  - a band is private when no other population has it, whether or not the
//    others were scored at that locus (with one population every band is private);
//  - a locus where no individual of the data set has the band adds nothing to
//    the down-weighted value.
#pragma once

#include <vector>

#include "numeric/array.hpp"

namespace bandscape {

// Fraction of the individuals of a population that must carry a band for it
// to count as common there; a locally common band is common in the population
// and found in at most a quarter (or half) of the populations.
inline constexpr double kCommonBandFrequency = 0.05;

struct BandPattern {
  int individuals = 0;         // rows of the population, missing scores included
  int loci_with_data = 0;      // loci with at least one scored individual
  int bands_present = 0;       // band frequency > 0
  int bands_common = 0;        // band frequency >= 5%
  int private_bands = 0;       // present here and in no other population
  int locally_common_25 = 0;   // common here, present in <= 0.25 r populations
  int locally_common_50 = 0;   // common here, present in <= 0.50 r populations
  double shannon_bands = 0.0;      // mean over loci with data of -(p ln p + (1-p) ln(1-p)), p the band frequency
  double shannon_estimates = 0.0;  // the same with p the allele frequency estimate
  double down_weighted = 0.0;      // sum over loci of (carriers here / carriers in the data set)
  double down_weighted_per_individual = 0.0;  // down_weighted / individuals
};

// -(p ln p + (1 - p) ln(1 - p)) with 0 ln 0 = 0 (0 at p <= 0 and p >= 1).
double shannon_information(double p);

// One BandPattern per population j = 0..r-1.
//   band_scores           score_matrix(0, ntot-1, 0, m-1): 1 present, 0 absent, 9 missing
//   population_bounds     int_vector(0, r): population j owns rows bounds[j] .. bounds[j+1]-1
//   fragment_frequencies  float_matrix(0, r-1, 0, m-1): present / scored, 0 when none scored
//   estimates             float_matrix(0, r-1, 0, m-1): the chosen method's band-allele frequency
// A population without loci with data, or without individuals, keeps 0 means.
std::vector<BandPattern> band_patterns(int r, int m, const ScoreMatrix& band_scores, const IVector& population_bounds,
                                       const FMatrix& fragment_frequencies, const FMatrix& estimates);

}  // namespace bandscape
