// Runs of the built program whose output files cannot be written: the error
// log, the STRUCTURE file, each bootstrap side file, the report itself, a
// read-only working folder.  Files are made unwritable by putting a folder of
// the same name in their place, which holds for root too; the read-only folder
// runs the program as the unprivileged user 65534 when the tests run as root.
//
// Every failing run is compared with a successful run of the same data,
// options and seed: the report of the failing run must be exactly the
// successful report up to the point where the failing step writes (so nothing
// written before the fault is lost), and the messages are the program's own
// fatal texts, checked whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <filesystem>
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

using testing::ends_with;
using testing::expect_fatal;
using testing::Outcome;
using testing::text_before;

Outcome run(const std::string& args, const std::string& prefix = "") { return testing::run_program(args, "", prefix); }

// The report "aflpout.txt" of a successful batch run of four_pops.txt with
// `args`; the folder is left with only the data file "aflpdata.txt".
std::string successful_report(const std::string& args) {
  for (const auto& entry : fs::directory_iterator(".")) fs::remove_all(entry.path());
  fs::copy_file(kData / "four_pops.txt", "aflpdata.txt");
  const Outcome ok = run(args);
  EXPECT_EQ(ok.status, 0) << ok.console;
  const std::string report = read_file("aflpout.txt");
  for (const auto& entry : fs::directory_iterator("."))
    if (entry.path().filename() != "aflpdata.txt") fs::remove_all(entry.path());
  return report;
}

const char* const kArgs = "--batch --seed 5 -p 3 -b 2";

// error.txt cannot be opened: emptying it at the start is ignored, and the
// first text appended to it (the seed line, after the correlation line of the
// report) ends the run with the console message of the append operation.
TEST(Faults, ErrorLogThatCannotBeOpenedEndsTheRunAtItsFirstText) {
  TempDir dir;
  const std::string full = successful_report(kArgs);
  fs::create_directory("error.txt");
  const Outcome out = run(kArgs);
  expect_fatal(out, "error in writing \nseed:-5 : cannot open file", "(P-value    0.77120)");
  EXPECT_EQ(read_file("aflpout.txt"), text_before(full, "\n\nTable 1"));
  EXPECT_TRUE(fs::is_directory("error.txt"));
}

// structure.txt cannot be created: fatal right after the report header, whose
// lines stay in the report.
TEST(Faults, StructureFileThatCannotBeCreated) {
  TempDir dir;
  const std::string full = successful_report(kArgs);
  fs::create_directory("structure.txt");
  const Outcome out = run(kArgs);
  expect_fatal(out, "\nError in write_structure_file: cannot open file structure.txt");
  EXPECT_EQ(read_file("error.txt"), "\nError in write_structure_file: cannot open file structure.txt");
  EXPECT_EQ(read_file("aflpout.txt"), text_before(full, "\nMean number of fragments"));
}

// Each of the three bootstrap files in turn cannot be created: the files
// before it in the order nei, fst, reyn were created empty, the run ends with
// its message, and the report holds everything up to the distance blocks
// (the bootstrap line and all later tables are missing).
TEST(Faults, EachBootstrapFileThatCannotBeCreated) {
  const std::vector<std::string> files = {"aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"};
  for (size_t k = 0; k < files.size(); ++k) {
    SCOPED_TRACE(files[k]);
    TempDir dir;
    const std::string full = successful_report(kArgs);
    fs::create_directory(files[k]);
    const Outcome out = run(kArgs);
    const std::string message = "\nError in bootstrap_distance: cannot open file " + files[k];
    expect_fatal(out, message);
    EXPECT_EQ(read_file("error.txt"), "\nseed:-5" + message);
    for (size_t j = 0; j < k; ++j) EXPECT_EQ(fs::file_size(files[j]), 0u) << files[j];
    for (size_t j = k + 1; j < files.size(); ++j) EXPECT_FALSE(fs::exists(files[j])) << files[j];
    const std::string report = read_file("aflpout.txt");
    EXPECT_EQ(report, text_before(full, "\n\n2 bootstrapped"));
    EXPECT_NE(report.find("Table 4: Permutation test"), std::string::npos);
  }
}

// The report cannot be opened for appending: a batch run stops before
// reading anything, with its console message; no error log is made.
TEST(Faults, ReportThatCannotBeOpened) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "aflpdata.txt");
  fs::create_directory("aflpout.txt");
  const Outcome out = run(kArgs);
  expect_fatal(out, "\ncannot open output file aflpout.txt", "\nOutput file: aflpout.txt");
  EXPECT_FALSE(fs::exists("error.txt"));
}

// A read-only working folder, run as an unprivileged user (root ignores the
// permission bits).  Without a report the run cannot start; with a writable
// report already there, the header goes to the report and the first side file
// (structure.txt) ends the run, whose message cannot reach error.txt either.
#ifndef _WIN32  // POSIX permission bits and user ids
TEST(Faults, ReadOnlyWorkingFolder) {
  std::string prefix;
  if (geteuid() == 0) {
    if (std::system("command -v setpriv > /dev/null 2>&1") != 0) GTEST_SKIP() << "setpriv not available";
    prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups";
  }
  TempDir dir;
  const std::string full = successful_report(kArgs);
  fs::permissions("aflpdata.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const auto read_only = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                         fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(".", read_only);
  const Outcome no_report = run(kArgs, prefix);
  expect_fatal(no_report, "\ncannot open output file aflpout.txt");

  fs::permissions(".", fs::perms::owner_all);
  write_file("aflpout.txt", "earlier");
  fs::permissions("aflpout.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                     fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
  fs::permissions(".", read_only);
  const Outcome with_report = run(kArgs, prefix);
  fs::permissions(".", fs::perms::owner_all);
  expect_fatal(with_report,
               "error in writing \nError in write_structure_file: cannot open file structure.txt : cannot open file",
               "\nError in write_structure_file: cannot open file structure.txt");
  EXPECT_EQ(read_file("aflpout.txt"), "earlier" + text_before(full, "\nMean number of fragments"));
  EXPECT_FALSE(fs::exists("error.txt"));
}

#endif

}  // namespace
}  // namespace bandscape
