// Grouping of a run's warnings by where they arose (hand-worked cases).
#include "core/run_warnings.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace bandscape {
namespace {

TEST(RunWarnings, GroupedBySourceInTheRunsOrderEachMessageOnceWithItsCount) {
  const std::vector<SourcedWarning> written = {
      {WarningSource::kTrees, "no tree", 0},
      {WarningSource::kPermutations, "negative value for VarL(Hj) for pop 2", 2},
      {WarningSource::kAnalysis, "negative value for VarL(Hj) for pop 2", 2},
      {WarningSource::kPermutations, "negative value for VarL(Hj) for pop 2", 2},
      {WarningSource::kData, "scores beyond the last locus", 0},
      {WarningSource::kPermutations, "negative value for VarL(Hj) for pop 3", 3},
      {WarningSource::kPermutations, "negative value for VarL(Hj) for pop 2", 2},
      // The same text about another population is another message.
      {WarningSource::kPermutations, "negative value for VarL(Hj) for pop 2", 4},
  };
  const std::vector<WarningGroup> groups = group_warnings(written);
  ASSERT_EQ(groups.size(), 4u);  // no bootstraps, no AMOVA
  EXPECT_EQ(groups[0].source, WarningSource::kData);
  EXPECT_EQ(groups[1].source, WarningSource::kAnalysis);
  EXPECT_EQ(groups[2].source, WarningSource::kPermutations);
  EXPECT_EQ(groups[3].source, WarningSource::kTrees);
  ASSERT_EQ(groups[2].messages.size(), 3u);
  const auto expect = [](const WarningCount& w, const std::string& text, int population, int times) {
    EXPECT_EQ(w.text, text);
    EXPECT_EQ(w.population, population);
    EXPECT_EQ(w.times, times);
  };
  expect(groups[2].messages[0], "negative value for VarL(Hj) for pop 2", 2, 3);
  expect(groups[2].messages[1], "negative value for VarL(Hj) for pop 3", 3, 1);
  expect(groups[2].messages[2], "negative value for VarL(Hj) for pop 2", 4, 1);
  expect(groups[1].messages.at(0), "negative value for VarL(Hj) for pop 2", 2, 1);
  EXPECT_TRUE(group_warnings({}).empty());
  const char* keys[] = {"data", "analysis", "permutations", "bootstraps", "amova", "trees"};
  for (int k = 0; k < 6; ++k) EXPECT_STREQ(warning_source_key(static_cast<WarningSource>(k)), keys[k]);
}

}  // namespace
}  // namespace bandscape
