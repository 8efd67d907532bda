// Editing of one typed answer, fed one byte at a time.
//
// The terminal is read with its own echo and line editing turned off, so the
// program echoes and edits the answer itself, the same way on every terminal.
// The answer has a cursor, at its end unless moved:
//   - printable characters are inserted at the cursor and shown, byte for byte
//     (the bytes of a UTF-8 character or of a pasted text included); inside
//     the answer the rest of it is shown again after them and the cursor
//     taken back ("\b" per character);
//   - Left and Right (ESC [ D, ESC [ C, or ESC O D/C) move the cursor by one
//     character, Home (ESC [ H, ESC [ 1 ~, ESC [ 7 ~, ESC O H) and End (ESC [ F,
//     ESC [ 4 ~, ESC [ 8 ~, ESC O F) to the start and the end;
//   - Backspace (DEL 0x7f or BS 0x08) erases the character before the cursor,
//     the Delete key (ESC [ 3 ~) the one under it, all bytes of a UTF-8
//     character, one column on the screen (at the end: "\b \b");
//   - Ctrl+U erases the whole answer;
//   - other escape sequences of the cursor and function keys (CSI "ESC [ ...
//     final", SS3 "ESC O x") are swallowed whole: they neither show nor enter
//     the answer; an ESC followed by anything else is dropped and the byte
//     after it taken as typed;
//   - other control characters are ignored;
//   - Return (CR or LF) ends the answer; Ctrl+D on an empty answer is the end
//     of input.
// A character takes one column.  The editor knows nothing of the terminal: it
// is given bytes and says what to show, so any byte source (a terminal, a
// console that delivers the same key sequences, a test) can drive it.
#pragma once

#include <string>

namespace bandscape {

class LineEditor {
 public:
  enum class Step { kTyping, kReturn, kEndOfInput };

  // Takes one byte; appends to `echo` what the screen must show for it.
  Step feed(unsigned char byte, std::string& echo);
  // The answer as typed so far (without its Return).
  const std::string& text() const { return text_; }

 private:
  enum class Escape { kNone, kStart, kCsi, kCsiBracket, kSs3 };
  Step take(unsigned char byte, std::string& echo);
  void insert(unsigned char byte, std::string& echo);
  void move_left(std::string& echo);
  void move_right(std::string& echo);
  void move_home(std::string& echo);
  void move_end(std::string& echo);
  void erase_before(std::string& echo);
  void erase_under(std::string& echo);
  // Shows the answer from the cursor on, then `blanks` spaces, and takes the
  // cursor back to where it was.
  void redraw_tail(std::string& echo, int blanks) const;
  // Start of the character that ends before `at`; end of the one that starts at `at`.
  std::size_t previous_start(std::size_t at) const;
  std::size_t next_end(std::size_t at) const;
  // Columns (characters) of text_[from, to).
  int columns(std::size_t from, std::size_t to) const;

  std::string text_;
  std::size_t cursor_ = 0;  // byte offset into text_, at a character's start
  Escape escape_ = Escape::kNone;
  std::string csi_parameters_;
};

}  // namespace bandscape
