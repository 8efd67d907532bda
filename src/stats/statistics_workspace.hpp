// The arrays that the diversity and structure statistics of one data set fill
// (sample sizes, null-allele frequencies, Hj and its components, the pairwise
// quantities of Hb).  A resampling worker owns one and reuses it for every
// replicate, so no replicate allocates.
#pragma once

#include "numeric/array.hpp"

namespace bandscape {

struct StatisticsWorkspace {
  StatisticsWorkspace(int r, int m)
      : N(int_matrix(1, r, 1, m)),
        q(float_matrix(1, r, 1, m)),
        Vq(float_matrix(1, r, 1, m)),
        nbar(int_vector(1, r)),
        L(int_vector(1, r)),
        Hloc(float_matrix(1, r, 1, m)),
        VHloc(float_matrix(1, r, 1, m)),
        Hj(float_vector(1, r)),
        VarHj(float_vector(1, r)),
        VarIHj(float_vector(1, r)),
        VarLHj(float_vector(1, r)),
        D(float_matrix(1, r, 1, r)),
        VarD(float_matrix(1, r, 1, r)),
        HbPair(float_matrix(1, r, 1, r)),
        nPair(int_matrix(1, r, 1, r)),
        work(float_vector(1, m)) {}

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
