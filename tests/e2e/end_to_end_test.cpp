// End-to-end runs of the built program on small data files: every output file
// is compared whole with an expected file in tests/data/e2e/expected/<case>/.
//
// The expected files were produced by the program and then checked line by
// line against the unit-tested kernels (whose values come from hand-worked
// cases and independent scripts) and against the formats of each table.  Set
// BANDSCAPE_UPDATE_EXPECTED=1 to rewrite them after a deliberate change, and
// review the difference before committing it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "e2e/run_program.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

const fs::path kData = fs::path(BANDSCAPE_TEST_DATA) / "e2e";

using testing::Outcome;

// Runs the program in the current folder with `args`, feeding `answers` on stdin.
Outcome run(const std::string& args, const std::string& answers = "") { return testing::run_program(args, answers); }

void copy_data(const std::string& name, const std::string& as) {
  fs::copy_file(kData / name, as, fs::copy_options::overwrite_existing);
}

// The clock seed differs from run to run: mask it where the run was not seeded.
std::string mask_seed(const std::string& text) {
  return std::regex_replace(text, std::regex("seed:-[0-9]+"), "seed:-CLOCK");
}

// Compares (or, when asked, rewrites) each named output file of a case.
void expect_files(const std::string& case_name, const std::vector<std::string>& files, bool masked = false) {
  const fs::path dir = kData / "expected" / case_name;
  const bool update = std::getenv("BANDSCAPE_UPDATE_EXPECTED") != nullptr;
  for (const auto& file : files) {
    std::string actual = read_file(file);
    if (masked) actual = mask_seed(actual);
    if (update) {
      fs::create_directories(dir);
      write_file(dir / file, actual);
      continue;
    }
    ASSERT_TRUE(fs::exists(dir / file)) << "no expected file " << (dir / file);
    EXPECT_EQ(actual, read_file(dir / file)) << case_name << ": " << file << " differs";
  }
}

const std::vector<std::string> kMainFiles = {"aflpout.txt", "error.txt", "structure.txt"};
const std::vector<std::string> kResampleFiles = {"aflpout.txt",  "error.txt",    "structure.txt", "resample.txt",
                                                 "aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"};

TEST(EndToEnd, ReturnAtEveryPromptRunsTheDefaultAnalysis) {
  TempDir dir;
  copy_data("three_pops.txt", "aflpdata.txt");
  const Outcome out = run("", std::string(8, '\n'));
  EXPECT_EQ(out.status, 1);
  EXPECT_NE(out.console.find("The program has finished normally. Press Return to close the window."),
            std::string::npos);
  expect_files("default_dialogue", kMainFiles, /*masked=*/true);
}

TEST(EndToEnd, BatchRunWithResamplingIsReproducibleFromItsSeed) {
  TempDir dir;
  copy_data("four_pops.txt", "data.txt");
  const std::string args = "--batch --seed 4711 -m 2 -F 0.25 -p 120 -b 12 data.txt report.txt";
  const Outcome first = run(args);
  EXPECT_EQ(first.status, 0) << first.console;
  std::vector<std::string> files = kResampleFiles;
  files[0] = "report.txt";
  expect_files("sqrt_resampling", files);
  // The same seed gives the same files byte for byte.
  std::vector<std::string> before;
  for (const auto& f : files) before.push_back(read_file(f));
  fs::remove("report.txt");
  fs::remove("structure.txt");
  EXPECT_EQ(run(args).status, 0);
  for (size_t k = 0; k < files.size(); ++k) EXPECT_EQ(read_file(files[k]), before[k]) << files[k];
}

TEST(EndToEnd, EachMethodGivesItsExpectedReport) {
  for (const char* method : {"1", "3", "4"}) {
    TempDir dir;
    copy_data("four_pops.txt", "aflpdata.txt");
    const std::string fis = std::string(method) == "1" ? "" : " -F 0.2";
    const Outcome out = run(std::string("--batch --seed 99 -p 40 -b 3 -m ") + method + fis);
    EXPECT_EQ(out.status, 0) << out.console;
    expect_files(std::string("method") + method, kResampleFiles);
  }
}

TEST(EndToEnd, SubsetFileSelectsAndKeepsFileOrder) {
  TempDir dir;
  copy_data("four_pops.txt", "aflpdata.txt");
  copy_data("subset.txt", "subset.txt");
  const Outcome out = run("aflpdata.txt aflpout.txt subset.txt", std::string(8, '\n'));
  EXPECT_EQ(out.status, 1);
  expect_files("subset", kMainFiles, /*masked=*/true);
}

TEST(EndToEnd, SinglePopulationSkipsTheStructureTables) {
  TempDir dir;
  copy_data("one_pop.txt", "aflpdata.txt");
  const Outcome out = run("--batch --seed 5 -p 100 -b 100");
  EXPECT_EQ(out.status, 0) << out.console;
  EXPECT_FALSE(fs::exists("resample.txt"));
  expect_files("one_population", kMainFiles);
}

TEST(EndToEnd, LocusNamesWithoutSizesSkipTheCorrelation) {
  TempDir dir;
  copy_data("named_loci.txt", "aflpdata.txt");
  const Outcome out = run("--batch --seed 8 -m 1");
  EXPECT_EQ(out.status, 0) << out.console;
  expect_files("named_loci", kMainFiles);
}

TEST(EndToEnd, OptionsAndDialogueAnswersGiveIdenticalFiles) {
  std::vector<std::string> by_options, by_dialogue;
  {
    TempDir dir;
    copy_data("four_pops.txt", "aflpdata.txt");
    ASSERT_EQ(run("--batch --seed 321 -m 3 -F 0.1 -p 50 -b 5").status, 0);
    for (const auto& f : kResampleFiles) by_options.push_back(read_file(f));
  }
  {
    TempDir dir;
    copy_data("four_pops.txt", "aflpdata.txt");
    // Names by Return; method 3, Fis 0.1, 50 permutations, 5 bootstraps; final key.
    run("--seed 321", "\n\n\n3\n0.1\n50\n5\n\n");
    for (const auto& f : kResampleFiles) by_dialogue.push_back(read_file(f));
  }
  for (size_t k = 0; k < kResampleFiles.size(); ++k) EXPECT_EQ(by_options[k], by_dialogue[k]) << kResampleFiles[k];
}

// Worker threads change nothing in the files: the same run with 1, 2 and 7
// threads, for every method, on data whose permuted and bootstrapped sets
// provoke warnings inside the replicates (a locus scored in two individuals
// only, so permutations leave populations without data there, and negative
// VarL(Hj) lines).
TEST(EndToEnd, ThreadCountsGiveIdenticalFiles) {
  std::string data = "3\t6\t100\t120\t140\t160\t180\t200\n";
  const char* rows[] = {"1\t0\t1\t1\t0\t9", "1\t1\t1\t0\t0\t9", "0\t1\t9\t1\t0\t9", "1\t0\t0\t1\t1\t1",
                        "0\t0\t1\t1\t1\t9", "1\t1\t0\t0\t1\t9", "0\t1\t1\t1\t0\t0", "1\t1\t1\t0\t1\t9",
                        "0\t0\t0\t1\t0\t9"};
  for (int k = 0; k < 9; ++k) data += std::string("pop") + char('A' + k / 3) + "\ti" + std::to_string(k) + "\t" + rows[k] + "\n";
  data += "END\n";
  for (const char* method : {"1", "2", "3", "4"}) {
    std::vector<std::vector<std::string>> files_by_threads;
    for (const char* threads : {"1", "2", "7"}) {
      TempDir dir;
      write_file("aflpdata.txt", data);
      const std::string fis = std::string(method) == "1" ? "" : " -F 0.2";
      const Outcome out = run(std::string("--batch --seed 17 -p 150 -b 60 --threads ") + threads + " -m " + method + fis);
      EXPECT_EQ(out.status, 0) << out.console;
      std::vector<std::string> files;
      for (const auto& f : kResampleFiles) files.push_back(read_file(f));
      files.push_back(out.console);
      files_by_threads.push_back(files);
    }
    EXPECT_NE(files_by_threads[0][1].find("always missing"), std::string::npos) << "method " << method;
    for (size_t k = 0; k < kResampleFiles.size() + 1; ++k) {
      const std::string name = k < kResampleFiles.size() ? kResampleFiles[k] : "console";
      EXPECT_EQ(files_by_threads[0][k], files_by_threads[1][k]) << "method " << method << ", 2 threads: " << name;
      EXPECT_EQ(files_by_threads[0][k], files_by_threads[2][k]) << "method " << method << ", 7 threads: " << name;
    }
  }
}

TEST(EndToEnd, FatalErrorHalfWayKeepsEverythingWrittenBefore) {
  TempDir dir;
  copy_data("four_pops.txt", "aflpdata.txt");
  fs::create_directory("resample.txt");  // the permutation values cannot be written
  const Outcome out = run("--batch --seed 77 -p 10");
  EXPECT_EQ(out.status, 1);
  const std::string report = read_file("aflpout.txt");
  EXPECT_NE(report.find("Table 4: Permutation test"), std::string::npos);
  EXPECT_EQ(report.find("Nei_s genetic distance"), std::string::npos);
  const std::string log = read_file("error.txt");
  EXPECT_EQ(log, "\nseed:-77\nnegative value for VarL(Hj) for pop 1\ncannot open file in resample_write");
}

TEST(EndToEnd, MalformedDataFileStopsWithItsMessage) {
  TempDir dir;
  write_file("aflpdata.txt", "2\t2\tL1\tL2\npopA\ti1\t1\t0\npopA\ti2\t1\t2\npopB\ti3\t0\t0\nEND\n");
  write_file("aflpout.txt", "earlier results");
  const Outcome out = run("--batch");
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(read_file("error.txt"), "\nAn incorrect value of 2 was found on line 3 from file aflpdata.txt");
  EXPECT_EQ(read_file("aflpout.txt"), "earlier results");
  EXPECT_NE(out.console.find("An incorrect value of 2 was found on line 3 from file aflpdata.txt"),
            std::string::npos);
}

}  // namespace
}  // namespace bandscape

namespace bandscape {
namespace {

// Exit statuses and the files a run touches, seen from a script.
TEST(EndToEndCommandLine, StatusesAndUntouchedFiles) {
  TempDir dir;
  // A bad option: one line, the hint, status 2, no file created.
  Outcome out = run("-m 7 data.txt out.txt");
  EXPECT_EQ(out.status, 2);
  EXPECT_EQ(out.console, "");
  EXPECT_EQ(out.errors,
            "bandscape: invalid value '7' for --method: choose 1, 2, 3 or 4\n"
            "Try 'bandscape --help' for more information.\n");
  EXPECT_TRUE(fs::is_empty(fs::current_path()));

  // A missing input file in batch mode: a clear message, status 1, no report.
  out = run("--batch nothere.txt");
  EXPECT_EQ(out.status, 1);
  EXPECT_NE(out.console.find("\ncannot open input file nothere.txt"), std::string::npos);
  EXPECT_FALSE(fs::exists("aflpout.txt"));

  // Help and version: status 0.
  out = run("--version");
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(out.console, "BANDSCAPE 1.0\n");
  out = run("--help");
  EXPECT_EQ(out.status, 0);
  EXPECT_NE(out.console.find("--seed"), std::string::npos);

  // A given seed is logged negated, as a clock seed is.
  copy_data("three_pops.txt", "aflpdata.txt");
  out = run("--batch --seed 2436 --erase");
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(read_file("error.txt").substr(0, 12), "\nseed:-2436\n");
}

}  // namespace
}  // namespace bandscape
