// The values of Tables 1 to 3 through the three writers that show them: the
// report prints the 999 mark of an undefined variance and what it derives
// from it, the results folder writes NA and the page "undefined".  Expected
// numbers worked by hand (noted at each).
#include "stats/diversity_tables.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "report/classic/classic_tables.hpp"
#include "report/page/summary_page.hpp"
#include "report/tables/results_tables.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::read_file;
using testing::TempDir;

// Population "A&B": 80 loci with data, Var(Hj) 0.0004 of which 0.0001 from
// individuals; population "one": a single locus with data, so Var(Hj) is the
// mark 999 and VarL(Hj) = 999 - 0.002 as stored.
std::vector<PopulationDiversity> two_populations() {
  StatisticsWorkspace w(2, 1);
  const int nbar[] = {12, 16}, loci[] = {80, 1};
  const float Hj[] = {0.234567f, 0.4f}, VarHj[] = {0.0004f, 999.0f}, VarIHj[] = {0.0001f, 0.002f},
              VarLHj[] = {0.0003f, 998.998f};
  for (int j = 1; j <= 2; ++j) {
    w.nbar[j] = nbar[j - 1];
    w.L[j] = loci[j - 1];
    w.Hj[j] = Hj[j - 1];
    w.VarHj[j] = VarHj[j - 1];
    w.VarIHj[j] = VarIHj[j - 1];
    w.VarLHj[j] = VarLHj[j - 1];
  }
  IVector polymorphic = int_vector(1, 2), percent_bounds = int_vector(0, 2);
  FVector percent = float_vector(1, 2);
  polymorphic[1] = 61, polymorphic[2] = 1;
  percent[1] = 76.25f, percent[2] = 100.0f;
  percent_bounds[0] = 0, percent_bounds[1] = 12, percent_bounds[2] = 29;
  return population_diversity(2, w, polymorphic, percent, {12.0, 16.52}, percent_bounds);
}

TEST(DiversityTables, OneLocusPopulationIsMarkedInTheReportAndUndefinedInTheFolderAndOnThePage) {
  TempDir dir;
  const std::vector<PopulationDiversity> rows = two_populations();
  NameList keys = name_list(1, 2);
  keys[1] = "A&B", keys[2] = "one";

  // S.E. sqrt(999) = 31.60696, VarI% 100 * 0.002 / 999 = 0.0, VarL% 100 *
  // 998.997986 / 999 = 100.0: what the report has always printed.
  ASSERT_EQ(write_population_table("report.txt", keys, rows), 0);
  const std::string report = read_file("report.txt");
  EXPECT_NE(report.find("\n       A&B   12   80     61     76.2 0.23457   0.02000  0.000400  0.000100    25.0  "
                        "0.000300    75.0"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("\n       one   16    1      1    100.0 0.40000  31.60696999.000000  0.002000     0.0"
                        "998.997986   100.0"),
            std::string::npos)
      << report;

  // Single-precision values to 9 significant digits, double ones to 17, so
  // that each reads back as the number computed: S.E. sqrt(0.0004f), VarL%
  // 100 * 0.0003f / 0.0004f.
  write_populations_table(".", keys, rows);
  EXPECT_EQ(read_file("populations.tsv"),
            "population\tindividuals\tn\tloci\tpolymorphic_loci\tplp\tHj\tse_Hj\tVarHj\tVarI_Hj\tVarI_percent\tVarL_Hj\t"
            "VarL_percent\n"
            "A&B\t12\t12\t80\t61\t76.25\t0.234567001\t0.01999999974737875\t0.00039999999\t9.99999975e-05\t25\t"
            "0.000300000014\t75.000005456968353\n"
            "one\t17\t16.52\t1\t1\t100\t0.400000006\tNA\tNA\t0.00200000009\tNA\tNA\tNA\n");

  const HtmlTable page = population_html_table({"A&B", "one"}, rows);
  EXPECT_EQ(page.rows[0], (std::vector<std::string>{"A&B", "12.00", "80", "61", "76.2", "0.23457", "0.02000",
                                                    "0.000400", "0.000100", "25.0", "0.000300", "75.0"}));
  EXPECT_EQ(page.rows[1], (std::vector<std::string>{"one", "16.52", "1", "1", "100.0", "0.40000", "undefined",
                                                    "undefined", "0.002000", "undefined", "undefined", "undefined"}));
}

TEST(DiversityTables, StructureStandardErrorsAndSharesAsPrintedAndAsNumbers) {
  StatisticsWorkspace w(4, 1);
  w.VarHj.fill(0.001f);
  w.nPair.fill(3);  // every pair shares loci: Var(Hb) is computed, not marked
  // Var(Hw) 0.0016: S.E. 0.04, shares 25, 50 and 25 percent.  A negative
  // Var(Hb) has S.E. 0 in both forms; an Fst of 999 is undefined as a number.
  const StructureTable t =
      structure_table(4, {0.2f, 0.0016f, 0.0004f, 0.0008f, 0.0004f, 0.25f, -0.0001f, 0.3f, 999.0f, 999.0f}, w);
  EXPECT_DOUBLE_EQ(t.printed_shares.se_Hw, std::sqrt(static_cast<double>(0.0016f)));
  EXPECT_EQ(t.printed_shares.se_Hb, 0.0);
  EXPECT_DOUBLE_EQ(t.printed_shares.se_Fst, std::sqrt(999.0));
  EXPECT_TRUE(std::isnan(t.defined.Fst));
  EXPECT_TRUE(std::isnan(t.defined_shares.se_Fst));
  EXPECT_EQ(t.defined_shares.se_Hb, 0.0);

  const HtmlTable t2 = within_diversity_html_table(t);
  EXPECT_EQ(t2.rows[0], (std::vector<std::string>{"Estimate", "4", "0.2000", "0.04000", "0.001600", "0.000400",
                                                  "0.000800", "0.000400"}));
  EXPECT_EQ(t2.rows[1], (std::vector<std::string>{"Percent of Var(Hw)", "", "", "", "", "25.00", "50.00", "25.00"}));
  const HtmlTable t3 = structure_html_table(t);
  EXPECT_EQ(t3.rows[0], (std::vector<std::string>{"Estimate", "4", "0.3000", "0.2000", "0.2500", "undefined"}));
  EXPECT_EQ(t3.rows[1], (std::vector<std::string>{"S.E.", "", "", "0.040000", "0.000000", "undefined"}));
  EXPECT_EQ(t3.rows[2], (std::vector<std::string>{"Var", "", "", "0.001600", "-0.000100", "undefined"}));

  // A Var(Hw) of 0: the report prints shares of 0, the numbers have none (0/0).
  const StructureTable zero = structure_table(4, {0.2f, 0.0f, 0.0f, 0.0f, 0.0f, 0.25f, 0.0f, 0.3f, 0.1f, 0.0f}, w);
  EXPECT_EQ(zero.printed_shares.VarI_percent, 0.0);
  EXPECT_TRUE(std::isnan(zero.defined_shares.VarI_percent));
}

}  // namespace
}  // namespace bandscape
