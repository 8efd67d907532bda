// The replicate and distance tables on small tables worked by hand.
#include "report/tables/quality_tables.hpp"

#include <gtest/gtest.h>

#include <string>

#include "quality/quality_inputs.hpp"
#include "stats/binary_coefficients.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

// i1 and i2 replicate A: loci 1, 2, 4 scored in both, locus 2 differs (1 of
// 3); locus 3 missing in i2: no comparison, NA.  A name holding a tab is
// quoted, as in every table of the results folder.
TEST(QualityTables, ReplicatePairsAndLoci) {
  ScoreTable table = testing::table_of({"1101", "1091", "0000"});
  table.individuals = {"A r1", "A\tr2", "B"};
  const ReplicateErrors errors = replicate_errors(table, {{"A", {0, 1}}});
  EXPECT_EQ(replicates_tsv_text(table, errors),
            "individual\tsample_a\tsample_b\tcomparisons\tmismatches\terror_rate\n"
            "A\tA r1\t\"A\tr2\"\t3\t1\t0.33333333333333331\n");
  EXPECT_EQ(replicate_loci_tsv_text(table, errors),
            "locus\tcomparisons\tmismatches\terror_rate\n"
            "L1\t1\t0\t0\n"
            "L2\t1\t1\t1\n"
            "L3\t0\t0\tNA\n"
            "L4\t1\t0\t0\n");
}

// Jaccard: i1-i2 a=1, b=1, c=0: 0.5; every other pair with i1 or i2 a=0,
// b>0: 1; i3-i4 no band in either on the loci scored in both: NA.
TEST(QualityTables, IndividualDistances) {
  const testing::TempDir folder;
  write_individual_distances(".", {"i1", "i2", "i3", "i4"},
                             coefficient_distances(testing::scores_from({"110", "100", "000", "090"}), 4, 3,
                                                   BinaryCoefficient::jaccard));
  EXPECT_EQ(testing::read_file("individual_distances.tsv"),
            "index_a\tindividual_a\tindex_b\tindividual_b\tdistance\n"
            "1\ti1\t2\ti2\t0.5\n"
            "1\ti1\t3\ti3\t1\n"
            "1\ti1\t4\ti4\t1\n"
            "2\ti2\t3\ti3\t1\n"
            "2\ti2\t4\ti4\t1\n"
            "3\ti3\t4\ti4\tNA\n");
}

}  // namespace
}  // namespace bandscape
