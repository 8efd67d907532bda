// Pairwise genetic distances between populations: Nei's distance corrected for
// sampling after Lynch & Milligan (1994), the pairwise Fst, and the Reynolds et
// al. (1983) distance -ln(1 - Fst).
//
// Distance matrices are r x r (1..r) with only the upper triangle a < b stored;
// 999 marks an undefined value and prints as "undefined".
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "numeric/array.hpp"
#include "numeric/distance_matrix.hpp"

namespace bandscape {

// Nei[a][b] and Fst[a][b] for every pair a < b from the pairwise quantities of
// compute_Hb and the per-population Hj, VarHj of compute_Hj.  999 for a pair
// without a shared locus, for a Nei distance exactly 0 before its sampling
// corrections, for Ht_ab = 0, and for any value not finite as a float.
void compute_distances(int r, const IMatrix& nPair, const FVector& Hj, const FVector& VarHj, const FMatrix& D,
                       const FMatrix& VarD, const FMatrix& HbPair, FMatrix& Nei, FMatrix& Fst);

// The Nei distances as the results folder takes them: a copy of `Nei` with
// 999 also where a sampling correction used a 999 mark (Var(Hj) of a
// population with a single locus with data, VarD of a pair sharing a single
// locus), so that no number computed from a mark reaches a table, tree or
// ordination.  The report prints `Nei` as computed.
FMatrix nei_without_marked_corrections(int r, const IMatrix& nPair, const FVector& VarHj, const FMatrix& VarD,
                                       const FMatrix& Nei);
// The same in place.
void mark_corrections_from_marks(int r, const IMatrix& nPair, const FVector& VarHj, const FMatrix& VarD,
                                 FMatrix& Nei);

// A stored distance as a number: NaN for the 999 that marks an undefined one.
double distance_value(float stored);

// Reynolds' distance -ln(1 - Fst) from a stored pairwise Fst; NaN when the
// Fst is undefined or 1 or more.
double reynolds_distance(float fst);

// The three matrices between populations that the trees and ordinations use.
enum class PopulationDistance { kNei, kFst, kReynolds };
inline constexpr PopulationDistance kPopulationDistances[] = {PopulationDistance::kNei, PopulationDistance::kFst,
                                                              PopulationDistance::kReynolds};

// The key of a population matrix in file names (nei, fst, reynolds) and its
// name in captions and warnings (Nei's distance, the pairwise Fst, Reynolds'
// distance).
const char* matrix_key(PopulationDistance which);
const char* matrix_title(PopulationDistance which);

// A stored pairwise value as the distance a tree or an ordination uses: NaN
// for the 999 mark, 0 for a negative value, and with `reynolds` the stored
// Fst turned into -ln(1 - Fst) (NaN for an Fst of 1 or more).
double stored_distance(float stored, bool reynolds);

// The distances between populations 0..r-1 from the stored upper triangles
// (1..r, a < b) of Nei's distance and the pairwise Fst, by stored_distance.
DistanceMatrix population_distance_matrix(PopulationDistance which, int r, const FMatrix& nei, const FMatrix& fst);

// The warnings owed before population names go out as Phylip labels (cut or
// padded to 10 characters), in this order and each at most once: the first
// pair a < b (a = 1..r, then b = a+1..r) whose labels are identical, and the
// first name whose label holds one of ( ) : ; , [ ], which PHYLIP does not
// accept in names.  Empty when every label is usable.
std::vector<std::string> phylip_label_warnings(const NameList& names, int r);

}  // namespace bandscape
