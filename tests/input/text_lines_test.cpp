// The data file read once into memory: the longest line allowed (a parameter,
// so that a small limit stands in for 268435456 characters), reading that
// ends where the passes stop, and a data file that is a pipe, which can be
// read only once and cannot tell its size.
#include "input/data_file.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::load;
using testing::Loaded;
using testing::RecordingLog;
using testing::TempDir;
using testing::write_file;
using Texts = std::vector<std::string>;

Texts load_failure(const std::string& file, std::size_t longest) {
  return testing::fatal_log([&](MessageLog& log) {
    Loaded d;
    load(d, file, "", log, longest);
  });
}

// Lines of 10 characters pass a limit of 10; 11 do not, wherever they are
// among the lines the readers need.  A longer line after END is never read.
TEST(TextLines, LongestLineAllowed) {
  TempDir dir;
  write_file("ten.txt", "1\t1\tA\np\tiiiiii\t1\nEND\n");  // line 2: 1 + 1 + 6 + 1 + 1 characters
  RecordingLog log;
  Loaded d;
  load(d, "ten.txt", "", log, 10);
  EXPECT_EQ(d.ntot, 1);
  EXPECT_TRUE(log.entries.empty());

  write_file("eleven.txt", "1\t1\tA\np\tiiiiiii\t1\nEND\n");
  EXPECT_EQ(load_failure("eleven.txt", 10), (Texts{"E:\nline 2 of file eleven.txt is longer than 10 characters"}));
  write_file("header.txt", "1\t1\tABCDEFGH\np\ti\t1\nEND\n");  // line 1: 12 characters
  EXPECT_EQ(load_failure("header.txt", 10), (Texts{"E:\nline 1 of file header.txt is longer than 10 characters"}));

  write_file("after.txt", "1\t1\tA\np\ti\t1\nEND\n" + std::string(100, 'x'));
  Loaded a;
  load(a, "after.txt", "", log, 10);
  EXPECT_EQ(a.ntot, 1);
  EXPECT_TRUE(log.entries.empty());
}

// The data file as /dev/fd/N of a pipe whose writing end is closed: it can be
// opened once more but read only once, and it has no size to ask for.
std::string pipe_holding(const std::string& text, int& read_end) {
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  EXPECT_EQ(write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));  // < the pipe buffer
  close(ends[1]);
  read_end = ends[0];
  return "/dev/fd/" + std::to_string(ends[0]);
}

TEST(TextLines, PipeReadOnceForBothPasses) {
  TempDir dir;
  int fd = -1;
  const std::string name = pipe_holding("2\t3\tA\tB\tC\npopA\ti1\t1\t0\t9\npopA\ti2\t1\t1\t0\npopB\ti3\t0\t0\t1\nEND\n", fd);
  RecordingLog log;
  Loaded d;
  load(d, name, "", log);
  close(fd);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(testing::rows_of(d.scores), (std::vector<std::vector<int>>{{1, 0, 9}, {1, 1, 0}, {0, 0, 1}}));
  EXPECT_EQ(testing::ints_of(d.bounds, 0, 2), (std::vector<int>{0, 2, 3}));

  // 2000000000 x 1 is more than the 21 bytes the pipe holds: counted by
  // reading, since a pipe cannot seek to its end.
  const std::string big = pipe_holding("2000000000\t1\tA\np\ti\t1\n", fd);
  EXPECT_EQ(load_failure(big, kLongestLine),
            (Texts{"E:\nnumber of populations 2000000000 on line 1 from file " + big + " is more than the file holds"}));
  close(fd);
}

}  // namespace
}  // namespace bandscape
