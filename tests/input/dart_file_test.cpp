// The SilicoDArT reader.  The expected native text (tests/data/dart/
// equivalent.txt) was written by hand from report.csv and populations.csv:
// samples in the order of the populations file grouped by population (north:
// S3, S5; south: S1, S2; east: S6), "-" written 9, S4 left out.  The error
// messages are written out by hand.
#include "input/dart_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::fatal_log;
using testing::read_file;
using testing::RecordingLog;
using testing::TempDir;
using testing::write_file;

const fs::path kDart = fs::path(BANDSCAPE_TEST_DATA) / "dart";

std::string as_text(const std::vector<char>& text) { return std::string(text.begin(), text.end()); }

TEST(DartFile, ReportAndPopulationsGiveTheNativeText) {
  RecordingLog log;
  const std::string data = (kDart / "report.csv").string(), meta = (kDart / "populations.csv").string();
  const std::vector<char> text = silicodart_as_native_text(data, meta, log).rest();
  EXPECT_EQ(as_text(text), read_file(kDart / "equivalent.txt"));
  const std::vector<std::string> expected_log = {"E:\nWARNING! sample S4 of file " + data + " has no row in file " +
                                                 meta + ": it is not analysed"};
  EXPECT_EQ(log.entries, expected_log);
}

TEST(DartFile, CsvCells) {
  using Cells = std::vector<std::string>;
  EXPECT_EQ(split_csv_line("a,b,,c\n"), (Cells{"a", "b", "", "c"}));
  EXPECT_EQ(split_csv_line(" a , b\t\n"), (Cells{"a", "b"}));
  EXPECT_EQ(split_csv_line("\"x,y\",\"say \"\"hi\"\"\",\" z \""), (Cells{"x,y", "say \"hi\"", " z "}));
  EXPECT_EQ(split_csv_line(""), (Cells{""}));
  EXPECT_EQ(split_csv_line("a,"), (Cells{"a", ""}));
}

// Each case: the report and populations file, and the one message logged.
TEST(DartFile, FaultsNameTheRowColumnAndFile) {
  const std::string header = "*,*,*,x,y\nCloneID,Seq,Reproducibility,S1,S2\n";
  const std::string meta = "id,pop\nS1,a\nS2,b\n";
  std::string stars;  // 21 rows beginning with *
  for (int i = 0; i < 21; ++i) stars += "*,x\n";
  struct Case {
    std::string data, populations, message;
  };
  const std::vector<Case> cases = {
      {header + "101,AC,1,1,x\n", meta, "\nscore 'x' in row 3, column 5 of file d.csv is not 1, 0 or -"},
      {header + "101,AC,1,,1\n", meta, "\nscore '' in row 3, column 4 of file d.csv is not 1, 0 or -"},
      {header + "101,AC,1,9,1\n", meta, "\nscore '9' in row 3, column 4 of file d.csv is not 1, 0 or -"},
      {header + "101,AC,1,1\n", meta, "\nrow 3 of file d.csv has 4 cells, the header row has 5"},
      {header + ",AC,1,1,0\n", meta, "\nCloneID missing in row 3, column 1 of file d.csv"},
      {header, meta, "\nfile d.csv holds no marker row"},
      {"CloneID,Seq,S1,S2\n101,AC,1,0\n", meta, "\nthe header row (row 1) of file d.csv has no column Reproducibility"},
      {"*,*\nMarker,Seq,Reproducibility,S1\n", meta, "\nrow 2 of file d.csv should be the header row, beginning with CloneID"},
      {"*\n*\n", meta, "\nfile d.csv ends before its header row beginning with CloneID"},
      {stars + "CloneID,Reproducibility,S1\n", meta, "\nrow 21 of file d.csv begins with *: at most 20 such rows may stand above the header row"},
      {"CloneID,Reproducibility,S1,S2,S1\n101,1,1,0,1\n", meta,
       "\nsample S1 in row 1, column 5 of file d.csv is already in column 3"},
      {header + "101,AC,1,1,0\n", "id,pop\nS1,a\nS3,b\n", "\nid S3 of file m.csv is not a sample of file d.csv"},
      {header + "101,AC,1,1,0\n", "id,pop\nS1,a\nS1,b\n", "\nid S1 in row 3 of file m.csv is already in row 2"},
      {header + "101,AC,1,1,0\n", "id,population\nS1,a\n", "\nthe header row of file m.csv has no column pop"},
      {header + "101,AC,1,1,0\n", "pop,id\nS1,a\n,b\n", "\npop missing in row 3, column 1 of file m.csv"},
      {header + "101,AC,1,1,0\n", "id,pop\nS1\n", "\npop missing in row 2, column 2 of file m.csv"},
      {header + "101,AC,1,1,0\n", "id,pop\nS1,north site\n",
       "\npop north site in row 2, column 2 of file m.csv holds white space"},
      {header + "101,AC,1,1,0\n", "id,pop\nS1,END\n",
       "\npop END in row 2, column 2 of file m.csv is not allowed as a population name"},
      {header + "101,AC,1,1,0\n", "id,pop\n\n", "\nfile m.csv lists no sample"},
      {header + "101,AC,1,1,0\n", "", "\nfile m.csv is empty"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file("d.csv", c.data);
    write_file("m.csv", c.populations);
    const std::vector<std::string> logged =
        fatal_log([](MessageLog& log) { silicodart_as_native_text("d.csv", "m.csv", log); });
    EXPECT_EQ(logged, std::vector<std::string>{"E:" + c.message}) << c.message;
  }
  TempDir dir;
  write_file("m.csv", meta);
  EXPECT_EQ(fatal_log([](MessageLog& log) { silicodart_as_native_text("none.csv", "m.csv", log); }),
            std::vector<std::string>{"E:\ncannot open inputfile none.csv"});
  EXPECT_EQ(fatal_log([](MessageLog& log) { silicodart_as_native_text("none.csv", "none.csv", log); }),
            std::vector<std::string>{"E:\ncannot open populations file none.csv"});
}

// The Reproducibility column of report.csv, copied by hand; a cell that is
// not a number from 0 to 1 stops.
TEST(DartFile, ReproducibilityOfEachMarker) {
  RecordingLog log;
  EXPECT_EQ(silicodart_reproducibility((kDart / "report.csv").string(), log),
            (std::vector<double>{1.00, 1.00, 0.98, 1.00, 0.99, 1.00}));
  for (const auto& [cell, message] : {std::pair{"1.5", "'1.5' in row 2, column 2"}, std::pair{"x", "'x' in row 2, column 2"},
                                      std::pair{"", "'' in row 2, column 2"}}) {
    TempDir dir;
    write_file("d.csv", std::string("CloneID,Reproducibility,S1\n101,") + cell + ",1\n");
    EXPECT_EQ(fatal_log([](MessageLog& log) { silicodart_reproducibility("d.csv", log); }),
              std::vector<std::string>{std::string("E:\nReproducibility ") + message +
                                       " of file d.csv is not a number from 0 to 1"});
  }
}

// Two samples without metadata: one warning naming the first of them; every
// population of one sample each, named by its first 20 characters.
TEST(DartFile, SeveralSamplesLeftOutGiveOneWarning) {
  TempDir dir;
  write_file("d.csv", "CloneID,Reproducibility,A,B,C\nL1,1,1,0,-\nL2,1,0,-,1\n");
  write_file("m.csv", "pop,id\nsite_with_a_long_name_1,B\n");
  RecordingLog log;
  EXPECT_EQ(as_text(silicodart_as_native_text("d.csv", "m.csv", log).rest()),
            "1\t2\tL1\tL2\nsite_with_a_long_name_1\tB\t0\t9\nEND\n");
  EXPECT_EQ(log.entries, std::vector<std::string>{
                             "E:\nWARNING! 2 samples of file d.csv have no row in file m.csv: they are not analysed "
                             "(the first: A)"});
}

}  // namespace
}  // namespace bandscape
