// Terminal and stream consoles.
#include "app/terminal_console.hpp"

#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <iostream>

namespace bandscape {
namespace {

// The terminal settings to put back when SIGINT or SIGTERM arrives while the
// terminal is in raw mode.  A signal handler can reach nothing but globals, so
// these are the only process-wide variables of the console; they are written
// only while no raw-mode read is active.
struct termios g_saved_terminal;
int g_raw_fd = -1;
volatile std::sig_atomic_t g_raw_active = 0;

extern "C" void restore_terminal_and_reraise(int sig) {
  if (g_raw_active) tcsetattr(g_raw_fd, TCSANOW, &g_saved_terminal);
  g_raw_active = 0;
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Raw mode for the lifetime of the object: no line buffering, no echo, one
// byte per read.  Interrupt keys still raise their signals; the handlers put
// the terminal back before the default action ends the process.
class RawMode {
 public:
  explicit RawMode(int fd) : fd_(fd) {
    if (tcgetattr(fd, &saved_) != 0) return;
    g_saved_terminal = saved_;
    g_raw_fd = fd;
    struct sigaction sa {};
    sa.sa_handler = restore_terminal_and_reraise;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &old_int_);
    sigaction(SIGTERM, &sa, &old_term_);
    struct termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    g_raw_active = 1;
    installed_ = true;
    tcsetattr(fd, TCSANOW, &raw);
  }
  ~RawMode() {
    if (!installed_) return;
    tcsetattr(fd_, TCSANOW, &saved_);
    g_raw_active = 0;
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
  }
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;

 private:
  int fd_;
  bool installed_ = false;
  struct termios saved_ {};
  struct sigaction old_int_ {}, old_term_ {};
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

bool is_return(int c) { return c == '\r' || c == '\n'; }

}  // namespace

std::string first_word(const std::string& typed) {
  size_t b = 0;
  while (b < typed.size() && std::isspace(static_cast<unsigned char>(typed[b]))) ++b;
  size_t e = b;
  while (e < typed.size() && !std::isspace(static_cast<unsigned char>(typed[e]))) ++e;
  return typed.substr(b, e - b);
}

// ---------------------------------------------------------------- terminal

TerminalConsole::TerminalConsole(int in_fd, std::FILE* out) : in_fd_(in_fd), out_(out) {}

void TerminalConsole::print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
}

int TerminalConsole::read_raw_key() {
  std::fflush(out_);
  RawMode raw(in_fd_);
  const int c = read_byte(in_fd_);
  // In raw mode the end-of-file key arrives as a plain byte: honour it.
  return c == 0x04 ? -1 : c;
}

Answer TerminalConsole::read_answer() {
  const int first = read_raw_key();
  if (first < 0) {
    ended_ = true;
    return {Answer::kEnd, {}};
  }
  if (is_return(first)) return {Answer::kReturn, {}};
  // The first key was read without echo: show it, then let the terminal echo
  // and edit the rest of the line as usual.
  std::string typed(1, static_cast<char>(first));
  std::fputc(first, out_);
  std::fflush(out_);
  for (int c = read_byte(in_fd_); c >= 0 && !is_return(c); c = read_byte(in_fd_)) typed += static_cast<char>(c);
  std::string word = first_word(typed);
  if (word.empty()) return {Answer::kReturn, {}};
  return {Answer::kWord, word};
}

void TerminalConsole::wait_for_key() {
  if (read_raw_key() < 0) ended_ = true;
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
    return {Answer::kEnd, {}};
  }
  if (is_return(c)) {
    skip_line_feed_ = c == '\r';
    return {Answer::kReturn, {}};
  }
  std::string typed;
  for (; c >= 0 && !is_return(c); c = next_byte()) typed += static_cast<char>(c);
  skip_line_feed_ = c == '\r';
  out_ << typed << '\n';
  out_.flush();
  std::string word = first_word(typed);
  if (word.empty()) return {Answer::kReturn, {}};
  return {Answer::kWord, word};
}

void StreamConsole::wait_for_key() {
  const int c = next_byte();
  if (c < 0) ended_ = true;
  skip_line_feed_ = c == '\r';
}

std::unique_ptr<Console> make_console() {
  if (isatty(0)) return std::make_unique<TerminalConsole>(0, stdout);
  return std::make_unique<StreamConsole>(std::cin, std::cout);
}

}  // namespace bandscape
