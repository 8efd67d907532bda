// The spatial analyses on cases worked by hand, their invariants, and the
// independence of their results from the number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "spatial/autocorrelation.hpp"
#include "spatial/geographic_distances.hpp"
#include "spatial/kinship.hpp"
#include "spatial/mantel.hpp"

namespace bandscape {
namespace {

// Five individuals A..E at 0, 1, 2, 3, 4 km along a line, with two loci:
// A = 00, B = 00, C = 01, D = 11, E = 11.
const std::vector<std::string> kFive{"00", "00", "01", "11", "11"};

std::vector<Location> on_a_line(int n) {
  std::vector<Location> l;
  for (int i = 0; i < n; ++i) l.push_back({0.0, static_cast<double>(i)});
  return l;
}

ScoreMatrix scores_of(const std::vector<std::string>& rows) {
  const int n = static_cast<int>(rows.size()), m = static_cast<int>(rows[0].size());
  ScoreMatrix s = score_matrix(0, n - 1, 0, m - 1);
  for (int i = 0; i < n; ++i) {
    for (int l = 0; l < m; ++l) s[i][l] = static_cast<std::uint8_t>(rows[static_cast<std::size_t>(i)][l] - '0');
  }
  return s;
}

PackedDistances differences_of(const std::vector<std::string>& rows) {
  const int n = static_cast<int>(rows.size());
  PackedDistances d(n);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      int count = 0;
      for (std::size_t l = 0; l < rows[0].size(); ++l)
        count += rows[static_cast<std::size_t>(i)][l] != rows[static_cast<std::size_t>(j)][l];
      d.upper(i, j) = count;
    }
  }
  return d;
}

std::vector<int> loci(int m) {
  std::vector<int> l;
  for (int k = 0; k < m; ++k) l.push_back(k);
  return l;
}

SpatialSettings settings(int permutations, int bootstraps = 0, int threads = 1) {
  SpatialSettings s;
  s.permutations = permutations;
  s.bootstraps = bootstraps;
  s.seed = 12345;
  s.threads = threads;
  return s;
}

TEST(SpatialWorked, CentredSimilaritiesAndCorrelogramOfFive) {
  // D: AB 0, AC 1, AD 2, AE 2, BC 1, BD 2, BE 2, CD 1, CE 1, DE 0; row means
  // 1, 1, 0.8, 1, 1, grand mean 24/25 = 0.96.  c_ij = -(d_ij - m_i - m_j + 0.96)/2:
  // c_AA = c_BB = c_DD = c_EE = 0.52, c_CC = 0.32, c_AB = c_DE = 0.52,
  // c_AC = c_BC = c_CD = c_CE = -0.08, the four pairs across -0.48.
  const PackedDistances d = differences_of(kFive);
  const std::vector<double> c = centred_similarities(d);
  const double expected[5][5] = {{0.52, 0.52, -0.08, -0.48, -0.48},
                                 {0.52, 0.52, -0.08, -0.48, -0.48},
                                 {-0.08, -0.08, 0.32, -0.08, -0.08},
                                 {-0.48, -0.48, -0.08, 0.52, 0.52},
                                 {-0.48, -0.48, -0.08, 0.52, 0.52}};
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 5; ++j) EXPECT_NEAR(c[static_cast<std::size_t>(i * 5 + j)], expected[i][j], 1e-15);
  }
  // Classes [0, 1.5): the pairs at 1 km, AB BC CD DE: 2 (0.52 - 0.08 - 0.08 +
  // 0.52) / (1.04 + 0.84 + 0.84 + 1.04) = 1.76 / 3.76; [1.5, 2.5): AC BD CE,
  // -1.28 / 2.72; [2.5, 4]: AD BE AE, -2.88 / 3.12.
  const PackedDistances km = geographic_distances(on_a_line(5), CoordinateKind::planar);
  const Autocorrelation a = spatial_autocorrelation(d, distance_classes(km, {1.5, 2.5, 4}), settings(0));
  ASSERT_EQ(a.classes.size(), 3u);
  const double r[] = {1.76 / 3.76, -1.28 / 2.72, -2.88 / 3.12};
  const std::size_t pairs[] = {4, 3, 3};
  for (std::size_t h = 0; h < 3; ++h) {
    EXPECT_NEAR(a.classes[h].r, r[h], 1e-14);
    EXPECT_EQ(a.classes[h].pairs, pairs[h]);
    EXPECT_TRUE(std::isnan(a.classes[h].p_value));
  }
  EXPECT_TRUE(a.warnings.empty());
  // A last limit of 3 km leaves the pair at 4 km (AE) out, with a warning.
  const Autocorrelation short_range = spatial_autocorrelation(d, distance_classes(km, {1.5, 3}), settings(0));
  EXPECT_EQ(short_range.classes[1].pairs, 5u);
  EXPECT_EQ(short_range.warnings, (std::vector<std::string>{"\n1 pair farther than the last distance class (3 km) is "
                                                            "left out of the autocorrelation"}));
}

TEST(SpatialWorked, CorrelogramIntervalsAndP) {
  // With 120 arrangements of 5 individuals, every permuted r of a class is
  // one of a few values; the null interval must hold r = 0 between its ends
  // and the bootstrap interval the observed r; P is one-sided toward r.
  const PackedDistances d = differences_of(kFive);
  const PackedDistances km = geographic_distances(on_a_line(5), CoordinateKind::planar);
  const Autocorrelation a = spatial_autocorrelation(d, distance_classes(km, {1.5, 2.5, 4}), settings(999, 999, 2));
  EXPECT_EQ(a.permutations, 999);
  EXPECT_EQ(a.bootstraps, 999);
  for (const AutocorrelationClass& k : a.classes) {
    EXPECT_LT(k.null_lower, 0.0);
    EXPECT_GT(k.null_upper, 0.0);
    EXPECT_LE(k.boot_lower, k.r);
    EXPECT_GE(k.boot_upper, k.r);
    EXPECT_GE(k.p_value, 1.0 / 1000);
    EXPECT_LE(k.p_value, 1.0);
  }
  // The first class holds the two identical pairs AB and DE: its r is the
  // largest the arrangements give (identity and reversal, and arrangements
  // keeping {A,B} and {D,E} each side by side), about 8/120 of them.
  EXPECT_NEAR(a.classes[0].p_value, 8.0 / 120, 3 * std::sqrt(8.0 / 120 * (112.0 / 120) / 999));
}

TEST(SpatialWorked, CorrelogramDoesNotDependOnThreads) {
  // Twelve individuals on a line, profiles shifting one locus at a time;
  // every interval and P the same for 1 and 3 threads.
  std::vector<std::string> rows;
  for (int i = 0; i < 12; ++i) {
    std::string r(20, '0');
    for (int l = 0; l < 20; ++l) r[static_cast<std::size_t>(l)] = (l >= i && l < i + 8) ? '1' : '0';
    rows.push_back(r);
  }
  const PackedDistances d = differences_of(rows);
  const PackedDistances km = geographic_distances(on_a_line(12), CoordinateKind::planar);
  const DistanceClasses classes = equal_count_classes(km, 4);
  const Autocorrelation one = spatial_autocorrelation(d, classes, settings(199, 199, 1));
  const Autocorrelation three = spatial_autocorrelation(d, classes, settings(199, 199, 3));
  ASSERT_EQ(one.classes.size(), three.classes.size());
  for (std::size_t h = 0; h < one.classes.size(); ++h) {
    EXPECT_EQ(one.classes[h].r, three.classes[h].r);
    EXPECT_EQ(one.classes[h].null_lower, three.classes[h].null_lower);
    EXPECT_EQ(one.classes[h].null_upper, three.classes[h].null_upper);
    EXPECT_EQ(one.classes[h].boot_lower, three.classes[h].boot_lower);
    EXPECT_EQ(one.classes[h].boot_upper, three.classes[h].boot_upper);
    EXPECT_EQ(one.classes[h].p_value, three.classes[h].p_value);
  }
  // Neighbours are alike: positive r in the first class, P at its floor.
  EXPECT_GT(one.classes[0].r, 0.0);
  EXPECT_EQ(one.classes[0].p_value, 1.0 / 200);
}

TEST(SpatialWorked, LinearGeneticDistanceGivesROne) {
  // g = 2 km + 1 on five points of a line: r = 1, slope 2, intercept 1.  The
  // permutations reaching r = 1 are the identity and the reversal, 2 of the
  // 120 arrangements.
  const PackedDistances km = geographic_distances(on_a_line(5), CoordinateKind::planar);
  PackedDistances g(5);
  for (int i = 0; i < 5; ++i) {
    for (int j = i + 1; j < 5; ++j) g.upper(i, j) = 2 * km(i, j) + 1;
  }
  const std::vector<MantelTest> t = mantel_tests({&g}, {km.values()}, settings(9999, 0, 2));
  ASSERT_EQ(t.size(), 1u);
  EXPECT_NEAR(t[0].r, 1.0, 1e-15);
  EXPECT_NEAR(t[0].slope, 2.0, 1e-14);
  EXPECT_NEAR(t[0].intercept, 1.0, 1e-14);
  EXPECT_EQ(t[0].pairs, 10u);
  EXPECT_NEAR(t[0].p_value, 1.0 / 60, 3 * std::sqrt(1.0 / 60 * 59.0 / 60 / 9999));
}

TEST(SpatialWorked, SeveralMatricesShareThePermutations) {
  // Tested together or alone, each matrix gets the same statistics and P
  // values: permutation k is the same draw for all of them; and every
  // thread count gives the same values.
  const PackedDistances km = geographic_distances(
      {{0, 0}, {0, 1}, {1, 0}, {2, 2}, {3, 1}, {5, 5}, {5, 6}, {8, 1}, {9, 9}, {0, 9}}, CoordinateKind::planar);
  PackedDistances g1(10), g2(10);
  for (int i = 0; i < 10; ++i) {
    for (int j = i + 1; j < 10; ++j) {
      g1.upper(i, j) = std::sqrt(km(i, j)) + ((i * 7 + j * 3) % 5);
      g2.upper(i, j) = (i * j) % 7;
    }
  }
  std::size_t zero = 0;
  const std::vector<std::vector<double>> x{km.values(), ln_distances(km, zero)};
  EXPECT_EQ(zero, 0u);
  const auto both = mantel_tests({&g1, &g2}, x, settings(999, 0, 1));
  const auto both3 = mantel_tests({&g1, &g2}, x, settings(999, 0, 3));
  const auto alone = mantel_tests({&g2}, x, settings(999, 0, 2));
  ASSERT_EQ(both.size(), 4u);
  for (std::size_t t = 0; t < 4; ++t) {
    EXPECT_EQ(both[t].genetic, static_cast<int>(t / 2));
    EXPECT_EQ(both[t].geographic, static_cast<int>(t % 2));
    EXPECT_EQ(both[t].r, both3[t].r);
    EXPECT_EQ(both[t].p_value, both3[t].p_value);
  }
  for (std::size_t t = 0; t < 2; ++t) {
    EXPECT_EQ(both[2 + t].r, alone[t].r);
    EXPECT_EQ(both[2 + t].p_value, alone[t].p_value);
  }
}

// The P values of permutations 0..count-1 of the genetic matrix, each r
// summed directly in double precision over the pairs a variable keeps.
std::vector<double> direct_p_values(const PackedDistances& g, const std::vector<std::vector<double>>& geographic,
                                    const std::vector<double>& observed, int count, std::uint64_t seed, int& ties) {
  const int n = g.size();
  std::vector<std::vector<double>> permuted(geographic.size());
  std::vector<int> order(static_cast<std::size_t>(n));
  ties = 0;
  for (int q = 0; q < count; ++q) {
    spatial_permutation(order, seed, SpatialStream::mantel, q);
    for (std::size_t k = 0; k < geographic.size(); ++k) {
      const std::vector<double>& x = geographic[k];
      double sg = 0.0, sx = 0.0, kept = 0.0;
      for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
          if (std::isnan(x[g.index(i, j)])) continue;
          sg += g(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
          sx += x[g.index(i, j)];
          ++kept;
        }
      }
      double sgg = 0.0, sxx = 0.0, sgx = 0.0;
      for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
          if (std::isnan(x[g.index(i, j)])) continue;
          const double gc = g(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]) - sg / kept;
          const double xc = x[g.index(i, j)] - sx / kept;
          sgg += gc * gc;
          sxx += xc * xc;
          sgx += gc * xc;
        }
      }
      permuted[k].push_back(sgx / std::sqrt(sgg * sxx));
      ties += std::fabs(permuted[k].back() - observed[k]) < 1e-12;
    }
  }
  std::vector<double> p;
  for (std::size_t k = 0; k < geographic.size(); ++k) p.push_back(one_sided_p_value(observed[k], permuted[k]));
  return p;
}

TEST(SpatialWorked, PermutedStatisticsCountedAsDirectSumsCountThem) {
  // 240 individuals, 999 permutations: the P values equal those of permuted
  // r summed directly in double precision. (a) Two genotypes (distance 0 or
  // 1) at 30 sites of 8, and one individual 50 further from all, against a
  // variable that is 0 within a site and 1 between: r depends only on the
  // sum over sites of a (8 - a), a the individuals of the first genotype
  // there, and on the site of the far one, so that many permutations reach
  // the observed r up to rounding and are counted through the tolerance.
  // (b) The same with the distances 1 - g, which reverses the sign of the
  // rounding error of any permuted sum. (c) Continuous distances unrelated
  // to place, against km and ln km.
  const int n = 240;
  std::vector<Location> scattered;
  PackedDistances two(n), flipped(n), smooth(n);
  std::vector<double> same_site(two.values().size());
  std::vector<int> genotype(static_cast<std::size_t>(n));  // a random half of the individuals: genotype[i] < n / 2
  spatial_permutation(genotype, 77, SpatialStream::mantel, 0);
  for (int i = 0; i < n; ++i) {
    scattered.push_back({(i * 37 % 101) / 7.0, (i * 91 % 103) / 5.0});
    for (int j = 0; j < i; ++j) {
      two.upper(j, i) = (genotype[static_cast<std::size_t>(i)] < n / 2) != (genotype[static_cast<std::size_t>(j)] < n / 2);
      if (j == 0) two.upper(j, i) += 50.0;
      flipped.upper(j, i) = 1.0 - two(j, i);
      smooth.upper(j, i) = std::fabs(std::sin(i * 1.3) - std::sin(j * 0.7)) + 0.01 * ((i * j) % 13);
      same_site[two.index(j, i)] = i / 8 != j / 8;
    }
  }
  const PackedDistances km = geographic_distances(scattered, CoordinateKind::planar);
  std::size_t zero = 0;
  const std::vector<std::vector<double>> sites{same_site}, places{km.values(), ln_distances(km, zero)};
  SpatialSettings s = settings(999, 0, 2);
  s.seed = 5;
  std::vector<double> direct;  // per matrix and variable
  for (const auto& [g, x] : {std::pair{&two, &sites}, std::pair{&flipped, &sites}, std::pair{&smooth, &places}}) {
    const std::vector<MantelTest> t = mantel_tests({g}, *x, s);
    ASSERT_EQ(t.size(), x->size());
    std::vector<double> observed;
    for (const MantelTest& test : t) observed.push_back(test.r);
    int ties = 0;
    const std::vector<double> p = direct_p_values(*g, *x, observed, 999, 5, ties);
    for (std::size_t k = 0; k < t.size(); ++k) EXPECT_EQ(t[k].p_value, p[k]);
    if (x == &sites) {
      EXPECT_GT(ties, 10);
    }
    direct.insert(direct.end(), p.begin(), p.end());
  }
  // Two matrices in one call, as for individuals: the same P values.
  const std::vector<MantelTest> pair = mantel_tests({&two, &flipped}, sites, s);
  ASSERT_EQ(pair.size(), 2u);
  EXPECT_EQ(pair[0].p_value, direct[0]);
  EXPECT_EQ(pair[1].p_value, direct[1]);
  const std::vector<MantelTest> mixed = mantel_tests({&smooth, &two}, places, s);
  ASSERT_EQ(mixed.size(), 4u);
  EXPECT_EQ(mixed[0].p_value, direct[2]);
  EXPECT_EQ(mixed[1].p_value, direct[3]);
}

TEST(SpatialWorked, ShuffledCoordinatesGiveUniformP) {
  // 400 random arrangements of the coordinates of 15 individuals against a
  // fixed genetic matrix, 99 permutations each: P takes the values k/100,
  // uniform under the null; expected mean 0.505, and 20% of P <= 0.2.
  // Bounds at about 4 standard errors.
  const int n = 15;
  PackedDistances g(n);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) g.upper(i, j) = ((i * 13 + j * 7) % 11) + 0.1 * i;
  }
  double sum = 0.0;
  int small = 0;
  const int runs = 400;
  for (int run = 0; run < runs; ++run) {
    std::vector<Location> places;
    KeyedStream stream(stream_key(99, 1, 0, static_cast<std::uint64_t>(run)));
    for (int i = 0; i < n; ++i) places.push_back({stream.below(1000) / 10.0, stream.below(1000) / 10.0});
    const PackedDistances km = geographic_distances(places, CoordinateKind::planar);
    SpatialSettings s = settings(99);
    s.seed = static_cast<std::uint64_t>(run);
    const double p = mantel_tests({&g}, {km.values()}, s)[0].p_value;
    sum += p;
    small += p <= 0.2 + 1e-12;
  }
  EXPECT_NEAR(sum / runs, 0.505, 4 * std::sqrt(1.0 / 12 / runs));
  EXPECT_NEAR(small / static_cast<double>(runs), 0.2, 4 * std::sqrt(0.2 * 0.8 / runs));
}

TEST(SpatialWorked, KinshipOfFive) {
  // F = 0.  Locus 1 (A0 B0 C0 D1 E1): a = 0.6; locus 2 (A0 B0 C1 D1 E1):
  // a = 0.4.  s = sqrt(4a), h2 = 2 s / (s + 2), D = a(1 - a) h2:
  // D1 = 0.24 * 2 sqrt(2.4) / (sqrt(2.4) + 2) = 0.2095160030897800,
  // D2 = 0.24 * 2 sqrt(1.6) / (sqrt(1.6) + 2) = 0.1859644256269407.
  // F_ij = (N1 + N2 + (D1 + D2) / 4) / (D1 + D2) / 2 with N = (1-a)^2 both
  // absent, a^2 both present, -a(1-a) differing:
  //   AB, DE: N1 + N2 = 0.16 + 0.36 (AB) or 0.36 + 0.16 (DE): 0.7824282344227856
  //   AC, BC, CD, CE: 0.16 - 0.24 or -0.24 + 0.16:          0.02385719470418689
  //   AD, AE, BD, BE: -0.24 - 0.24:                         -0.48185683177487887
  const DominantKinship k = dominant_kinship(scores_of(kFive), 5, loci(2), 0.0);
  EXPECT_EQ(k.loci, (std::vector<int>{0, 1}));
  EXPECT_NEAR(k.weight[0], 0.2095160030897800, 1e-15);
  EXPECT_NEAR(k.weight[1], 0.1859644256269407, 1e-15);
  const double same = 0.7824282344227856, next = 0.02385719470418689, across = -0.48185683177487887;
  const double expected[5][5] = {{0, same, next, across, across},
                                 {0, 0, next, across, across},
                                 {0, 0, 0, next, next},
                                 {0, 0, 0, 0, same},
                                 {0, 0, 0, 0, 0}};
  for (int i = 0; i < 5; ++i) {
    for (int j = i + 1; j < 5; ++j) EXPECT_NEAR(k.kinship(i, j), expected[i][j], 1e-14) << i << j;
  }
  // Loci without variation (and a missing score) are left out.
  const DominantKinship fixed = dominant_kinship(scores_of({"001", "0011", "0191", "1111", "1111"}), 5, loci(3), 0.0);
  EXPECT_EQ(fixed.loci, (std::vector<int>{0, 1}));
}

TEST(SpatialWorked, IdenticalIndividualsHaveTheLargestKinship) {
  // Individual 0 and 1 are identical: their kinship is that of an individual
  // with itself, (sum z_i^2 + sum D / (n - 1)) / sum D * (1 + F) / 2, and the
  // largest of all pairs.
  const std::vector<std::string> rows{"1011001101", "1011001101", "0110101010", "1100110011",
                                      "0001110101", "1010011001", "0111000110", "1101010100"};
  const double F = 0.2;
  const DominantKinship k = dominant_kinship(scores_of(rows), 8, loci(10), F);
  double zz = 0.0, sd = 0.0, over = 0.0;
  for (std::size_t c = 0; c < k.loci.size(); ++c) {
    const double a = k.absent[c];
    const double z = rows[0][static_cast<std::size_t>(k.loci[c])] == '1' ? a : -(1 - a);
    zz += z * z;
    sd += k.weight[c];
    over += k.weight[c] / 7;
  }
  EXPECT_NEAR(k.kinship(0, 1), (zz + over) / sd * (1 + F) / 2, 1e-14);
  for (int i = 0; i < 8; ++i) {
    for (int j = i + 1; j < 8; ++j) {
      if (i != 0 || j != 1) {
        EXPECT_LT(k.kinship(i, j), k.kinship(0, 1));
      }
    }
  }
}

TEST(SpatialWorked, KinshipDecreasingWithDistance) {
  // Individuals along a line whose profiles change one locus at a time: the
  // kinship falls with distance, b < 0 with a small permutation P, and the
  // values do not depend on the threads.
  std::vector<std::string> rows;
  for (int i = 0; i < 12; ++i) {
    std::string r(24, '0');
    for (int l = 0; l < 24; ++l) r[static_cast<std::size_t>(l)] = (l >= i && l < i + 12) ? '1' : '0';
    rows.push_back(r);
  }
  const ScoreMatrix s = scores_of(rows);
  const PackedDistances km = geographic_distances(on_a_line(12), CoordinateKind::planar);
  const DominantKinship k1 = dominant_kinship(s, 12, loci(24), 0.0, 1);
  const DominantKinship k3 = dominant_kinship(s, 12, loci(24), 0.0, 3);
  EXPECT_EQ(k1.kinship.values(), k3.kinship.values());
  const DistanceClasses classes = distance_classes(km, {1.5, 3.5, 6.5, 11});
  const KinshipDistance one = kinship_distance(k1, s, km, classes, settings(999, 0, 1));
  const KinshipDistance three = kinship_distance(k3, s, km, classes, settings(999, 0, 3));
  EXPECT_LT(one.b, 0.0);
  EXPECT_GT(one.sp, 0.0);
  EXPECT_GT(one.se_sp, 0.0);
  EXPECT_EQ(one.p_value, 1.0 / 1000);
  EXPECT_EQ(one.b, three.b);
  EXPECT_EQ(one.se_sp, three.se_sp);
  EXPECT_EQ(one.p_value, three.p_value);
  for (std::size_t h = 1; h < one.classes.size(); ++h)
    EXPECT_LT(one.classes[h].mean_kinship, one.classes[h - 1].mean_kinship);
  EXPECT_TRUE(one.warnings.empty());
}

TEST(SpatialWorked, DistanceClassLimits) {
  // Pairs of 0, 0, 0, 1, 1, 2, 3, 4, 5, 6 km (points 0, 0, 0 and 1 ... on a
  // line give other counts, so the km are set directly).
  PackedDistances km(5);
  const double values[] = {0, 0, 0, 1, 1, 2, 3, 4, 5, 6};
  for (std::size_t p = 0; p < 10; ++p) const_cast<double&>(km.values()[p]) = values[p];
  struct Case {
    int count;
    std::vector<double> lower, upper;
    std::vector<std::size_t> pairs;
  };
  // 5 classes: starts at ranks 0, 2, 4, 6, 8: 0, 0 (dropped), 1, 3, 5; a pair
  // at a limit goes above it, the last class [5, 6] closed.
  // 2 classes: starts 0 and the value of rank 5, 2.
  // 20 classes: every distinct value starts one.
  const Case cases[] = {
      {5, {0, 1, 3, 5}, {1, 3, 5, 6}, {3, 3, 2, 2}},
      {2, {0, 2}, {2, 6}, {5, 5}},
      {20, {0, 1, 2, 3, 4, 5}, {1, 2, 3, 4, 5, 6}, {3, 2, 1, 1, 1, 2}},
      {1, {0}, {6}, {10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    const DistanceClasses d = equal_count_classes(km, c.count);
    EXPECT_EQ(d.lower_km, c.lower);
    EXPECT_EQ(d.upper_km, c.upper);
    EXPECT_EQ(d.pairs, c.pairs);
    EXPECT_EQ(d.beyond, 0u);
  }
  const DistanceClasses given = distance_classes(km, {1, 4.5});
  EXPECT_EQ(given.lower_km, (std::vector<double>{0, 1}));
  EXPECT_EQ(given.pairs, (std::vector<std::size_t>{3, 5}));
  EXPECT_EQ(given.beyond, 2u);
  EXPECT_EQ(given.class_of(4.5), 1);
  EXPECT_EQ(given.class_of(1), 1);
  EXPECT_EQ(given.class_of(0.99), 0);
  EXPECT_EQ(given.class_of(4.51), -1);
  EXPECT_THROW(distance_classes(km, {2, 2}), std::invalid_argument);
  EXPECT_THROW(distance_classes(km, {0}), std::invalid_argument);
  EXPECT_THROW(distance_classes(km, {}), std::invalid_argument);
  EXPECT_THROW(equal_count_classes(km, 1001), std::invalid_argument);
}

TEST(SpatialWorked, GeodesicOnTheEllipsoid) {
  // WGS84: a degree of longitude on the equator is a * pi / 180 =
  // 6378137 * pi / 180 m; the quarter meridian 10001965.729 m.
  EXPECT_NEAR(geodesic_km({0, 0}, {0, 1}), 6378.137 * std::numbers::pi / 180, 1e-9);
  EXPECT_NEAR(geodesic_km({0, 0}, {90, 0}), 10001.965729, 1e-6);
  EXPECT_EQ(geodesic_km({12.5, 7}, {12.5, 7}), 0.0);
  // Planar: Euclidean in km.
  const PackedDistances d = geographic_distances({{0, 0}, {3, 4}, {3, 4}}, CoordinateKind::planar);
  EXPECT_EQ(d(0, 1), 5.0);
  EXPECT_EQ(d(1, 2), 0.0);
}

TEST(SpatialWorked, UndefinedDistancesAreRefused) {
  PackedDistances g(3);
  g.upper(0, 1) = std::nan("");
  const PackedDistances km = geographic_distances(on_a_line(3), CoordinateKind::planar);
  EXPECT_THROW(mantel_tests({&g}, {km.values()}, settings(9)), std::invalid_argument);
  EXPECT_THROW(spatial_autocorrelation(g, equal_count_classes(km), settings(9)), std::invalid_argument);
}

}  // namespace
}  // namespace bandscape
