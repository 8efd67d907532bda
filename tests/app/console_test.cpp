// The consoles: the answer rules on a byte stream, and the terminal console on
// a pseudo-terminal (raw first key, echo of the rest, terminal settings put
// back on return and on SIGINT).  Expected answers follow from the rules by
// hand: Return first means the default, otherwise the first word of the line.
#include "app/terminal_console.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <thread>

namespace bandscape {
namespace {

// ------------------------------------------------------------------ stream

struct Script {
  std::istringstream in;
  std::ostringstream out;
  StreamConsole console;
  explicit Script(const std::string& keys) : in(keys), console(in, out) {}
};

TEST(StreamConsole, EachLineBreakFormCountsAsOneReturn) {
  Script s("\n\r\r\nword\r\n\n");
  EXPECT_EQ(s.console.read_answer().kind, Answer::kReturn);  // "\n"
  EXPECT_EQ(s.console.read_answer().kind, Answer::kReturn);  // "\r"
  EXPECT_EQ(s.console.read_answer().kind, Answer::kReturn);  // "\r\n"
  const Answer w = s.console.read_answer();
  EXPECT_EQ(w.kind, Answer::kWord);
  EXPECT_EQ(w.word, "word");
  EXPECT_EQ(s.console.read_answer().kind, Answer::kReturn);  // the "\n" after "word\r\n" is not a second Return
  EXPECT_FALSE(s.console.input_ended());
  EXPECT_EQ(s.console.read_answer().kind, Answer::kEnd);
  EXPECT_TRUE(s.console.input_ended());
  EXPECT_EQ(s.out.str(), "word\n");  // only the typed answer is echoed
}

TEST(StreamConsole, AnswerIsTheFirstWordOfTheLine) {
  Script s("  data.txt more\n\t \nlast");
  Answer a = s.console.read_answer();
  EXPECT_EQ(a.kind, Answer::kWord);
  EXPECT_EQ(a.word, "data.txt");
  // Only blanks typed: nothing to answer with, taken as Return.
  EXPECT_EQ(s.console.read_answer().kind, Answer::kReturn);
  // The last line has no Return: the end of input closes it.
  a = s.console.read_answer();
  EXPECT_EQ(a.kind, Answer::kWord);
  EXPECT_EQ(a.word, "last");
  EXPECT_EQ(s.console.read_answer().kind, Answer::kEnd);
  EXPECT_EQ(s.out.str(), "  data.txt more\n\t \nlast\n");
}

TEST(StreamConsole, WaitForKeyTakesOneKeyWithoutEcho) {
  Script s("x\r\nabc\n");
  s.console.wait_for_key();  // "x"
  s.console.wait_for_key();  // "\r" with its "\n"
  const Answer a = s.console.read_answer();
  EXPECT_EQ(a.word, "abc");
  s.console.wait_for_key();
  EXPECT_TRUE(s.console.input_ended());
  s.console.print("done");
  EXPECT_EQ(s.out.str(), "abc\ndone");
}

// ------------------------------------------------------------------ terminal

struct Pty {
  int master = -1;
  int slave = -1;
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    const char* name = ptsname(master);
    if (name) slave = open(name, O_RDWR | O_NOCTTY);
  }
  ~Pty() {
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
  }
  bool ok() const { return master >= 0 && slave >= 0; }
  bool canonical() const {
    termios t{};
    tcgetattr(slave, &t);
    return (t.c_lflag & ICANON) != 0 && (t.c_lflag & ECHO) != 0;
  }
  bool raw() const {
    termios t{};
    tcgetattr(slave, &t);
    return (t.c_lflag & (ICANON | ECHO)) == 0;
  }
  void type(const std::string& keys) const { ASSERT_EQ(write(master, keys.data(), keys.size()), (ssize_t)keys.size()); }
  // What the terminal has echoed so far.
  std::string screen() const {
    std::string s;
    pollfd p{master, POLLIN, 0};
    char buf[256];
    while (poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
      const ssize_t n = read(master, buf, sizeof buf);
      if (n <= 0) break;
      s.append(buf, static_cast<size_t>(n));
    }
    return s;
  }
};

bool wait_until(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::string file_text(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) s += static_cast<char>(c);
  return s;
}

TEST(TerminalConsole, FirstKeyRawThenTheLineWithEcho) {
  Pty pty;
  if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminal available";
  ASSERT_TRUE(pty.canonical());
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  TerminalConsole console(pty.slave, out);

  Answer a;
  std::thread reader([&] { a = console.read_answer(); });
  ASSERT_TRUE(wait_until([&] { return pty.raw(); }));
  pty.type("r");
  ASSERT_TRUE(wait_until([&] { return pty.canonical(); }));
  pty.type("ep.txt x\n");
  reader.join();
  EXPECT_EQ(a.kind, Answer::kWord);
  EXPECT_EQ(a.word, "rep.txt");
  EXPECT_EQ(file_text(out), "r");                // the first key, shown by the program
  EXPECT_EQ(pty.screen(), "ep.txt x\r\n");       // the rest, echoed by the terminal

  // Return as the first key: no echo, the default; settings put back.
  std::thread reader2([&] { a = console.read_answer(); });
  ASSERT_TRUE(wait_until([&] { return pty.raw(); }));
  pty.type("\r");
  reader2.join();
  EXPECT_EQ(a.kind, Answer::kReturn);
  EXPECT_TRUE(pty.canonical());
  EXPECT_EQ(pty.screen(), "");

  // The end-of-file key as the first key ends the input; so does wait_for_key's.
  std::thread reader3([&] { console.wait_for_key(); });
  ASSERT_TRUE(wait_until([&] { return pty.raw(); }));
  pty.type("\x04");
  reader3.join();
  EXPECT_TRUE(console.input_ended());
  EXPECT_TRUE(pty.canonical());
  std::fclose(out);

  struct sigaction current {};
  sigaction(SIGINT, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);  // the interrupt handler is removed again
}

TEST(TerminalConsole, InterruptPutsTheTerminalBack) {
  Pty pty;
  if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminal available";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TerminalConsole console(pty.slave, stdout);
    console.read_answer();
    _exit(0);
  }
  const bool went_raw = wait_until([&] { return pty.raw(); });
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(went_raw);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  EXPECT_TRUE(pty.canonical());
}

}  // namespace
}  // namespace bandscape
