// Trees from a distance matrix by neighbour joining (Saitou & Nei 1987) and
// by UPGMA (Sokal & Michener 1958), computed as PHYLIP 3.697 `neighbor` does
// with its default settings, down to the order of the floating-point
// operations, so that near ties are resolved the same way.
#pragma once

#include "numeric/distance_matrix.hpp"
#include "tree/tree.hpp"

namespace bandscape {

// The unrooted neighbour-joining tree.  At each step, among the k clusters
// left, the pair (i, j) with the smallest (k - 2) d_ij - R_i - R_j is joined
// (pairs taken with j from the second cluster on and i < j; the first pair
// found keeps a tie); the new cluster takes the place of i.  The last three
// clusters meet at one node, the root of the returned tree (hang_from_tip(tree,
// 0) lays it out as `neighbor` writes it).  Negative branch lengths are kept.
// Reads the cells above the diagonal; throws std::invalid_argument on an
// undefined distance (see first_undefined_distance).
Tree neighbor_joining(const DistanceMatrix& distances);

// The rooted UPGMA tree: the closest pair joined at height d_ij / 2, the
// distances to the new cluster averaged over its taxa.
Tree upgma(const DistanceMatrix& distances);

}  // namespace bandscape
