// Terminal and stream consoles.
#include "app/terminal_console.hpp"

#include <cctype>
#include <cerrno>
#include <iostream>

#ifdef _WIN32
#include <conio.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

#include "app/interrupt.hpp"
#include "app/line_editor.hpp"

namespace bandscape {
namespace {

#ifndef _WIN32

// Raw mode for the lifetime of the object: no line buffering, no echo, one
// byte per read.  The interrupt keys still raise their signals; the saved
// settings are handed to the interruption watcher, which puts them back
// before the signal ends the process.
class RawMode {
 public:
  explicit RawMode(int fd) : fd_(fd) {
    if (tcgetattr(fd, &saved_) != 0) return;
    remember_terminal_settings(fd, saved_);
    struct termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    installed_ = true;
    tcsetattr(fd, TCSANOW, &raw);
  }
  ~RawMode() {
    if (!installed_) return;
    tcsetattr(fd_, TCSANOW, &saved_);
    forget_terminal_settings();
  }
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;

 private:
  int fd_;
  bool installed_ = false;
  struct termios saved_ {};
};

// One byte from a file descriptor; -1 at the end of input or on an error.
int read_byte(int fd) {
  unsigned char c = 0;
  for (;;) {
    const ssize_t n = ::read(fd, &c, 1);
    if (n == 1) return c;
    if (n < 0 && errno == EINTR) continue;
    return -1;
  }
}

#endif

bool is_return(int c) { return c == '\r' || c == '\n'; }

// The two lead codes of _getch's two-code keys, and its codes of note.
constexpr int kLeadZero = 0x00;
constexpr int kLeadE0 = 0xE0;
// The second codes of the keys that edit the answer.
constexpr int kDeleteCode = 0x53;
constexpr int kLeftCode = 0x4B;
constexpr int kRightCode = 0x4D;
constexpr int kHomeCode = 0x47;
constexpr int kEndCode = 0x4F;
constexpr int kCtrlZ = 0x1A;
constexpr int kCtrlD = 0x04;

// begin_reading() / end_reading() of a key source around one read.
class Reading {
 public:
  explicit Reading(KeySource& keys) : keys_(keys) { keys_.begin_reading(); }
  ~Reading() { keys_.end_reading(); }
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;

 private:
  KeySource& keys_;
};

}  // namespace

std::string first_word(const std::string& typed) {
  size_t b = 0;
  while (b < typed.size() && std::isspace(static_cast<unsigned char>(typed[b]))) ++b;
  size_t e = b;
  while (e < typed.size() && !std::isspace(static_cast<unsigned char>(typed[e]))) ++e;
  return typed.substr(b, e - b);
}

Answer answer_from_typed(const std::string& typed) {
  std::string word = first_word(typed);
  if (word.empty()) return {Answer::kReturn, {}, {}};
  return {Answer::kWord, std::move(word), typed};
}

namespace {

// One answer typed key by key through the line editor, whatever the keys
// come from: next_code() gives the next key (below 0 when the input has
// gone), bytes_of(code) the terminal bytes it stands for.  The editor's echo
// is written to `out` as it comes; `ended` is set at the end of the input.
template <class NextCode, class BytesOf>
Answer edit_answer(NextCode next_code, BytesOf bytes_of, std::FILE* out, bool& ended) {
  LineEditor editor;
  for (;;) {
    const int c = next_code();
    if (c < 0) {  // the input has gone: what was typed is the answer
      if (!editor.text().empty()) break;
      ended = true;
      return {Answer::kEnd, {}, {}};
    }
    std::string echo;
    LineEditor::Step step = LineEditor::Step::kTyping;
    for (const char byte : bytes_of(c)) {
      step = editor.feed(static_cast<unsigned char>(byte), echo);
      if (step != LineEditor::Step::kTyping) break;
    }
    if (!echo.empty()) {
      std::fwrite(echo.data(), 1, echo.size(), out);
      std::fflush(out);
    }
    if (step == LineEditor::Step::kEndOfInput) {
      ended = true;
      return {Answer::kEnd, {}, {}};
    }
    if (step == LineEditor::Step::kReturn) break;
  }
  return answer_from_typed(editor.text());
}

}  // namespace

// ---------------------------------------------------------------- terminal
#ifndef _WIN32

TerminalConsole::TerminalConsole(int in_fd, std::FILE* out) : in_fd_(in_fd), out_(out) {}

void TerminalConsole::print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
}

Answer TerminalConsole::read_answer() {
  std::fflush(out_);
  RawMode raw(in_fd_);
  return edit_answer([this] { return read_byte(in_fd_); },
                     [](int c) { return std::string(1, static_cast<char>(c)); }, out_, ended_);
}

void TerminalConsole::wait_for_key() {
  std::fflush(out_);
  RawMode raw(in_fd_);
  const int c = read_byte(in_fd_);
  // In raw mode the end-of-file key arrives as a plain byte: honour it.
  if (c < 0 || c == 0x04) ended_ = true;
  // The rest of a key that sends several bytes (an arrow, a function key)
  // must not be left for whatever reads the terminal next.
  tcflush(in_fd_, TCIFLUSH);
}
#endif

// ---------------------------------------------------------------- Windows console

std::string terminal_bytes_of_key(int code, KeySource& keys) {
  if (code == kLeadZero || code == kLeadE0) {
    const int second = keys.next_code();
    // As a terminal sends them, for the line editor.
    switch (second) {
      case kDeleteCode: return "\x1b[3~";
      case kLeftCode: return "\x1b[D";
      case kRightCode: return "\x1b[C";
      case kHomeCode: return "\x1b[H";
      case kEndCode: return "\x1b[F";
      default: return {};  // Up, Down, Insert, function keys: nothing
    }
  }
  if (code == kCtrlZ) return std::string(1, static_cast<char>(kCtrlD));
  return std::string(1, static_cast<char>(code));
}

void WindowsConsole::print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
}

Answer WindowsConsole::read_answer() {
  std::fflush(out_);
  Reading reading(keys_);
  return edit_answer([this] { return keys_.next_code(); }, [this](int c) { return terminal_bytes_of_key(c, keys_); },
                     out_, ended_);
}

void WindowsConsole::wait_for_key() {
  std::fflush(out_);
  Reading reading(keys_);
  const int c = keys_.next_code();
  // The second code of a two-code key must not be left for the next read.
  if (c == kLeadZero || c == kLeadE0) keys_.next_code();
  if (c < 0 || c == kCtrlD || c == kCtrlZ) ended_ = true;
}

// ---------------------------------------------------------------- stream

StreamConsole::StreamConsole(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

void StreamConsole::print(const std::string& text) {
  out_ << text;
  out_.flush();
}

int StreamConsole::next_byte() {
  int c = in_.get();
  if (skip_line_feed_) {
    skip_line_feed_ = false;
    if (c == '\n') c = in_.get();
  }
  return c == std::char_traits<char>::eof() ? -1 : static_cast<unsigned char>(c);
}

Answer StreamConsole::read_answer() {
  int c = next_byte();
  if (c < 0) {
    ended_ = true;
    return {Answer::kEnd, {}, {}};
  }
  if (is_return(c)) {
    skip_line_feed_ = c == '\r';
    return {Answer::kReturn, {}, {}};
  }
  std::string typed;
  for (; c >= 0 && !is_return(c); c = next_byte()) typed += static_cast<char>(c);
  skip_line_feed_ = c == '\r';
  out_ << typed << '\n';
  out_.flush();
  return answer_from_typed(typed);
}

void StreamConsole::wait_for_key() {
  const int c = next_byte();
  if (c < 0) ended_ = true;
  skip_line_feed_ = c == '\r';
}

#ifdef _WIN32
namespace {

// The keys of the program's console.  While an answer is read, line input and
// the console's own echo are off (the saved mode is handed to the
// interruption handler, which puts it back).  _getch reads with the console in
// raw mode, so a Ctrl+C typed then arrives as the key 0x03 instead of as a
// control event: it ends the run the same way.
class GetchKeys : public KeySource {
 public:
  int next_code() override {
    const int c = _getch();
    if (c == 0x03) interrupt_from_console();
    return c == EOF ? -1 : c;
  }
  void begin_reading() override {
    input_ = GetStdHandle(STD_INPUT_HANDLE);
    if (!GetConsoleMode(input_, &saved_)) return;
    remember_console_mode(input_, saved_);
    installed_ = true;
    SetConsoleMode(input_, saved_ & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
  }
  void end_reading() override {
    if (!installed_) return;
    SetConsoleMode(input_, saved_);
    forget_terminal_settings();
    installed_ = false;
  }

 private:
  HANDLE input_ = nullptr;
  DWORD saved_ = 0;
  bool installed_ = false;
};

// The key source lives in a base constructed before the console that uses it.
struct GetchKeysHolder {
  GetchKeys keys;
};
class ProgramConsole : private GetchKeysHolder, public WindowsConsole {
 public:
  ProgramConsole() : WindowsConsole(keys, stdout) {}
};

}  // namespace

std::unique_ptr<Console> make_console() {
  // _isatty is true for the NUL device as well: ask for a console's mode.
  DWORD mode = 0;
  if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return std::make_unique<ProgramConsole>();
  return std::make_unique<StreamConsole>(std::cin, std::cout);
}
#else
std::unique_ptr<Console> make_console() {
  if (isatty(0)) return std::make_unique<TerminalConsole>(0, stdout);
  return std::make_unique<StreamConsole>(std::cin, std::cout);
}
#endif

}  // namespace bandscape
