// The data file read once into memory: the longest line allowed (a parameter:
// a limit of 10 stands in for 268435456), reading that ends where the passes
// stop, and a pipe, which can be read only once and has no size to seek.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "input/data_file.hpp"
#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using namespace testing;
using Texts = std::vector<std::string>;

Texts refused(const std::string& file, std::size_t longest) {
  return fatal_log([&](MessageLog& log) {
    Loaded d;
    load(d, file, "", log, longest);
  });
}

TEST(TextLines, LongestLineAllowed) {
  TempDir dir;
  // Line 2 of ten characters passes; a longer line after END is never read.
  write_file("ten.txt", "1\t1\tA\np\tiiiiii\t1\nEND\n" + std::string(100, 'x'));
  RecordingLog log;
  Loaded d;
  load(d, "ten.txt", "", log, 10);
  EXPECT_EQ(d.ntot, 1);
  EXPECT_TRUE(log.entries.empty());
  write_file("eleven.txt", "1\t1\tA\np\tiiiiiii\t1\nEND\n");
  EXPECT_EQ(refused("eleven.txt", 10), Texts{"E:\nline 2 of file eleven.txt is longer than 10 characters"});
}

#ifndef _WIN32  // /dev/fd
// /dev/fd/N of a pipe whose writing end is closed: opened once more, read once.
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
  const std::string name =
      pipe_holding("2\t3\tA\tB\tC\npopA\ti1\t1\t0\t9\npopA\ti2\t1\t1\t0\npopB\ti3\t0\t0\t1\nEND\n", fd);
  RecordingLog log;
  Loaded d;
  load(d, name, "", log);
  close(fd);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(rows_of(d.scores), (std::vector<std::vector<int>>{{1, 0, 9}, {1, 1, 0}, {0, 0, 1}}));
  EXPECT_EQ(ints_of(d.bounds, 0, 2), (std::vector<int>{0, 2, 3}));

  // 2000000000 x 1 is more than the 21 bytes the pipe holds, counted by reading.
  const std::string big = pipe_holding("2000000000\t1\tA\np\ti\t1\n", fd);
  EXPECT_EQ(refused(big, kLongestLine),
            Texts{"E:\nnumber of populations 2000000000 on line 1 from file " + big + " is more than the file holds"});
  close(fd);
}

#endif

}  // namespace
}  // namespace bandscape
