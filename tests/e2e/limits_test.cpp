// Runs at the limits of the machine: far more threads asked for than there is
// work, too little memory for the data, and population names that the Phylip
// blocks cannot keep apart.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "e2e/run_program.hpp"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BANDSCAPE_SANITIZED 1
#endif

namespace bandscape {
namespace {

using testing::read_file;

// Runs the program in `folder`, console to /dev/null; returns its exit status
// and its peak resident memory in kB, from the kernel's account of that child.
std::pair<int, long> run_measured(const char* folder, const std::string& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    for (int fd : {0, 1, 2}) dup2(null_fd, fd);
    if (chdir(folder) == 0) execl("/bin/sh", "sh", "-c", ("exec '" BANDSCAPE_EXE "' " + args).c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
}

// 5000 threads asked for, 10 populations x 10 individuals x 300 loci, 1000
// permutations: never more than one batch of 64 replicates (relatedness: 13
// chunks of rows) has workers, so the working arrays are those of at most 64
// workers, about 7 MB (a set for each of the 1000 permutations would take
// over 100 MB), and the files are those of one thread.
TEST(Limits, WorkersBeyondTheWorkKeepMemorySmall) {
  testing::TempDir dir;
  ASSERT_EQ(std::system("'" AFLPGEN_EXE "' -r 10 -n 10 -m 300 -s 7 -o data.txt"), 0);
  for (const char* threads : {"1", "5000"}) {
    std::filesystem::create_directory(threads);
    const auto [status, peak_kb] =
        run_measured(threads, std::string("--batch --seed 11 -p 1000 -b 300 --threads ") + threads + " ../data.txt o");
    ASSERT_EQ(status, 0) << threads << " threads";
#ifndef BANDSCAPE_SANITIZED
    EXPECT_LT(peak_kb, 64 * 1024) << threads << " threads";
#endif
  }
  for (const char* file : {"o", "error.txt", "resample.txt", "aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"}) {
    EXPECT_EQ(read_file(std::string("5000/") + file), read_file(std::string("1/") + file)) << file;
  }
}

// A header declaring 3,000,000 loci: collecting their names needs more than
// 60 MB of address space, which a small data set does not.  The run ends as a
// fatal error does: message on the console and in error.txt, status 1, no abort.
TEST(Limits, OutOfMemoryIsAFatalErrorWithStatusOne) {
#ifdef BANDSCAPE_SANITIZED
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
  testing::TempDir dir;
  std::string header = "1\t3000000";
  for (int k = 0; k < 3000000; ++k) header += "\t1";
  testing::write_file("big.txt", header + "\n");
  std::filesystem::copy_file(std::string(BANDSCAPE_TEST_DATA) + "/e2e/four_pops.txt", "small.txt");
  const char* limit = "ulimit -v 60000;";
  EXPECT_EQ(testing::run_program("--batch --threads 1 -p 20 -b 5 small.txt s", "", limit).status, 0);
  const testing::Outcome big = testing::run_program("--batch big.txt b", "", limit);
  EXPECT_EQ(big.status, 1) << big.console;
  // The message names the last step the run finished (the file names), so
  // the one that ran out of memory is the reading of the data.
  EXPECT_TRUE(big.console.ends_with("\nout of memory after step file_names of the run\n")) << big.console;
  EXPECT_EQ(big.errors, "out of memory after step file_names of the run\n");
  EXPECT_EQ(read_file("error.txt"), "\nout of memory after step file_names of the run");
}

// Populations 1 and 2 agree in their first 10 characters, 3 has a comma: both
// warnings, once each, end error.txt and reach the console just before the
// bootstrap starts (the distance blocks come in between, in the report).
TEST(Limits, PhylipLabelWarningsBeforeTheDistanceBlocks) {
  testing::TempDir dir;
  std::string data = "4\t3\t100\t200\t300\n";
  const char* names[] = {"PopulationNorth", "PopulationSouth", "b,c", "PopulationEast"};
  const char* rows[] = {"1\t0\t1", "0\t1\t1", "1\t1\t0", "0\t0\t1", "1\t0\t0", "0\t1\t1", "1\t1\t1", "0\t0\t0"};
  for (int k = 0; k < 8; ++k) data += std::string(names[k / 2]) + "\ti" + std::to_string(k) + "\t" + rows[k] + "\n";
  testing::write_file("aflpdata.txt", data + "END\n");
  const testing::Outcome out = testing::run_program("--batch --seed 5 -m 1 -b 2");
  EXPECT_EQ(out.status, 0) << out.console;
  const std::string warnings =
      "\nWARNING! populations PopulationNorth and PopulationSouth have the same first 10 characters: their Phylip "
      "labels are identical\nWARNING! population name b,c holds a character that PHYLIP does not accept in names";
  EXPECT_EQ(read_file("error.txt"), "\nseed:-5" + warnings);
  EXPECT_NE(out.console.find(warnings + "\n\nStarting bootstraps"), std::string::npos) << out.console;
}

}  // namespace
}  // namespace bandscape
