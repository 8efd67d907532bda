// The line editor fed with the bytes that a terminal sends for the keys typed.
// The key sequences are those of an xterm-compatible terminal (arrows
// "ESC [ A..D", Home/End "ESC [ H/F", F1 "ESC O P", F5 "ESC [ 15 ~", Delete
// "ESC [ 3 ~") and of the Linux console (F1 "ESC [ [ A", Home "ESC [ 1 ~");
// every expected echo is worked out by hand: each printable byte shown as
// typed, "\b \b" for each character erased at the end, "\b" for each column
// the cursor goes left, the rest of the answer shown again after an edit
// inside it, "\n" for the Return that ends a non-empty answer.
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

// Types `keys` up to the Return that ends the answer; checks the answer and
// everything shown.
void expect_answer(const std::string& keys, const std::string& text, const std::string& echo) {
  const Typed t = type(keys);
  EXPECT_EQ(t.step, LineEditor::Step::kReturn) << keys;
  EXPECT_EQ(t.text, text) << keys;
  EXPECT_EQ(t.echo, echo) << keys;
}

TEST(LineEditor, BackspaceErasesAnyCharacterIncludingTheFirst) {
  expect_answer("x\x7f" "aflpdata.txt\r", "aflpdata.txt", "x\b \baflpdata.txt\n");
  expect_answer("x\x08" "aflpdata.txt\r", "aflpdata.txt", "x\b \baflpdata.txt\n");
  // More erasures than characters: the extra ones do nothing.
  expect_answer("ab\x7f\x7f\x7f" "c\n", "c", "ab\b \b\b \bc\n");
}

TEST(LineEditor, PastedTextIsEchoedWholeAndEndsAtItsReturn) {
  expect_answer("nosuch.txt\nmore.txt\n", "nosuch.txt", "nosuch.txt\n");
  EXPECT_EQ(type("nosuch.txt\nmore.txt\n").used, 11u);  // the next answer's bytes are left unread
}

TEST(LineEditor, FunctionKeysAreSwallowedWhole) {
  // Left arrow on an empty answer then 3: the menu gets "3".
  expect_answer("\x1b[D3\r", "3", "3\n");
  // Up, Down, Right at the end, F1 (SS3), F5, Ctrl+Right, Linux console F1,
  // End at the end, between and around the typed characters.
  expect_answer("\x1b[A\x1b[Ba\x1b[C\x1bOP\x1b[15~b\x1b[1;5C\x1b[[Ac\x1b[F\r", "abc", "abc\n");
  // A lone ESC is dropped and what follows it counts; a sequence cut short by
  // Return still ends the answer.
  expect_answer("\x1bx\x1b\x1by\x1b[\r", "xy", "xy\n");
  // Other control characters (Tab, Ctrl+A) are ignored.
  expect_answer("\ta\x01" "b\r", "ab", "ab\n");
}

// Each row: the keys typed, the answer, what is shown.
struct EditCase {
  const char* keys;
  const char* text;
  const char* echo;
};

TEST(LineEditor, CursorKeysMoveAndEditInsideTheAnswer) {
  const EditCase cases[] = {
      // Left twice, then x goes between a and b: x, then "bc" again, cursor back 2.
      {"abc\x1b[D\x1b[Dx\r", "axbc", "abc\b\bxbc\b\b\n"},
      // Home (xterm, SS3, Linux console, rxvt), then x at the start.
      {"ab\x1b[Hx\r", "xab", "ab\b\bxab\b\b\n"},
      {"ab\x1bOHx\r", "xab", "ab\b\bxab\b\b\n"},
      {"ab\x1b[1~x\r", "xab", "ab\b\bxab\b\b\n"},
      {"ab\x1b[7~x\r", "xab", "ab\b\bxab\b\b\n"},
      // Home, Right (shows "a" again), End (shows "b"), then z at the end.
      {"ab\x1b[H\x1b[C\x1b[Fz\r", "abz", "ab\b\bab" "z\n"},
      {"ab\x1b[H\x1bOC\x1b[4~z\r", "abz", "ab\b\bab" "z\n"},
      // Delete under the cursor: Home, Delete erases "a", "b" moves left.
      {"ab\x1b[H\x1b[3~\r", "b", "ab\b\bb \b\b\n"},
      // Delete at the end erases nothing (Backspace erases before the cursor).
      {"abc\x1b[3~\x1b[3~z\r", "abcz", "abcz\n"},
      // Backspace inside: after Left, "b" goes and "c" moves left.
      {"abc\x1b[D\x7f\r", "ac", "abc\b\bc \b\b\n"},
      // Left stops at the start, Right at the end.
      {"a\x1b[D\x1b[D\x1b[C\x1b[Cb\r", "ab", "a\bab\n"},
      // Ctrl+U from inside the answer: to the end, then every character erased.
      {"ab\x1b[D\x15z\r", "z", "ab\bb\b \b\b \bz\n"},
      // A UTF-8 character moves as one column: Left over "é" is one "\b"; the
      // rest is shown again only once the inserted "€" is whole.
      {"a\xc3\xa9\x1b[D\xe2\x82\xac\r", "a\xe2\x82\xac\xc3\xa9", "a\xc3\xa9\b\xe2\x82\xac\xc3\xa9\b\n"},
      // Delete under "é" takes both its bytes.
      {"\xc3\xa9x\x1b[H\x1b[3~\r", "x", "\xc3\xa9x\b\bx \b\b\n"},
  };
  for (const EditCase& c : cases) expect_answer(c.keys, c.text, c.echo);
}

TEST(LineEditor, CtrlUErasesTheWholeAnswer) {
  // Other CSI "~" keys (Insert 2, Page Up 5) do nothing.
  expect_answer("ab\x1b[2~\x1b[5~\r", "ab", "ab\n");
  expect_answer("abc\x15xy\r", "xy", "abc\b \b\b \b\b \bxy\n");
}

TEST(LineEditor, ErasingAUtf8CharacterTakesAllItsBytesAndOneColumn) {
  // "é" is C3 A9, "€" is E2 82 AC.
  expect_answer("a\xc3\xa9\xe2\x82\xac\x7f\x7f" "b\r", "ab", "a\xc3\xa9\xe2\x82\xac\b \b\b \bb\n");
  // Ctrl+U clears by characters: three columns for "aé€".
  expect_answer("a\xc3\xa9\xe2\x82\xac\x15\r", "", "a\xc3\xa9\xe2\x82\xac\b \b\b \b\b \b");
  // A stray continuation byte after a plain character is erased alone.
  expect_answer("a\xa9\x7f\r", "a", "a\xa9\b \b\n");
}

TEST(LineEditor, ReturnAndEndOfInputOnAnEmptyAnswer) {
  // Return first: the default, nothing shown (the caller shows the default).
  expect_answer("\r", "", "");
  // Everything typed erased, then Return: the same, the screen already clean.
  expect_answer("x\x7f\n", "", "x\b \b");
  // Blanks only: shown and ended like any answer.
  expect_answer("  \r", "  ", "  \n");
  // Ctrl+D ends the input only on an empty answer.
  EXPECT_EQ(type("\x04").step, LineEditor::Step::kEndOfInput);
  EXPECT_EQ(type("x\x15\x04").step, LineEditor::Step::kEndOfInput);
  expect_answer("ab\x04" "c\r", "abc", "abc\n");
}

}  // namespace
}  // namespace bandscape
