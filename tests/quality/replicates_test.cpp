// Replicate error rates and merging, against tests/data/quality/
// replicate_errors.py: a short script of the definitions of Bonin et al.
// (2004) that generated replicates_data.txt (13 samples, 30 loci, missing
// scores, planted mismatches; individual C's two replicates agree everywhere)
// with its replicate groups and wrote the expected pairs, loci, overall rate
// and consensus profiles.
#include "quality/replicates.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "quality/quality_inputs.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
const fs::path kQuality = fs::path(BANDSCAPE_TEST_DATA) / "quality";

// The rows of a TSV file after its header, split into cells.
std::vector<std::vector<std::string>> tsv_rows(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::istringstream split(line);
    for (std::string cell; std::getline(split, cell, '\t');) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

double rate_of(const std::string& cell) { return cell == "NA" ? std::nan("") : std::stod(cell); }

// The groups of replicates_groups.tsv, as rows of the table.
std::vector<ReplicateGroup> groups_of(const ScoreTable& table) {
  testing::RecordingLog log;
  return read_replicates_file((kQuality / "replicates_groups.tsv").string(), table, log);
}

TEST(ReplicateErrors, EqualTheScriptOfTheDefinitions) {
  const ScoreTable table = testing::load_table((kQuality / "replicates_data.txt").string());
  const ReplicateErrors errors = replicate_errors(table, groups_of(table));

  const auto pairs = tsv_rows(kQuality / "replicate_pairs.tsv");
  ASSERT_EQ(errors.pairs.size(), pairs.size());
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    const ReplicatePair& p = errors.pairs[k];
    EXPECT_EQ((std::vector<std::string>{p.individual, table.individuals[static_cast<std::size_t>(p.sample_a)],
                                        table.individuals[static_cast<std::size_t>(p.sample_b)],
                                        std::to_string(p.count.comparisons), std::to_string(p.count.mismatches)}),
              (std::vector<std::string>(pairs[k].begin(), pairs[k].begin() + 5)));
    EXPECT_EQ(p.count.error_rate(), rate_of(pairs[k][5])) << k;
  }
  EXPECT_EQ(errors.pairs[4].individual, "C");  // replicates that agree everywhere
  EXPECT_EQ(errors.pairs[4].count.mismatches, 0);
  EXPECT_EQ(errors.pairs[4].count.error_rate(), 0.0);

  const auto loci = tsv_rows(kQuality / "replicate_loci.tsv");
  ASSERT_EQ(errors.loci.size(), loci.size());
  for (std::size_t u = 0; u < loci.size(); ++u) {
    EXPECT_EQ(errors.loci[u].comparisons, std::stoll(loci[u][1])) << u;
    EXPECT_EQ(errors.loci[u].mismatches, std::stoll(loci[u][2])) << u;
    EXPECT_EQ(errors.loci[u].error_rate(), rate_of(loci[u][3])) << u;
  }
  const auto overall = tsv_rows(kQuality / "replicate_overall.tsv");
  EXPECT_EQ(errors.overall.comparisons, std::stoll(overall[0][0]));
  EXPECT_EQ(errors.overall.mismatches, std::stoll(overall[0][1]));
  EXPECT_EQ(errors.overall.error_rate(), rate_of(overall[0][2]));
  EXPECT_TRUE(std::isnan(MismatchCount{}.error_rate()));
}

TEST(ReplicateMerging, ConsensusAndFirst) {
  const ScoreTable table = testing::load_table((kQuality / "replicates_data.txt").string());
  const std::vector<ReplicateGroup> groups = groups_of(table);
  std::vector<std::string> warnings;
  const ScoreTable consensus = merge_replicates(table, groups, ReplicateMerge::consensus, warnings);
  EXPECT_TRUE(warnings.empty());
  std::string text;
  for (int i = 0; i < consensus.individual_count(); ++i) {
    text += consensus.populations[static_cast<std::size_t>(consensus.population_of[static_cast<std::size_t>(i)])] +
            "\t" + consensus.individuals[static_cast<std::size_t>(i)];
    for (int u = 0; u < consensus.locus_count(); ++u) text += "\t" + std::to_string(consensus.score(i, u));
    text += "\n";
  }
  EXPECT_EQ(text, testing::read_file(kQuality / "replicates_consensus.txt"));

  // First: the first sample's profile under the individual's name.
  const ScoreTable first = merge_replicates(table, groups, ReplicateMerge::first, warnings);
  ASSERT_EQ(first.individual_count(), 8);
  EXPECT_EQ(first.individuals,
            (std::vector<std::string>{"A", "B", "X1", "C", "X2", "D", "X3", "X4"}));
  const std::vector<int> from = {0, 3, 4, 6, 8, 9, 11, 12};  // rows of the first samples
  for (int i = 0; i < 8; ++i) {
    for (int u = 0; u < first.locus_count(); ++u) EXPECT_EQ(first.score(i, u), table.score(from[static_cast<std::size_t>(i)], u));
  }
  EXPECT_EQ(first.population_of, (std::vector<int>{0, 0, 0, 0, 1, 1, 1, 1}));
}

// Replicates in two populations: the first sample's population, one warning.
TEST(ReplicateMerging, ReplicatesInTwoPopulationsAreNamed) {
  ScoreTable table = testing::table_of({"10", "11", "01"});
  table.populations = {"p", "q"};
  table.population_of = {0, 0, 1};
  std::vector<std::string> warnings;
  const ScoreTable merged = merge_replicates(table, {{"Z", {1, 2}}}, ReplicateMerge::consensus, warnings);
  EXPECT_EQ(merged.individuals, (std::vector<std::string>{"i1", "Z"}));
  EXPECT_EQ(merged.population_of, (std::vector<int>{0, 0}));
  EXPECT_EQ(merged.scores, (std::vector<std::uint8_t>{1, 0, kMissingScore, 1}));
  EXPECT_EQ(warnings, std::vector<std::string>{"replicates of individual Z lie in populations p and q: the merged "
                                               "profile belongs to p, that of its first sample"});
}

}  // namespace
}  // namespace bandscape
