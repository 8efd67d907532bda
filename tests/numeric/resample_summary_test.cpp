// Shell sort, percentile limits and P values of resampled values, and the side
// file of resampled values.
#include "numeric/resample_summary.hpp"
#include "report/classic/permutation_files.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace bandscape {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

FVector make_values(const std::vector<float>& x) {
  FVector v = float_vector(0, static_cast<int>(x.size()) - 1);
  for (int k = 0; k < v.size(); ++k) v[k] = x[k];
  return v;
}

TEST(ShellSort, OrdersAscendingWithNaNLast) {
  // Two elements are swapped when the first is greater.
  float two[] = {0.0f, 2.0f, 1.0f};
  shell_sort(2, two);
  EXPECT_EQ(two[1], 1.0f);
  EXPECT_EQ(two[2], 2.0f);
  // k * 389 mod 1000 scrambles 0..999 (389 is prime to 1000); increments 121..1.
  std::vector<float> a(1001);
  for (int k = 0; k < 1000; ++k) a[k + 1] = static_cast<float>((k * 389) % 1000);
  shell_sort(1000, a.data());
  for (int k = 0; k < 1000; ++k) ASSERT_EQ(a[k + 1], static_cast<float>(k));
  // NaN after every number, infinity included.
  const float inf = std::numeric_limits<float>::infinity();
  float mixed[] = {0.0f, kNaN, 0.5f, inf, kNaN, -1.0f};
  shell_sort(5, mixed);
  EXPECT_EQ(std::vector<float>(mixed + 1, mixed + 4), (std::vector<float>{-1.0f, 0.5f, inf}));
  EXPECT_TRUE(std::isnan(mixed[4]) && std::isnan(mixed[5]));
}

TEST(ResampleSummary, PercentileLimits) {
  // Positions trunc(n c) (+1 for the upper limits, capped at n - 1) with c the
  // float values of 0.025, 0.975, 0.005, 0.995 (python with struct.pack('f')).
  struct Row { int n, k025, k975, k005, k995; };
  const Row rows[] = {{40, 1, 39, 0, 39},    {100, 2, 98, 0, 99},    {199, 4, 195, 0, 198},
                      {200, 5, 196, 0, 199}, {500, 12, 488, 2, 498}, {1000, 25, 976, 4, 996},
                      {1001, 25, 976, 5, 996}, {10000, 250, 9751, 49, 9951}};
  for (const Row& r : rows) {
    const PercentilePositions k = percentile_positions(r.n);
    EXPECT_EQ((std::vector<int>{k.k025, k.k975, k.k005, k.k995}),
              (std::vector<int>{r.k025, r.k975, r.k005, r.k995})) << r.n;
  }
  // Values k / 1000 in reverse order; the limits are read at those positions of
  // the sorted values, and 0 below 40 (95%) and 200 (99%) values.
  auto summary_of = [](int n, FVector& v) {
    v = float_vector(0, n - 1);
    for (int k = 0; k < n; ++k) v[k] = static_cast<float>(n - 1 - k) / 1000.0f;
    ResampleSummary s;
    resample_summary(v, n - 1, s, 0.0f);
    return std::vector<float>{s.lower95, s.upper95, s.lower99, s.upper99};
  };
  FVector v;
  EXPECT_EQ(summary_of(39, v), (std::vector<float>{0.0f, 0.0f, 0.0f, 0.0f}));
  EXPECT_EQ(v[0], 0.0f);  // the caller's vector is left sorted
  EXPECT_EQ(summary_of(40, v), (std::vector<float>{0.001f, 0.039f, 0.0f, 0.0f}));
  EXPECT_EQ(summary_of(199, v), (std::vector<float>{0.004f, 0.195f, 0.0f, 0.0f}));
  EXPECT_EQ(summary_of(1000, v), (std::vector<float>{0.025f, 0.976f, 0.004f, 0.996f}));
}

TEST(ResampleSummary, PValues) {
  // (L + 1) / (n + 1) and (G + 1) / (n + 1) by hand, 0 when the count is 0.
  auto p_values = [](const std::vector<float>& x, float observed) {
    FVector v = make_values(x);
    ResampleSummary s;
    resample_summary(v, v.hi(), s, observed);
    return std::vector<float>{s.p_low, s.p_high};
  };
  EXPECT_EQ(p_values({3.0f, 1.0f, 2.0f}, 0.5f), (std::vector<float>{0.0f, 1.0f}));  // all above
  EXPECT_EQ(p_values({-3.0f, -1.0f, -2.0f}, 0.5f), (std::vector<float>{1.0f, 0.0f}));  // all below
  // Ties count on both sides: 4/5 and 4/5.
  EXPECT_EQ(p_values({0.3f, 0.2f, 0.1f, 0.2f}, 0.2f), (std::vector<float>{0.8f, 0.8f}));
  // One value equal to the observed one: (1 + 1) / 2 twice.
  EXPECT_EQ(p_values({0.05f}, 0.05f), (std::vector<float>{1.0f, 1.0f}));
  // NaN on neither side: L = G = 1 of n = 3, (1 + 1) / 4; a NaN observed value
  // is matched by nothing.
  EXPECT_EQ(p_values({0.1f, kNaN, 0.3f}, 0.2f), (std::vector<float>{0.5f, 0.5f}));
  EXPECT_EQ(p_values({0.1f, kNaN, 0.3f}, kNaN), (std::vector<float>{0.0f, 0.0f}));
}

TEST(ResampleSummary, CountsAndPermutationPNeverZero) {
  // Each row: values, observed, L, G, then (L + 1) / (n + 1) and (G + 1) / (n + 1)
  // by hand; where Table 4's p_low or p_high is 0 the permutation P is 1 / (n + 1).
  struct Case {
    std::vector<float> values;
    float observed;
    int at_most, at_least;
    double p_low, p_high;
  };
  const Case cases[] = {
      {{3.0f, 1.0f, 2.0f}, 0.5f, 0, 3, 0.25, 1.0},
      {{-3.0f, -1.0f, -2.0f}, 0.5f, 3, 0, 1.0, 0.25},
      {{0.3f, 0.2f, 0.1f, 0.2f}, 0.2f, 3, 3, 0.8, 0.8},
      {{0.1f, kNaN, 0.3f}, 0.2f, 1, 1, 0.5, 0.5},
      {{0.1f, kNaN, 0.3f}, kNaN, 0, 0, 0.25, 0.25},
  };
  for (const Case& c : cases) {
    FVector v = make_values(c.values);
    ResampleSummary s;
    resample_summary(v, v.hi(), s, c.observed);
    EXPECT_EQ(s.permutations, static_cast<int>(c.values.size()));
    EXPECT_EQ(s.at_most, c.at_most);
    EXPECT_EQ(s.at_least, c.at_least);
    EXPECT_DOUBLE_EQ(permutation_p(s.at_most, s.permutations), c.p_low);
    EXPECT_DOUBLE_EQ(permutation_p(s.at_least, s.permutations), c.p_high);
  }
  EXPECT_DOUBLE_EQ(permutation_p(0, 999), 0.001);
  EXPECT_TRUE(std::isnan(permutation_p(0, 0)));
}

TEST(ResampleWrite, WholeFileText) {
  testing::TempDir dir;
  BufferedLog log;
  const FVector v = make_values({0.0123f, -0.5f, 0.12345678f, 12.5f});
  // printf by hand: %8.4f of 0.0812f is "  0.0812"; %11.7f of 0.0123f
  // (0.012299999594688416) is "  0.0123000", of 0.12345678f "  0.1234568".
  resample_write("resample.txt", v, 0.0812f, 0, 3, "FST", log);
  EXPECT_EQ(testing::read_file("resample.txt"),
            "Resampled statistics with samplesize : 4\nActual value of FST:\t  0.0812\nFST"
            "\n  0.0123000\n -0.5000000\n  0.1234568\n 12.5000000");
  // A sub-range replaces the previous file; an empty range writes no values.
  resample_write("resample.txt", v, -1.0f, 1, 2, "Fst", log);
  EXPECT_EQ(testing::read_file("resample.txt"),
            "Resampled statistics with samplesize : 2\nActual value of Fst:\t -1.0000\nFst\n -0.5000000\n  0.1234568");
  resample_write("resample.txt", v, 0.0f, 2, 1, "FST", log);
  EXPECT_EQ(testing::read_file("resample.txt"),
            "Resampled statistics with samplesize : 0\nActual value of FST:\t  0.0000\nFST");
  EXPECT_TRUE(log.empty());

  // A file that cannot be created ends the run with the message shown and logged.
  struct RecordingLog : MessageLog {
    std::string echoed, appended;
    void echo(const std::string& text) override { echoed += text; }
    void append(const std::string& text) override { appended += text; }
  } failure_log;
  EXPECT_THROW(resample_write("no_such_dir/resample.txt", v, 0.0f, 0, 3, "FST", failure_log), FatalError);
  EXPECT_EQ(failure_log.echoed, "\ncannot open file in resample_write");
  EXPECT_EQ(failure_log.appended, "");
}

}  // namespace
}  // namespace bandscape
