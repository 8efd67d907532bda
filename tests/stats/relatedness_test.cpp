// Relatedness between individuals (Lynch & Milligan 1994): pooled band
// frequencies, the pair values, the Phylip blocks and Table 6.
#include "core/fixed_format.hpp"
#include "report/classic/relatedness_report.hpp"
#include "stats/relatedness.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace bandscape {
namespace {

// Five individuals, two populations (popA: 1-2, popB: 3-5), five loci:
//   locus 0 polymorphic, p = 0.5
//   locus 1 p = 2/3, individuals 4 and 5 missing
//   locus 2 band present in everyone (monomorphic, S = 1: never used)
//   locus 3 scored in individual 4 only (S = 1: never used)
//   locus 4 p = 0.5, scored in individuals 1 and 2 only
// Individual 5 is missing everywhere, so all its pairs are undefined.
// Expected values come from a short python3 script written for this test, a
// direct transcription of the estimator with float32 rounding through
// struct.pack, formatting the blocks with python's own % operator.
struct SmallSample {
  static constexpr int kN = 5;
  static constexpr int kM = 5;
  ScoreMatrix scores = score_matrix(0, kN - 1, 0, kM - 1);
  FVector p = float_vector(0, kM - 1);
  FVector S = float_vector(0, kM - 1);
  FVector VarS = float_vector(0, kM - 1);
  NameList names = name_list(1, 2);
  IVector bounds = int_vector(0, 2);
  RelatednessTriangle rel{kN};

  SmallSample() {
    const int table[kN][kM] = {
        {1, 1, 1, 9, 0}, {1, 0, 1, 9, 1}, {0, 1, 1, 9, 9}, {0, 9, 1, 0, 9}, {9, 9, 9, 9, 9},
    };
    for (int x = 0; x < kN; ++x)
      for (int l = 0; l < kM; ++l) scores[x][l] = table[x][l];
    names[1] = "popA";
    names[2] = "popB";
    bounds[0] = 0;
    bounds[1] = 2;
    bounds[2] = 5;
    compute_overall_freq(scores, kN, kM, p, S, VarS);
    compute_relatedness(scores, kN, kM, S, VarS, rel);
  }
};

TEST(OverallFrequencies, PooledOverAllIndividuals) {
  SmallSample s;
  // p = 2/4, 2/3, 4/4, 0/1, 1/2; S = 1 - 2p(1-p)(1-1/n); VarS = 4p(1-p)(1-2p)^2/n
  // (worked by hand, float values from the python script).
  EXPECT_EQ(s.p[0], 0.5f);
  EXPECT_EQ(s.p[1], 0.6666666865348816f);
  EXPECT_EQ(s.p[2], 1.0f);
  EXPECT_EQ(s.p[3], 0.0f);
  EXPECT_EQ(s.S[0], 0.625f);
  EXPECT_EQ(s.S[1], 0.7037037014961243f);
  EXPECT_EQ(s.S[2], 1.0f);
  EXPECT_EQ(s.S[3], 1.0f);  // a single scored individual: 1 - 1/n = 0
  EXPECT_EQ(s.S[4], 0.75f);
  EXPECT_EQ(s.VarS[0], 0.0f);
  EXPECT_EQ(s.VarS[1], 0.032921817153692245f);
}

TEST(OverallFrequencies, LocusScoredInNoOneHasNoFiniteS) {
  ScoreMatrix scores = score_matrix(0, 2, 0, 0);
  for (int x = 0; x < 3; ++x) scores[x][0] = 9;
  FVector p = float_vector(0, 0), S = float_vector(0, 0), VarS = float_vector(0, 0);
  compute_overall_freq(scores, 3, 1, p, S, VarS);
  EXPECT_EQ(p[0], 0.0f);
  EXPECT_TRUE(std::isnan(S[0]));
  EXPECT_TRUE(std::isnan(VarS[0]));
}

TEST(Relatedness, PairValuesSkipMissingAndMonomorphicLoci) {
  SmallSample s;
  // By hand: locus 0 differing contributes 0 - 0.625/0.375 = -5/3, locus 4
  // differing -0.75/0.25 = -3, locus 1 differing -1.109375 (python script).
  EXPECT_EQ(s.rel.at(0, 1), -1.0364582538604736f);  // (1 - 1.109375 - 3) / 3
  EXPECT_EQ(s.rel.at(0, 2), -0.3333333432674408f);  // (-5/3 + 1) / 2, locus 4 missing in 3
  EXPECT_EQ(s.rel.at(0, 3), -1.6666666269302368f);  // locus 0 only
  EXPECT_EQ(s.rel.at(1, 2), -1.3880207538604736f);
  EXPECT_EQ(s.rel.at(1, 3), -1.6666666269302368f);
  EXPECT_EQ(s.rel.at(2, 3), 1.0f);  // identical at the one used locus
  for (int x = 0; x < 4; ++x) EXPECT_EQ(s.rel.at(x, 4), 999.0f) << x;  // no usable locus
  EXPECT_EQ(s.rel.value(3, 0), s.rel.at(0, 3));
}

// Without a single polymorphic locus no pair has a usable locus: every pair
// is undefined (999), with no work on an empty layout (a fuzzed data file
// once made it offset a null pointer).
TEST(Relatedness, NoPolymorphicLocusLeavesEveryPairUndefined) {
  ScoreMatrix scores = score_matrix(0, 2, 0, 1);
  for (int x = 0; x < 3; ++x) scores[x][0] = scores[x][1] = 1;
  FVector p = float_vector(0, 1), S = float_vector(0, 1), VarS = float_vector(0, 1);
  compute_overall_freq(scores, 3, 2, p, S, VarS);
  RelatednessTriangle rel(3);
  compute_relatedness(scores, 3, 2, S, VarS, rel);
  EXPECT_EQ(rel.at(0, 1), 999.0f);
  EXPECT_EQ(rel.at(0, 2), 999.0f);
  EXPECT_EQ(rel.at(1, 2), 999.0f);
}

TEST(Relatedness, IdenticalIndividualsGiveOne) {
  // Two identical individuals among others at 20 polymorphic loci: every
  // used locus contributes 1, so r = k / k = 1 exactly.
  constexpr int n = 6, m = 20;
  ScoreMatrix scores = score_matrix(0, n - 1, 0, m - 1);
  for (int x = 0; x < n; ++x)
    for (int l = 0; l < m; ++l) scores[x][l] = ((x * 7 + l * 3) % 5) < 2 ? 1 : 0;
  for (int l = 0; l < m; ++l) scores[4][l] = scores[1][l];
  scores[4][3] = 9;  // a missing score drops only that locus
  FVector p = float_vector(0, m - 1), S = float_vector(0, m - 1), VarS = float_vector(0, m - 1);
  compute_overall_freq(scores, n, m, p, S, VarS);
  RelatednessTriangle rel(n);
  compute_relatedness(scores, n, m, S, VarS, rel);
  EXPECT_EQ(rel.at(1, 4), 1.0f);
}

// The straightforward pair-by-pair definition, used as an independent
// reference for the vectorised row computation.
float reference_pair(const ScoreMatrix& scores, int m, const FVector& S, const FVector& VarS, int x, int y) {
  double sum = 0.0;
  int k = 0;
  for (int l = 0; l < m; ++l) {
    if (!(S[l] < 1.0f) || scores[x][l] >= 9 || scores[y][l] >= 9) continue;
    ++k;
    if ((scores[x][l] == 1) == (scores[y][l] == 1)) {
      sum += 1.0;
    } else {
      const double s = S[l], o = 1.0 - s;
      sum += static_cast<double>(VarS[l]) / ((o * o) * o) - s / o;
    }
  }
  return k == 0 ? 999.0f : static_cast<float>(sum / k);
}

TEST(Relatedness, RowRangesAndPairDefinitionAgreeBitForBit) {
  // 45 individuals (partners not a multiple of the block length) x 37 loci of
  // pseudo-random scores with about 10% missing.
  constexpr int n = 45, m = 37;
  ScoreMatrix scores = score_matrix(0, n - 1, 0, m - 1);
  std::uint32_t state = 12345u;
  for (int x = 0; x < n; ++x)
    for (int l = 0; l < m; ++l) {
      state = state * 1103515245u + 12345u;
      const int u = static_cast<int>((state >> 16) % 100);
      scores[x][l] = u < 10 ? 9 : (u < 10 + 2 * l ? 1 : 0);
    }
  FVector p = float_vector(0, m - 1), S = float_vector(0, m - 1), VarS = float_vector(0, m - 1);
  compute_overall_freq(scores, n, m, p, S, VarS);
  RelatednessTriangle whole(n);
  compute_relatedness(scores, n, m, S, VarS, whole);

  const RelatednessLayout layout = make_relatedness_layout(scores, n, m, S, VarS);
  RelatednessTriangle split(n);
  const int cuts[] = {0, 1, 7, 20, 21, 44, n};
  for (int i = 0; i + 1 < 7; ++i) compute_relatedness(layout, cuts[i], cuts[i + 1], split);

  ASSERT_EQ(whole.pair_count(), static_cast<std::size_t>(n * (n - 1) / 2));
  EXPECT_EQ(std::memcmp(whole.row(0), split.row(0), whole.pair_count() * sizeof(float)), 0);
  for (int x = 0; x < n; ++x)
    for (int y = x + 1; y < n; ++y) {
      const float want = reference_pair(scores, m, S, VarS, x, y);
      EXPECT_EQ(std::memcmp(&want, &whole.at(x, y), sizeof(float)), 0) << x << "," << y;
    }
}

// Every row computed by every inner loop on 1, 2 and 7 threads equals the
// pair-by-pair definition bit for bit; the rows of a tile (kRelatednessTile)
// differ in their scored loci, so their passes over the loci differ.
void expect_kernels_match_definition(const ScoreMatrix& scores, int n, int m, const std::string& what) {
  FVector p = float_vector(0, m - 1), S = float_vector(0, m - 1), VarS = float_vector(0, m - 1);
  compute_overall_freq(scores, n, m, p, S, VarS);
  for (RelatednessKernel kernel : {RelatednessKernel::automatic, RelatednessKernel::portable,
                                    RelatednessKernel::avx2, RelatednessKernel::avx512}) {
    for (int threads : {1, 2, 7}) {
      RelatednessTriangle rel(n);
      compute_relatedness(scores, n, m, S, VarS, rel, threads, kernel);
      for (int x = 0; x < n; ++x)
        for (int y = x + 1; y < n; ++y) {
          const float want = reference_pair(scores, m, S, VarS, x, y);
          ASSERT_EQ(std::memcmp(&want, &rel.at(x, y), sizeof(float)), 0)
              << what << " kernel " << static_cast<int>(kernel) << " threads " << threads
              << " pair " << x << "," << y;
        }
    }
  }
}

TEST(RelatednessKernels, EndToEndDataSetsMatchTheDefinition) {
  for (const char* name : {"four_pops", "named_loci", "one_pop", "three_pops"}) {
    // The scores of the data file: after the header line, every field past
    // the population and individual names.
    std::istringstream lines(testing::read_file(std::string(BANDSCAPE_TEST_DATA) + "/e2e/" + name + ".txt"));
    std::string line, field;
    std::getline(lines, line);
    std::vector<std::vector<int>> rows;
    while (std::getline(lines, line)) {
      std::istringstream fields(line);
      std::vector<int> row;
      for (int f = 0; fields >> field; ++f)
        if (f >= 2) row.push_back(std::stoi(field));
      if (!row.empty()) rows.push_back(row);
    }
    const int n = static_cast<int>(rows.size()), m = static_cast<int>(rows[0].size());
    ScoreMatrix scores = score_matrix(0, n - 1, 0, m - 1);
    for (int x = 0; x < n; ++x)
      for (int l = 0; l < m; ++l) scores[x][l] = rows[static_cast<std::size_t>(x)].at(static_cast<std::size_t>(l));
    expect_kernels_match_definition(scores, n, m, name);
  }
}

TEST(RelatednessKernels, BlockEdgesLongRowsAndMissingScoresMatchTheDefinition) {
  // 600 loci: more than 255 used by many pairs (the per-pass byte counts);
  // loci 0-9 monomorphic, 10-14 scored in no one, about 10% missing, the
  // last individual missing everywhere; 1, 2, 3 individuals and 31-33 and 70
  // around the partner blocks of 32.
  constexpr int m = 600;
  for (int n : {1, 2, 3, 31, 32, 33, 70}) {
    ScoreMatrix scores = score_matrix(0, n - 1, 0, m - 1);
    std::uint32_t state = 777u + static_cast<std::uint32_t>(n);
    for (int x = 0; x < n; ++x)
      for (int l = 0; l < m; ++l) {
        state = state * 1103515245u + 12345u;
        const int u = static_cast<int>((state >> 16) % 100);
        scores[x][l] = l < 10 ? 1 : (l < 15 || u < 10 ? 9 : (u < 10 + l % 80 ? 1 : 0));
      }
    if (n > 1)
      for (int l = 0; l < m; ++l) scores[n - 1][l] = 9;
    expect_kernels_match_definition(scores, n, m, "n=" + std::to_string(n));
  }
}

// Each vector pass against the portable one, the reference: whole triangles
// compared byte for byte.
class RelatednessKernelAgainstPortable : public ::testing::TestWithParam<RelatednessKernel> {
 protected:
  void SetUp() override {
    if (!relatedness_kernel_available(GetParam())) GTEST_SKIP() << "processor lacks this version";
  }
};

// n individuals x m loci: about 8% missing, every locus with its own band
// frequency (between about 10% and 85%), the first individual missing
// everywhere (undefined pairs), the second scored everywhere, and loci 3 and
// 4 scored in no one and monomorphic.
ScoreMatrix kernel_scores(int n, int m, std::uint32_t seed) {
  ScoreMatrix scores = score_matrix(0, n - 1, 0, m - 1);
  std::uint32_t state = seed;
  for (int x = 0; x < n; ++x)
    for (int l = 0; l < m; ++l) {
      state = state * 1103515245u + 12345u;
      const int u = static_cast<int>((state >> 16) % 100);
      const bool missing = (x == 0 || u < 8) && x != 1;
      scores[x][l] = l == 3 ? 9 : (l == 4 ? 1 : (missing ? 9 : (u < 18 + (l * 37) % 70 ? 1 : 0)));
    }
  return scores;
}

// The whole triangle, rows one after the other, byte for byte.
bool same_triangle(const RelatednessTriangle& a, const RelatednessTriangle& b) {
  return a.pair_count() == b.pair_count() && std::memcmp(a.row(0), b.row(0), a.pair_count() * sizeof(float)) == 0;
}

TEST_P(RelatednessKernelAgainstPortable, TrianglesAcrossBlocksPassesAndThreads) {
  // Partners not a multiple of the block (97, 161) or exactly two blocks
  // (64).  Passes of 255 scored loci: with 257 and 258 loci, 255 and 256
  // are polymorphic, all scored in individual 1 (one full pass, then one
  // pass and a single locus); with 300, most individuals score about 275
  // (two passes), with 800 about 730 (three).
  const struct {
    int n, m;
  } sets[] = {{97, 257}, {97, 258}, {64, 800}, {161, 300}};
  for (const auto& set : sets) {
    const ScoreMatrix scores = kernel_scores(set.n, set.m, 4242u + static_cast<std::uint32_t>(set.n * set.m));
    FVector p = float_vector(0, set.m - 1), S = float_vector(0, set.m - 1), VarS = float_vector(0, set.m - 1);
    compute_overall_freq(scores, set.n, set.m, p, S, VarS);
    RelatednessTriangle portable(set.n);
    compute_relatedness(scores, set.n, set.m, S, VarS, portable, 1, RelatednessKernel::portable);
    for (int threads : {1, 2, 5}) {
      RelatednessTriangle rel(set.n);
      compute_relatedness(scores, set.n, set.m, S, VarS, rel, threads, GetParam());
      EXPECT_TRUE(same_triangle(portable, rel)) << set.n << "x" << set.m << " threads " << threads;
    }
    // Row ranges cut inside tiles and blocks, computed in reverse order.
    const RelatednessLayout layout = make_relatedness_layout(scores, set.n, set.m, S, VarS, GetParam());
    RelatednessTriangle split(set.n);
    const int cuts[] = {set.n, set.n - 2, 45, 33, 31, 6, 1, 0};
    for (int i = 0; i + 1 < 8; ++i) compute_relatedness(layout, cuts[i + 1], cuts[i], split);
    EXPECT_TRUE(same_triangle(portable, split)) << set.n << "x" << set.m << " split";
  }
}

INSTANTIATE_TEST_SUITE_P(VectorPasses, RelatednessKernelAgainstPortable,
                         ::testing::Values(RelatednessKernel::automatic, RelatednessKernel::avx2,
                                           RelatednessKernel::avx512),
                         [](const ::testing::TestParamInfo<RelatednessKernel>& info) {
                           return std::string(info.index == 0 ? "automatic" : info.index == 1 ? "avx2" : "avx512");
                         });

TEST(Relatedness, PopulationOfIndividual) {
  // Populations of 2, 0 and 3 individuals: bounds 0, 2, 2, 5.
  IVector bounds = int_vector(0, 3);
  bounds[1] = 2;
  bounds[2] = 2;
  bounds[3] = 5;
  EXPECT_EQ(population_of_individual(0, bounds, 3), 0);
  EXPECT_EQ(population_of_individual(1, bounds, 3), 0);
  EXPECT_EQ(population_of_individual(2, bounds, 3), 2);  // the empty population is passed over
  EXPECT_EQ(population_of_individual(4, bounds, 3), 2);
}

TEST(RelatednessReport, PhylipBlocksWholeText) {
  testing::TempDir dir;
  SmallSample s;
  testing::write_file("out.txt", "HEAD");
  ASSERT_EQ(write_relatedness_matrices("out.txt", SmallSample::kN, s.rel), 0);
  // Text produced by the python script with "%10.4f", "%-10.10s" and "%10s".
  EXPECT_EQ(testing::read_file("out.txt"),
            "HEAD"
            "\n\nRelatedness between pairs of individuals after Lynch and Milligan - 1994 (Phylip format)\n5"
            "\nind1          1.0000   -1.0365   -0.3333   -1.6667 undefined"
            "\nind2         -1.0365    1.0000   -1.3880   -1.6667 undefined"
            "\nind3         -0.3333   -1.3880    1.0000    1.0000 undefined"
            "\nind4         -1.6667   -1.6667    1.0000    1.0000 undefined"
            "\nind5       undefined undefined undefined undefined    1.0000"
            "\n\n1-r distance between pairs of individuals  (Phylip format)\n5"
            "\nind1          0.0000    2.0365    1.3333    2.6667 undefined"
            "\nind2          2.0365    0.0000    2.3880    2.6667 undefined"
            "\nind3          1.3333    2.3880    0.0000    0.0000 undefined"
            "\nind4          2.6667    2.6667    0.0000    0.0000 undefined"
            "\nind5       undefined undefined undefined undefined    0.0000");
}

TEST(RelatednessReport, Table6WholeText) {
  testing::TempDir dir;
  SmallSample s;
  ASSERT_EQ(write_relatedness_table("out.txt", SmallSample::kN, s.rel, 2, s.names, s.bounds), 0);
  // Text produced by the python script with "\n%s\t%d\t%s\t%d\t%f\t%f";
  // individuals numbered across the whole sample, 999 printed as a number.
  EXPECT_EQ(testing::read_file("out.txt"),
            "\n\nTable 6. Relatedness between an individual and all other individuals grouped by population"
            "\npop_a\ta\tpop_b\tb\trab\t1-rab"
            "\npopA\t1\tpopA\t2\t-1.036458\t2.036458"
            "\npopA\t1\tpopB\t3\t-0.333333\t1.333333"
            "\npopA\t1\tpopB\t4\t-1.666667\t2.666667"
            "\npopA\t1\tpopB\t5\t999.000000\t-998.000000"
            "\npopA\t2\tpopA\t1\t-1.036458\t2.036458"
            "\npopA\t2\tpopB\t3\t-1.388021\t2.388021"
            "\npopA\t2\tpopB\t4\t-1.666667\t2.666667"
            "\npopA\t2\tpopB\t5\t999.000000\t-998.000000"
            "\npopB\t3\tpopA\t1\t-0.333333\t1.333333"
            "\npopB\t3\tpopA\t2\t-1.388021\t2.388021"
            "\npopB\t3\tpopB\t4\t1.000000\t0.000000"
            "\npopB\t3\tpopB\t5\t999.000000\t-998.000000"
            "\npopB\t4\tpopA\t1\t-1.666667\t2.666667"
            "\npopB\t4\tpopA\t2\t-1.666667\t2.666667"
            "\npopB\t4\tpopB\t3\t1.000000\t0.000000"
            "\npopB\t4\tpopB\t5\t999.000000\t-998.000000"
            "\npopB\t5\tpopA\t1\t999.000000\t-998.000000"
            "\npopB\t5\tpopA\t2\t999.000000\t-998.000000"
            "\npopB\t5\tpopB\t3\t999.000000\t-998.000000"
            "\npopB\t5\tpopB\t4\t999.000000\t-998.000000");
}

TEST(RelatednessReport, UnopenableReportWritesNothing) {
  testing::TempDir dir;
  SmallSample s;
  EXPECT_EQ(write_relatedness_matrices("missing_dir/out.txt", SmallSample::kN, s.rel), -999);
  EXPECT_EQ(write_relatedness_table("missing_dir/out.txt", SmallSample::kN, s.rel, 2, s.names, s.bounds), -999);
}

// The hand formatter must agree with printf character for character.
std::string printf_fixed(double v, int decimals) {
  char buf[kFixedTextMax];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}
std::string own_fixed(double v, int decimals) {
  char buf[kFixedTextMax];
  return std::string(buf, static_cast<std::size_t>(format_fixed(buf, v, decimals)));
}

TEST(FixedFormat, MatchesPrintfOnTiesCarriesAndSigns) {
  // 1/128 and 3/128 are exact binary ties at the 7th decimal, 1/32 and 3/32
  // at the 5th: printf rounds them to even.
  EXPECT_EQ(own_fixed(1.0 / 128, 6), "0.007812");
  EXPECT_EQ(own_fixed(3.0 / 128, 6), "0.023438");
  EXPECT_EQ(own_fixed(1.0 / 32, 4), "0.0312");
  EXPECT_EQ(own_fixed(3.0 / 32, 4), "0.0938");
  EXPECT_EQ(own_fixed(0.99999996f, 6), "1.000000");  // carry into the integer part
  EXPECT_EQ(own_fixed(-0.0, 6), "-0.000000");
  EXPECT_EQ(own_fixed(-1e-9, 4), "-0.0000");
  EXPECT_EQ(own_fixed(999.0, 6), "999.000000");
  EXPECT_EQ(own_fixed(-998.0, 6), "-998.000000");
  EXPECT_EQ(own_fixed(5e-324, 6), "0.000000");
  EXPECT_EQ(own_fixed(1e20, 4), "100000000000000000000.0000");
  char buf[12];
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(format_int(buf, -2147483647 - 1))), "-2147483648");
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(format_int(buf, 0))), "0");
}

TEST(FixedFormat, MatchesPrintfOnManyValues) {
  // Relatedness values r and 1 - r over a wide range of magnitudes.
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 20000; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    const double unit = static_cast<double>(state >> 11) / 9007199254740992.0;
    const double scale = std::ldexp(1.0, static_cast<int>(state % 40) - 25);
    const float r = static_cast<float>((unit - 0.5) * scale);
    for (int d : {4, 6}) {
      ASSERT_EQ(own_fixed(r, d), printf_fixed(r, d)) << r;
      ASSERT_EQ(own_fixed(1.0 - r, d), printf_fixed(1.0 - r, d)) << r;
    }
  }
}

}  // namespace
}  // namespace bandscape

namespace bandscape {
namespace {

// Spreading the rows over threads changes nothing: each pair is summed in locus
// order by one thread, so 1, 2 and 7 threads give bit-identical triangles.
TEST(RelatednessThreads, AnyThreadCountGivesTheSameTriangle) {
  const int ntot = 53, m = 37;
  ScoreMatrix scores = score_matrix(0, ntot - 1, 0, m - 1);
  unsigned state = 12345u;
  for (int x = 0; x < ntot; ++x) {
    for (int l = 0; l < m; ++l) {
      state = state * 1103515245u + 12345u;
      const unsigned draw = (state >> 16) % 20u;
      scores[x][l] = draw == 0 ? 9 : static_cast<int>(draw % 2u);
    }
  }
  FVector p = float_vector(0, m - 1), S = float_vector(0, m - 1), VarS = float_vector(0, m - 1);
  compute_overall_freq(scores, ntot, m, p, S, VarS);
  RelatednessTriangle one(ntot), two(ntot), seven(ntot);
  compute_relatedness(scores, ntot, m, S, VarS, one, 1);
  compute_relatedness(scores, ntot, m, S, VarS, two, 2);
  compute_relatedness(scores, ntot, m, S, VarS, seven, 7);
  for (int x = 0; x < ntot; ++x) {
    for (int y = x + 1; y < ntot; ++y) {
      ASSERT_EQ(one.at(x, y), two.at(x, y)) << x << "," << y;
      ASSERT_EQ(one.at(x, y), seven.at(x, y)) << x << "," << y;
    }
  }
}

// Progress of a triangle above the reporting size: 2,000 individuals,
// 1,999,000 pairs, 501 polymorphic loci (1.0015e9 steps).  Stage s ends at the
// first row before which s/50 of the pairs lie; by hand, the first stage takes
// rows 0-20 (20 rows hold 39,790 pairs, 21 rows 41,769 >= 1,999,000/50 =
// 39,980), 2.09% of the pairs.  The calls are the same for any thread count,
// and the triangle is the one computed without progress.
TEST(RelatednessProgress, FiftyStagesThenOneHundredPercentForAnyThreads) {
  const int ntot = 2000, m = 501;
  ScoreMatrix scores = score_matrix(0, ntot - 1, 0, m - 1);
  for (int x = 0; x < ntot; ++x)
    for (int l = 0; l < m; ++l) scores[x][l] = (x * 7 + l * 3) % 5 == 0 ? 9 : (x + l) % 2;
  FVector p = float_vector(0, m - 1), S = float_vector(0, m - 1), VarS = float_vector(0, m - 1);
  compute_overall_freq(scores, ntot, m, p, S, VarS);
  RelatednessTriangle plain(ntot);
  compute_relatedness(scores, ntot, m, S, VarS, plain, 1);
  std::vector<int> first;
  for (int threads : {1, 3}) {
    std::vector<int> calls;
    RelatednessTriangle rel(ntot);
    compute_relatedness(scores, ntot, m, S, VarS, rel, threads, RelatednessKernel::automatic,
                        [&calls](int percent) { calls.push_back(percent); });
    ASSERT_EQ(calls.size(), 51u);
    EXPECT_EQ(calls[0], 0);
    EXPECT_EQ(calls[1], 2);
    EXPECT_EQ(calls.back(), 100);
    for (std::size_t i = 1; i < calls.size(); ++i) {
      EXPECT_GT(calls[i], calls[i - 1]) << i;
      EXPECT_GE(calls[i], 2 * static_cast<int>(i)) << i;  // stage i ends past i/50 of the pairs
    }
    if (first.empty()) first = calls;
    EXPECT_EQ(calls, first) << threads;
    EXPECT_EQ(std::memcmp(plain.row(0), rel.row(0), plain.pair_count() * sizeof(float)), 0) << threads;
  }
  // 500 loci: 1,999,000 pairs x 500 loci is 9.995e8, below the reporting
  // size: no call at all.
  int calls = 0;
  FVector p2 = float_vector(0, 499), S2 = float_vector(0, 499), VarS2 = float_vector(0, 499);
  compute_overall_freq(scores, ntot, 500, p2, S2, VarS2);
  RelatednessTriangle small(ntot);
  compute_relatedness(scores, ntot, 500, S2, VarS2, small, 2, RelatednessKernel::automatic,
                      [&calls](int) { ++calls; });
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace bandscape
