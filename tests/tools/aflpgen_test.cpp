// The data generator, run as the built program: the same arguments give the
// same bytes, the output is a well-formed data file, the committed example is
// exactly what its documented command makes, and its SilicoDArT form reads as
// its native form.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_program.hpp"
#include "input/dart_file.hpp"
#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace {

using bandscape::testing::read_file;
using bandscape::testing::TempDir;

int run(const std::string& arguments) {
#ifdef _WIN32
  const std::string null_device = "NUL";
#else
  const std::string null_device = "/dev/null";
#endif
  return bandscape::testing::run_redirected(AFLPGEN_EXE, arguments, null_device, null_device, null_device);
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep)) parts.push_back(part);
  return parts;
}

// 20,000 markers of 10 samples: the reader keeps them in blocks of 6,553,
// 13,106, ... rows, and makes, line by line, exactly the native file that the
// same arguments write, with no warning.
TEST(AflpGenerator, SilicoDArTFormReadsAsTheNativeFile) {
  TempDir dir;
  const std::string args = "--populations 2 --individuals 5 --loci 20000 --missing 0.1 --seed 5";
  ASSERT_EQ(run(args + " --output native.txt"), 0);
  ASSERT_EQ(run(args + " --output report.csv --silicodart populations.csv"), 0);
  EXPECT_EQ(read_file("populations.csv").substr(0, 26), "id,pop\nP01_001,Pop01\nP01_0");
  bandscape::testing::RecordingLog log;
  const std::vector<char> text = bandscape::silicodart_as_native_text("report.csv", "populations.csv", log).rest();
  EXPECT_TRUE(std::string(text.begin(), text.end()) == read_file("native.txt"));
  EXPECT_TRUE(log.entries.empty());
}

TEST(AflpGenerator, SameArgumentsSameBytes) {
  TempDir dir;
  const std::string args = "--populations 3 --individuals 4-9 --loci 40 --missing 0.05 --fst 0.2 --seed 99";
  ASSERT_EQ(run(args + " --output a.txt"), 0);
  ASSERT_EQ(run(args + " -o b.txt"), 0);
  ASSERT_EQ(run("--populations 3 --individuals 4-9 --loci 40 --missing 0.05 --fst 0.2 --seed 100 -o c.txt"), 0);
  EXPECT_EQ(read_file("a.txt"), read_file("b.txt"));
  EXPECT_NE(read_file("a.txt"), read_file("c.txt"));
}

TEST(AflpGenerator, OutputIsAWellFormedDataFile) {
  TempDir dir;
  // 500 loci: more than the 451 whole sizes of 50..500, so one decimal.
  ASSERT_EQ(run("-r 4 -n 5-12 -m 500 --seed 3 -o d.txt"), 0);
  const std::vector<std::string> lines = split(read_file("d.txt"), '\n');
  ASSERT_GE(lines.size(), 6u);
  const std::vector<std::string> header = split(lines[0], '\t');
  ASSERT_EQ(header.size(), 502u);
  EXPECT_EQ(header[0], "4");
  EXPECT_EQ(header[1], "500");
  double previous = 0.0;
  for (size_t k = 2; k < header.size(); ++k) {
    const double size = std::stod(header[k]);
    EXPECT_GT(size, previous);
    EXPECT_GE(size, 50.0);
    EXPECT_LE(size, 500.0);
    EXPECT_EQ(header[k].size() - header[k].find('.'), 2u) << header[k];  // one decimal
    previous = size;
  }
  EXPECT_EQ(lines.back(), "END");
  std::set<std::string> populations;
  std::string last_population;
  int in_population = 0;
  for (size_t l = 1; l + 1 < lines.size(); ++l) {
    const std::vector<std::string> f = split(lines[l], '\t');
    ASSERT_EQ(f.size(), 502u) << "line " << l + 1;
    if (f[0] != last_population) {
      EXPECT_TRUE(populations.insert(f[0]).second) << "population split: " << f[0];
      if (!last_population.empty()) {
        EXPECT_GE(in_population, 5);
        EXPECT_LE(in_population, 12);
      }
      last_population = f[0];
      in_population = 0;
    }
    ++in_population;
    // "Pop02" owns "P02_001", "P02_002", ...
    EXPECT_EQ(f[1], "P" + f[0].substr(3) + "_" + std::string(3 - std::to_string(in_population).size(), '0') +
                        std::to_string(in_population));
    for (size_t k = 2; k < f.size(); ++k) EXPECT_TRUE(f[k] == "0" || f[k] == "1" || f[k] == "9") << f[k];
  }
  EXPECT_EQ(populations, (std::set<std::string>{"Pop01", "Pop02", "Pop03", "Pop04"}));
}

TEST(AflpGenerator, ExampleDataIsReproducible) {
  TempDir dir;
  ASSERT_EQ(run("--populations 6 --individuals 8-30 --loci 100 --missing 0.02 --fst 0.15 --seed 20240611 "
                "--output regenerated.txt"),
            0);
  EXPECT_EQ(read_file("regenerated.txt"), read_file(std::string(BANDSCAPE_EXAMPLES) + "/aflpdata.txt"));
}

TEST(AflpGenerator, BadArgumentsExitWithStatusTwo) {
  TempDir dir;
  EXPECT_EQ(run("--loci 0"), 2);
  EXPECT_EQ(run("--individuals 9-3"), 2);
  EXPECT_EQ(run("--missing 1.5"), 2);
  EXPECT_EQ(run("--bogus"), 2);
  EXPECT_EQ(run("--help"), 0);
}

}  // namespace
