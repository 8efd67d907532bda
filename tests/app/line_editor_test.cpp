// The line editor fed with the bytes that a terminal sends for the keys typed.
// The key sequences are those of an xterm-compatible terminal (arrows
// "ESC [ A..D", Home/End "ESC [ H/F", F1 "ESC O P", F5 "ESC [ 15 ~", Delete
// "ESC [ 3 ~") and of the Linux console (F1 "ESC [ [ A"); every expected echo
// is worked out by hand: each printable byte shown as typed, "\b \b" for each
// erased character, "\n" for the Return that ends a non-empty answer.
#include "app/line_editor.hpp"

#include <gtest/gtest.h>

#include <string>

namespace bandscape {
namespace {

struct Typed {
  std::string text;
  std::string echo;
  LineEditor::Step step = LineEditor::Step::kTyping;
  size_t used = 0;  // bytes taken before the answer ended
};

Typed type(const std::string& keys) {
  LineEditor editor;
  Typed t;
  while (t.used < keys.size() && t.step == LineEditor::Step::kTyping) {
    t.step = editor.feed(static_cast<unsigned char>(keys[t.used++]), t.echo);
  }
  t.text = editor.text();
  return t;
}

TEST(LineEditor, BackspaceErasesAnyCharacterIncludingTheFirst) {
  for (const char* erase : {"\x7f", "\x08"}) {
    const Typed t = type(std::string("x") + erase + "aflpdata.txt\r");
    EXPECT_EQ(t.step, LineEditor::Step::kReturn);
    EXPECT_EQ(t.text, "aflpdata.txt");
    EXPECT_EQ(t.echo, "x\b \baflpdata.txt\n");
  }
  // More erasures than characters: the extra ones do nothing.
  const Typed t = type("ab\x7f\x7f\x7f" "c\n");
  EXPECT_EQ(t.text, "c");
  EXPECT_EQ(t.echo, "ab\b \b\b \bc\n");
}

TEST(LineEditor, PastedTextIsEchoedWholeAndEndsAtItsReturn) {
  const Typed t = type("nosuch.txt\nmore.txt\n");
  EXPECT_EQ(t.text, "nosuch.txt");
  EXPECT_EQ(t.echo, "nosuch.txt\n");
  EXPECT_EQ(t.used, 11u);  // the next answer's bytes are left unread
}

TEST(LineEditor, CursorAndFunctionKeysAreSwallowedWhole) {
  // Left arrow then 3: the menu gets "3".
  Typed t = type("\x1b[D3\r");
  EXPECT_EQ(t.text, "3");
  EXPECT_EQ(t.echo, "3\n");
  // Up, Down, Right, Home, End, F1 (SS3), F5, Ctrl+Right, Linux console F1,
  // between and around the typed characters.
  t = type("\x1b[A\x1b[Ba\x1b[C\x1b[H\x1bOP\x1b[15~b\x1b[1;5C\x1b[[Ac\x1b[F\r");
  EXPECT_EQ(t.text, "abc");
  EXPECT_EQ(t.echo, "abc\n");
  // A lone ESC is dropped and what follows it counts; a sequence cut short by
  // Return still ends the answer.
  t = type("\x1bx\x1b\x1b[Dy\x1b[\r");
  EXPECT_EQ(t.step, LineEditor::Step::kReturn);
  EXPECT_EQ(t.text, "xy");
  EXPECT_EQ(t.echo, "xy\n");
  // Other control characters (Tab, Ctrl+A) are ignored.
  t = type("\ta\x01" "b\r");
  EXPECT_EQ(t.text, "ab");
  EXPECT_EQ(t.echo, "ab\n");
}

TEST(LineEditor, DeleteKeyAndCtrlU) {
  Typed t = type("abc\x1b[3~\x1b[3~z\r");
  EXPECT_EQ(t.text, "az");
  EXPECT_EQ(t.echo, "abc\b \b\b \bz\n");
  // Other CSI "~" keys (Insert 2, Page Up 5) do not erase.
  t = type("ab\x1b[2~\x1b[5~\r");
  EXPECT_EQ(t.text, "ab");
  t = type("abc\x15xy\r");
  EXPECT_EQ(t.text, "xy");
  EXPECT_EQ(t.echo, "abc\b \b\b \b\b \bxy\n");
}

TEST(LineEditor, ErasingAUtf8CharacterTakesAllItsBytesAndOneColumn) {
  // "é" is C3 A9, "€" is E2 82 AC.
  Typed t = type("a\xc3\xa9\xe2\x82\xac\x7f\x7f" "b\r");
  EXPECT_EQ(t.text, "ab");
  EXPECT_EQ(t.echo, "a\xc3\xa9\xe2\x82\xac\b \b\b \bb\n");
  // Ctrl+U clears by characters: three columns for "aé€".
  t = type("a\xc3\xa9\xe2\x82\xac\x15\r");
  EXPECT_EQ(t.text, "");
  EXPECT_EQ(t.echo, "a\xc3\xa9\xe2\x82\xac\b \b\b \b\b \b");
  // A stray continuation byte after a plain character is erased alone.
  t = type("a\xa9\x7f\r");
  EXPECT_EQ(t.text, "a");
}

TEST(LineEditor, ReturnAndEndOfInputOnAnEmptyAnswer) {
  // Return first: the default, nothing shown (the caller shows the default).
  Typed t = type("\r");
  EXPECT_EQ(t.step, LineEditor::Step::kReturn);
  EXPECT_EQ(t.echo, "");
  // Everything typed erased, then Return: the same, the screen already clean.
  t = type("x\x7f\n");
  EXPECT_EQ(t.step, LineEditor::Step::kReturn);
  EXPECT_EQ(t.echo, "x\b \b");
  // Blanks only: shown and ended like any answer.
  t = type("  \r");
  EXPECT_EQ(t.text, "  ");
  EXPECT_EQ(t.echo, "  \n");
  // Ctrl+D ends the input only on an empty answer.
  EXPECT_EQ(type("\x04").step, LineEditor::Step::kEndOfInput);
  EXPECT_EQ(type("x\x15\x04").step, LineEditor::Step::kEndOfInput);
  t = type("ab\x04" "c\r");
  EXPECT_EQ(t.step, LineEditor::Step::kReturn);
  EXPECT_EQ(t.text, "abc");
}

}  // namespace
}  // namespace bandscape
