// The consoles: the answer rules on a byte stream, and the terminal console on
// a pseudo-terminal (the answer read raw and echoed by the program, terminal
// settings put back on return).  Expected answers follow from the rules by
// hand: Return first means the default, otherwise the first word of the line.
#include "app/terminal_console.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

#ifndef _WIN32
#include "pty.hpp"
#endif

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

// ------------------------------------------------------------------ Windows console

std::string file_text(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) s += static_cast<char>(c);
  return s;
}

// Codes as _getch delivers them, then -1 for ever; counts the reads and
// checks that every code is taken inside begin_reading() / end_reading().
class ScriptedKeys : public KeySource {
 public:
  explicit ScriptedKeys(std::vector<int> codes) : codes_(std::move(codes)) {}
  int next_code() override {
    EXPECT_TRUE(reading_) << "a key read outside begin_reading()";
    return at_ < codes_.size() ? codes_[at_++] : -1;
  }
  void begin_reading() override { reading_ = true; ++reads; }
  void end_reading() override { reading_ = false; }
  bool reading() const { return reading_; }
  int reads = 0;

 private:
  std::vector<int> codes_;
  std::size_t at_ = 0;
  bool reading_ = false;
};

std::vector<int> codes(const std::string& typed) { return {typed.begin(), typed.end()}; }
std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Two-code keys of _getch: lead 0xE0 (or 0x00 for the function keys), then the key.
const std::vector<int> kLeft = {0xE0, 0x4B}, kUp = {0xE0, 0x48}, kDelete = {0xE0, 0x53}, kF1 = {0x00, 0x3B};
const std::vector<int> kRight = {0xE0, 0x4D}, kHome = {0xE0, 0x47}, kEnd = {0xE0, 0x4F};

TEST(WindowsConsole, EditsTheAnswerAsTheTerminalConsoleDoes) {
  // Backspace erases "x"; Left on the empty answer and F1 neither show nor
  // enter the answer; Left then Delete erases the last character; Ctrl+Z on an
  // empty answer is the end.
  ScriptedKeys keys(codes("x\b") + kLeft + codes("rep.txt") + kF1 + codes(" x\r") + codes("ab") + kLeft + kDelete +
                    codes("\r") + codes("\r") + codes("q\x1a\r") + codes("\x1a"));
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  WindowsConsole console(keys, out);
  Answer a = console.read_answer();
  EXPECT_EQ(a.kind, Answer::kWord);
  EXPECT_EQ(a.word, "rep.txt");
  EXPECT_EQ(a.typed, "rep.txt x");
  a = console.read_answer();
  EXPECT_EQ(a.word, "a");
  EXPECT_EQ(a.typed, "a");
  EXPECT_EQ(console.read_answer().kind, Answer::kReturn);
  a = console.read_answer();  // Ctrl+Z after a character is ignored, as Ctrl+D is
  EXPECT_EQ(a.word, "q");
  EXPECT_FALSE(console.input_ended());
  EXPECT_EQ(console.read_answer().kind, Answer::kEnd);
  EXPECT_TRUE(console.input_ended());
  EXPECT_FALSE(keys.reading());  // the console mode is put back after every read
  EXPECT_EQ(keys.reads, 5);
  EXPECT_EQ(file_text(out), "x\b \brep.txt x\nab\b \b\nq\n");
  std::fclose(out);
}

TEST(WindowsConsole, CursorKeysMoveInTheAnswer) {
  // "bc", Home, "a" before it, End, "d", Left, Right: "abcd".  Shown: Home
  // two columns back, "a" with "bc" again and back, End shows "bc", Left one
  // back, Right shows "d" again.
  ScriptedKeys keys(codes("bc") + kHome + codes("a") + kEnd + codes("d") + kLeft + kRight + codes("\r"));
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  WindowsConsole console(keys, out);
  EXPECT_EQ(console.read_answer().word, "abcd");
  EXPECT_EQ(file_text(out), "bc\b\babc\b\bbcd\bd\n");
  std::fclose(out);
}

TEST(WindowsConsole, WaitForKeyTakesAWholeKeyWithoutEcho) {
  ScriptedKeys keys(kUp + codes("y\r") + codes("z") + codes("\x1a"));
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  WindowsConsole console(keys, out);
  console.wait_for_key();  // both codes of the arrow
  EXPECT_EQ(console.read_answer().word, "y");
  console.wait_for_key();
  EXPECT_FALSE(console.input_ended());
  console.wait_for_key();  // Ctrl+Z: the end of input
  EXPECT_TRUE(console.input_ended());
  EXPECT_FALSE(keys.reading());
  // A console gone in the middle of an answer: what was typed is the answer.
  ScriptedKeys cut(codes("abc"));
  WindowsConsole second(cut, out);
  EXPECT_EQ(second.read_answer().word, "abc");
  EXPECT_EQ(second.read_answer().kind, Answer::kEnd);
  console.print("done");
  EXPECT_EQ(file_text(out), "y\nabcdone");
  std::fclose(out);
}

// ------------------------------------------------------------------ terminal
#ifndef _WIN32

using testing::Pty;
using testing::wait_until;

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

#endif

}  // namespace
}  // namespace bandscape
