// The replicates file reader: the groups of tests/data/quality/
// replicates_groups.tsv over the samples of replicates_data.txt (listed there
// by hand), and each fault with its message, written out by hand.
#include "input/replicates_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "quality/quality_inputs.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::fatal_log;
using testing::RecordingLog;
using testing::TempDir;
using testing::write_file;

const fs::path kQuality = fs::path(BANDSCAPE_TEST_DATA) / "quality";

TEST(ReplicatesFile, GroupsOfSampleRows) {
  const ScoreTable table = testing::load_table((kQuality / "replicates_data.txt").string());
  RecordingLog log;
  const std::vector<ReplicateGroup> groups =
      read_replicates_file((kQuality / "replicates_groups.tsv").string(), table, log);
  const std::vector<ReplicateGroup> expected = {{"A", {0, 1, 2}}, {"B", {3, 5}}, {"C", {6, 7}}, {"D", {9, 10}}};
  EXPECT_EQ(groups, expected);
  // Comma-separated, other columns and order of columns free, rows in any order.
  TempDir dir;
  write_file("r.csv", "individual,plate,sample\nB,2,B_r2\nA,1,A_r3\n\nB,1,B_r1\nA,1,A_r1\n");
  EXPECT_EQ(read_replicates_file("r.csv", table, log),
            (std::vector<ReplicateGroup>{{"B", {3, 5}}, {"A", {0, 2}}}));
}

TEST(ReplicatesFile, FaultsNameTheRowAndFile) {
  ScoreTable table = testing::table_of({"10", "01", "11", "00"});
  table.individuals = {"s1", "s2", "s3", "s3"};
  struct Case {
    std::string text, message;
  };
  const std::vector<Case> cases = {
      {"sample\tindividual\ns1\tA\nzz\tA\n", "\nsample zz in row 3 is not a sample of the data (file r.tsv)"},
      {"sample\tindividual\ns1\tA\ns3\tA\n", "\nsample s3 in row 3 names more than one sample of the data (file r.tsv)"},
      {"sample\tindividual\ns1\tA\ns1\tA\n", "\nsample s1 in row 3 is already in row 2 (file r.tsv)"},
      {"sample\tindividual\ns1\tA\ns2\tB\n", "\nindividual A (row 2) has a single sample: a replicate needs two (file r.tsv)"},
      {"sample\tindividual\ns1\t\n", "\nindividual missing in row 2, column 2 (file r.tsv)"},
      {"id\tindividual\n", "\nthe header row has no column sample (file r.tsv)"},
      {"sample\tname\n", "\nthe header row has no column individual (file r.tsv)"},
      {"", "\nthe file is empty (file r.tsv)"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file("r.tsv", c.text);
    EXPECT_EQ(fatal_log([&](MessageLog& log) { read_replicates_file("r.tsv", table, log); }),
              std::vector<std::string>{"E:" + c.message})
        << c.message;
  }
  EXPECT_EQ(fatal_log([&](MessageLog& log) { read_replicates_file("none.tsv", table, log); }),
            std::vector<std::string>{"E:\ncannot open replicates file none.tsv"});
}

}  // namespace
}  // namespace bandscape
