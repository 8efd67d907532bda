// The interruption watcher (see interrupt.hpp for why its state is global).
#include "app/interrupt.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>

#include <nlohmann/json.hpp>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

#include "core/format.hpp"
#include "core/output_file.hpp"
#include "core/run_files.hpp"
#include "core/system_file.hpp"
#include "core/write_guard.hpp"

namespace bandscape {
namespace {

struct InterruptState {
  std::mutex mutex;  // guards every field below
  bool run_under_way = false;
  std::string report;
  std::string error_log;
  std::string results_folder;  // empty: no run.json to mark
  bool terminal_raw = false;
#ifdef _WIN32
  HANDLE console_input = nullptr;
  DWORD console_mode = 0;
#else
  int terminal_fd = -1;
  termios terminal_saved{};
#endif
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
  const auto ignored = ::write(2, text.data(), static_cast<unsigned>(text.size()));
  (void)ignored;
}

void append_note(const std::string& file, bool follow_links) {
  const int fd = open_file(file, O_WRONLY | O_APPEND | O_CREAT, !follow_links);
  if (fd < 0) return tell_write_failure(file, errno);
  const char* p = kInterruptedNote;
  std::size_t left = std::strlen(kInterruptedNote);
  while (left > 0) {
    const auto n = ::write(fd, p, static_cast<unsigned>(left));
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

// The run.json of an interrupted run says so, with the signal, and the
// folder keeps no summary.html (the page is only a complete run's) and no
// temporary file.  run.json
// is read back as last written (every write of it is whole), because the
// record in memory belongs to the thread that was interrupted.
void mark_interrupted(const std::string& folder, const char* signal) {
  const std::string record = in_folder(folder, "run.json");
  try {
    std::ifstream in(record, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    nlohmann::ordered_json json = nlohmann::ordered_json::parse(text);
    json["status"] = "interrupted";
    json["signal"] = signal;
    json.erase("exit_status");  // the process ends by the signal instead
    OutputFile out;
    if (!out.open(record, OpenMode::kReplace, Links::kRefuse)) throw open_failure(record, errno);
    out.write(json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
    out.close();
  } catch (const std::exception& failure) {
    const std::string told = format("\nrun.json not marked as interrupted: %s", failure.what());
    const auto ignored = ::write(2, told.data(), static_cast<unsigned>(told.size()));
    (void)ignored;
  }
  ::unlink(in_folder(folder, "summary.html").c_str());
  // The files being written when the signal came stay unfinished: their
  // temporary files go too.
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with(".partial")) ::unlink(in_folder(folder, name).c_str());
  }
}

// Steps 1 to 3 of an interruption; the caller ends the process.
void note_interruption(const char* signal) {
  // Never released: the process ends holding it, so no write follows the note.
  write_lock().lock();
  InterruptState& s = state();
  std::lock_guard<std::mutex> hold(s.mutex);
  if (s.run_under_way) {
    append_note(s.report, true);  // the report, named by the user, may be a link
    append_note(s.error_log, false);
  }
  if (!s.results_folder.empty()) mark_interrupted(s.results_folder, signal);
  if (s.terminal_raw) {
#ifdef _WIN32
    SetConsoleMode(s.console_input, s.console_mode);
#else
    tcsetattr(s.terminal_fd, TCSANOW, &s.terminal_saved);
#endif
  }
}

#ifdef _WIN32

// The status of a process ended by Ctrl+C (STATUS_CONTROL_C_EXIT).
constexpr UINT kControlCExit = 0xC000013AU;

BOOL WINAPI answer_control(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      note_interruption(event == CTRL_C_EVENT       ? "CTRL_C_EVENT"
                        : event == CTRL_BREAK_EVENT ? "CTRL_BREAK_EVENT"
                                                    : "CTRL_CLOSE_EVENT");
      ExitProcess(kControlCExit);
    default:
      return FALSE;
  }
}

#else

[[noreturn]] void answer_signals(sigset_t watched) {
  int sig = 0;
  while (sigwait(&watched, &sig) != 0) {
  }
  note_interruption(sig == SIGINT ? "SIGINT" : "SIGTERM");
  std::signal(sig, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(sig);
  _exit(128 + sig);  // not reached: the default action ends the process
}

#endif

}  // namespace

#ifdef _WIN32

bool start_interrupt_watcher() { return SetConsoleCtrlHandler(answer_control, TRUE) != 0; }

void interrupt_from_console() {
  note_interruption("CTRL_C_EVENT");
  ExitProcess(kControlCExit);
}

void remember_console_mode(void* input, unsigned long mode) {
  InterruptState& s = state();
  std::lock_guard<std::mutex> hold(s.mutex);
  s.console_input = input;
  s.console_mode = mode;
  s.terminal_raw = true;
}

#else

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

void remember_terminal_settings(int fd, const termios& saved) {
  InterruptState& s = state();
  std::lock_guard<std::mutex> hold(s.mutex);
  s.terminal_fd = fd;
  s.terminal_saved = saved;
  s.terminal_raw = true;
}

#endif

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

InterruptRecord::InterruptRecord(const std::string& folder) {
  InterruptState& s = state();
  std::lock_guard<std::mutex> hold(s.mutex);
  s.results_folder = folder;
}

void InterruptRecord::finish() {
  InterruptState& s = state();
  std::lock_guard<std::mutex> hold(s.mutex);
  s.results_folder.clear();
}

void forget_terminal_settings() {
  InterruptState& s = state();
  std::lock_guard<std::mutex> hold(s.mutex);
  s.terminal_raw = false;
}

}  // namespace bandscape
