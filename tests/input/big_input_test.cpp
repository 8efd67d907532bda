// Large inputs read in full: many loci on very long lines, thousands of
// populations with long names, and a long subset file with many groups.  The
// files are generated here; every expected value follows from the generating
// rule (stated next to it), so each check is an exact comparison.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "input/data_file.hpp"
#include "input/input_test_util.hpp"
#include "input/subset_file.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::load;
using testing::Loaded;
using testing::RecordingLog;
using testing::TempDir;
using testing::write_file;

// The score of individual i at locus j: 1, 0 or 9 by (i + 2j) mod 3.
int score_of(int i, int j) {
  static const int kScores[3] = {1, 0, 9};
  return kScores[(i + 2 * j) % 3];
}

// 10,000 loci named "locus_00001".."locus_10000" (a header line of 120,008
// characters), 7 individuals in 2 populations; individual 3 carries a name of
// 60,000 characters, so its line is longer than 50,000 characters too.
TEST(BigInput, TenThousandLociOnLinesLongerThanFiftyThousandCharacters) {
  TempDir dir;
  const int m = 10000, n = 7;
  std::string text = "2\t10000";
  char name[16];
  for (int j = 1; j <= m; ++j) {
    std::snprintf(name, sizeof name, "\tlocus_%05d", j);
    text += name;
  }
  text += "\n";
  ASSERT_EQ(text.size(), 120008u);  // "2\t10000" (7) + 10,000 x "\tlocus_nnnnn" (12) + "\n"
  for (int i = 0; i < n; ++i) {
    text += i < 4 ? "north" : "south";
    text += "\t";
    text += i == 3 ? std::string(60000, 'n') : "ind" + std::to_string(i);
    for (int j = 0; j < m; ++j) text += "\t" + std::to_string(score_of(i, j));
    text += "\n";
  }
  text += "END\n";
  write_file("big.txt", text);

  RecordingLog log;
  Loaded d;
  load(d, "big.txt", "", log);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(d.m, m);
  EXPECT_EQ(d.ntot, n);
  EXPECT_EQ(d.loci[1], "locus_00001");
  EXPECT_EQ(d.loci[m], "locus_10000");
  EXPECT_EQ(testing::names_of(d.populations), (std::vector<std::string>{"north", "south"}));
  EXPECT_EQ(testing::ints_of(d.bounds, 0, 2), (std::vector<int>{0, 4, 7}));
  int wrong = 0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < m; ++j) wrong += d.scores[i][j] != score_of(i, j);
  EXPECT_EQ(wrong, 0);
  // Scored (not 9) individuals: 9 falls where (i + 2j) mod 3 = 2.  For j = 0
  // that is i = 2 in north (3 of 4 scored) and i = 5 in south (2 of 3); for
  // j = 9999 ((i + 1998) mod 3 = i mod 3) the same.
  EXPECT_EQ(d.counts[1][1], 3);
  EXPECT_EQ(d.counts[2][1], 2);
  EXPECT_EQ(d.counts[1][m], 3);
  EXPECT_EQ(d.counts[2][m], 2);
}

// 2,000 populations of 2 individuals, 3 loci; each label is "p" and a
// four-digit number padded with "x" to 200 characters, so labels differ within
// their first 20 characters and are stored cut to 20.
std::string long_label(int k) {
  std::string label = "p" + std::to_string(1000 + k);
  label.resize(200, 'x');
  return label;
}

std::string many_populations_file(int populations) {
  std::string text = std::to_string(populations) + "\t3\tA\tB\tC\n";
  for (int k = 1; k <= populations; ++k) {
    const std::string label = long_label(k);
    text += label + "\tfirst\t1\t0\t9\n";
    text += label + "\tsecond\t0\t9\t1\n";
  }
  text += "END\n";
  return text;
}

TEST(BigInput, TwoThousandPopulationsWithNamesOfTwoHundredCharacters) {
  TempDir dir;
  write_file("many.txt", many_populations_file(2000));
  RecordingLog log;
  Loaded d;
  load(d, "many.txt", "", log);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(d.r, 2000);
  EXPECT_EQ(d.ntot, 4000);
  EXPECT_EQ(d.populations[1], "p1001xxxxxxxxxxxxxxx");
  EXPECT_EQ(d.populations[2000], "p3000xxxxxxxxxxxxxxx");
  EXPECT_EQ(d.bounds[1000], 2000);
  EXPECT_EQ(d.bounds[2000], 4000);
  // Scored per population: locus A 2, B 1, C 1 (one 9 each at B and C).
  EXPECT_EQ(d.counts[1234][1], 2);
  EXPECT_EQ(d.counts[1234][2], 1);
  EXPECT_EQ(d.counts[1234][3], 1);
  EXPECT_EQ(d.scores[3999][2], 1);
}

// A subset file of 1,000 entries, in 50 groups of 20: entry e (1..1000) lists
// population 2e (every second one of the 2,000, in file order) with the group
// id 100 + (e - 1) / 20.  The groups are numbered 1..50 by their runs.
TEST(BigInput, SubsetFileOfThousandEntriesAndFiftyGroups) {
  TempDir dir;
  write_file("many.txt", many_populations_file(2000));
  std::string subset = "1000\t50\n";
  for (int e = 1; e <= 1000; ++e) subset += long_label(2 * e) + "\t" + std::to_string(100 + (e - 1) / 20) + "\n";
  write_file("subset.txt", subset);

  RecordingLog log;
  Loaded d;
  load(d, "many.txt", "subset.txt", log);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(d.subset.listed_populations, 1000);
  EXPECT_EQ(d.subset.group_count, 50);
  std::vector<int> twenty(50, 20);
  EXPECT_EQ(testing::ints_of(d.subset.group_sizes, 1, 50), twenty);
  EXPECT_EQ(d.r, 1000);
  EXPECT_EQ(d.ntot, 2000);
  EXPECT_EQ(d.populations[1], "p1002xxxxxxxxxxxxxxx");
  EXPECT_EQ(d.populations[1000], "p3000xxxxxxxxxxxxxxx");
  EXPECT_EQ(d.selected[1], 2);
  EXPECT_EQ(d.selected[1000], 2000);
  EXPECT_EQ(d.groups[1], 1);
  EXPECT_EQ(d.groups[21], 2);
  EXPECT_EQ(d.groups[1000], 50);
  // Skipped populations leave their line counts: 2 lines each.
  EXPECT_EQ(d.file_sizes[1], 2);
  EXPECT_EQ(d.file_sizes[1999], 2);
  EXPECT_EQ(d.bounds[1000], 2000);
  EXPECT_EQ(d.scores[1999][1], 9);  // the second individual of population 2000: 0 9 1
}

}  // namespace
}  // namespace bandscape
