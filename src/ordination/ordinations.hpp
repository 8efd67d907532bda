// The ordinations of a run (Gower 1966): the individuals from the Euclidean
// distance between their band profiles, and the populations from each
// pairwise matrix between them.  A matrix with an undefined distance gives no
// ordination but a warning that names the pair.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "numeric/distance_matrix.hpp"
#include "ordination/pcoa.hpp"
#include "stats/band_differences.hpp"

namespace bandscape {

// Axes kept for each ordination (fewer when there are fewer positive eigenvalues).
inline constexpr int kOrdinationAxes = 10;

struct PopulationOrdination {
  std::string matrix;  // its key in file names: nei, fst, reynolds, phipt
  std::string title;   // the matrix as a caption names it
  PrincipalCoordinates coordinates;
};

struct Ordinations {
  std::optional<PrincipalCoordinates> individuals;
  std::string individual_distance = "Euclidean distance between band profiles";  // as captions name it
  std::vector<PopulationOrdination> populations;  // in the order they were asked for, undefined ones left out
  std::vector<std::string> warnings;
};

// The individuals' ordination from squared Euclidean distances: the distance
// is the square root of each.  Band differences are squared Euclidean
// distances, and so is 1 - S of the Jaccard, Dice and simple-matching
// coefficients (Gower & Legendre 1986).
// `threads` as for principal_coordinates.
PrincipalCoordinates individual_ordination(const PackedDistances& squared_distances, int threads = 1);

// Adds the ordination of the populations from `d`, or the warning that one of
// its distances is undefined.  `names`: the populations 0..r-1.
void add_population_ordination(const char* matrix, const char* title, const DistanceMatrix& d,
                               const std::vector<std::string>& names, Ordinations& ordinations);

}  // namespace bandscape
