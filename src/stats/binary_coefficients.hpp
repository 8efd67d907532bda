// Distances between individuals from their band profiles, one minus a
// similarity coefficient over the loci scored in both (a: band in both, b and
// c: band in one only, d: band in neither):
//   Jaccard (1901)             1 - a / (a + b + c)
//   Dice (Nei & Li 1979)       1 - 2a / (2a + b + c)
//   simple matching            1 - (a + d) / (a + b + c + d)
// (Legendre & Legendre 2012, coefficients S7, S8 and S1).  A coefficient whose
// denominator is 0 leaves the distance undefined (NaN).  For principal
// coordinates the square root of each is taken: sqrt(1 - S) is Euclidean for
// these three coefficients (Gower & Legendre 1986), as ade4::dist.binary
// returns them.
#pragma once

#include "numeric/array.hpp"
#include "stats/band_differences.hpp"

namespace bandscape {

enum class BinaryCoefficient { jaccard, dice, simple_matching };

struct BandMatches {
  int both = 0;       // a
  int first = 0;      // b: band in the first individual only
  int second = 0;     // c
  int neither = 0;    // d
};

// 1 - S of the coefficient; NaN when S is undefined.
double binary_distance(const BandMatches& counts, BinaryCoefficient coefficient);

// The distances of a coefficient between the individuals of a run.
struct ChosenDistance {
  BinaryCoefficient coefficient = BinaryCoefficient::jaccard;
  PackedDistances distances;  // 1 - S
};

// The coefficient as --individual-distance names it ("jaccard", "dice",
// "simple-matching"), and as a caption does ("the Jaccard distance").
const char* coefficient_key(BinaryCoefficient coefficient);
const char* coefficient_title(BinaryCoefficient coefficient);

// 1 - S between every pair of the individuals 0..ntot-1 over all loci 0..m-1
// of `scores` (1 band present, 0 absent, 9 missing), from bit-packed profiles
// as band_differences counts them; rows are split over `threads` workers
// without changing a value.
PackedDistances coefficient_distances(const ScoreMatrix& scores, int ntot, int m, BinaryCoefficient coefficient,
                                      int threads = 1);

}  // namespace bandscape
