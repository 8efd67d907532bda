// The data file read once, line by line: the longest line allowed (a parameter:
// a limit of 10 stands in for 268435456), reading that ends where the passes
// stop, and a pipe, which can be read only once and has no size to seek.
#include <gtest/gtest.h>
#include <unistd.h>

#include <stdexcept>
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

// Lines forgotten as a pass goes on: the kept ones read back intact however
// often the buffer was moved down; a forgotten one is a fault of the caller.
TEST(TextLines, ForgottenLinesLeaveTheKeptOnesIntact) {
  TempDir dir;
  auto expected = [](int n) {
    return std::string(static_cast<std::size_t>(n % 7) * 40, static_cast<char>('a' + n % 26)) + "#" +
           std::to_string(n) + "\n";
  };
  std::string text;
  for (int n = 1; n <= 300; ++n) text += expected(n);
  write_file("lines.txt", text);
  RecordingLog log;
  TextLines lines("lines.txt");
  for (int n = 1; n <= 300; ++n) {
    ASSERT_EQ(lines.line(n, log), expected(n));
    if (n % 3 != 0) continue;
    lines.forget_before(n - 1);  // the line before stays readable
    ASSERT_EQ(lines.line(n - 1, log), expected(n - 1));
    EXPECT_THROW(lines.line(n - 2, log), std::logic_error);
  }
  lines.forget_before(400);  // beyond the lines read: all of them go
  EXPECT_THROW(lines.line(300, log), std::logic_error);
}

// Rows kept by the first pass in blocks that grow from 64 KiB: with 30,000
// loci the first blocks hold 2, 4, 8, ... rows, and every row comes back in
// its place, names with it.
TEST(ScannedScores, RowsAcrossBlocksComeBackInOrder) {
  TempDir dir;
  const int m = 30000, n = 40;
  auto score = [](int x, int j) { return (x * 7 + j * 3) % 5 == 0 ? 9 : (x + j / 5) % 2; };
  std::string text = "2\t" + std::to_string(m);
  for (int j = 0; j < m; ++j) text += "\tL" + std::to_string(j);
  text += "\n";
  for (int x = 0; x < n; ++x) {
    text += std::string(x < 15 ? "popA" : "popB") + "\t ind" + std::to_string(x) + " ";
    for (int j = 0; j < m; ++j) text += "\t" + std::to_string(score(x, j));
    text += "\n";
  }
  write_file("wide.txt", text + "END\n");
  RecordingLog log;
  Loaded d;
  load(d, "wide.txt", "", log);
  ASSERT_EQ(d.ntot, n);
  EXPECT_EQ(ints_of(d.bounds, 0, 2), (std::vector<int>{0, 15, 40}));
  for (int x = 0; x < n; ++x) {
    EXPECT_EQ(d.individuals[static_cast<std::size_t>(x)], "ind" + std::to_string(x));
    for (int j = 0; j < m; ++j) ASSERT_EQ(d.scores[x][j], score(x, j)) << x << " " << j;
  }
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
