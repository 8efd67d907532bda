// Data files of tests/data/hostile that read without a fatal error but lose or
// bend data.  Each gives exactly its warning and the data of the clean file
// beside it (the same file with the fault taken out).  Expected texts are
// worked by hand from the bytes of the files, quoted in the comments.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "input/data_file.hpp"
#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using namespace testing;
using Texts = std::vector<std::string>;

// The warnings a run writes after reading `file` (copied from hostile/ when
// it is there), and the data read.
Texts warnings_of(const std::string& file, Loaded& d, const std::string& subset = "") {
  const auto source = std::filesystem::path(BANDSCAPE_TEST_DATA) / "hostile" / file;
  if (std::filesystem::exists(source)) {
    std::filesystem::copy_file(source, file, std::filesystem::copy_options::overwrite_existing);
  }
  RecordingLog log;
  load(d, file, subset, log);
  EXPECT_TRUE(log.entries.empty());
  warn_about_data_lines(d.findings, file, d.R, d.m, log);
  return log.entries;
}

struct Case {
  const char* file;
  const char* clean;
  std::string warning;
};

const Case kCases[] = {
    // Line 3 ends "0\textra", line 4 "1\t\t " (blank only: not counted), line 5 "1\t7".
    {"extra_fields.txt",
     "2\t3\tA\tB\tC\npopA\ti1\t1\t0\t9\npopA\ti2\t1\t1\t0\npopB\ti3\t0\t0\t1\npopB\ti4\t0\t0\t1\nEND\n",
     "E:\nWARNING! 2 lines of file extra_fields.txt hold more than 3 scores (the first is line 3): the extra fields "
     "are not read"},
    // Windows line ends; "1.00000000000000000000001" ends line 3 (cut to 20),
    // " 0", "01", "1x" on line 4, "9.5", "0.7" on line 5.
    {"odd_scores.txt",
     "2\t3\tA\tB\tC\npopA\ti1\t1\t0\t9\npopA\ti2\t1\t1\t1\npopB\ti3\t0\t1\t1\npopB\ti4\t9\t0\t1\nEND\n",
     "E:\nWARNING! 6 scores of file odd_scores.txt are not written 0, 1 or 9 (the first is \"1.000000000000000000\" "
     "on line 3, read as 1)"},
    // Two populations declared, popC on line 4.
    {"lines_after_populations.txt", "2\t1\tA\npopA\ti1\t1\npopB\ti2\t0\nEND\n",
     "E:\nWARNING! file lines_after_populations.txt holds data lines after its 2 declared populations (from line 4 "
     "on): they are not analysed"},
    // popA on lines 2-3, popB on 4, popA again on 5 (popC in the clean file).
    {"repeated_name.txt", "3\t1\tA\npopA\ti1\t1\npopA\ti2\t0\npopB\ti3\t1\npopC\ti4\t9\nEND\n",
     "E:\nWARNING! population popA of line 5 of file repeated_name.txt has the name of an earlier population (line "
     "2): the two are analysed as different populations"},
};

TEST(DataLineWarnings, EachFaultWarnsOnceAndReadsLikeTheCleanFile) {
  TempDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.file);
    Loaded d, clean;
    EXPECT_EQ(warnings_of(c.file, d), Texts{c.warning});
    write_file("clean.txt", c.clean);
    EXPECT_EQ(warnings_of("clean.txt", clean), Texts{});
    EXPECT_EQ(rows_of(d.scores), rows_of(clean.scores));
    EXPECT_EQ(rows_of(d.counts), rows_of(clean.counts));
    EXPECT_EQ(ints_of(d.bounds, 0, d.r), ints_of(clean.bounds, 0, clean.r));
  }
}

// every_warning.txt, 4 populations of 2 loci:
//   2 popA i1 1 0 x      extra field
//   3 popA i2 " 1" 0     odd score
//   4 popB i3 0 1 "" y   extra field
//   5 popA i4 1.0 9x     two odd scores; popA again (first on line 2)
//   6 popB i5 0 0        popB again (first on line 4): only the first is named
//   7 popC i6 1 1        after the 4 declared populations
//   8 popD i7 1.5 1 z    not analysed: its odd score and extra field are not counted
TEST(DataLineWarnings, FixedOrderAtMostOnceAndOnlyAnalysedPopulations) {
  TempDir dir;
  Loaded d;
  EXPECT_EQ(warnings_of("every_warning.txt", d),
            (Texts{"E:\nWARNING! 2 lines of file every_warning.txt hold more than 2 scores (the first is line 2): "
                   "the extra fields are not read",
                   "E:\nWARNING! 3 scores of file every_warning.txt are not written 0, 1 or 9 (the first is \" 1\" "
                   "on line 3, read as 1)",
                   "E:\nWARNING! file every_warning.txt holds data lines after its 4 declared populations (from "
                   "line 7 on): they are not analysed",
                   "E:\nWARNING! population popA of line 5 of file every_warning.txt has the name of an earlier "
                   "population (line 2): the two are analysed as different populations"}));

  // Only popB is analysed: the first pass skips lines 2-3, reads line 4 and
  // stops at popA on line 5.  Line 4's extra field is all there is to say.
  write_file("subset.txt", "1\t0\npopB\n");
  Loaded s;
  EXPECT_EQ(warnings_of("every_warning.txt", s, "subset.txt"),
            Texts{"E:\nWARNING! 1 lines of file every_warning.txt hold more than 2 scores (the first is line 4): "
                  "the extra fields are not read"});
  EXPECT_EQ(s.ntot, 1);
}

}  // namespace
}  // namespace bandscape
