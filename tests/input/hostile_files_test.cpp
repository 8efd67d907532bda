// Data files as they arrive from spreadsheets, other programs and broken
// transfers (tests/data/hostile/): each one ends the run with the message that
// names its fault, its line and the file.  The expected texts are worked by
// hand from the bytes of each file (listed in the comment of its case).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::load_failure;
using testing::TempDir;
using Texts = std::vector<std::string>;

struct HostileCase {
  const char* file;
  Texts logged;
};

const std::vector<HostileCase> kCases = {
    // "2000000000\t1\tA\n...": 2000000000 populations x 1 locus in 27 bytes.
    {"huge_population_count.txt",
     {"E:\nnumber of populations 2000000000 on line 1 from file huge_population_count.txt is more than the file "
      "holds"}},
    // "1\t2000000000\tA\tB\n": the third locus name has no tab before it.
    {"huge_locus_count.txt", {"E:\ntab not found one column missing on line 1 from file huge_locus_count.txt"}},
    // UTF-16 with its byte-order mark FF FE: no decimal digit at the start.
    {"utf16.txt", {"E:\ncannot read r and m on line 1 from file utf16.txt"}},
    // "p\0q\ti\t1": the line ends, as text, at the NUL after "p".
    {"nul_in_label.txt", {"E:\ntab not found one column missing on line 2 from file nul_in_label.txt"}},
    // The last line "popA\tind2\t1\t1" is cut before its third score.
    {"truncated.txt", {"E:\ntab not found one column missing on line 3 from file truncated.txt"}},
    // Spreadsheet export with quoted cells (after a UTF-8 byte-order mark).
    {"quoted_cells.txt", {"E:\ncannot read r and m on line 1 from file quoted_cells.txt"}},
    // Semicolons for tabs: "2" reads, ";3" does not.
    {"semicolons.txt", {"E:\ncannot read r and m on line 1 from file semicolons.txt"}},
    // Carriage returns alone: the whole file is line 1; line 2 does not exist.
    {"mac_line_ends.txt",
     {"E:\nEnd of file encountered before END message on line 2 from file mac_line_ends.txt"}},
    // A score of "\xc3\xa9" (an accented letter in UTF-8).
    {"accented_score.txt",
     {"E:\ncannot read int from \xc3\xa9\n on line 2 from file accented_score.txt"}},
};

TEST(HostileDataFiles, EachEndsWithItsMessage) {
  const std::filesystem::path source = std::filesystem::path(BANDSCAPE_TEST_DATA) / "hostile";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    TempDir dir;
    std::filesystem::copy_file(source / c.file, c.file);
    EXPECT_EQ(load_failure(c.file), c.logged);
  }
}

}  // namespace
}  // namespace bandscape
