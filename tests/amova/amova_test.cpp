// AMOVA: tables against R's ade4, the permutation tests and pairwise PhiPT.
// The reference values and data sets in tests/data/amova/ade4_reference.txt
// were made once by tests/amova/ade4_reference.R (ade4 1.7-22).
#include "amova/amova.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>

#include "numeric/keyed_random.hpp"

namespace bandscape {
namespace {

struct Reference {
  std::string name;
  AmovaDesign design;
  ScoreMatrix scores;
  int loci = 0;
  std::vector<double> two, three;
};

std::vector<double> numbers(std::istringstream& in) {
  std::vector<double> v;
  for (double x; in >> x;) v.push_back(x);
  return v;
}

std::vector<Reference> read_file() {
  std::ifstream file(std::string(BANDSCAPE_TEST_DATA) + "/amova/ade4_reference.txt");
  std::vector<Reference> refs;
  std::string line, key;
  while (std::getline(file, line)) {
    std::istringstream in(line);
    in >> key;
    if (key == "dataset") {
      refs.emplace_back();
      in >> refs.back().name;
      continue;
    }
    Reference& r = refs.back();
    if (key == "sizes" || key == "groups") {
      std::vector<int>& v = key == "sizes" ? r.design.population_sizes : r.design.groups;
      for (double x : numbers(in)) v.push_back(static_cast<int>(x));
    } else if (key == "scores") {
      in >> r.loci;
      int n = 0;
      for (int s : r.design.population_sizes) n += s;
      r.scores = score_matrix(0, n - 1, 0, r.loci - 1);
      for (int x = 0; x < n && std::getline(file, line); ++x)
        for (int l = 0; l < r.loci; ++l) r.scores[x][l] = line[static_cast<std::size_t>(l)] - '0';
    } else if (key == "two") {
      r.two = numbers(in);
    } else if (key == "three") {
      r.three = numbers(in);
    }
  }
  return refs;
}

const std::vector<Reference>& references() {
  static const std::vector<Reference> refs = read_file();
  return refs;
}

PackedDistances distances_of(const Reference& r) {
  return band_differences(r.scores, r.scores.rows(), r.loci).distances;
}

// Equal to the bit, NaN included.
bool identical(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

void expect_close(double value, double expected) {
  EXPECT_NEAR(value, expected, 1e-9 * std::max(1.0, std::fabs(expected)));
}

TEST(Amova, TablesMatchAde4) {
  const std::vector<Reference>& refs = references();
  ASSERT_EQ(refs.size(), 4u);
  for (const Reference& r : refs) {
    SCOPED_TRACE(r.name);
    const PackedDistances d = distances_of(r);
    const AmovaTable two = amova_table(d, AmovaDesign{r.design.population_sizes, {}});
    const std::vector<double> got2 = {two.among_populations.ss, two.within_populations.ss, two.among_populations.sigma2,
                                      two.within_populations.sigma2, two.phi_pt};
    for (std::size_t i = 0; i < got2.size(); ++i) expect_close(got2[i], r.two[i]);
    const AmovaTable three = amova_table(d, r.design);
    const std::vector<double> got3 = {three.among_groups.ss,
                                      three.among_populations.ss,
                                      three.within_populations.ss,
                                      three.among_groups.sigma2,
                                      three.among_populations.sigma2,
                                      three.within_populations.sigma2,
                                      three.phi_rt,
                                      three.phi_pr,
                                      three.phi_pt};
    for (std::size_t i = 0; i < got3.size(); ++i) expect_close(got3[i], r.three[i]);
    EXPECT_NEAR(three.among_groups.percent + three.among_populations.percent + three.within_populations.percent, 100.0,
                1e-12);
  }
  // The 14-individual example: populations of 3, 4 | 3, 4, so n = 24/7,
  // n' = 25/7, n'' = 7 (worked by hand from the sizes).
  const AmovaTable t = amova_table(distances_of(refs[0]), refs[0].design);
  EXPECT_EQ(t.among_groups.df, 1);
  EXPECT_EQ(t.among_populations.df, 2);
  EXPECT_EQ(t.within_populations.df, 10);
  EXPECT_EQ(t.total.df, 13);
  expect_close(t.n, 24.0 / 7);
  expect_close(t.n_prime, 25.0 / 7);
  expect_close(t.n_second, 7.0);
  expect_close(t.total.sigma2, 111.0 / 140 + 59.0 / 60 + 13.0 / 15);
}

TEST(Amova, PermutationsAreKeyedBySeedOnly) {
  const Reference& r = references()[1];
  const PackedDistances d = distances_of(r);
  const AmovaResult one = amova(d, r.design, {99, 2024, 1});
  const AmovaResult three = amova(d, r.design, {99, 2024, 3});
  const AmovaResult other_seed = amova(d, r.design, {99, 2025, 3});
  for (auto test : {&AmovaResult::phi_pt, &AmovaResult::sigma2_within, &AmovaResult::phi_pr, &AmovaResult::phi_rt}) {
    ASSERT_EQ((one.*test).permuted.size(), 99u);
    EXPECT_TRUE(identical((one.*test).permuted, (three.*test).permuted));
    EXPECT_NE((one.*test).permuted, (other_seed.*test).permuted);
    EXPECT_EQ((one.*test).p_value,
              permutation_p_value((one.*test).observed, (one.*test).permuted, test == &AmovaResult::sigma2_within));
  }
  EXPECT_EQ(one.phi_pt.observed, one.table.phi_pt);
  // Without permutations there is nothing to count.
  const AmovaResult none = amova(d, r.design, {0, 2024, 1});
  EXPECT_TRUE(none.phi_rt.permuted.empty());
  EXPECT_TRUE(std::isnan(none.phi_rt.p_value));
}

TEST(Amova, PermutedTablesAreTheTablesOfThePermutedSample) {
  // 30 and 1,100 individuals in three populations (small and large enough to
  // be permuted from a square copy or in the stored triangle).  Each permuted
  // PhiPT is replayed from the documented streams as the table of the
  // individuals dealt in that order; integer distances keep the total's sum
  // exact in either order.
  for (const int n : {30, 1100}) {
    const std::vector<int> sizes = {n / 3, n / 3, n - 2 * (n / 3)};
    PackedDistances d(n);
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) d.upper(i, j) = ((i * 7 + j * 13) % 17) + 3.0 * (i * 3 / n != j * 3 / n);
    const AmovaResult got = amova(d, AmovaDesign{sizes, {}}, {6, 3, 2});
    for (int k = 0; k < 6; ++k) {
      KeyedStream stream(stream_key(3, static_cast<std::uint64_t>(PermutedStatistic::phi_pt), 0, k));
      std::vector<int> order(static_cast<std::size_t>(n));
      std::iota(order.begin(), order.end(), 0);
      shuffle(order.data(), n, stream);
      PackedDistances dealt(n);
      for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) dealt.upper(i, j) = d(order[i], order[j]);
      EXPECT_EQ(got.phi_pt.permuted[k], amova_table(dealt, AmovaDesign{sizes, {}}).phi_pt) << n << " " << k;
    }
  }
}

TEST(Amova, PValueCountsTiesWithinTheRelativeTolerance) {
  // Observed 0.3: tolerance 3e-11.  Counted >=: 0.3 - 1e-12, 0.31; not
  // 0.29 nor 0.3 - 6e-11.  Counted <=: all but 0.31.
  const std::vector<double> v = {0.3 - 1e-12, 0.29, 0.31, 0.3 * (1 - 2e-10), std::nan("")};
  EXPECT_DOUBLE_EQ(permutation_p_value(0.3, v), 3.0 / 6);
  EXPECT_DOUBLE_EQ(permutation_p_value(0.3, v, true), 4.0 / 6);
  EXPECT_TRUE(std::isnan(permutation_p_value(std::nan(""), v)));
}

TEST(Amova, FewGroupPartitionsGiveALargePValue) {
  // Four populations in two groups of two can be split into groups in only
  // three ways, so a third of the permutations of populations among groups
  // reproduce the observed split, summed in another order.  With the
  // example's distances in tenths, 186 of those 336 land a few units in the
  // last place below the observed value (P would be 0.151 without the
  // tolerance).  The example's split is the most structured one.  The
  // ties are fixed by the keyed streams, the same on every platform.
  const Reference& r = references()[0];
  const PackedDistances whole = distances_of(r);
  PackedDistances d(14);
  for (int i = 0; i < 14; ++i)
    for (int j = i + 1; j < 14; ++j) d.upper(i, j) = whole(i, j) * 0.1;
  const AmovaResult result = amova(d, r.design, {999, 7, 2});
  int ties = 0, below = 0;
  for (double v : result.phi_rt.permuted) {
    EXPECT_LT(v, result.phi_rt.observed + 1e-9);
    ties += std::fabs(v - result.phi_rt.observed) < 1e-9;
    below += v < result.phi_rt.observed && v > result.phi_rt.observed - 1e-9;
  }
  EXPECT_EQ(ties, 336);
  EXPECT_GT(below, 0);
  EXPECT_EQ(result.phi_rt.p_value, 337 / 1000.0);
}

TEST(Amova, PairwisePhiPTIsTheTwoPopulationAnalysis) {
  const Reference& r = references()[2];
  const PackedDistances d = distances_of(r);
  const PairwisePhiPT one = pairwise_phi_pt(d, r.design, {199, 11, 1});
  const PairwisePhiPT three = pairwise_phi_pt(d, r.design, {199, 11, 3});
  EXPECT_TRUE(identical(one.phi, three.phi));
  EXPECT_TRUE(identical(one.p_value, three.p_value));
  EXPECT_EQ(one.phi_pt(1, 1), 0.0);
  EXPECT_TRUE(std::isnan(one.p(1, 1)));
  // Populations 1 and 3 (5 and 8 individuals, starting at 2 and 10), pair
  // number 7, analysed on their own: PhiPT, and its P value replayed from the
  // documented streams, each permutation shuffling the pair's 13 individuals.
  const auto subset = [&d](const std::vector<int>& member) {
    PackedDistances pair(13);
    for (int i = 0; i < 13; ++i)
      for (int j = i + 1; j < 13; ++j) pair.upper(i, j) = d(member[i], member[j]);
    return amova_table(pair, AmovaDesign{{5, 8}, {}}).phi_pt;
  };
  const std::vector<int> member = {2, 3, 4, 5, 6, 10, 11, 12, 13, 14, 15, 16, 17};
  EXPECT_NEAR(one.phi_pt(3, 1), subset(member), 1e-14);
  EXPECT_EQ(one.phi_pt(1, 3), one.phi_pt(3, 1));
  std::vector<double> permuted;
  for (int k = 0; k < 199; ++k) {
    KeyedStream stream(stream_key(11, static_cast<std::uint64_t>(PermutedStatistic::pairwise_phi_pt), 7, k));
    std::vector<int> shuffled = member;
    shuffle(shuffled.data(), 13, stream);
    permuted.push_back(subset(shuffled));
  }
  EXPECT_EQ(one.p(1, 3), permutation_p_value(one.phi_pt(1, 3), permuted));
  EXPECT_LT(one.p(1, 3), 0.1);
}

TEST(Amova, WithinSumsAddEachRowInOrder) {
  // Populations of 1..9 and 37 individuals on distances with many bits
  // (sqrt of 2..), where the order of additions shows in the last bits:
  // SS within populations equals, bit for bit, the sum over populations of
  // (sum over i of (sum over j > i of d(i, j), j in order), i in order) / N_p.
  // Without and with a population of 1,000 (a sample small enough to be
  // summed from a square copy, and one read from the stored triangle).
  for (const bool large : {false, true}) {
    std::vector<int> sizes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 37};
    if (large) sizes.push_back(1000);
    int n = 0;
    for (int size : sizes) n += size;
    PackedDistances d(n);
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) d.upper(i, j) = std::sqrt(2.0 + i * 31 + j * 17) * 1e3;
    double want = 0.0;
    int first = 0;
    for (int size : sizes) {
      double total = 0.0;
      for (int i = first; i + 1 < first + size; ++i) {
        double row = 0.0;
        for (int j = i + 1; j < first + size; ++j) row += d(i, j);
        total += row;
      }
      want += total / size;
      first += size;
    }
    const AmovaTable t = amova_table(d, AmovaDesign{sizes, {}});
    EXPECT_EQ(std::memcmp(&want, &t.within_populations.ss, sizeof want), 0) << want << " " << t.within_populations.ss;
  }
}

TEST(Amova, PairwisePValuesAreThePairsOwnAnalysisOnSmallAndLargePopulations) {
  // Three populations of 5, 600 and 500 individuals (blocks of sizes around
  // and far above the four rows the sums take at a time).  Each P value is
  // replayed from the documented streams with the pair analysed on its own.  Distances: a
  // deterministic pattern with a population effect, so that P varies.
  const std::vector<int> sizes = {5, 600, 500};
  const int n = 1105;
  std::vector<int> population(n);
  for (int i = 0; i < n; ++i) population[i] = i < 5 ? 0 : (i < 605 ? 1 : 2);
  PackedDistances d(n);
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) d.upper(i, j) = ((i * 7 + j * 13) % 17) + 3.0 * (population[i] != population[j]);
  constexpr int kPermutations = 130;  // across a task of 128 permutations
  const PairwisePhiPT got = pairwise_phi_pt(d, AmovaDesign{sizes, {}}, {kPermutations, 5, 3});
  int number = 0;
  for (int p = 0; p < 3; ++p)
    for (int q = p + 1; q < 3; ++q, ++number) {
      std::vector<int> member;
      for (int i = 0; i < n; ++i)
        if (population[i] == p) member.push_back(i);
      for (int i = 0; i < n; ++i)
        if (population[i] == q) member.push_back(i);
      const int m = static_cast<int>(member.size());
      const auto phi = [&](const std::vector<int>& order) {
        PackedDistances pair(m);
        for (int i = 0; i < m; ++i)
          for (int j = i + 1; j < m; ++j) pair.upper(i, j) = d(order[i], order[j]);
        return amova_table(pair, AmovaDesign{{sizes[p], sizes[q]}, {}}).phi_pt;
      };
      std::vector<double> permuted;
      for (int k = 0; k < kPermutations; ++k) {
        KeyedStream stream(stream_key(5, static_cast<std::uint64_t>(PermutedStatistic::pairwise_phi_pt), number, k));
        std::vector<int> shuffled = member;
        shuffle(shuffled.data(), m, stream);
        permuted.push_back(phi(shuffled));
      }
      EXPECT_EQ(got.p(p, q), permutation_p_value(got.phi_pt(p, q), permuted)) << p << "," << q;
    }
}

}  // namespace
}  // namespace bandscape
