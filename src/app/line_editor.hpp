// Editing of one typed answer, fed one byte at a time.
//
// The terminal is read with its own echo and line editing turned off, so the
// program echoes and edits the answer itself, the same way on every terminal:
//   - printable characters are shown and added, byte for byte (the bytes of a
//     UTF-8 character or of a pasted text included);
//   - Backspace (DEL 0x7f or BS 0x08) and the Delete key (ESC [ 3 ~) erase the
//     last character typed, all bytes of a UTF-8 character, one column on the
//     screen ("\b \b");
//   - Ctrl+U erases the whole answer;
//   - escape sequences of the cursor and function keys (CSI "ESC [ ... final",
//     SS3 "ESC O x") are swallowed whole: they neither show, nor move the
//     cursor, nor enter the answer; an ESC followed by anything else is dropped
//     and the byte after it taken as typed;
//   - other control characters are ignored;
//   - Return (CR or LF) ends the answer; Ctrl+D on an empty answer is the end
//     of input.
// The editor knows nothing of the terminal: it is given bytes and says what to
// show, so any byte source (a terminal, a console that delivers the same key
// sequences, a test) can drive it.
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
  void erase_last(std::string& echo);

  std::string text_;
  Escape escape_ = Escape::kNone;
  std::string csi_parameters_;
};

}  // namespace bandscape
