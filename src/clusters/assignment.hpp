// Assignment test of individuals to populations (Paetkau et al. 1995), as
// adapted to dominant markers by Duchesne & Bernatchez (2002): the likelihood
// of an individual's band phenotype in each population, from the population's
// band-phenotype frequencies with the loci taken as independent.
//
// For individual i and population p, over the loci l where i is scored,
//   L(i, p) = sum_l [x_il ln f_pl + (1 - x_il) ln(1 - f_pl)],
// with f_pl = b / n, b the individuals of p with the band at l and n those
// scored there, i itself left out when p is its own population.  A frequency
// of 0 or 1 (b = 0 or b = n), which would make a likelihood 0, is replaced by
// (b + 1) / (n + 2), Laplace's rule of succession; so is a locus with no scored
// individual (n = 0), which gets 1/2.
//
// The individual is assigned to the population of highest L (the first on a
// tie); the log-likelihood difference is the highest L minus the second
// highest (NaN with one population).  The rate of a population is the share of
// its individuals assigned back to it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "clusters/band_profiles.hpp"

namespace bandscape {

struct PopulationAssignment {
  int individuals = 0;
  int correct = 0;
  double rate = 0.0;  // correct / individuals
};

struct AssignmentTest {
  int individuals = 0;
  int populations = 0;
  std::vector<int> population;        // each individual's own population
  std::vector<double> log_likelihood;  // individuals x populations, row after row
  std::vector<int> assigned;
  std::vector<double> difference;     // best minus second best
  std::vector<PopulationAssignment> rates;  // per population
  int correct = 0;                    // over all individuals
  std::vector<std::string> warnings;

  double log_likelihood_of(int i, int p) const { return log_likelihood[static_cast<std::size_t>(i) * populations + p]; }
};

// The band-phenotype frequency with the rule above.
double corrected_band_frequency(int present, int scored);

// population_sizes[p] (>= 1) consecutive individuals form population p, the
// sizes adding up to the profiles' individuals; otherwise, or for a score
// other than 0, 1 and 9, std::invalid_argument.
AssignmentTest assignment_test(const BandProfiles& profiles, const std::vector<int>& population_sizes,
                               int threads = 1);

}  // namespace bandscape
