// Gene diversity within populations after Lynch & Milligan (1994): per-locus
// and per-population diversities with their variance components, Tables 1, 2.
#include "stats/diversity.hpp"

#include <cmath>
#include <limits>


namespace bandscape {

void count_polymorphic_loci(int r, int m, const IMatrix& N, const FMatrix& q, IVector& polymorphic_loci,
                            FVector& polymorphic_percent) {
  const float lower = 0.05f;
  const float upper = 0.95f;
  for (int j = 1; j <= r; ++j) {
    double with_data = 0.0;
    double polymorphic = 0.0;
    for (int i = 1; i <= m; ++i) {
      if (N[j][i] == 0) continue;
      with_data += 1.0;
      const float qq = q[j][i];
      if (qq >= lower && qq <= upper) polymorphic += 1.0;
    }
    polymorphic_loci[j] = static_cast<int>(polymorphic);
    const double divisor = with_data == 0.0 ? 1.0 : with_data;
    polymorphic_percent[j] = static_cast<float>(polymorphic / divisor * 100.0);
  }
}

void compute_Hj(int r, int m, const IMatrix& N, const FMatrix& q, const FMatrix& Vq, const IVector& L,
                FMatrix& Hloc, FMatrix& VHloc, FVector& Hj, FVector& VarHj, FVector& VarIHj, FVector& VarLHj,
                MessageLog& log) {
  for (int j = 1; j <= r; ++j) {
    for (int i = 1; i <= m; ++i) {
      Hloc[j][i] = 0.0f;
      VHloc[j][i] = 0.0f;
    }
    Hj[j] = 0.0f;
    VarHj[j] = 0.0f;
    VarIHj[j] = 0.0f;
    VarLHj[j] = 0.0f;
  }

  for (int j = 1; j <= r; ++j) {
    const int* n_row = N[j];
    const float* q_row = q[j];
    const float* vq_row = Vq[j];
    float* h_row = Hloc[j];
    float* vh_row = VHloc[j];
    // Hj and VarIHj accumulate in their single-precision slots.
    for (int i = 1; i <= m; ++i) {
      if (n_row[i] == 0) continue;
      const double qq = q_row[i];
      const double vq = vq_row[i];
      h_row[i] = static_cast<float>(2.0 * (qq * (1.0 - qq) + vq));
      vh_row[i] = static_cast<float>(4.0 * square(static_cast<float>(1.0 - 2.0 * qq)) * vq);
      Hj[j] = static_cast<float>(static_cast<double>(Hj[j]) + h_row[i]);
      VarIHj[j] = static_cast<float>(static_cast<double>(VarIHj[j]) + vh_row[i]);
    }

    const int loci = L[j];
    if (loci == 0) continue;  // no data: all four stay 0, silently
    const double nl = loci;
    Hj[j] = static_cast<float>(Hj[j] / nl);
    VarIHj[j] = static_cast<float>(VarIHj[j] / (nl * nl));
    if (loci == 1) {
      VarHj[j] = kUndefined;  // no variance over a single locus
    } else {
      double sum = 0.0;
      const float mean = Hj[j];
      for (int i = 1; i <= m; ++i) {
        if (n_row[i] == 0) continue;
        sum += square(static_cast<float>(static_cast<double>(h_row[i]) - mean));
      }
      VarHj[j] = static_cast<float>(sum / (nl * (nl - 1.0)));
    }
    VarLHj[j] = static_cast<float>(static_cast<double>(VarHj[j]) - VarIHj[j]);
    if (VarLHj[j] < 0.0f) log.echo_about(j, format("\nnegative value for VarL(Hj) for pop %d", j));
  }
}

PopulationValues population_values(int loci, float Hj, float VarHj, float VarIHj, float VarLHj) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (loci == 0) return {nan, nan, nan, nan, nan, nan, nan};
  if (is_undefined(VarHj)) return {Hj, nan, nan, VarIHj, nan, nan, nan};
  const double var = VarHj;
  const double pct_i = var == 0.0 ? nan : 100.0 * VarIHj / var;
  const double pct_l = var == 0.0 ? nan : 100.0 * VarLHj / var;
  return {Hj, var >= 0.0 ? std::sqrt(var) : nan, var, VarIHj, pct_i, VarLHj, pct_l};
}

void compute_Hw(int r, const FVector& Hj, const FVector& VarIHj, const FVector& VarLHj, float& Hw, float& VarHw,
                float& VarIHw, float& VarLHw, float& VarPHw) {
  const double nr = r;
  double sum_h = 0.0, sum_i = 0.0, sum_l = 0.0;
  for (int j = 1; j <= r; ++j) {
    sum_h += Hj[j];
    sum_i += VarIHj[j];
    if (VarLHj[j] > 0.0f) sum_l += VarLHj[j];  // negative components are left out
  }
  Hw = static_cast<float>(sum_h / nr);
  VarIHw = static_cast<float>(sum_i / (nr * nr));
  VarLHw = static_cast<float>(sum_l / (nr * nr));
  double sum_sq = 0.0;
  for (int j = 1; j <= r; ++j) sum_sq += square(static_cast<float>(static_cast<double>(Hj[j]) - Hw));
  VarHw = static_cast<float>(sum_sq / (nr * (nr - 1.0)));
  VarPHw = static_cast<float>(static_cast<double>(VarHw) - VarLHw - VarIHw);
}

}  // namespace bandscape
