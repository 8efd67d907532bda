// Gene diversity within populations after Lynch & Milligan (1994).
//
// Populations are numbered 1..r and loci 1..m.  A locus has data in population
// j when N[j][i] (the number of scored individuals) is not 0; every sum runs
// over those loci only.  q is the frequency of the null (band-absent) allele
// and Vq its sampling variance.  Results are stored in single precision; the
// arithmetic between loads and stores is double.
#pragma once

#include <string>

#include "core/message_log.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// The mark of a statistic that cannot be computed (a variance over one locus).
inline constexpr float kUndefined = 999.0f;

// Whether a stored statistic is the 999 mark of an undefined one.
inline bool is_undefined(float stored) { return stored == kUndefined; }

// Table 1's values of one population as numbers for the results folder and the
// summary page, NaN where the report prints the 999 mark or a value computed
// from it: without a locus with data nothing is defined; with a single locus
// there is no variance over loci, hence no Var(Hj), S.E., VarL(Hj) (= Var(Hj)
// - VarI(Hj)) or percentages.  VarI(Hj), a sum over the loci, stays.  A
// percentage of a variance 0 is 0/0, NaN too.
struct PopulationValues {
  double Hj, se_Hj, VarHj, VarIHj, VarI_percent, VarLHj, VarL_percent;
};
PopulationValues population_values(int loci, float Hj, float VarHj, float VarIHj, float VarLHj);

// Number of polymorphic loci (0.05 <= q <= 0.95, bounds taken as floats) per
// population, and their percentage among the loci with data (0 without data).
// polymorphic_loci and polymorphic_percent cover 1..r.
void count_polymorphic_loci(int r, int m, const IMatrix& N, const FMatrix& q, IVector& polymorphic_loci,
                            FVector& polymorphic_percent);

// Per-locus gene diversity Hloc = 2(q(1-q) + Vq) and its sampling variance
// VHloc = 4(1-2q)^2 Vq (both r x m, 0 where a locus has no data), and per
// population the mean diversity Hj, its total variance VarHj over loci and the
// components due to individuals (VarIHj) and to loci (VarLHj = VarHj - VarIHj).
// VarHj is 999 for a population with a single locus with data; a population
// without data keeps zeros.  A negative VarLHj is reported (echoed) to `log`
// and kept.  L is the number of loci with data per population (1..r).
void compute_Hj(int r, int m, const IMatrix& N, const FMatrix& q, const FMatrix& Vq, const IVector& L,
                FMatrix& Hloc, FMatrix& VHloc, FVector& Hj, FVector& VarHj, FVector& VarIHj, FVector& VarLHj,
                MessageLog& log);

// Mean within-population diversity Hw over r >= 2 populations, its variance
// among populations and the components due to individuals, loci (positive
// VarLHj only) and populations (the remainder, sign not tested).
void compute_Hw(int r, const FVector& Hj, const FVector& VarIHj, const FVector& VarLHj, float& Hw, float& VarHw,
                float& VarIHw, float& VarLHw, float& VarPHw);

}  // namespace bandscape
