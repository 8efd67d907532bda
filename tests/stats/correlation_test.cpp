// Fragment size against band frequency: mean and S.D. of the sizes, Pearson
// correlation with its t-test P-value, and the incomplete beta function.
#include "stats/correlation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace bandscape {
namespace {

// Records what a routine reports, marking echoed texts.
class RecordingLog : public MessageLog {
 public:
  void echo(const std::string& text) override { lines += "[echo]" + text; }
  void append(const std::string& text) override { lines += "[log]" + text; }
  std::string lines;
};

// Expected means and S.D.s from a python3 script that sums in float32
// (struct.pack after each addition) and forms the deviations in double.
TEST(MeanSd, SizesOfFragments) {
  float mean = -1, sd = -1;
  const float four[] = {100, 200, 300, 400};
  compute_mean_sd(four, 4, mean, sd);
  EXPECT_EQ(mean, 250.0f);
  EXPECT_EQ(sd, 129.0994415283203f);  // sqrt(50000 / 3)
  EXPECT_EQ(format("\nMean fragment size : %10.2f (S.D. %10.2f)", mean, sd),
            "\nMean fragment size :     250.00 (S.D.     129.10)");

  const float with_zeros[] = {0, 0, 300};  // zeros take part
  compute_mean_sd(with_zeros, 3, mean, sd);
  EXPECT_EQ(mean, 100.0f);
  EXPECT_EQ(sd, 173.205078125f);  // sqrt(30000)

  // 2^24 + 1 + 1 stays 2^24 in single precision: the mean is 2^24 / 3
  // (5592405.5 as a float), not 16777218 / 3 = 5592406.
  const float absorbing[] = {16777216, 1, 1};
  compute_mean_sd(absorbing, 3, mean, sd);
  EXPECT_EQ(mean, 5592405.5f);
  EXPECT_EQ(sd, 9686330.0f);
}

TEST(MeanSd, OneValueAndNoValue) {
  float mean = -1, sd = -1;
  const float one[] = {123.5f};
  compute_mean_sd(one, 1, mean, sd);
  EXPECT_EQ(mean, 123.5f);
  EXPECT_EQ(sd, 0.0f);
  compute_mean_sd(one, 0, mean, sd);
  EXPECT_EQ(mean, 0.0f);
  EXPECT_EQ(sd, 0.0f);
}

// sizes 1..m and pooled 0..m-1 filled from two lists.
struct Loci {
  FVector sizes;
  FVector pooled;
  explicit Loci(std::initializer_list<float> x, std::initializer_list<float> y)
      : sizes(float_vector(1, static_cast<int>(x.size()))), pooled(float_vector(0, static_cast<int>(y.size()) - 1)) {
    int i = 1;
    for (float v : x) sizes[i++] = v;
    i = 0;
    for (float v : y) pooled[i++] = v;
  }
  int m() const { return sizes.size(); }
};

TEST(SizeFrequencyCorrelation, NegativeCorrelationAndItsPValue) {
  // r and P from a python3 script: sums in double over the float inputs,
  // t = r sqrt(df / (1 - r^2)), P = I_{df/(df+t^2)}(df/2, 1/2) by a double
  // continued fraction with math.lgamma.  P(t = -6.56, 5 df) = 0.0012147.
  Loci l({150, 210, 260, 330, 400, 455, 520}, {0.62f, 0.55f, 0.58f, 0.41f, 0.37f, 0.30f, 0.33f});
  RecordingLog log;
  float r = 0, prob = 0;
  EXPECT_EQ(correlate_size_freq(l.sizes, l.pooled, l.m(), r, prob, log), 7);
  EXPECT_EQ(r, -0.9468626379966736f);
  EXPECT_EQ(format("\nThe correlation between fragment sizes and frequencies is : %10.4f (P-value %10.5f)", r, prob),
            "\nThe correlation between fragment sizes and frequencies is :    -0.9469 (P-value    0.00121)");
  EXPECT_EQ(log.lines, "");
}

TEST(SizeFrequencyCorrelation, ZeroSizesAndZeroFrequenciesAreLeftOut) {
  // Without loci 2 (size 0) and 4 (frequency 0) the pairs lie exactly on
  // y = x / 800, all values exact binary fractions: r = 1 and P = 0 (t is
  // infinite, the beta argument 0).
  Loci l({100, 0, 200, 300, 400, 500}, {0.125f, 0.9f, 0.25f, 0.0f, 0.5f, 0.625f});
  RecordingLog log;
  float r = 0, prob = -1;
  EXPECT_EQ(correlate_size_freq(l.sizes, l.pooled, l.m(), r, prob, log), 4);
  EXPECT_EQ(r, 1.0f);
  EXPECT_EQ(prob, 0.0f);

  Loci down({100, 200, 300, 400}, {0.5f, 0.375f, 0.25f, 0.125f});
  EXPECT_EQ(correlate_size_freq(down.sizes, down.pooled, down.m(), r, prob, log), 4);
  EXPECT_EQ(r, -1.0f);
  EXPECT_EQ(prob, 0.0f);
  EXPECT_EQ(log.lines, "");
}

TEST(SizeFrequencyCorrelation, FewerThanThreeLociGiveNoTest) {
  Loci l({100, 0, 300}, {0.2f, 0.4f, 0.7f});
  RecordingLog log;
  float r = 5, prob = 5;
  EXPECT_EQ(correlate_size_freq(l.sizes, l.pooled, l.m(), r, prob, log), 2);
  EXPECT_EQ(r, 0.0f);
  EXPECT_EQ(prob, 0.0f);
  EXPECT_EQ(log.lines, "");
}

// The continued fraction runs in single precision to a relative accuracy of
// 3e-7, so values are checked to a few units of the last float digit.
TEST(IncompleteBeta, ClosedFormsAndKnownValues) {
  RecordingLog log;
  EXPECT_NEAR(betai(1, 1, 0.3f, log), 0.3f, 1e-6);                      // I_x(1,1) = x
  EXPECT_NEAR(betai(2.5f, 1, 0.6f, log), 0.278854800926934, 1e-6);      // I_x(a,1) = x^a
  EXPECT_NEAR(betai(1, 0.5f, 0.75f, log), 0.5, 1e-6);                   // I_x(1,b) = 1 - (1-x)^b
  EXPECT_NEAR(betai(0.5f, 0.5f, 0.25f, log), 1.0 / 3.0, 1e-6);          // (2/pi) asin(sqrt x)
  EXPECT_NEAR(betai(4, 4, 0.5f, log), 0.5, 1e-6);                       // symmetric at 1/2
  // Values of a double-precision continued fraction with math.lgamma (python3).
  EXPECT_NEAR(betai(3, 5, 0.3f, log), 0.3529305, 1e-6);
  EXPECT_NEAR(betai(0.5f, 4, 0.9f, log), 0.9999714888513697, 1e-6);
  EXPECT_NEAR(betai(10, 0.5f, 0.2f, log) / 1.994982493613099e-08, 1.0, 1e-5);
  EXPECT_EQ(betai(3, 5, 0.0f, log), 0.0f);  // the front factor vanishes at the ends
  EXPECT_EQ(betai(3, 5, 1.0f, log), 1.0f);
  EXPECT_EQ(log.lines, "");
}

TEST(IncompleteBeta, Symmetry) {
  // I_x(a, b) = 1 - I_{1-x}(b, a), from either side of the switch point
  // x = (a + 1) / (a + b + 2).
  RecordingLog log;
  const float cases[][3] = {{3, 5, 0.3f}, {2.5f, 0.5f, 0.8f}, {0.5f, 7, 0.05f}, {12, 9, 0.6f}};
  for (const auto& c : cases) {
    EXPECT_NEAR(betai(c[0], c[1], c[2], log), 1.0 - betai(c[1], c[0], 1.0f - c[2], log), 1e-6)
        << c[0] << " " << c[1] << " " << c[2];
  }
}

TEST(IncompleteBeta, ReportsBadArgumentAndNonConvergence) {
  RecordingLog log;
  betai(2, 3, -0.5f, log);
  EXPECT_EQ(log.lines, "[echo]Error in betai: bad value of x = -0.50000 ");
  log.lines.clear();
  betai(2, 3, 1.5f, log);
  EXPECT_EQ(log.lines, "[echo]Error in betai: bad value of x = 1.50000 ");
  log.lines.clear();
  EXPECT_EQ(betai(2, 3, -0.0f, log), 0.0f);  // negative zero is not an error
  EXPECT_EQ(log.lines, "");
  // With a = b = 1e5 the fraction needs about sqrt(a) > 100 iterations
  // around x = 1/2; the current value is returned all the same.
  const float h = betacf(1e5f, 1e5f, 0.5f, log);
  EXPECT_EQ(log.lines, "[echo]Error in betacf: a or b too big, or MAXIT too small");
  EXPECT_TRUE(std::isfinite(h));
}

}  // namespace
}  // namespace bandscape
