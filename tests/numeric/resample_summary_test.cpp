// Shell sort, percentile limits and P values of resampled values, and the
// side file of resampled values.
#include "numeric/resample_summary.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace bandscape {
namespace {

// values[0..n-1] = value(k).
template <class Fn>
FVector make_values(int n, Fn value) {
  FVector v = vector(0, n - 1);
  for (int k = 0; k < n; ++k) v[k] = value(k);
  return v;
}

TEST(ShellSort, OrdersAscendingWithNaNLast) {
  // One element: untouched; two: swapped when the first is greater.
  float one[] = {0.0f, 3.0f};
  shell_sort(1, one);
  EXPECT_EQ(one[1], 3.0f);
  float two[] = {0.0f, 2.0f, 1.0f};
  shell_sort(2, two);
  EXPECT_EQ(two[1], 1.0f);
  EXPECT_EQ(two[2], 2.0f);

  // 1000 values in a scrambled order (k * 389 mod 1000 is a bijection) sort to
  // 0..999; the run uses the increments 121, 40, 13, 4, 1.
  std::vector<float> a(1001);
  for (int k = 0; k < 1000; ++k) a[k + 1] = static_cast<float>((k * 389) % 1000);
  shell_sort(1000, a.data());
  for (int k = 0; k < 1000; ++k) ASSERT_EQ(a[k + 1], static_cast<float>(k));

  // NaN sorts after every number, infinities included.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  float mixed[] = {0.0f, nan, 0.5f, inf, nan, -1.0f, 0.25f};
  shell_sort(6, mixed);
  EXPECT_EQ(mixed[1], -1.0f);
  EXPECT_EQ(mixed[2], 0.25f);
  EXPECT_EQ(mixed[3], 0.5f);
  EXPECT_EQ(mixed[4], inf);
  EXPECT_TRUE(std::isnan(mixed[5]));
  EXPECT_TRUE(std::isnan(mixed[6]));
}

TEST(ResampleSummary, PercentilePositions) {
  // trunc(n * c) with c the float values of 0.025, 0.975, 0.005 and 0.995 and
  // one added to the upper ones (python script with struct.pack('f')).
  // The 0.005 position is one short for multiples of 200: float(0.005) < 0.005.
  struct Row { int n, k025, k975, k005, k995; };
  const Row rows[] = {{40, 1, 39, 0, 39},         {100, 2, 98, 0, 99},      {199, 4, 195, 0, 198},
                      {200, 5, 196, 0, 199},      {500, 12, 488, 2, 498},   {1000, 25, 976, 4, 996},
                      {1001, 25, 976, 5, 996},    {10000, 250, 9751, 49, 9951}};
  for (const Row& r : rows) {
    const PercentilePositions k = percentile_positions(r.n);
    EXPECT_EQ(k.k025, r.k025) << r.n;
    EXPECT_EQ(k.k975, r.k975) << r.n;
    EXPECT_EQ(k.k005, r.k005) << r.n;
    EXPECT_EQ(k.k995, r.k995) << r.n;
  }
}

TEST(ResampleSummary, LimitsFollowTheSampleSize) {
  // Values k / 1000 stored in reverse order, so the sort matters; the limits are
  // the values at the positions of the index table above.
  auto reversed = [](int n) { return make_values(n, [n](int k) { return static_cast<float>(n - 1 - k) / 1000.0f; }); };
  ResampleSummary s;

  FVector v39 = reversed(39);
  resample_summary(v39, 38, s, 0.0f);
  EXPECT_EQ(s.lower95, 0.0f);
  EXPECT_EQ(s.upper95, 0.0f);
  EXPECT_EQ(s.lower99, 0.0f);
  EXPECT_EQ(s.upper99, 0.0f);
  EXPECT_EQ(v39[0], 0.0f);  // the caller's vector is left sorted
  EXPECT_EQ(v39[38], 0.038f);

  FVector v40 = reversed(40);
  resample_summary(v40, 39, s, 0.0f);
  EXPECT_EQ(s.lower95, 0.001f);  // second smallest
  EXPECT_EQ(s.upper95, 0.039f);  // largest
  EXPECT_EQ(s.lower99, 0.0f);

  FVector v199 = reversed(199);
  resample_summary(v199, 198, s, 0.0f);
  EXPECT_EQ(s.lower95, 0.004f);
  EXPECT_EQ(s.upper95, 0.195f);
  EXPECT_EQ(s.lower99, 0.0f);
  EXPECT_EQ(s.upper99, 0.0f);

  FVector v1000 = reversed(1000);
  resample_summary(v1000, 999, s, 0.0f);
  EXPECT_EQ(s.lower95, 0.025f);
  EXPECT_EQ(s.upper95, 0.976f);
  EXPECT_EQ(s.lower99, 0.004f);  // fifth smallest
  EXPECT_EQ(s.upper99, 0.996f);
}

TEST(ResampleSummary, PValues) {
  // Quotients (L + 1) / (n + 1) and (G + 1) / (n + 1) by hand, stored as float.
  ResampleSummary s;
  FVector all_above = make_values(10, [](int k) { return 1.0f + k; });
  resample_summary(all_above, 9, s, 0.5f);
  EXPECT_EQ(s.p_low, 0.0f);
  EXPECT_EQ(s.p_high, 1.0f);  // (10 + 1) / 11

  FVector all_below = make_values(10, [](int k) { return -1.0f - k; });
  resample_summary(all_below, 9, s, 0.5f);
  EXPECT_EQ(s.p_low, 1.0f);
  EXPECT_EQ(s.p_high, 0.0f);

  // Ties count on both sides: 0.1, 0.2, 0.2, 0.3 with observed 0.2 gives 4/5 twice.
  FVector ties = vector(0, 3);
  ties[0] = 0.3f;
  ties[1] = 0.2f;
  ties[2] = 0.1f;
  ties[3] = 0.2f;
  resample_summary(ties, 3, s, 0.2f);
  EXPECT_EQ(s.p_low, 0.8f);
  EXPECT_EQ(s.p_high, 0.8f);

  // A single value equal to the observed one: (1 + 1) / 2 on both sides.
  FVector single = make_values(1, [](int) { return 0.05f; });
  resample_summary(single, 0, s, 0.05f);
  EXPECT_EQ(s.p_low, 1.0f);
  EXPECT_EQ(s.p_high, 1.0f);

  // NaN counts on neither side: values 0.1, NaN, 0.3 with observed 0.2 give
  // L = 1, G = 1, both (1 + 1) / (3 + 1) = 0.5; a NaN observed value gives 0, 0.
  FVector with_nan = vector(0, 2);
  with_nan[0] = 0.1f;
  with_nan[1] = std::numeric_limits<float>::quiet_NaN();
  with_nan[2] = 0.3f;
  resample_summary(with_nan, 2, s, 0.2f);
  EXPECT_EQ(s.p_low, 0.5f);
  EXPECT_EQ(s.p_high, 0.5f);
  EXPECT_TRUE(std::isnan(with_nan[2]));
  resample_summary(with_nan, 2, s, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(s.p_low, 0.0f);
  EXPECT_EQ(s.p_high, 0.0f);
}

TEST(ResampleWrite, WholeFileText) {
  testing::TempDir dir;
  BufferedLog log;
  FVector v = vector(0, 3);
  v[0] = 0.0123f;
  v[1] = -0.5f;
  v[2] = 0.12345678f;
  v[3] = 12.5f;
  // printf by hand: %8.4f of 0.0812 is "  0.0812", %11.7f of 0.0123f
  // (0.012299999594688416) is "  0.0123000", of 0.12345678f is "  0.1234568".
  resample_write("resample.txt", v, 0.0812f, 0, 3, "FST", log);
  EXPECT_EQ(testing::read_file("resample.txt"),
            "Resampled statistics with samplesize : 4"
            "\nActual value of FST:\t  0.0812"
            "\nFST"
            "\n  0.0123000"
            "\n -0.5000000"
            "\n  0.1234568"
            "\n 12.5000000");
  EXPECT_TRUE(log.empty());

  // A sub-range, written over the previous file; an empty range writes no values.
  resample_write("resample.txt", v, -1.0f, 1, 2, "Fst", log);
  EXPECT_EQ(testing::read_file("resample.txt"),
            "Resampled statistics with samplesize : 2\nActual value of Fst:\t -1.0000\nFst\n -0.5000000\n  0.1234568");
  resample_write("resample.txt", v, 0.0f, 2, 1, "FST", log);
  EXPECT_EQ(testing::read_file("resample.txt"),
            "Resampled statistics with samplesize : 0\nActual value of FST:\t  0.0000\nFST");

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
