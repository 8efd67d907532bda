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
using testing::read_file;
using testing::TempDir;
using testing::write_file;

struct Measured {
  int status = -1;
  long peak_kb = 0;  // largest resident set of the program, in kB
};

// Runs the program in `folder` with `args`, console to /dev/null, and reads
// its peak resident memory from the kernel's accounting of that one child.
Measured run_measured(const fs::path& folder, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string exe = BANDSCAPE_EXE;
  argv.push_back(exe.data());
  std::vector<std::string> copies = args;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    if (chdir(folder.c_str()) != 0) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  Measured m;
  int status = 0;
  rusage usage{};
  if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m.peak_kb = usage.ru_maxrss;
  }
  return m;
}

// 5000 threads asked for, 10 populations x 10 individuals x 300 loci, 1000
// permutations: never more than one batch of 64 replicates (relatedness: 13
// chunks of rows) has workers, so the working arrays are those of at most 64
// workers, about 7 MB (a set for each of the 1000 permutations would take
// over 100 MB), and the files are those of one thread.
TEST(Limits, WorkersBeyondTheWorkKeepMemorySmall) {
  TempDir dir;
  const std::string generate = std::string("'") + AFLPGEN_EXE + "' -r 10 -n 10 -m 300 -s 7 -o data.txt";
  ASSERT_EQ(std::system(generate.c_str()), 0);
  const std::vector<std::string> files = {"out.txt",      "error.txt",    "structure.txt", "resample.txt",
                                          "aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"};
  std::vector<std::string> reference;
  for (const char* threads : {"1", "5000"}) {
    fs::create_directory(threads);
    const Measured m =
        run_measured(threads, {"--batch", "--seed", "11", "-p", "1000", "-b", "300", "--threads", threads,
                               "../data.txt", "out.txt"});
    ASSERT_EQ(m.status, 0) << threads << " threads";
#ifndef BANDSCAPE_SANITIZED
    EXPECT_LT(m.peak_kb, 64 * 1024) << threads << " threads";
#endif
    for (std::size_t k = 0; k < files.size(); ++k) {
      const std::string text = read_file(fs::path(threads) / files[k]);
      if (reference.size() < files.size()) {
        reference.push_back(text);
      } else {
        EXPECT_EQ(text, reference[k]) << files[k];
      }
    }
  }
}

// A header declaring 3,000,000 loci: collecting their names needs more memory
// than 60 MB of address space allows.  The run ends like any fatal error:
// the message on the console and in error.txt, exit status 1 (not an abort).
// A small data set runs normally under the same limit.
TEST(Limits, OutOfMemoryIsAFatalErrorWithStatusOne) {
#ifdef BANDSCAPE_SANITIZED
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
  TempDir dir;
  const int m = 3000000;
  std::string header = "1\t" + std::to_string(m);
  header.reserve(2 * static_cast<std::size_t>(m) + 16);
  for (int k = 0; k < m; ++k) header += "\t1";
  write_file("big.txt", header + "\n");
  fs::copy_file(fs::path(BANDSCAPE_TEST_DATA) / "e2e" / "four_pops.txt", "small.txt");
  const std::string limit = "ulimit -v 60000;";
  const testing::Outcome small = testing::run_program("--batch --threads 1 --seed 3 -p 20 -b 5 small.txt s.txt", "", limit);
  EXPECT_EQ(small.status, 0) << small.console;
  const testing::Outcome big = testing::run_program("--batch --seed 3 big.txt b.txt", "", limit);
  EXPECT_EQ(big.status, 1) << big.console;
  EXPECT_TRUE(big.console.ends_with("\nout of memory")) << big.console;
  EXPECT_EQ(read_file("error.txt"), "\nout of memory");
}

// Three populations whose first 10 characters agree and one name with a
// comma: both warnings, once each, in error.txt (and on the console) just
// before the distance blocks, after the permutation test's lines.
TEST(Limits, PhylipLabelWarningsBeforeTheDistanceBlocks) {
  TempDir dir;
  std::string data = "4\t3\t100\t200\t300\n";
  const char* names[] = {"PopulationNorth", "PopulationSouth", "b,c", "PopulationEast"};
  const char* rows[] = {"1\t0\t1", "0\t1\t1", "1\t1\t0", "0\t0\t1", "1\t0\t0", "0\t1\t1", "1\t1\t1", "0\t0\t0"};
  for (int k = 0; k < 8; ++k) data += std::string(names[k / 2]) + "\ti" + std::to_string(k) + "\t" + rows[k] + "\n";
  write_file("aflpdata.txt", data + "END\n");
  const testing::Outcome out = testing::run_program("--batch --seed 5 -m 1 -b 2");
  EXPECT_EQ(out.status, 0) << out.console;
  const std::string pair =
      "\nWARNING! populations PopulationNorth and PopulationSouth have the same first 10 characters: their Phylip "
      "labels are identical";
  const std::string comma = "\nWARNING! population name b,c holds a character that PHYLIP does not accept in names";
  const std::string log = read_file("error.txt");
  EXPECT_TRUE(log.ends_with(pair + comma)) << log;
  EXPECT_EQ(log.find(pair), log.rfind(pair));
  EXPECT_NE(out.console.find(pair + comma + "\n\nStarting bootstraps"), std::string::npos) << out.console;
}

}  // namespace
}  // namespace bandscape
