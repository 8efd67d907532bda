// The interruption watcher (see interrupt.hpp for why its state is global).
#include "app/interrupt.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/format.hpp"
#include "core/write_guard.hpp"

namespace bandscape {
namespace {

struct InterruptState {
  std::mutex mutex;  // guards every field below
  bool run_under_way = false;
  std::string report;
  std::string error_log;
  bool terminal_raw = false;
  int terminal_fd = -1;
  termios terminal_saved{};
};

// Never destroyed: a signal may come while the process exits.
InterruptState& state() {
  static auto* s = new InterruptState;
  return *s;
}

// The process is ending: a note that cannot be written is only told on the
// error stream.
void tell_write_failure(const std::string& file, int error) {
  const std::string text = format("\nerror in writing file %s: %s", file.c_str(), std::strerror(error));
  const ssize_t ignored = ::write(2, text.data(), text.size());
  (void)ignored;
}

void append_note(const std::string& file, bool follow_links) {
  const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | (follow_links ? 0 : O_NOFOLLOW);
  int fd = -1;
  do fd = ::open(file.c_str(), flags, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return tell_write_failure(file, errno);
  const char* p = kInterruptedNote;
  std::size_t left = std::strlen(kInterruptedNote);
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      tell_write_failure(file, n < 0 ? errno : ENOSPC);
      ::close(fd);
      return;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) tell_write_failure(file, errno);
}

[[noreturn]] void answer_signals(sigset_t watched) {
  int sig = 0;
  while (sigwait(&watched, &sig) != 0) {
  }
  // Never released: the process ends holding it, so no write follows the note.
  write_lock().lock();
  {
    InterruptState& s = state();
    std::lock_guard<std::mutex> hold(s.mutex);
    if (s.run_under_way) {
      append_note(s.report, true);  // the report, named by the user, may be a link
      append_note(s.error_log, false);
    }
    if (s.terminal_raw) tcsetattr(s.terminal_fd, TCSANOW, &s.terminal_saved);
  }
  std::signal(sig, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(sig);
  _exit(128 + sig);  // not reached: the default action ends the process
}

}  // namespace

bool start_interrupt_watcher() {
  sigset_t watched;
  sigemptyset(&watched);
  for (const int sig : {SIGINT, SIGTERM}) {
    struct sigaction current {};
    sigaction(sig, nullptr, &current);
    if (current.sa_handler != SIG_IGN) sigaddset(&watched, sig);
  }
  if (!sigismember(&watched, SIGINT) && !sigismember(&watched, SIGTERM)) return true;
  sigset_t old;
  pthread_sigmask(SIG_BLOCK, &watched, &old);
  try {
    std::thread(answer_signals, watched).detach();
  } catch (const std::system_error&) {
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return false;
  }
  return true;
}

InterruptNote::InterruptNote(const std::string& report, const std::string& error_log) {
  InterruptState& s = state();
  std::lock_guard<std::mutex> hold(s.mutex);
  s.report = report;
  s.error_log = error_log;
  s.run_under_way = true;
}

void InterruptNote::finish() {
  InterruptState& s = state();
  std::lock_guard<std::mutex> hold(s.mutex);
  s.run_under_way = false;
}

void remember_terminal_settings(int fd, const termios& saved) {
  InterruptState& s = state();
  std::lock_guard<std::mutex> hold(s.mutex);
  s.terminal_fd = fd;
  s.terminal_saved = saved;
  s.terminal_raw = true;
}

void forget_terminal_settings() {
  InterruptState& s = state();
  std::lock_guard<std::mutex> hold(s.mutex);
  s.terminal_raw = false;
}

}  // namespace bandscape
