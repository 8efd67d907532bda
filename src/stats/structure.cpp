// Population structure after Lynch & Milligan (1994): Hb, Ht, Fst and their
// sampling variances, Table 3.
#include "stats/structure.hpp"

#include <cmath>

#include "stats/diversity.hpp"

namespace bandscape {

void compute_Hb(int r, int m, const IMatrix& N, const FMatrix& q, const FMatrix& Hloc, FMatrix& D, FMatrix& VarD,
                FMatrix& HbPair, IMatrix& nPair, float& Hb, float& VarHb, MessageLog& log) {
  FVector work = float_vector(1, m);
  compute_Hb(r, m, N, q, Hloc, D, VarD, HbPair, nPair, Hb, VarHb, work, log);
}

void compute_Hb(int r, int m, const IMatrix& N, const FMatrix& q, const FMatrix& Hloc, FMatrix& D, FMatrix& VarD,
                FMatrix& HbPair, IMatrix& nPair, float& Hb, float& VarHb, FVector& work, MessageLog& log) {
  // The between-population diversities d_i of the current pair are kept, in
  // single precision, at work[1..n] for the second pass behind VarD.
  float* d = &work[1];
  int pairs_with_data = 0;
  double sum_hb = 0.0;
  for (int a = 1; a < r; ++a) {
    const int* na = N[a];
    const float* qa = q[a];
    const float* ha = Hloc[a];
    for (int b = a + 1; b <= r; ++b) {
      const int* nb = N[b];
      const float* qb = q[b];
      const float* hb = Hloc[b];
      int n = 0;
      double sum_d = 0.0, sum_h = 0.0;
      for (int i = 1; i <= m; ++i) {
        if (na[i] == 0 || nb[i] == 0) continue;
        const double q_b = qb[i];
        const float di = static_cast<float>(q_b + (1.0 - 2.0 * q_b) * qa[i]);
        const float hi = static_cast<float>(di - 0.5 * (static_cast<double>(ha[i]) + hb[i]));
        d[n++] = di;
        sum_d += di;
        sum_h += hi;
      }
      nPair[a][b] = n;
      if (n == 0) continue;
      const double nn = n;
      D[a][b] = static_cast<float>(sum_d / nn);
      HbPair[a][b] = static_cast<float>(sum_h / nn);
      if (n == 1) {
        VarD[a][b] = kUndefined;
      } else {
        const double mean = D[a][b];
        double sum_sq = 0.0;
        for (int k = 0; k < n; ++k) sum_sq += square(static_cast<float>(d[k] - mean));
        VarD[a][b] = static_cast<float>(sum_sq / (nn * (nn - 1.0)));
      }
      ++pairs_with_data;
      sum_hb += HbPair[a][b];
    }
  }
  Hb = pairs_with_data == 0 ? 0.0f : static_cast<float>(sum_hb / pairs_with_data);

  const int pairs = r * (r - 1) / 2;
  if (pairs_with_data != pairs) log.echo(format("\ncountpq: %d   r*(r-1)/2: %d", pairs_with_data, pairs));

  // Variance among the disjoint pairs (1,2), (3,4), ... that have data.
  double t = kUndefined;
  {
    double sum = 0.0;
    int p = 0;
    for (int a = 1; a + 1 <= r; a += 2) {
      if (nPair[a][a + 1] == 0) continue;
      sum += HbPair[a][a + 1];
      ++p;
    }
    if (p > 0) {
      const double mean = sum / p;
      double sum_sq = 0.0;
      for (int a = 1; a + 1 <= r; a += 2) {
        if (nPair[a][a + 1] == 0) continue;
        sum_sq += square(static_cast<float>(HbPair[a][a + 1] - mean));
      }
      t = sum_sq / p;
    }
  }

  // Covariance between pairs sharing a population: for every triple a < b < k,
  // (a,b) with (a,k) and (a,b) with (b,k).
  double A = kUndefined;
  {
    long long u = 0;
    double sx = 0.0, sy = 0.0;
    for (int a = 1; a <= r - 2; ++a) {
      for (int b = a + 1; b <= r - 1; ++b) {
        if (nPair[a][b] == 0) continue;
        const double x = HbPair[a][b];
        for (int k = b + 1; k <= r; ++k) {
          if (nPair[a][k] != 0) {
            ++u;
            sx += x;
            sy += HbPair[a][k];
          }
          if (nPair[b][k] != 0) {
            ++u;
            sx += x;
            sy += HbPair[b][k];
          }
        }
      }
    }
    if (u > 0) {
      const double mx = sx / static_cast<double>(u);
      const double my = sy / static_cast<double>(u);
      double sum = 0.0;
      for (int a = 1; a <= r - 2; ++a) {
        for (int b = a + 1; b <= r - 1; ++b) {
          if (nPair[a][b] == 0) continue;
          const double x = HbPair[a][b];
          for (int k = b + 1; k <= r; ++k) {
            if (nPair[a][k] != 0) sum += (HbPair[a][k] - my) * (x - mx);
            if (nPair[b][k] != 0) sum += (HbPair[b][k] - my) * (x - mx);
          }
        }
      }
      A = sum / static_cast<double>(u);
    }
  }

  if (r == 1) {
    VarHb = kUndefined;
  } else {
    const double nr = r;
    VarHb = static_cast<float>(2.0 * (t + 2.0 * (nr - 2.0) * A) / (nr * (nr - 1.0)));
  }
}

void compute_Ht_Fst(int r, const IMatrix& nPair, float Hb, float Hw, float VarHb, float VarHw, const FVector& Hj,
                    const FMatrix& HbPair, float& Ht, float& Fst, float& VarFst) {
  Ht = static_cast<float>(static_cast<double>(Hw) + Hb);

  // Covariance of Hw and Hb from the products Hj[i] Hb_ik over the pairs with data.
  double S = 0.0;
  for (int i = 1; i <= r; ++i) {
    double e = 0.0;
    for (int k = 1; k <= r; ++k) {
      if (k == i) continue;
      const int lo = i < k ? i : k;
      const int hi = i < k ? k : i;
      if (nPair[lo][hi] > 0) e += HbPair[lo][hi];
    }
    S += Hj[i] * e;
  }
  const double nr = r;
  const float Cwb = static_cast<float>((S / (nr * (nr - 1.0)) - static_cast<double>(Hw) * Hb) / nr);

  const double hb = Hb, hw = Hw;
  const double correction =
      ((hb - hw) * Cwb - hw * VarHb + hb * VarHw) / (hb * square(Ht));
  Fst = static_cast<float>(hb / (Ht * (1.0 + correction)));
  if (!std::isfinite(Fst)) {
    Fst = kUndefined;
    VarFst = kUndefined;
    return;
  }
  const float ratio = static_cast<float>(hw / hb);
  VarFst = static_cast<float>(square(static_cast<float>(Fst / hb)) *
                              (VarHw + square(ratio) * VarHb - 2.0 * ratio * Cwb));
  if (!std::isfinite(VarFst)) VarFst = kUndefined;
}

}  // namespace bandscape
