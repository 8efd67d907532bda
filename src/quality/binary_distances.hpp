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

#include "input/score_table.hpp"
#include "numeric/distance_matrix.hpp"

namespace bandscape {

enum class BinaryCoefficient { jaccard, dice, simple_matching };

struct BandMatches {
  int both = 0;       // a
  int first = 0;      // b: band in the first individual only
  int second = 0;     // c
  int neither = 0;    // d
};

BandMatches band_matches(const ScoreTable& table, int i, int j);

// 1 - S of the coefficient; NaN when S is undefined.
double binary_distance(const BandMatches& counts, BinaryCoefficient coefficient);

// The distances between every pair of individuals of the table; with
// `square_root`, sqrt(1 - S).
DistanceMatrix binary_distances(const ScoreTable& table, BinaryCoefficient coefficient, bool square_root = false);

}  // namespace bandscape
