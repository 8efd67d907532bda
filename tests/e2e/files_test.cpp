// The files of a run, seen from a script: a report that is also a file the
// run reads or writes, a full disk, symbolic links planted under the side
// files' names, the output folder, and side files left by an earlier run.
//
// Every failing run is compared with a successful run of the same data,
// options and seed, so what must survive a fault is checked byte for byte.
// A full disk is played by /dev/full (every write fails with ENOSPC) and by a
// file-size limit set with prlimit (a write past the limit fails with EFBIG;
// the program ignores SIGXFSZ so that the failure reaches it as an error).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/run_program.hpp"
#include "test_util.hpp"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BANDSCAPE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define BANDSCAPE_SANITIZED 1
#endif
#endif

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::ends_with;
using testing::expect_fatal;
using testing::Outcome;
using testing::text_before;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

const fs::path kData = fs::path(BANDSCAPE_TEST_DATA) / "e2e";
const char* const kArgs = "--batch --seed 5 -p 3 -b 2 ";
const std::vector<std::string> kSideFiles = {"error.txt",    "structure.txt", "resample.txt",
                                             "aflp_nei.txt", "aflp_fst.txt",  "aflp_reyn.txt"};

Outcome run(const std::string& args, const std::string& prefix = "") { return testing::run_program(args, "", prefix); }

// The files of a successful run of four_pops.txt (as d.txt) with `args` and
// the report r.txt, in a folder of their own; the current folder is then left
// with d.txt alone.
struct FullRun {
  std::string report, error_log, resample, nei, fst;
};
FullRun full_run(const std::string& args) {
  for (const auto& entry : fs::directory_iterator(".")) fs::remove_all(entry.path());
  fs::copy_file(kData / "four_pops.txt", "d.txt");
  const Outcome ok = run(args + " d.txt r.txt");
  EXPECT_EQ(ok.status, 0) << ok.console;
  EXPECT_TRUE(ends_with(ok.console, "\n\nThe program has finished normally.\n"));
  EXPECT_EQ(ok.errors, "");
  FullRun full{read_file("r.txt"), read_file("error.txt"), read_file("resample.txt"), read_file("aflp_nei.txt"),
               read_file("aflp_fst.txt")};
  for (const auto& entry : fs::directory_iterator("."))
    if (entry.path().filename() != "d.txt") fs::remove_all(entry.path());
  return full;
}

// A batch run whose report is the data file, the subset file or a side file
// stops before it touches any file: the data and subset files keep their
// bytes, and no error log, side file or output folder is made.
TEST(RunFiles, ReportThatIsAFileOfTheRunStopsABatchRun) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "d.txt");
  fs::copy_file(kData / "subset.txt", "g.txt");
  fs::create_hard_link("d.txt", "same_inode.txt");
  write_file("structure.txt", "earlier rows");
  const std::string data = read_file("d.txt"), subset = read_file("g.txt");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"d.txt d.txt", "d.txt"},
      {"--erase d.txt d.txt", "d.txt"},
      {"--erase d.txt same_inode.txt", "same_inode.txt"},
      {"--erase d.txt g.txt g.txt", "g.txt"},
      {"--erase d.txt structure.txt", "structure.txt"},
      {"--erase --outdir out/a d.txt aflp_fst.txt", "out/a/aflp_fst.txt"},
      {"--erase --outdir out d.txt ../d.txt", "out/../d.txt"},
  };
  for (const auto& [names, report] : cases) {
    SCOPED_TRACE(names);
    const Outcome out = run(kArgs + names);
    expect_fatal(out, "\noutput file " + report + " is also a file this run reads or writes");
    EXPECT_EQ(read_file("d.txt"), data);
    EXPECT_EQ(read_file("g.txt"), subset);
    EXPECT_EQ(read_file("structure.txt"), "earlier rows");
    EXPECT_FALSE(fs::exists("error.txt"));
    EXPECT_FALSE(fs::exists("out"));
  }
}

// A write that fails ends the run with the file's name and the system's
// reason, on the console, on the error stream and in error.txt; the file
// keeps what was written before the fault.  (The limit applies to the
// console's file too: the runs below print less than 4096 bytes.)
TEST(RunFiles, FullDiskEndsTheRun) {
#ifdef _WIN32
  GTEST_SKIP() << "no /dev/full and no file-size limit (prlimit) on Windows";
#endif
  TempDir dir;
  const std::string too_large = std::strerror(EFBIG);
  {
    SCOPED_TRACE("report");
    const FullRun full = full_run("--batch --seed 5");
    if (fs::exists("/dev/full")) {
      const Outcome out = run("--batch --seed 5 d.txt /dev/full");
      const std::string message = "\nerror in writing file /dev/full: " + std::string(std::strerror(ENOSPC));
      expect_fatal(out, message);
      EXPECT_EQ(read_file("error.txt"), message);
    }
    const Outcome out = run("--batch --seed 5 d.txt r.txt", "prlimit --fsize=4096");
    const std::string message = "\nerror in writing file r.txt: " + too_large;
    expect_fatal(out, message);
    EXPECT_EQ(read_file("r.txt"), full.report.substr(0, 4096));
    EXPECT_EQ(read_file("error.txt"), full.error_log + message);
  }
  {
    // A bootstrap block of four populations takes 207 bytes: the 20th block
    // does not fit in aflp_nei.txt, so the other two files keep 19 blocks.
    SCOPED_TRACE("aflp_nei.txt");
    const FullRun full = full_run("--batch --seed 5 -b 30");
    ASSERT_EQ(full.nei.size(), 30u * 207u);
    const Outcome out = run("--batch --seed 5 -b 30 d.txt r.txt", "prlimit --fsize=4096");
    const std::string message = "\nerror in writing file aflp_nei.txt: " + too_large;
    expect_fatal(out, message);
    EXPECT_EQ(read_file("aflp_nei.txt"), full.nei.substr(0, 4096));
    EXPECT_EQ(read_file("aflp_fst.txt"), full.fst.substr(0, 19 * 207));
    EXPECT_EQ(read_file("r.txt"), text_before(full.report, "\n\n30 bootstrapped"));
    EXPECT_TRUE(ends_with(read_file("error.txt"), message));
  }
}

// A symbolic link under a side file's name is never written through: the run
// stops with its message, or (resample.txt and the bootstrap files, which a
// run removes before it writes them anew) the link itself is replaced; the
// file it points to keeps its bytes.
TEST(RunFiles, SideFilesAreNotWrittenThroughLinks) {
  TempDir dir;
  const FullRun full = full_run(kArgs);
  write_file("victim.txt", "precious");
  if (!testing::make_symlink("victim.txt", "error.txt")) GTEST_SKIP() << "no symbolic link can be made here";
  {
    const Outcome out = run(kArgs + std::string("d.txt r.txt"));
    expect_fatal(out, "\ncannot open file error.txt: it is a symbolic link");
    EXPECT_EQ(read_file("r.txt"), "");
    fs::remove("error.txt");
    fs::remove("r.txt");
  }
  {
    ASSERT_TRUE(testing::make_symlink("victim.txt", "structure.txt"));
    const Outcome out = run(kArgs + std::string("d.txt r.txt"));
    const std::string message = "\ncannot open file structure.txt: it is a symbolic link";
    expect_fatal(out, message);
    EXPECT_EQ(read_file("error.txt"), message);
    EXPECT_EQ(read_file("r.txt"), text_before(full.report, "\nMean number of fragments"));
    fs::remove("structure.txt");
    fs::remove("r.txt");
  }
  {
    ASSERT_TRUE(testing::make_symlink("victim.txt", "resample.txt"));
    ASSERT_TRUE(testing::make_symlink("victim.txt", "aflp_fst.txt"));
    const Outcome out = run(kArgs + std::string("d.txt r.txt"));
    EXPECT_EQ(out.status, 0) << out.console;
    EXPECT_FALSE(fs::is_symlink("resample.txt"));
    EXPECT_FALSE(fs::is_symlink("aflp_fst.txt"));
    EXPECT_EQ(read_file("resample.txt"), full.resample);
    EXPECT_EQ(read_file("r.txt"), full.report);
  }
  EXPECT_EQ(read_file("victim.txt"), "precious");
}

// --outdir: the report (relative name) and every side file go to the folder,
// made with its parents, holding what a run in the working folder writes; the
// data and subset files are still read from the working folder.
TEST(RunFiles, OutputFolderTakesEveryFile) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "d.txt");
  fs::copy_file(kData / "subset.txt", "g.txt");
  const std::string args = std::string(kArgs) + "d.txt r.txt g.txt";
  ASSERT_EQ(run(args).status, 0);
  std::vector<std::string> expected;
  for (const auto& f : kSideFiles) expected.push_back(read_file(f));
  const std::string report = read_file("r.txt");
  for (const auto& entry : fs::directory_iterator("."))
    if (entry.path().filename() != "d.txt" && entry.path().filename() != "g.txt") fs::remove_all(entry.path());

  const Outcome out = run("--outdir res/x/y " + args);
  EXPECT_EQ(out.status, 0) << out.console;
  EXPECT_EQ(read_file("res/x/y/r.txt"), report);
  for (size_t k = 0; k < kSideFiles.size(); ++k) {
    EXPECT_EQ(read_file("res/x/y/" + kSideFiles[k]), expected[k]) << kSideFiles[k];
    EXPECT_FALSE(fs::exists(kSideFiles[k])) << kSideFiles[k];
  }
  EXPECT_FALSE(fs::exists("r.txt"));
}

// Memory that cannot be had is logged in the folder's "erreur".  The address
// space is limited to 500 MB and 30,000 individuals need 1.8 GB for their
// relatedness alone; the sanitizers reserve more than that for themselves.
TEST(RunFiles, AllocationFailureIsLoggedInTheOutputFolder) {
#ifdef BANDSCAPE_SANITIZED
  GTEST_SKIP() << "the sanitizers need more address space than the limit";
#endif
#ifdef _WIN32
  GTEST_SKIP() << "no address-space limit (prlimit) on Windows";
#endif
  TempDir dir;
  std::string data = "2\t1\tL1\n";
  for (int i = 0; i < 30000; ++i) data += std::string(i < 15000 ? "A" : "B") + "\ti\t" + char('0' + i % 2) + "\n";
  write_file("d.txt", data + "END\n");
  const Outcome out = run("--batch --threads 1 --outdir res d.txt r.txt", "timeout 60 prlimit --as=500000000");
  expect_fatal(out, "\nallocation failure 2 in matrix()");
  EXPECT_EQ(read_file("res/erreur"), "\nallocation failure 2 in matrix()");
  EXPECT_FALSE(fs::exists("erreur"));
}

// resample.txt and the bootstrap files of an earlier run are removed when the
// run is going to write them (more than one population, permutations or
// bootstraps asked), so a run that stops early does not leave them beside its
// report; otherwise they are left alone.
TEST(RunFiles, StaleSideFilesAreRemovedWhenTheRunWritesThemAgain) {
  const std::vector<std::string> stale = {"resample.txt", "aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"};
  auto plant = [&] {
    for (const auto& f : stale) write_file(f, "earlier run");
  };
  auto kept = [&](size_t k) { return fs::exists(stale[k]) && read_file(stale[k]) == "earlier run"; };
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "d.txt");
  fs::copy_file(kData / "one_pop.txt", "one.txt");
  fs::create_directory("structure.txt");  // the run stops right after its header

  plant();
  expect_fatal(run("--batch -p 3 d.txt r.txt"), "\nError in write_structure_file: cannot open file structure.txt");
  EXPECT_FALSE(fs::exists("resample.txt"));
  for (size_t k = 1; k < stale.size(); ++k) EXPECT_TRUE(kept(k)) << stale[k];

  plant();
  expect_fatal(run("--batch -b 2 d.txt r.txt"), "\nError in write_structure_file: cannot open file structure.txt");
  EXPECT_TRUE(kept(0));
  for (size_t k = 1; k < stale.size(); ++k) EXPECT_FALSE(fs::exists(stale[k])) << stale[k];

  plant();
  expect_fatal(run("--batch -p 3 -b 2 one.txt r.txt"), "\nError in write_structure_file: cannot open file structure.txt");
  for (size_t k = 0; k < stale.size(); ++k) EXPECT_TRUE(kept(k)) << stale[k];
}

}  // namespace
}  // namespace bandscape
