// The arrays that the diversity and structure statistics of one data set fill
// (sample sizes, null-allele frequencies, Hj and its components, the pairwise
// quantities of Hb).  A resampling worker owns one and reuses it for every
// replicate, so no replicate allocates.
#pragma once

#include "numeric/array.hpp"

namespace bandscape {

struct StatisticsWorkspace {
  StatisticsWorkspace(int r, int m)
      : N(imatrix(1, r, 1, m)),
        q(matrix(1, r, 1, m)),
        Vq(matrix(1, r, 1, m)),
        nbar(ivector(1, r)),
        L(ivector(1, r)),
        Hloc(matrix(1, r, 1, m)),
        VHloc(matrix(1, r, 1, m)),
        Hj(vector(1, r)),
        VarHj(vector(1, r)),
        VarIHj(vector(1, r)),
        VarLHj(vector(1, r)),
        D(matrix(1, r, 1, r)),
        VarD(matrix(1, r, 1, r)),
        HbPair(matrix(1, r, 1, r)),
        nPair(imatrix(1, r, 1, r)),
        work(vector(1, m)) {}

  IMatrix N;          // scored individuals, 1..r x 1..m
  FMatrix q, Vq;      // null-allele frequencies and their variances
  IVector nbar, L;    // mean sample size, loci with data
  FMatrix Hloc, VHloc;
  FVector Hj, VarHj, VarIHj, VarLHj;
  FMatrix D, VarD, HbPair;  // pairwise, upper triangle
  IMatrix nPair;
  FVector work;       // per-locus work vector of compute_Hb
};

}  // namespace bandscape
