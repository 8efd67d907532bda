// Gene diversity within populations after Lynch & Milligan (1994): per-locus
// and per-population diversities with their variance components, Tables 1, 2.
#include "stats/diversity.hpp"

#include <cmath>

#include "core/output_file.hpp"
#include "core/write_guard.hpp"

namespace bandscape {

void count_polymorphic_loci(int r, int m, const IMatrix& N, const FMatrix& q, IVector& nlocP, FVector& PLP) {
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
    nlocP[j] = static_cast<int>(polymorphic);
    const double divisor = with_data == 0.0 ? 1.0 : with_data;
    PLP[j] = static_cast<float>(polymorphic / divisor * 100.0);
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
    if (VarLHj[j] < 0.0f) log.echo(format("\nnegative value for VarL(Hj) for pop %d", j));
  }
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

int write_population_table(const std::string& report, int r, const NameList& names, const IVector& nbar,
                           const IVector& L, const IVector& nlocP, const FVector& PLP, const FVector& Hj,
                           const FVector& VarHj, const FVector& VarIHj, const FVector& VarLHj) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) return -999;
  f.write("\n\nTable 1: Population data [Lynch & Milligan method]\n\n");
  f.print("%10s%5s%7s%7s%7s%8s%10s%10s%10s%8s%10s%8s\n", "Population", "n", "#loc.", "#loc_P", "PLP", "Hj",
          "S.E.(Hj)", "Var(Hj)", "VarI(Hj)", "VarI%", "VarL(Hj)", "VarL%");
  for (int j = 1; j <= r; ++j) {
    const double var = VarHj[j];
    const double pct_i = var == 0.0 ? 0.0 : 100.0 * VarIHj[j] / var;
    const double pct_l = var == 0.0 ? 0.0 : 100.0 * VarLHj[j] / var;
    f.print("\n%10s%5i", names[j].c_str(), nbar[j]);
    f.print("%5i  %5i  %7.1f%8.5f%10.5f%10.6f%10.6f%8.1f%10.6f%8.1f", L[j], nlocP[j],
            static_cast<double>(PLP[j]), static_cast<double>(Hj[j]), std::sqrt(var), var,
            static_cast<double>(VarIHj[j]), pct_i, static_cast<double>(VarLHj[j]), pct_l);
  }
  f.write("\n\n");
  f.close();
  return 0;
}

int write_within_diversity_table(const std::string& report, int r, float Hw, float VarHw, float VarIHw,
                                 float VarLHw, float VarPHw) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) return -999;
  const double var = VarHw;
  const double se = var > 0.0 ? std::sqrt(var) : 0.0;
  f.write("Table 2: Gene diversity within populations [Lynch & Milligan method]\n\n");
  f.print("%5s%8s%10s%10s%10s%10s%10s\n", "n", "Hw", "S.E.(Hw)", "Var(Hw)", "VarI(Hw)", "VarL(Hw)",
          "VarP(Hw)");
  f.print("\n%5i", r);
  f.print("%8.4f%10.5f%10.6f%10.6f%10.6f%10.6f", static_cast<double>(Hw), se, var,
          static_cast<double>(VarIHw), static_cast<double>(VarLHw), static_cast<double>(VarPHw));
  const double pct_i = var == 0.0 ? 0.0 : 100.0 * VarIHw / var;
  const double pct_l = var == 0.0 ? 0.0 : 100.0 * VarLHw / var;
  const double pct_p = var == 0.0 ? 0.0 : 100.0 * VarPHw / var;
  f.print("\n%33s%10.2f%10.2f%10.2f", "Percent of Var(Hw)", pct_i, pct_l, pct_p);
  f.write("\n\n");
  f.close();
  return 0;
}

}  // namespace bandscape
