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
// WindowsConsole reads the keys of a Windows console one at a time (_getch:
// no echo, no wait for Return) and edits the answer with the same line editor:
// the two-code keys of _getch (a lead 0x00 or 0xE0, then the key's code) are
// translated to what a terminal sends for them (Delete erases, the other
// cursor and function keys are swallowed), and Ctrl+Z, the end-of-file key of
// Windows, counts as Ctrl+D.
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

#ifndef _WIN32
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
#endif

// Where the Windows console's keys come from: _getch on the program's console,
// a script in the tests.  A key is one or two codes as _getch returns them.
class KeySource {
 public:
  virtual ~KeySource() = default;
  // The next code; -1 when no key can be read any more.
  virtual int next_code() = 0;
  // Called before and after each read of an answer or a key (the program's
  // source sets the console's input mode and puts it back).
  virtual void begin_reading() {}
  virtual void end_reading() {}
};

// What a terminal would send for the key whose codes begin with `code` (the
// second code of a two-code key is taken from `keys`); empty for a key that
// sends nothing.  Public for the tests.
std::string terminal_bytes_of_key(int code, KeySource& keys);

class WindowsConsole : public Console {
 public:
  WindowsConsole(KeySource& keys, std::FILE* out) : keys_(keys), out_(out) {}
  void print(const std::string& text) override;
  Answer read_answer() override;
  void wait_for_key() override;
  bool input_ended() const override { return ended_; }

 private:
  KeySource& keys_;
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

// TerminalConsole (on Windows: WindowsConsole) when standard input is a
// terminal, else a StreamConsole on standard input and output.
std::unique_ptr<Console> make_console();

}  // namespace bandscape
