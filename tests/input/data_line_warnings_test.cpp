// Data files that read without a fatal error but lose or bend data: extra
// fields, scores not written 0, 1 or 9, data lines after the declared
// populations, a population name that comes back.  Each file of
// tests/data/hostile gives exactly its warning, and its data read exactly as
// from the clean file written beside it in the test (the same file with the
// fault taken out).  Expected texts are worked by hand from the bytes of the
// files, quoted in the comments.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "input/data_file.hpp"
#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::load;
using testing::Loaded;
using testing::RecordingLog;
using testing::rows_of;
using testing::TempDir;
using testing::write_file;
using Texts = std::vector<std::string>;

const std::filesystem::path kHostile = std::filesystem::path(BANDSCAPE_TEST_DATA) / "hostile";

// The warnings a run writes after reading `file` (copied from hostile/ when
// it is there), with the data read.
Texts warnings_of(const std::string& file, Loaded& d, const std::string& subset = "") {
  if (std::filesystem::exists(kHostile / file)) {
    std::filesystem::copy_file(kHostile / file, file, std::filesystem::copy_options::overwrite_existing);
  }
  RecordingLog log;
  load(d, file, subset, log);
  EXPECT_TRUE(log.entries.empty());
  warn_about_data_lines(d.findings, file, d.R, d.m, log);
  return log.entries;
}

void expect_same_data(const Loaded& d, const std::string& clean_text) {
  write_file("clean.txt", clean_text);
  Loaded c;
  EXPECT_EQ(warnings_of("clean.txt", c), Texts{});
  EXPECT_EQ(rows_of(d.scores), rows_of(c.scores));
  EXPECT_EQ(rows_of(d.counts), rows_of(c.counts));
  EXPECT_EQ(testing::ints_of(d.bounds, 0, d.r), testing::ints_of(c.bounds, 0, c.r));
}

TEST(DataLineWarnings, EachFaultWarnsOnceAndReadsLikeTheCleanFile) {
  TempDir dir;
  Loaded d;
  // Line 3 ends "0\textra", line 4 "1\t\t " (blank only: no warning), line 5
  // "1\t7".
  EXPECT_EQ(warnings_of("extra_fields.txt", d),
            Texts{"E:\nWARNING! 2 lines of file extra_fields.txt hold more than 3 scores (the first is line 3): "
                  "the extra fields are not read"});
  expect_same_data(d, "2\t3\tA\tB\tC\npopA\ti1\t1\t0\t9\npopA\ti2\t1\t1\t0\npopB\ti3\t0\t0\t1\n"
                      "popB\ti4\t0\t0\t1\nEND\n");

  // "1.0" on line 3; " 0", "01", "1x" on line 4; "9.5", "0.7" on line 5.
  Loaded o;
  EXPECT_EQ(warnings_of("odd_scores.txt", o),
            Texts{"E:\nWARNING! 6 scores of file odd_scores.txt are not written 0, 1 or 9 (the first is \"1.0\" "
                  "on line 3, read as 1)"});
  expect_same_data(o, "2\t3\tA\tB\tC\npopA\ti1\t1\t0\t9\npopA\ti2\t1\t1\t0\npopB\ti3\t0\t1\t1\n"
                      "popB\ti4\t9\t0\t1\nEND\n");

  // Two populations declared, popC on line 4.
  Loaded a;
  EXPECT_EQ(warnings_of("lines_after_populations.txt", a),
            Texts{"E:\nWARNING! file lines_after_populations.txt holds data lines after its 2 declared populations "
                  "(from line 4 on): they are not analysed"});
  expect_same_data(a, "2\t1\tA\npopA\ti1\t1\npopB\ti2\t0\nEND\n");

  // popA on lines 2-3, popB on 4, popA again on 5.
  Loaded n;
  EXPECT_EQ(warnings_of("repeated_name.txt", n),
            Texts{"E:\nWARNING! population popA of line 5 of file repeated_name.txt has the name of an earlier "
                  "population (line 2): the two are analysed as different populations"});
  EXPECT_EQ(testing::names_of(n.populations), (Texts{"popA", "popB", "popA"}));
  expect_same_data(n, "3\t1\tA\npopA\ti1\t1\npopA\ti2\t0\npopB\ti3\t1\npopC\ti4\t9\nEND\n");
}

// The field as written runs to its tab or to the line end without "\r\n",
// and is cut to 20 characters; a blank field reads the next field's number.
TEST(DataLineWarnings, OddScoreQuotedAsWritten) {
  TempDir dir;
  Loaded d;
  write_file("long.txt", "1\t2\tA\tB\r\np\ti\t0\t1.00000000000000000000001\r\nEND\r\n");
  EXPECT_EQ(warnings_of("long.txt", d),
            Texts{"E:\nWARNING! 1 scores of file long.txt are not written 0, 1 or 9 (the first is "
                  "\"1.000000000000000000\" on line 2, read as 1)"});
  // One locus: the blank score field reads the 9 of the extra field.
  Loaded b;
  write_file("blank.txt", "1\t1\tA\np\ti\t \t9\nEND\n");
  EXPECT_EQ(warnings_of("blank.txt", b),
            (Texts{"E:\nWARNING! 1 lines of file blank.txt hold more than 1 scores (the first is line 2): the extra "
                   "fields are not read",
                   "E:\nWARNING! 1 scores of file blank.txt are not written 0, 1 or 9 (the first is \" \" on line 2, "
                   "read as 9)"}));
}

// every_warning.txt, 4 populations of 2 loci:
//   2 popA i1 1 0 x      extra field
//   3 popA i2 " 1" 0     odd score
//   4 popB i3 0 1 "" y   extra field
//   5 popA i4 1.0 9x     two odd scores; popA again (first on line 2)
//   6 popB i5 0 0        popB again (first on line 4): not named, one such warning
//   7 popC i6 1 1        after the 4 declared populations
//   8 popD i7 1.5 1 z    not analysed: neither its score nor its field counts
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
