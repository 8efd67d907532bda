// Kinship from dominant markers (Hardy 2003) through matrix products, and the
// kinship-distance regression with Sp (Vekemans & Hardy 2004).
#include "spatial/kinship.hpp"

#include <Eigen/Dense>

#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "core/format.hpp"
#include "numeric/parallel.hpp"

namespace bandscape {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Rows of the products per piece of work: fixed, so that each entry is
// computed the same way whatever the number of threads.
constexpr int kRowBlock = 64;

// The least-squares slope from sums over the pairs of centred x.
struct Regression {
  double n = 0.0, sx = 0.0, sxx = 0.0, sf = 0.0, sfx = 0.0;
  void add(double f, double xc) {
    n += 1.0;
    sx += xc;
    sxx += xc * xc;
    sf += f;
    sfx += f * xc;
  }
  double slope() const {
    const double vxx = sxx - sx * sx / n;
    return n >= 2.0 && vxx > 0.0 ? (sfx - sf * sx / n) / vxx : kNaN;
  }
};

// The jackknife with missing scores takes kLociBlock loci side by side.
constexpr int kLociBlock = 16;
struct LociBlock {
  double z[kLociBlock] = {};   // a for band present, -(1 - a) for absent, 0 missing
  double in[kLociBlock] = {};  // 1 scored, 0 missing
};
// The block's locus weights D_l and D_l / (n_l - 1) (0 past the last locus).
struct LocusWeights {
  double d[kLociBlock] = {};
  double over[kLociBlock] = {};
};
// Per locus of a block: the regression's sums and the first class's.
struct JackknifeSums {
  double n[kLociBlock] = {}, sx[kLociBlock] = {}, sxx[kLociBlock] = {}, sf[kLociBlock] = {}, sfx[kLociBlock] = {};
  double first_sum[kLociBlock] = {}, first_pairs[kLociBlock] = {};
};

// One pair's kinship with each locus of the block left out, added to the
// sums: `regressed` and `first` are 1 when the pair is in the regression or
// in the first class, `x` its centred ln distance (0 outside the regression).
// Written without branches over the loci so that it runs as vector code
// (which the compiler allows once told that no floating-point trap is
// watched for: the values are the same, with or without wider vectors).
#if defined(__GNUC__) && !defined(__clang__)
#define BANDSCAPE_VECTOR_LOOP gnu::optimize("no-trapping-math", "tree-vectorize")
#else
#define BANDSCAPE_VECTOR_LOOP
#endif
[[gnu::always_inline]] inline void add_pair_body(JackknifeSums& __restrict s, const LociBlock& a, const LociBlock& b,
                                                 const LocusWeights& weights, double sum_rd, double sum_d, double c,
                                                 double x, double regressed, double first) {
  for (int t = 0; t < kLociBlock; ++t) {
    const double both = a.in[t] * b.in[t];
    const double num = sum_rd - both * (a.z[t] * b.z[t] + weights.over[t]);
    const double den = sum_d - both * weights.d[t];
    const bool kept = den > 1e-12 * sum_d;  // a locus left in common
    const double quotient = num / den * c;  // computed for every locus, kept or not: no branch
    const double fl = kept ? quotient : 0.0;
    const double w = kept ? regressed : 0.0;
    s.n[t] += w;
    s.sx[t] += w * x;
    s.sxx[t] += w * x * x;
    s.sf[t] += w * fl;
    s.sfx[t] += w * fl * x;
    const double v = kept ? first : 0.0;
    s.first_sum[t] += v * fl;
    s.first_pairs[t] += v;
  }
}

using PairAdder = void (*)(JackknifeSums&, const LociBlock&, const LociBlock&, const LocusWeights&, double, double,
                           double, double, double, double);

[[BANDSCAPE_VECTOR_LOOP]] void add_pair_portable(JackknifeSums& s, const LociBlock& a, const LociBlock& b,
                                                 const LocusWeights& weights, double sum_rd, double sum_d, double c,
                                                 double x, double regressed, double first) {
  add_pair_body(s, a, b, weights, sum_rd, sum_d, c, x, regressed, first);
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
// Four loci per instruction where the processor has AVX (no fused
// multiply-add: the roundings stay those of the portable code).
[[BANDSCAPE_VECTOR_LOOP, gnu::target("avx2")]] void add_pair_avx2(JackknifeSums& s, const LociBlock& a,
                                                                  const LociBlock& b, const LocusWeights& weights,
                                                                  double sum_rd, double sum_d, double c, double x,
                                                                  double regressed, double first) {
  add_pair_body(s, a, b, weights, sum_rd, sum_d, c, x, regressed, first);
}
PairAdder pick_pair_adder() { return __builtin_cpu_supports("avx2") ? add_pair_avx2 : add_pair_portable; }
#else
PairAdder pick_pair_adder() { return add_pair_portable; }
#endif
#undef BANDSCAPE_VECTOR_LOOP

}  // namespace

DominantKinship dominant_kinship(const ScoreMatrix& scores, int ntot, const std::vector<int>& loci, double fis,
                                 int threads) {
  if (!(fis >= 0.0 && fis < 1.0)) throw std::invalid_argument("Fis must be in [0, 1)");
  DominantKinship k;
  k.fis = fis;
  const double F = fis;
  bool missing = false;
  for (int l : loci) {
    int absent = 0, scored = 0;
    for (int i = 0; i < ntot; ++i) {
      const std::uint8_t v = scores[i][l];
      if (v == 9) continue;
      ++scored;
      if (v == 0) ++absent;
    }
    if (scored < 2 || absent == 0 || absent == scored) continue;
    const double a = static_cast<double>(absent) / scored;
    const double s = std::sqrt(F * F + 4.0 * (1.0 - F) * a);
    const double h2 = 2.0 / (1.0 + F) * (s + F) / (s + 2.0 - F);
    k.loci.push_back(l);
    k.absent.push_back(a);
    k.scored.push_back(scored);
    k.weight.push_back(a * (1.0 - a) * h2);
    if (scored < ntot) missing = true;
  }
  k.complete = !missing;
  const int n = ntot;
  const int L = static_cast<int>(k.loci.size());
  Eigen::MatrixXd z = Eigen::MatrixXd::Zero(n, L);
  Eigen::MatrixXd s;  // scored flags, only with missing scores
  if (missing) s = Eigen::MatrixXd::Zero(n, L);
  Eigen::VectorXd d(L), d_over(L);
  for (int c = 0; c < L; ++c) {
    const double a = k.absent[static_cast<std::size_t>(c)];
    d(c) = k.weight[static_cast<std::size_t>(c)];
    d_over(c) = d(c) / (k.scored[static_cast<std::size_t>(c)] - 1);
    for (int i = 0; i < n; ++i) {
      const std::uint8_t v = scores[i][k.loci[static_cast<std::size_t>(c)]];
      if (v == 9) continue;
      z(i, c) = v == 1 ? a : -(1.0 - a);
      if (missing) s(i, c) = 1.0;
    }
  }
  Eigen::MatrixXd numerator(n, n), denominator;
  if (missing) denominator.resize(n, n);
  const Eigen::MatrixXd s_over = missing ? Eigen::MatrixXd(s * d_over.asDiagonal()) : Eigen::MatrixXd();
  const Eigen::MatrixXd s_d = missing ? Eigen::MatrixXd(s * d.asDiagonal()) : Eigen::MatrixXd();
  const int blocks = (n + kRowBlock - 1) / kRowBlock;
  parallel_chunks(blocks, 1, threads, [&](int begin, int end) {
    for (int b = begin; b < end; ++b) {
      // The products are symmetric and only the upper triangle is read: each
      // block of rows from its diagonal on.
      const int first = b * kRowBlock, rows = std::min(kRowBlock, n - first), columns = n - first;
      numerator.block(first, first, rows, columns).noalias() =
          z.middleRows(first, rows) * z.middleRows(first, columns).transpose();
      if (missing) {
        numerator.block(first, first, rows, columns).noalias() +=
            s_over.middleRows(first, rows) * s.middleRows(first, columns).transpose();
        denominator.block(first, first, rows, columns).noalias() =
            s_d.middleRows(first, rows) * s.middleRows(first, columns).transpose();
      }
    }
  });
  const double all_d = d.sum(), all_over = d_over.sum();
  k.kinship = PackedDistances(n);
  k.sum_rd.resize(k.kinship.pair_count());
  k.sum_d.resize(k.kinship.pair_count());
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      const std::size_t p = k.kinship.index(i, j);
      const double num = missing ? numerator(i, j) : numerator(i, j) + all_over;
      const double den = missing ? denominator(i, j) : all_d;
      k.sum_rd[p] = num;
      k.sum_d[p] = den;
      if (den > 0.0) {
        k.kinship.upper(i, j) = num / den * (1.0 + F) / 2.0;
      } else {
        k.kinship.upper(i, j) = kNaN;
        ++k.undefined_pairs;
      }
    }
  }
  return k;
}

KinshipDistance kinship_distance(const DominantKinship& k, const ScoreMatrix& scores, const PackedDistances& km,
                                 const DistanceClasses& classes, const SpatialSettings& settings) {
  const int n = k.kinship.size();
  const std::size_t P = k.kinship.pair_count();
  if (km.size() != n || classes.of_pair.size() != P) throw std::invalid_argument("distances do not match the kinship");
  const std::vector<double>& f = k.kinship.values();
  KinshipDistance result;
  result.permutations = std::max(settings.permutations, 0);

  // Class means.
  const int H = classes.count();
  std::vector<double> class_sum(static_cast<std::size_t>(H), 0.0);
  std::vector<std::size_t> class_pairs(static_cast<std::size_t>(H), 0);
  for (std::size_t p = 0; p < P; ++p) {
    const int h = classes.of_pair[p];
    if (h < 0 || std::isnan(f[p])) continue;
    class_sum[static_cast<std::size_t>(h)] += f[p];
    ++class_pairs[static_cast<std::size_t>(h)];
  }
  for (int h = 0; h < H; ++h) {
    const auto u = static_cast<std::size_t>(h);
    result.classes.push_back({classes.lower_km[u], classes.upper_km[u], class_pairs[u],
                              class_pairs[u] == 0 ? kNaN : class_sum[u] / static_cast<double>(class_pairs[u])});
  }
  result.f1 = H > 0 ? result.classes[0].mean_kinship : kNaN;

  // The regression on ln(distance) over the pairs above 0 km, x centred on
  // their mean (two passes).
  std::vector<double> xc(P, kNaN);
  std::size_t zero = 0;
  double sum_x = 0.0;
  for (std::size_t p = 0; p < P; ++p) {
    if (!(km.values()[p] > 0.0)) {
      ++zero;
      continue;
    }
    if (std::isnan(f[p])) continue;
    xc[p] = std::log(km.values()[p]);
    sum_x += xc[p];
    ++result.regression_pairs;
  }
  const double mean_x = result.regression_pairs == 0 ? kNaN : sum_x / static_cast<double>(result.regression_pairs);
  double sxx = 0.0, sfx = 0.0;
  for (std::size_t p = 0; p < P; ++p) {
    if (std::isnan(xc[p])) continue;
    xc[p] -= mean_x;
    sxx += xc[p] * xc[p];
    sfx += f[p] * xc[p];
  }
  result.b = result.regression_pairs >= 2 && sxx > 0.0 ? sfx / sxx : kNaN;
  result.sp = -result.b / (1.0 - result.f1);
  if (zero > 0) {
    result.warnings.push_back(format("\n%zu pair%s at 0 km %s left out of the regression of kinship on ln(distance)",
                                     zero, zero == 1 ? "" : "s", zero == 1 ? "is" : "are"));
  }
  if (k.undefined_pairs > 0) {
    result.warnings.push_back(format("\n%zu pair%s without a locus scored in both %s no kinship and %s left out",
                                     k.undefined_pairs, k.undefined_pairs == 1 ? "" : "s",
                                     k.undefined_pairs == 1 ? "has" : "have", k.undefined_pairs == 1 ? "is" : "are"));
  }

  // Jackknife over loci: locus l taken out of every pair's sums.
  const int L = static_cast<int>(k.loci.size());
  const double c = (1.0 + k.fis) / 2.0;
  std::vector<double> sp_without(static_cast<std::size_t>(L), kNaN);
  if (L >= 2 && k.complete) {
    // Without missing scores every pair shares every locus: sum D_l = T for
    // all pairs and, with locus l out, F_ij = c (S_ij - z_il z_jl - D_l /
    // (n - 1)) / (T - D_l), S_ij = sum R_l D_l.  Since x is centred over the
    // regression pairs, b_-l = c / (T - D_l) (sum S x - Q_l) / sum x^2 with
    // Q_l = sum over those pairs of z_il z_jl x_ij = z_l' X z_l / 2 (X the
    // symmetric matrix of x on those pairs, 0 elsewhere), and F1_-l = c / (T -
    // D_l) (sum_1 S - z_l' W z_l / 2 - n_1 D_l / (n - 1)) / n_1 with W the
    // indicator of the pairs of the first class: one matrix product [X; W] Z.
    Eigen::MatrixXd z = Eigen::MatrixXd::Zero(n, L);
    for (int col = 0; col < L; ++col) {
      const double a = k.absent[static_cast<std::size_t>(col)];
      for (int i = 0; i < n; ++i) z(i, col) = scores[i][k.loci[static_cast<std::size_t>(col)]] == 1 ? a : -(1.0 - a);
    }
    Eigen::MatrixXd stacked = Eigen::MatrixXd::Zero(2 * n, n);
    double sum_sx = 0.0, sum_s1 = 0.0, n1 = 0.0;
    for (int i = 0; i < n; ++i) {
      for (int j = i + 1; j < n; ++j) {
        const std::size_t p = k.kinship.index(i, j);
        if (!std::isnan(xc[p])) {
          stacked(i, j) = stacked(j, i) = xc[p];
          sum_sx += k.sum_rd[p] * xc[p];
        }
        if (classes.of_pair[p] == 0) {
          stacked(n + i, j) = stacked(n + j, i) = 1.0;
          sum_s1 += k.sum_rd[p];
          n1 += 1.0;
        }
      }
    }
    const double T = std::accumulate(k.weight.begin(), k.weight.end(), 0.0);
    constexpr int kColumns = 32;
    const int pieces = (L + kColumns - 1) / kColumns;
    parallel_chunks(pieces, 1, settings.threads, [&](int begin, int end) {
      for (int piece = begin; piece < end; ++piece) {
        const int first = piece * kColumns, width = std::min(kColumns, L - first);
        const Eigen::MatrixXd y = stacked * z.middleCols(first, width);
        for (int t = 0; t < width; ++t) {
          const int l = first + t;
          const auto u = static_cast<std::size_t>(l);
          const double q = 0.5 * z.col(l).dot(y.col(t).head(n));
          const double r = 0.5 * z.col(l).dot(y.col(t).tail(n));
          const double D = k.weight[u], over = D / (k.scored[u] - 1);
          const double scale = c / (T - D);
          const double b = scale * (sum_sx - q) / sxx;
          const double f1 = n1 > 0.0 ? scale * (sum_s1 - r - n1 * over) / n1 : kNaN;
          sp_without[u] = -b / (1.0 - f1);
        }
      }
    });
  } else if (L >= 2) {
    // With missing scores each pair's sums lose locus l only where both are
    // scored.  Loci are taken kLociBlock at a time in one pass over the pairs
    // (each pair's sums read once per block), the block's loci side by side
    // so that the same steps for all of them run as one vector operation;
    // each locus still sums its pairs in their order, and a pair a locus
    // leaves out adds exactly 0 to its sums.
    const int blocks = (L + kLociBlock - 1) / kLociBlock;
    for_each_replicate(blocks, settings.threads, [&](int block) {
      const int first = block * kLociBlock, width = std::min(kLociBlock, L - first);
      std::vector<LociBlock> rows(static_cast<std::size_t>(n));  // z and scored flags of each individual
      LocusWeights weights;
      for (int t = 0; t < width; ++t) {
        const auto u = static_cast<std::size_t>(first + t);
        const int column = k.loci[u];
        const double a = k.absent[u];
        weights.d[t] = k.weight[u];
        weights.over[t] = weights.d[t] / (k.scored[u] - 1);
        for (int i = 0; i < n; ++i) {
          const std::uint8_t v = scores[i][column];
          rows[static_cast<std::size_t>(i)].z[t] = v == 9 ? 0.0 : (v == 1 ? a : -(1.0 - a));
          rows[static_cast<std::size_t>(i)].in[t] = v == 9 ? 0.0 : 1.0;
        }
      }
      JackknifeSums sums;
      const PairAdder add_pair = pick_pair_adder();
      for (int i = 0; i < n; ++i) {
        const std::size_t row = i + 1 < n ? k.kinship.index(i, i + 1) : 0;
        for (int j = i + 1; j < n; ++j) {
          const std::size_t p = row + static_cast<std::size_t>(j - i - 1);
          const bool regressed = !std::isnan(xc[p]), first_class = classes.of_pair[p] == 0;
          if (!regressed && !first_class) continue;
          add_pair(sums, rows[static_cast<std::size_t>(i)], rows[static_cast<std::size_t>(j)], weights, k.sum_rd[p],
                   k.sum_d[p], c, regressed ? xc[p] : 0.0, regressed ? 1.0 : 0.0, first_class ? 1.0 : 0.0);
        }
      }
      for (int t = 0; t < width; ++t) {
        Regression reg;
        reg.n = sums.n[t];
        reg.sx = sums.sx[t];
        reg.sxx = sums.sxx[t];
        reg.sf = sums.sf[t];
        reg.sfx = sums.sfx[t];
        const double f1 = sums.first_pairs[t] > 0.0 ? sums.first_sum[t] / sums.first_pairs[t] : kNaN;
        sp_without[static_cast<std::size_t>(first + t)] = -reg.slope() / (1.0 - f1);
      }
    });
  }
  if (L >= 2) {
    double mean = 0.0, count = 0.0;
    for (double v : sp_without) {
      if (std::isfinite(v)) {
        mean += v;
        count += 1.0;
      }
    }
    mean /= count;
    double ss = 0.0;
    for (double v : sp_without) {
      if (std::isfinite(v)) ss += (v - mean) * (v - mean);
    }
    result.se_sp = count >= 2.0 ? std::sqrt((count - 1.0) / count * ss) : kNaN;
  } else {
    result.se_sp = kNaN;
  }

  // Permutations of individuals among locations: b of the kinship moved with
  // them, the locations' x fixed.
  result.p_value = kNaN;
  const int count = result.permutations;
  if (count > 0 && !std::isnan(result.b) && k.undefined_pairs == 0) {
    const auto N = static_cast<std::size_t>(n);
    std::vector<double> square(N * N, 0.0);
    for (int i = 0; i < n; ++i) {
      for (int j = i + 1; j < n; ++j) {
        square[static_cast<std::size_t>(i) * N + j] = square[static_cast<std::size_t>(j) * N + i] = k.kinship(i, j);
      }
    }
    std::vector<double> weighted_x(P);
    for (std::size_t p = 0; p < P; ++p) weighted_x[p] = std::isnan(xc[p]) ? 0.0 : xc[p];
    std::vector<double> permuted(static_cast<std::size_t>(count));
    for_each_replicate(count, settings.threads, [&](int q) {
      std::vector<int> order(N);
      spatial_permutation(order, settings.seed, SpatialStream::kinship_slope, q);
      double sum = 0.0;
      for (int i = 0; i < n - 1; ++i) {
        const double* row = square.data() + static_cast<std::size_t>(order[static_cast<std::size_t>(i)]) * N;
        const double* x = weighted_x.data() + k.kinship.index(i, i + 1);
        const int* partner = order.data() + i + 1;
        double s = 0.0;
        for (int j = 0; j < n - i - 1; ++j) s += row[partner[j]] * x[j];
        sum += s;
      }
      permuted[static_cast<std::size_t>(q)] = sum / sxx;
    });
    result.p_value = one_sided_p_value(result.b, permuted, true);
  } else if (count > 0 && k.undefined_pairs > 0) {
    result.warnings.push_back("\nthe permutation test of the kinship-distance slope needs the kinship of every pair: "
                              "not performed");
  }
  return result;
}

}  // namespace bandscape
