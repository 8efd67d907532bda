// Assignment test against the formula written out in R (clusters_reference.R
// beside this test: leave-one-out band frequencies, 0 and 1 replaced by
// (b + 1) / (n + 2)), a value worked by hand, and the two invariants of
// populations that differ much or not at all.
#include "clusters/assignment.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "clusters/reference_values.hpp"
#include "numeric/keyed_random.hpp"

namespace bandscape {
namespace {

using testing::reference;
using testing::reference_ints;
using testing::reference_scores;

TEST(Assignment, CorrectedFrequency) {
  struct Case {
    int present, scored;
    double f;
  } cases[] = {{0, 4, 1.0 / 6}, {4, 4, 5.0 / 6}, {1, 4, 0.25}, {3, 4, 0.75}, {0, 0, 0.5}, {1, 1, 2.0 / 3}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(corrected_band_frequency(c.present, c.scored), c.f);
}

// Seven individuals (3 + 4) over 4 loci with missing scores, and the 60
// individuals of three populations with 3% missing scores.  By hand, the
// first individual (1 0 1 -) in its own population, whose other members are
// 1 1 0 0 and 1 0 - 1, has f = 3/4 (2 of 2, corrected), 1/2 and 1/3 (0 of 1,
// corrected) at its scored loci: L = ln(3/4) + ln(1 - 1/2) + ln(1/3) = ln(1/8).
TEST(Assignment, EqualToFormula) {
  struct Case {
    const char* name;
    const char* data;
    int individuals, loci;
  } cases[] = {{"small", "small", 7, 4}, {"missing", "missing", 60, 80}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> s = reference_scores(std::string(c.data) + ".scores");
    const std::vector<int> sizes = reference_ints(std::string(c.data) + ".sizes");
    const std::vector<double>& ll = reference(std::string(c.name) + ".assignment_ll");
    for (const int threads : {1, 2}) {
      const AssignmentTest t = assignment_test(band_profiles(s, c.individuals, c.loci), sizes, threads);
      const int r = static_cast<int>(sizes.size());
      ASSERT_EQ(t.log_likelihood.size(), ll.size());
      int correct = 0;
      for (int i = 0; i < c.individuals; ++i) {
        int best = 0;
        for (int p = 0; p < r; ++p) {
          EXPECT_NEAR(t.log_likelihood_of(i, p), ll[i * r + p], 1e-12);
          if (ll[i * r + p] > ll[i * r + best]) best = p;
        }
        EXPECT_EQ(t.assigned[i], best);
        double second = -INFINITY;
        for (int p = 0; p < r; ++p) {
          if (p != best) second = std::max(second, ll[i * r + p]);
        }
        EXPECT_NEAR(t.difference[i], ll[i * r + best] - second, 1e-12);
        correct += best == t.population[i];
      }
      EXPECT_EQ(t.correct, correct);
    }
  }
  const std::vector<std::uint8_t> s = reference_scores("small.scores");
  const AssignmentTest t = assignment_test(band_profiles(s, 7, 4), {3, 4});
  EXPECT_NEAR(t.log_likelihood_of(0, 0), std::log(0.125), 1e-15);
}

// Profiles drawn with band frequency a in the first population and b in the
// second, n individuals each over m loci.
std::vector<std::uint8_t> two_populations(int n, int m, std::uint32_t a, std::uint32_t b) {
  std::vector<std::uint8_t> s;
  KeyedStream stream(stream_key(28, 1, a, b));
  for (int i = 0; i < 2 * n; ++i) {
    for (int l = 0; l < m; ++l) s.push_back(stream.below(100) < (i < n ? a : b) ? 1 : 0);
  }
  return s;
}

// Frequencies 10% against 90%: every individual goes back home, with large
// margins.  The same 50% in both: about half do; leaving the individual out
// of its own population makes home look a little less likely, so the share is
// at or below one half.
TEST(Assignment, Invariants) {
  const std::vector<std::uint8_t> far = two_populations(30, 50, 10, 90);
  const AssignmentTest t = assignment_test(band_profiles(far, 60, 50), {30, 30});
  EXPECT_EQ(t.correct, 60);
  for (const PopulationAssignment& a : t.rates) {
    EXPECT_EQ(a.individuals, 30);
    EXPECT_EQ(a.rate, 1.0);
  }
  for (const double d : t.difference) EXPECT_GT(d, 20.0);

  const std::vector<std::uint8_t> same = two_populations(200, 100, 50, 50);
  const AssignmentTest u = assignment_test(band_profiles(same, 400, 100), {200, 200});
  const double rate = u.correct / 400.0;
  EXPECT_GT(rate, 0.3);
  EXPECT_LT(rate, 0.55);
}

TEST(Assignment, WarningsAndRefusals) {
  const std::vector<std::uint8_t> s = {1, 0, 0, 1, 1, 1};
  const AssignmentTest single = assignment_test(band_profiles(s, 3, 2), {1, 2});
  ASSERT_EQ(single.warnings.size(), 1u);
  // Left out of its own population of one, the first individual meets 1/2 at
  // both loci there: L = 2 ln(1/2).
  EXPECT_DOUBLE_EQ(single.log_likelihood_of(0, 0), 2 * std::log(0.5));
  const AssignmentTest one = assignment_test(band_profiles(s, 3, 2), {3});
  EXPECT_TRUE(std::isnan(one.difference[0]));
  EXPECT_EQ(one.correct, 3);
  EXPECT_THROW(assignment_test(band_profiles(s, 3, 2), {1, 1}), std::invalid_argument);
  EXPECT_THROW(assignment_test(band_profiles(s, 3, 2), {3, 0}), std::invalid_argument);
  const std::vector<std::uint8_t> bad = {1, 3};
  EXPECT_THROW(assignment_test(band_profiles(bad, 2, 1), {2}), std::invalid_argument);
}

}  // namespace
}  // namespace bandscape
