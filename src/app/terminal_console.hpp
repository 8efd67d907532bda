// The two consoles of the program.
//
// Both follow the same rules for an answer: the first key is taken at once;
// Return (carriage return or line feed) as the first key means "take the
// default"; any other key is echoed, begins the answer, and the rest is read
// with echo up to Return.  The answer is the first white-space-delimited word
// of what was typed; when only blanks were typed it counts as Return.
//
// TerminalConsole reads a terminal in raw mode (no terminal echo, no wait for
// Return) and echoes and edits the answer itself (app/line_editor.hpp):
// Backspace and Delete erase, Ctrl+U clears, cursor and function keys are
// swallowed, Ctrl+D on an empty answer ends the input.
// StreamConsole applies the same rules to a byte stream (a pipe, a file, or a
// string in the tests); "\n", "\r" and "\r\n" each count as one Return, and the
// typed answer is echoed to its output followed by "\n", as a terminal shows it.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>

#include "app/console.hpp"

namespace bandscape {

class TerminalConsole : public Console {
 public:
  // `in_fd` must refer to a terminal; text goes to `out`.
  explicit TerminalConsole(int in_fd = 0, std::FILE* out = stdout);
  void print(const std::string& text) override;
  Answer read_answer() override;
  void wait_for_key() override;
  bool input_ended() const override { return ended_; }

 private:
  int in_fd_;
  std::FILE* out_;
  bool ended_ = false;
};

class StreamConsole : public Console {
 public:
  StreamConsole(std::istream& in, std::ostream& out);
  void print(const std::string& text) override;
  Answer read_answer() override;
  void wait_for_key() override;
  bool input_ended() const override { return ended_; }

 private:
  int next_byte();
  std::istream& in_;
  std::ostream& out_;
  bool skip_line_feed_ = false;  // the last Return was "\r": a "\n" after it belongs to it
  bool ended_ = false;
};

// The first white-space-delimited word of `typed` (empty when there is none).
std::string first_word(const std::string& typed);

// The answer that the line `typed` gives: kReturn when it holds only blanks.
Answer answer_from_typed(const std::string& typed);

// TerminalConsole when standard input is a terminal, else a StreamConsole on
// standard input and output.
std::unique_ptr<Console> make_console();

}  // namespace bandscape
