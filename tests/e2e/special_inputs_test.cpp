// Runs of the built program on data that does not come from a plain file (a
// FIFO, a process substitution, /dev/zero) and on a data file that reads with
// warnings.  A data set read through a pipe must give exactly the files that
// the same data gives from a plain file (same options and seed).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "e2e/run_program.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::Outcome;
using testing::read_file;
using testing::run_program;
using testing::TempDir;

const fs::path kData = fs::path(BANDSCAPE_TEST_DATA) / "e2e";
const char* const kArgs = "--batch --seed 5 -p 3 -b 2";
const char* const kOutputs[] = {"aflpout.txt", "error.txt", "structure.txt", "resample.txt", "aflp_nei.txt"};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// Every output file of a run, by name, then the folder emptied.
std::map<std::string, std::string> take_outputs() {
  std::map<std::string, std::string> files;
  for (const char* name : kOutputs) files[name] = read_file(name);
  for (const auto& entry : fs::directory_iterator(".")) fs::remove_all(entry.path());
  return files;
}

// The report with the data file's name in its first line replaced by DATA.
std::string without_data_name(std::string report) {
  const std::string head = "\nThe file ", tail = " has been read succesfully";
  const size_t from = report.find(head), to = report.find(tail);
  EXPECT_LT(from, to);
  if (from < to) report.replace(from + head.size(), to - from - head.size(), "DATA");
  return report;
}

TEST(SpecialInputs, FifoAndProcessSubstitutionGiveThePlainFileResults) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "aflpdata.txt");
  const Outcome plain = run_program(kArgs);
  ASSERT_EQ(plain.status, 0) << plain.console;
  auto expected = take_outputs();

  // A FIFO named like the plain file, opened by the program only once: a
  // second opening would find the writer gone (it gives up after 20 s, and its
  // own opening counts within that time).
  ASSERT_EQ(mkfifo("aflpdata.txt", 0600), 0);
  const std::string writer =
      "timeout 20 sh -c \"cat '" + (kData / "four_pops.txt").string() + "' > aflpdata.txt\" 2>/dev/null &";
  const Outcome fifo = run_program(kArgs, "", writer);
  EXPECT_EQ(fifo.status, 0) << fifo.console;
  EXPECT_EQ(take_outputs(), expected);

  // <(cat ...) through bash, whose $0 is the program: the report names /dev/fd/N.
  fs::copy_file(kData / "four_pops.txt", "data.txt");
  const Outcome piped =
      run_program("", "", std::string("bash -c '\"$0\" ") + kArgs + " <(cat data.txt) aflpout.txt'");
  EXPECT_EQ(piped.status, 0) << piped.console;
  fs::remove("data.txt");
  auto got = take_outputs();
  EXPECT_NE(got["aflpout.txt"].find("\nThe file /dev/fd/"), std::string::npos);
  got["aflpout.txt"] = without_data_name(got["aflpout.txt"]);
  expected["aflpout.txt"] = without_data_name(expected["aflpout.txt"]);
  EXPECT_EQ(got, expected);
}

// /dev/zero holds no line break: line 1 is refused at 268435456 characters,
// within a 600,000 kB address space (a line buffer that kept growing would
// fail there with another message) and within seconds.  AddressSanitizer
// builds cannot run in such an address space: the limit is left out there.
TEST(SpecialInputs, DevZeroEndsAtTheLongestLine) {
  TempDir dir;
  const auto start = std::chrono::steady_clock::now();
  const Outcome out = run_program("--batch /dev/zero out.txt", "", kAddressSanitizer ? "" : "ulimit -v 600000;");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(read_file("error.txt"), "\nline 1 of file /dev/zero is longer than 268435456 characters");
  EXPECT_LT(seconds, 30.0);
}

// every_warning.txt (see tests/input/data_line_warnings_test.cpp), with
// structure.txt a folder: the four warnings reach error.txt once each, in
// order, before the fatal message of the STRUCTURE export.
TEST(SpecialInputs, DataLineWarningsComeOnceInOrderBeforeTheExport) {
  TempDir dir;
  fs::copy_file(fs::path(BANDSCAPE_TEST_DATA) / "hostile" / "every_warning.txt", "d.txt");
  fs::create_directory("structure.txt");
  const Outcome out = run_program("--batch --seed 5 d.txt out.txt");
  EXPECT_EQ(out.status, 1);
  const std::string warnings =
      "\nWARNING! 2 lines of file d.txt hold more than 2 scores (the first is line 2): the extra fields are not read"
      "\nWARNING! 3 scores of file d.txt are not written 0, 1 or 9 (the first is \" 1\" on line 3, read as 1)"
      "\nWARNING! file d.txt holds data lines after its 4 declared populations (from line 7 on): they are not "
      "analysed"
      "\nWARNING! population popA of line 5 of file d.txt has the name of an earlier population (line 2): the two "
      "are analysed as different populations";
  EXPECT_EQ(read_file("error.txt"), warnings + "\nError in write_structure_file: cannot open file structure.txt");
}

}  // namespace
}  // namespace bandscape
