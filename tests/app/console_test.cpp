// The consoles: the answer rules on a byte stream, and the terminal console on
// a pseudo-terminal (the answer read raw and echoed by the program, terminal
// settings put back on return).  Expected answers follow from the rules by
// hand: Return first means the default, otherwise the first word of the line.
#include "app/terminal_console.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "pty.hpp"

namespace bandscape {
namespace {

using testing::Pty;
using testing::wait_until;

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
  EXPECT_EQ(a.typed, "  data.txt more");
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

std::string file_text(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) s += static_cast<char>(c);
  return s;
}

TEST(TerminalConsole, WholeAnswerReadRawAndEchoedByTheProgram) {
  Pty pty;
  if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminal available";
  ASSERT_TRUE(pty.canonical());
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  TerminalConsole console(pty.slave, out);

  // x, Backspace, Left arrow, then the name: the program edits and echoes, the
  // terminal echoes nothing; the settings are put back once Return is read.
  Answer a;
  std::thread reader([&] { a = console.read_answer(); });
  ASSERT_TRUE(wait_until([&] { return pty.raw(); }));
  pty.type("x\x7f\x1b[Drep.txt x\r");
  reader.join();
  EXPECT_EQ(a.kind, Answer::kWord);
  EXPECT_EQ(a.word, "rep.txt");
  EXPECT_EQ(a.typed, "rep.txt x");
  EXPECT_TRUE(pty.canonical());
  EXPECT_EQ(file_text(out), "x\b \brep.txt x\n");
  EXPECT_EQ(pty.screen(), "");

  // Return as the first key: no echo, the default.
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
}

}  // namespace
}  // namespace bandscape
