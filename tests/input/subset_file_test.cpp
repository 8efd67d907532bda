// The subset file: its reader and group numbering, and the selection of
// populations in both passes over the data file.  Expected values are worked
// by hand from the file texts in each test (line numbers from 1 at line 1).
#include "input/subset_file.hpp"

#include <gtest/gtest.h>

#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::fatal_log;
using testing::ints_of;
using testing::load;
using testing::load_failure;
using testing::Loaded;
using testing::names_of;
using testing::RecordingLog;
using testing::rows_of;
using testing::TempDir;
using testing::write_file;
using Ints = std::vector<int>;
using Rows = std::vector<std::vector<int>>;
using Texts = std::vector<std::string>;

const char* const kTwoPopulations =
    "2\t3\t100\t152.5\t210\n"
    "popA\tind1\t1\t0\t9\n"
    "popA\tind2\t1\t1\t0\n"
    "popB\tind3\t0\t0\t1\n"
    "END\n";

// popA 1 line, popB 2 lines, popC 1 line, popD 1 line.
const char* const kFourPopulations =
    "4\t2\tL1\tL2\n"
    "popA\ta1\t1\t0\n"
    "popB\tb1\t0\t9\n"
    "popB\tb2\t0\t0\n"
    "popC\tc1\t9\t1\n"
    "popD\td1\t1\t1\n"
    "END\n";

std::vector<std::string> subset_failure(const std::string& name) {
  return fatal_log([&](MessageLog& l) {
    SubsetSelection s;
    read_subset_file(name, s, l);
  });
}

TEST(SubsetSelectionPasses, WorkedExampleKeepsOnlyPopB) {
  TempDir dir;
  write_file("d.txt", kTwoPopulations);
  write_file("s.txt", "1\t0\npopB\n");
  RecordingLog log;
  Loaded d;
  load(d, "d.txt", "s.txt", log);
  EXPECT_EQ(d.r, 1);
  EXPECT_EQ(names_of(d.populations), (Texts{"popB"}));
  EXPECT_EQ(ints_of(d.file_sizes, 1, 2), (Ints{2, 1}));
  EXPECT_EQ(ints_of(d.selected, 1, 1), (Ints{2}));
  EXPECT_EQ(ints_of(d.groups, 1, 1), (Ints{0}));
  EXPECT_EQ(d.ntot, 1);
  EXPECT_EQ(rows_of(d.counts), (Rows{{1, 1, 1}}));
  EXPECT_EQ(rows_of(d.scores), (Rows{{0, 0, 1}}));
  EXPECT_EQ(ints_of(d.bounds, 0, 1), (Ints{0, 1}));
  EXPECT_TRUE(log.entries.empty());
}

TEST(SubsetSelectionPasses, FileOrderKeptAndSkippedLinesDiscarded) {
  TempDir dir;
  write_file("d.txt", kFourPopulations);
  // Listed as popC then popA, without groups: processed as popA, popC.  The
  // pass ends at popD, the first unlisted population after both were found.
  write_file("s.txt", "2\t0\npopC\tignored\npopA\n");
  RecordingLog log;
  Loaded d;
  load(d, "d.txt", "s.txt", log);
  EXPECT_EQ(names_of(d.populations), (Texts{"popA", "popC"}));
  EXPECT_EQ(ints_of(d.selected, 1, 2), (Ints{1, 3}));
  EXPECT_EQ(ints_of(d.file_sizes, 1, 3), (Ints{1, 2, 1}));
  EXPECT_EQ(d.ntot, 2);
  EXPECT_EQ(rows_of(d.counts), (Rows{{1, 1}, {0, 1}}));
  EXPECT_EQ(rows_of(d.scores), (Rows{{1, 0}, {9, 1}}));
  EXPECT_EQ(ints_of(d.bounds, 0, 2), (Ints{0, 1, 2}));

  // Groups follow the subset entries: popC and popD share id 3 (group 1),
  // popA and popB id 7 (group 2); PopulationGroups is in file order.
  write_file("g.txt", "4\t2\npopC\t3\npopD\t3\npopA\t7\npopB\t7\n");
  Loaded g;
  load(g, "d.txt", "g.txt", log);
  EXPECT_EQ(names_of(g.populations), (Texts{"popA", "popB", "popC", "popD"}));
  EXPECT_EQ(ints_of(g.groups, 1, 4), (Ints{2, 2, 1, 1}));
  EXPECT_EQ(ints_of(g.bounds, 0, 4), (Ints{0, 1, 3, 4, 5}));
  EXPECT_TRUE(log.entries.empty());
}

TEST(SubsetFile, GroupNumberingByRunsOfIds) {
  TempDir dir;
  RecordingLog log;
  SubsetSelection s;
  write_file("s.txt", "4\t2\nA\t7\nB\t7\nC\t3\nD\t3\n");
  read_subset_file("s.txt", s, log);
  EXPECT_EQ(s.listed_populations, 4);
  EXPECT_EQ(s.group_count, 2);
  EXPECT_EQ(names_of(s.names), (Texts{"A", "B", "C", "D"}));
  EXPECT_EQ(ints_of(s.groups, 1, 4), (Ints{1, 1, 2, 2}));
  EXPECT_EQ(ints_of(s.group_sizes, 1, 2), (Ints{2, 2}));

  // Ids 5, 1, 1, 9, 9, 9: three runs; names cut to 20; CRLF and a byte-order
  // mark change nothing.
  write_file("s2.txt",
             "\xEF\xBB\xBF"
             "6\t3\r\nabcdefghijklmnopqrstuv\t5\r\nB\t1\r\nC\t1\r\nD\t9\r\nE\t9\r\nF\t9\r\n");
  SubsetSelection t;
  read_subset_file("s2.txt", t, log);
  EXPECT_EQ(names_of(t.names), (Texts{"abcdefghijklmnopqrst", "B", "C", "D", "E", "F"}));
  EXPECT_EQ(ints_of(t.groups, 1, 6), (Ints{1, 2, 2, 3, 3, 3}));
  EXPECT_EQ(ints_of(t.group_sizes, 1, 3), (Ints{1, 2, 3}));
  EXPECT_TRUE(log.entries.empty());

  // The first entry that agrees in 20 characters gives the group.
  int group = -1;
  EXPECT_EQ(find_subset_population("abcdefghijklmnopqrst", 6, t.names, t.groups, group), 1);
  EXPECT_EQ(group, 1);
  EXPECT_EQ(find_subset_population("E", 6, t.names, t.groups, group), 1);
  EXPECT_EQ(group, 3);
  EXPECT_EQ(find_subset_population("E", 4, t.names, t.groups, group), 0);  // only entries 1..r
  EXPECT_EQ(find_subset_population("Z", 6, t.names, t.groups, group), 0);
}

TEST(SubsetFile, FatalMessages) {
  TempDir dir;
  EXPECT_EQ(subset_failure("absent.txt"), (Texts{"E:\ncannot open subsetfile absent.txt"}));
  write_file("s.txt", "x\t0\nA\n");
  EXPECT_EQ(subset_failure("s.txt"), (Texts{"E:\ncannot read rsub on line 1 from file s.txt"}));
  write_file("s.txt", "1\tx\nA\n");
  EXPECT_EQ(subset_failure("s.txt"), (Texts{"E:\ncannot read n1 on line 1 from file s.txt"}));
  write_file("s.txt", "2\t1\nA\t1\nB\tz\n");
  EXPECT_EQ(subset_failure("s.txt"), (Texts{"E:\ncannot read grp1id on line 3 from file s.txt"}));
  write_file("s.txt", "2\nA\nB\n");
  EXPECT_EQ(subset_failure("s.txt"), (Texts{"E:\ntab not found one column missing on line 1 from file s.txt"}));
  write_file("s.txt", "2\t1\nA\t1\nB\n");
  EXPECT_EQ(subset_failure("s.txt"), (Texts{"E:\ntab not found one column missing on line 3 from file s.txt"}));
  write_file("s.txt", "2\t0\nA\n");
  EXPECT_EQ(subset_failure("s.txt"),
            (Texts{"E:\nEnd of file encountered before END message on line 3 from file s.txt"}));
  // Ids 1, 2, 1 are three runs, not the two declared.
  write_file("s.txt", "3\t2\nA\t1\nB\t2\nC\t1\n");
  EXPECT_EQ(subset_failure("s.txt"), (Texts{"E:\nnumber of groups I does not correspond to n1"}));
}

// Counts on line 1 of the subset file: a count that is not positive is
// fatal at once; a huge one runs out of lines (nothing is allocated for it
// before the lines are read).  Worked by hand from the file texts.
TEST(SubsetFile, ImpossibleCounts) {
  TempDir dir;
  write_file("s.txt", "0\t0\npopA\n");
  EXPECT_EQ(subset_failure("s.txt"),
            (Texts{"E:\nnumber of populations 0 on line 1 from file s.txt is not a positive count"}));
  write_file("s.txt", "-2\t0\npopA\n");
  EXPECT_EQ(subset_failure("s.txt"),
            (Texts{"E:\nnumber of populations -2 on line 1 from file s.txt is not a positive count"}));
  write_file("s.txt", "2000000000\t0\npopA\npopB\n");
  EXPECT_EQ(subset_failure("s.txt"),
            (Texts{"E:\nEnd of file encountered before END message on line 4 from file s.txt"}));
  // 2000000000 groups among two lines: two runs of ids, not group_count.
  write_file("s.txt", "2\t2000000000\npopA\t1\npopB\t2\n");
  EXPECT_EQ(subset_failure("s.txt"), (Texts{"E:\nnumber of groups I does not correspond to n1"}));
}

TEST(SubsetSelectionPasses, MissingAndSurplusPopulations) {
  TempDir dir;
  write_file("d.txt", "2\t1\tA\npopA\ti\t1\npopB\ti\t0\nEND\n");
  // popX is not in the file.  The last population, popB, is skipped: END is met
  // on line 4 while skipping.
  write_file("s.txt", "2\t0\npopA\npopX\n");
  EXPECT_EQ(load_failure("d.txt", "s.txt"),
            (Texts{"E:\nEND message encountered before all subset pop found on line 4 from file d.txt", "E:\npopA"}));
  // Here popB, the last population, is read: END follows after 1 of 2.
  write_file("s.txt", "2\t0\npopB\npopX\n");
  EXPECT_EQ(load_failure("d.txt", "s.txt"),
            (Texts{"E:\nEND message encountered after 1 pop on line 4 from file d.txt", "E:\npopB"}));

  // The R populations run out with no end line met (popC follows popB).
  write_file("more.txt", "2\t1\tA\npopA\ti\t1\npopB\ti\t0\npopC\ti\t1\n");
  EXPECT_EQ(load_failure("more.txt", "s.txt"),
            (Texts{"E:\nOnly 1 of the 2 subset populations were found in file more.txt", "E:\npopB"}));
  // With popA alone listed, the pass ends at popB: nothing after it is read.
  write_file("one.txt", "1\t0\npopA\n");
  RecordingLog log;
  Loaded d;
  load(d, "more.txt", "one.txt", log);
  EXPECT_EQ(d.ntot, 1);
  EXPECT_EQ(rows_of(d.scores), (Rows{{1}}));
  EXPECT_TRUE(log.entries.empty());

  // popA appears twice in the file: a third match for a list of two, on line 4.
  write_file("twice.txt", "3\t1\tA\npopA\ti\t1\npopB\ti\t0\npopA\ti\t1\nEND\n");
  write_file("s.txt", "2\t0\npopA\npopB\n");
  EXPECT_EQ(load_failure("twice.txt", "s.txt"),
            (Texts{"E:\nMore populations of file twice.txt match the subset file than the 2 it lists, on line 4"}));
}

}  // namespace
}  // namespace bandscape
