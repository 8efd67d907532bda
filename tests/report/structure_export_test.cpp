// The export of band scores for Bayesian clustering: codes 1 / 2 / -9, the
// all-missing second row, numbering, and appending.  Expected texts are worked
// by hand from the scores given in each test.
#include "report/classic/structure_export.hpp"

#include <gtest/gtest.h>

#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::fatal_log;
using testing::read_file;
using testing::RecordingLog;
using testing::TempDir;
using testing::write_file;
using Texts = std::vector<std::string>;

// Three individuals scored (1,0,9), (1,1,0), (0,0,1); the first two are
// population 1, the third population 2.
const char* const kThreeIndividuals =
    "\n1  1 1 2 -9\n1  1 -9 -9 -9"
    "\n2  1 1 1 2\n2  1 -9 -9 -9"
    "\n3  2 2 2 1\n3  2 -9 -9 -9";

struct Scores {
  ScoreMatrix scores = score_matrix(0, 2, 0, 2);
  IVector bounds = int_vector(0, 2);
  Scores() {
    const int values[3][3] = {{1, 0, 9}, {1, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) scores[i][j] = values[i][j];
    bounds[0] = 0;
    bounds[1] = 2;
    bounds[2] = 3;
  }
};

TEST(StructureExport, WholeFileAndAppending) {
  TempDir dir;
  Scores s;
  RecordingLog log;
  write_structure_file("structure.txt", 2, 3, s.scores, s.bounds, log);
  EXPECT_EQ(read_file("structure.txt"), kThreeIndividuals);
  // A second run appends after the first; earlier content is never removed.
  write_structure_file("structure.txt", 2, 3, s.scores, s.bounds, log);
  EXPECT_EQ(read_file("structure.txt"), std::string(kThreeIndividuals) + kThreeIndividuals);
  write_file("kept.txt", "earlier");
  write_structure_file("kept.txt", 2, 3, s.scores, s.bounds, log);
  EXPECT_EQ(read_file("kept.txt"), std::string("earlier") + kThreeIndividuals);
  EXPECT_TRUE(log.entries.empty());
}

TEST(StructureExport, IndividualsAlreadyInTheFileAreCounted) {
  TempDir dir;
  Scores s;
  RecordingLog log;
  EXPECT_EQ(structure_file_individuals("structure.txt"), 0);  // no file yet
  write_file("structure.txt", "");
  EXPECT_EQ(structure_file_individuals("structure.txt"), 0);
  write_structure_file("structure.txt", 2, 3, s.scores, s.bounds, log);
  EXPECT_EQ(structure_file_individuals("structure.txt"), 3);
  write_structure_file("structure.txt", 2, 3, s.scores, s.bounds, log);
  EXPECT_EQ(structure_file_individuals("structure.txt"), 6);
}

TEST(StructureExport, NonScoreValueWritesNoCode) {
  TempDir dir;
  Scores s;
  s.scores[2][1] = 5;
  RecordingLog log;
  write_structure_file("structure.txt", 2, 3, s.scores, s.bounds, log);
  const std::string text = read_file("structure.txt");
  EXPECT_EQ(text.substr(text.rfind("\n3  2 2")), "\n3  2 2 1\n3  2 -9 -9 -9");
}

TEST(StructureExport, CannotOpen) {
  TempDir dir;
  Scores s;
  EXPECT_EQ(fatal_log([&](MessageLog& l) { write_structure_file("nodir/structure.txt", 2, 3, s.scores, s.bounds, l); }),
            (Texts{"E:\nError in write_structure_file: cannot open file nodir/structure.txt"}));
}

TEST(StructureExport, SubsetNumbersCountOnlyProcessedPopulations) {
  TempDir dir;
  // popB (2 lines) and popD are processed: individuals 1..3, populations 1..2.
  write_file("d.txt",
             "4\t2\tL1\tL2\n"
             "popA\ta1\t1\t0\n"
             "popB\tb1\t0\t9\n"
             "popB\tb2\t0\t0\n"
             "popC\tc1\t9\t1\n"
             "popD\td1\t1\t1\n"
             "END\n");
  write_file("s.txt", "2\t0\npopD\npopB\n");
  RecordingLog log;
  testing::Loaded d;
  testing::load(d, "d.txt", "s.txt", log);
  write_structure_file("structure.txt", d.r, d.m, d.scores, d.bounds, log);
  EXPECT_EQ(read_file("structure.txt"),
            "\n1  1 2 -9\n1  1 -9 -9"
            "\n2  1 2 2\n2  1 -9 -9"
            "\n3  2 1 1\n3  2 -9 -9");
}

}  // namespace
}  // namespace bandscape
