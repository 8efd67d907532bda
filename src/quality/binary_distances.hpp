// Jaccard, Dice and simple-matching distances between the individuals of a
// score table, counted locus by locus: the plain reference of the packed
// counts that a run uses (stats/binary_coefficients.hpp holds the
// coefficients and their sources).
#pragma once

#include "input/score_table.hpp"
#include "numeric/distance_matrix.hpp"
#include "stats/binary_coefficients.hpp"

namespace bandscape {

BandMatches band_matches(const ScoreTable& table, int i, int j);

// The distances between every pair of individuals of the table; with
// `square_root`, sqrt(1 - S).
DistanceMatrix binary_distances(const ScoreTable& table, BinaryCoefficient coefficient, bool square_root = false);

}  // namespace bandscape
