// The locus filters, each on a data set built by hand to trip it, with the
// loci left out and their reasons worked out by hand.
#include "quality/locus_filters.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "quality/quality_inputs.hpp"

namespace bandscape {
namespace {

struct Out {
  int locus;
  LocusFilter reason;
  double value, limit;
};

void expect_selection(const LocusSelection& s, const std::vector<int>& kept, const std::vector<Out>& left_out,
                      const std::string& what) {
  EXPECT_EQ(s.kept, kept) << what;
  ASSERT_EQ(s.left_out.size(), left_out.size()) << what;
  for (std::size_t k = 0; k < left_out.size(); ++k) {
    EXPECT_EQ(s.left_out[k].locus, left_out[k].locus) << what;
    EXPECT_EQ(s.left_out[k].reason, left_out[k].reason) << what;
    const auto same = [](double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; };
    EXPECT_TRUE(same(s.left_out[k].value, left_out[k].value)) << what << " " << s.left_out[k].value;
    EXPECT_TRUE(same(s.left_out[k].limit, left_out[k].limit)) << what << " " << s.left_out[k].limit;
  }
}

TEST(LocusFilters, EachOnADataSetBuiltToTripIt) {
  const double nan = std::nan("");
  // Five individuals; locus columns read down.
  //   L1 1 1 1 0 0: scored 5/5, 3 bands, 2 absent
  //   L2 1 9 0 9 9: scored 2/5, 1 band, 1 absent
  //   L3 1 1 1 1 9: scored 4/5, 4 bands (frequency 1), none absent
  //   L4 never scored
  //   L5 0 1 0 0 0: scored 5/5, 1 band (frequency 0.2), 4 absent
  const ScoreTable table = testing::table_of({"11190", "19191", "10190", "09190", "09990"});
  {
    LocusFilterSettings s;
    s.min_scored = 0.8;  // L2 (0.4) and L4 (0) left out; L3 exactly 0.8 kept
    expect_selection(filter_loci(table, s), {0, 2, 4},
                     {{1, LocusFilter::min_scored, 0.4, 0.8}, {3, LocusFilter::min_scored, 0.0, 0.8}}, "min_scored");
  }
  {
    LocusFilterSettings s;
    s.min_band_frequency = 0.25;  // L5: 1/5 = 0.2 below; L4 undefined
    s.max_band_frequency = 0.9;   // L3: 4/4 = 1 above
    expect_selection(filter_loci(table, s), {0, 1},
                     {{2, LocusFilter::band_frequency, 1.0, 0.9},
                      {3, LocusFilter::band_frequency, nan, 0.25},
                      {4, LocusFilter::band_frequency, 0.2, 0.25}},
                     "band_frequency");
  }
  {
    LocusFilterSettings s;
    s.lm_rule = true;  // absent counts: L1 2, L2 1, L3 0, L4 none scored, L5 4
    expect_selection(filter_loci(table, s), {4},
                     {{0, LocusFilter::lm_rule, 0.4, 0.6},
                      {1, LocusFilter::lm_rule, 0.5, 1.5},
                      {2, LocusFilter::lm_rule, 0.0, 0.75},
                      {3, LocusFilter::lm_rule, nan, nan}},
                     "lm_rule");
  }
  {
    LocusFilterSettings s;
    s.min_reproducibility = 0.95;
    expect_selection(filter_loci(table, s, {1.0, 0.94, 0.95, 0.5, 0.99}), {0, 2, 4},
                     {{1, LocusFilter::reproducibility, 0.94, 0.95}, {3, LocusFilter::reproducibility, 0.5, 0.95}},
                     "reproducibility");
    const LocusSelection none = filter_loci(table, s);
    EXPECT_EQ(none.kept, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(none.warnings,
              std::vector<std::string>{"the data give no reproducibility of the loci: --min-reproducibility not applied"});
  }
  {
    LocusFilterSettings s;
    s.max_locus_error = 0.1;  // NaN: no comparison, kept
    expect_selection(filter_loci(table, s, {}, {0.0, 0.1, 0.25, nan, 0.5}), {0, 1, 3},
                     {{2, LocusFilter::locus_error, 0.25, 0.1}, {4, LocusFilter::locus_error, 0.5, 0.1}}, "error");
  }
  {
    // Several filters: each locus carries the first reason that applies.
    LocusFilterSettings s;
    s.min_scored = 0.5;
    s.lm_rule = true;
    expect_selection(filter_loci(table, s), {4},
                     {{0, LocusFilter::lm_rule, 0.4, 0.6},
                      {1, LocusFilter::min_scored, 0.4, 0.5},
                      {2, LocusFilter::lm_rule, 0.0, 0.75},
                      {3, LocusFilter::min_scored, 0.0, 0.5}},
                     "combined");
  }
  EXPECT_EQ(filter_loci(table, {}).kept, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(LocusFilters, ReasonsAndKeptColumns) {
  EXPECT_EQ(left_out_reason({1, LocusFilter::min_scored, 0.4, 0.8}),
            "scored in a fraction 0.4 of the individuals, below 0.8 (--min-scored)");
  EXPECT_EQ(left_out_reason({0, LocusFilter::lm_rule, 0.4, 0.6}),
            "band-absent phenotype frequency 0.4 below 3/N = 0.6 (--lm-rule, Lynch & Milligan 1994)");
  EXPECT_EQ(left_out_reason({3, LocusFilter::band_frequency, std::nan(""), 0.25}),
            "no individual scored: band frequency undefined (--band-frequency)");
  const ScoreTable table = testing::table_of({"110", "091"});
  const ScoreTable kept = keep_loci(table, {0, 2});
  EXPECT_EQ(kept.loci, (std::vector<std::string>{"L1", "L3"}));
  EXPECT_EQ(kept.scores, (std::vector<std::uint8_t>{1, 0, 0, 1}));
}

}  // namespace
}  // namespace bandscape
