// Progress in fiftieths of a step.  Expected calls worked by hand: a call
// comes when count * 50 reaches the next multiple of the total, with
// floor(100 * count / total).
#include "core/progress.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace bandscape {
namespace {

std::vector<int> calls_for(long long total, long long counted) {
  std::vector<int> calls;
  ProgressSteps steps(total, [&calls](int percent) { calls.push_back(percent); });
  for (long long count = 1; count <= counted; ++count) steps.done(count);
  return calls;
}

TEST(ProgressSteps, OneCallPerFiftiethPassedAtMostFiftyTheLastAtOneHundred) {
  // 7 items: each passes at least one fiftieth (1/7 > 7/50).
  EXPECT_EQ(calls_for(7, 7), (std::vector<int>{14, 28, 42, 57, 71, 85, 100}));
  // 1,000 items: one call each 20 items.
  std::vector<int> every_second;
  for (int p = 2; p <= 100; p += 2) every_second.push_back(p);
  EXPECT_EQ(calls_for(1000, 1000), every_second);
  // 99 items: 2% is passed at item 2 (100/99 < 2 <= 200/99), 4% at item 4...
  const std::vector<int> ninety_nine = calls_for(99, 99);
  ASSERT_EQ(ninety_nine.size(), 50u);
  EXPECT_EQ(ninety_nine[0], 2);
  EXPECT_EQ(ninety_nine[1], 4);
  EXPECT_EQ(ninety_nine.back(), 100);
  // Nothing without a total or without a report.
  EXPECT_TRUE(calls_for(0, 5).empty());
  ProgressSteps silent(10, {});
  silent.done(10);
}

}  // namespace
}  // namespace bandscape
