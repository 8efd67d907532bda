// Runs of the built program ended by SIGTERM or SIGINT.  A batch run stopped
// during its permutations must end by the signal itself, with the note as the
// last text of the report and of error.txt, and before the note exactly what
// an uninterrupted run with the same seed wrote first (so nothing was cut or
// interleaved).  On a pseudo-terminal, Ctrl+C during a question puts the
// terminal settings back; the note is written only once the file names are
// settled.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/run_program.hpp"
#include "pty.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::Pty;
using testing::read_file;
using testing::TempDir;
using testing::wait_until;

const std::string kNote = "\n\nThe run was interrupted before it finished";

// Starts the program in the current folder, on `terminal` (as its controlling
// terminal) or else with /dev/null for input and output.  Both signals have
// their default action and are unblocked in the child, whatever the test
// runner left.
pid_t start_program(const std::vector<std::string>& args, const std::string& terminal = "") {
  std::vector<std::string> words = {BANDSCAPE_EXE};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  int fd = -1;
  if (terminal.empty()) {
    fd = open("/dev/null", O_RDWR);
  } else {
    setsid();
    fd = open(terminal.c_str(), O_RDWR);  // a session leader's first terminal becomes its controlling one
  }
  dup2(fd, 0);
  dup2(fd, 1);
  dup2(fd, 2);
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// The child's wait status; a child still running after two minutes is killed
// and -1 returned, so a run that never ends fails the test instead of hanging it.
int wait_for(pid_t pid) {
  int status = 0;
  if (wait_until([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 120)) return status;
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  ADD_FAILURE() << "the program did not end within two minutes of the signal";
  return -1;
}

bool contains(const std::string& file, const std::string& text) { return read_file(file).find(text) != std::string::npos; }

// `interrupted` is `full` cut anywhere, followed by the note.
void expect_prefix_and_note(const std::string& interrupted, const std::string& full) {
  ASSERT_GE(interrupted.size(), kNote.size());
  const size_t cut = interrupted.size() - kNote.size();
  EXPECT_EQ(interrupted.substr(cut), kNote);
  EXPECT_LT(cut, full.size());
  EXPECT_EQ(interrupted.substr(0, cut), full.substr(0, cut));
}

TEST(Interrupt, BatchRunEndsByTheSignalWithTheNoteAfterWholeTexts) {
  TempDir dir;
  // 6 populations of 30 individuals, 300 loci: the 1000 permutations take
  // about a second after Table 3.
  ASSERT_EQ(std::system((std::string(AFLPGEN_EXE) + " -r 6 -n 30 -m 300 -s 3 -o aflpdata.txt").c_str()), 0);
  const std::vector<std::string> args = {"--batch", "--seed", "7", "-p", "1000"};
  const testing::Outcome ok = testing::run_program("--batch --seed 7 -p 1000");
  ASSERT_EQ(ok.status, 0) << ok.console;
  const std::string full_report = read_file("aflpout.txt");
  const std::string full_log = read_file("error.txt");

  for (const int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    fs::remove("aflpout.txt");
    fs::remove("error.txt");
    const pid_t pid = start_program(args);
    const bool started = wait_until([] { return contains("aflpout.txt", "Table 3"); }, 60);
    kill(pid, sig);
    const int status = wait_for(pid);
    ASSERT_TRUE(started);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), sig);
    const std::string report = read_file("aflpout.txt");
    expect_prefix_and_note(report, full_report);
    EXPECT_NE(report.find("Table 3"), std::string::npos);
    expect_prefix_and_note(read_file("error.txt"), full_log);
  }
}

TEST(Interrupt, CtrlCOnATerminalPutsItBackAndNotesOnlyASettledRun) {
  Pty pty;
  if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminal available";
  TempDir dir;
  ASSERT_EQ(std::system((std::string(AFLPGEN_EXE) + " -r 2 -n 5 -m 20 -o in.txt").c_str()), 0);

  // The first file name question: nothing is settled, nothing is written.
  pid_t pid = start_program({}, pty.slave_name);
  bool asked = wait_until([&] { return pty.raw(); }, 60);
  pty.type("\x03");
  int status = wait_for(pid);
  ASSERT_TRUE(asked);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_TRUE(pty.canonical());
  EXPECT_FALSE(fs::exists("error.txt"));
  EXPECT_FALSE(fs::exists("aflpout.txt"));

  // The method menu: the report exists (empty) and error.txt was emptied.
  pid = start_program({"in.txt", "out.txt"}, pty.slave_name);
  asked = wait_until([&] { return pty.raw(); }, 60);
  pty.type("\x03");
  status = wait_for(pid);
  ASSERT_TRUE(asked);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_TRUE(pty.canonical());
  EXPECT_EQ(read_file("out.txt"), kNote);
  EXPECT_EQ(read_file("error.txt"), kNote);
  EXPECT_NE(pty.screen().find("Choose a method"), std::string::npos);
}

}  // namespace
}  // namespace bandscape
