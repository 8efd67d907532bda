// The cells of the population ordinations follow the report's printing rules
// for the distance blocks (hand-worked values).
#include "report/amova_results.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace bandscape {
namespace {

TEST(OrdinationCell, ReportRulesForNeiFstAndReynolds) {
  // Nei and Fst: the stored value; 999 undefined; a negative value is 0.
  EXPECT_EQ(ordination_cell(0.25f, false), 0.25);
  EXPECT_TRUE(std::isnan(ordination_cell(999.0f, false)));
  EXPECT_EQ(ordination_cell(-0.0125f, false), 0.0);
  // Reynolds from the stored Fst: -ln(1 - 0.5) = ln 2; negative Fst gives 0;
  // Fst of 1 or more and the 999 mark are undefined.
  EXPECT_DOUBLE_EQ(ordination_cell(0.5f, true), std::log(2.0));
  EXPECT_EQ(ordination_cell(-0.0125f, true), 0.0);
  EXPECT_TRUE(std::isnan(ordination_cell(1.0f, true)));
  EXPECT_TRUE(std::isnan(ordination_cell(999.0f, true)));
}

}  // namespace
}  // namespace bandscape
