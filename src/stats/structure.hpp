// Population structure after Lynch & Milligan (1994): the between-population
// diversity Hb from every pair of populations, total diversity Ht = Hw + Hb,
// the fixation index Fst and the sampling variances of Hb and Fst.
//
// Pairwise results are r x r matrices (1..r) of which only the upper triangle
// a < b is written and read.
#pragma once

#include <string>

#include "core/message_log.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// For each pair a < b over the loci with data in both (nPair[a][b] of them):
// D = mean of d_i = q_a + q_b - 2 q_a q_b, VarD its variance over loci (999 for
// one shared locus), HbPair = mean of h_i = d_i - (Hloc_a + Hloc_b) / 2.  A pair
// without a shared locus gets nPair 0 and leaves D, VarD, HbPair untouched.
// Hb is the mean HbPair over the pairs with data; VarHb its sampling variance
// from the variance among disjoint pairs and the covariance of pairs sharing a
// population.  When some pair has no shared locus, the line
// "\ncountpq: <pairs with data>   r*(r-1)/2: <pairs>" is echoed to `log`.
//
// This form allocates its per-locus work vector on each call.
void compute_Hb(int r, int m, const IMatrix& N, const FMatrix& q, const FMatrix& Hloc, FMatrix& D, FMatrix& VarD,
                FMatrix& HbPair, IMatrix& nPair, float& Hb, float& VarHb, MessageLog& log);

// The same with a caller-owned work vector covering at least 1..m (for the
// resampling loops, which call it once per replicate).
void compute_Hb(int r, int m, const IMatrix& N, const FMatrix& q, const FMatrix& Hloc, FMatrix& D, FMatrix& VarD,
                FMatrix& HbPair, IMatrix& nPair, float& Hb, float& VarHb, FVector& work, MessageLog& log);

// Ht = Hw + Hb, Fst corrected for the covariance of Hw and Hb, and Var(Fst).
// A non-finite Fst makes Fst and VarFst both 999; a finite Fst whose variance
// is not finite (Hb = 0) keeps its value and gets VarFst = 999.
void compute_Ht_Fst(int r, const IMatrix& nPair, float Hb, float Hw, float VarHb, float VarHw, const FVector& Hj,
                    const FMatrix& HbPair, float& Ht, float& Fst, float& VarFst);

}  // namespace bandscape
