// What happens when the process is interrupted (SIGINT, SIGTERM).
//
// A signal belongs to the whole process, so the state that answers it must be
// process-wide too: all of it lives in this module and nowhere else.  main
// blocks both signals before any other thread starts (every thread inherits
// the mask) and starts one watcher thread that takes them with sigwait.  The
// answer therefore runs as ordinary code, not inside a signal handler: it may
// take locks and write files.  On a signal the watcher
//   1. takes the write lock (core/write_guard.hpp), so that a text or table
//      being written is finished first and no write begins afterwards;
//   2. while a run is under way (its report and error log settled, its
//      closing message not yet shown), appends kInterruptedNote to the report
//      and to the error log; while its results folder is being written, marks
//      its run.json "interrupted" and removes its summary.html;
//   3. puts back the terminal settings that raw-mode reading saved;
//   4. ends the process by the same signal with its default action, as it
//      would have ended without the watcher.
// Windows has no such signals: Ctrl+C, Ctrl+Break and the closing of the
// console window reach a console control handler, which the system runs in a
// thread of its own; the handler takes the same steps (putting back the
// console's input mode) and ends the process with the status of Ctrl+C.
#pragma once

#ifndef _WIN32
#include <termios.h>
#endif

#include <string>

namespace bandscape {

inline constexpr const char* kInterruptedNote = "\n\nThe run was interrupted before it finished";

// Blocks SIGINT and SIGTERM in the calling thread, and so in every thread
// started after it, and starts the watcher.  A signal that the process
// inherited as ignored (a background job of a script) stays ignored.  Call
// once, from main, before any other thread starts.  Returns false when the
// watcher could not be started; the signals then keep their default action.
bool start_interrupt_watcher();

// While it lives, an interruption appends the note to these two files.
class InterruptNote {
 public:
  InterruptNote(const std::string& report, const std::string& error_log);
  ~InterruptNote() { finish(); }
  InterruptNote(const InterruptNote&) = delete;
  InterruptNote& operator=(const InterruptNote&) = delete;
  // The run has finished (or failed): no note from now on.
  void finish();
};

// While it lives, an interruption marks the run.json of the results folder
// `folder` "interrupted", with the signal, and removes its summary.html.
class InterruptRecord {
 public:
  explicit InterruptRecord(const std::string& folder);
  ~InterruptRecord() { finish(); }
  InterruptRecord(const InterruptRecord&) = delete;
  InterruptRecord& operator=(const InterruptRecord&) = delete;
  // The run has written its last results file, or failed: no mark from now on.
  void finish();
};

#ifdef _WIN32
// The input mode of the console `input` (a HANDLE) before the console's own
// reading, put back on interruption until forget_terminal_settings().
void remember_console_mode(void* input, unsigned long mode);
// A Ctrl+C that arrived as a key: the same end as by the control handler.
[[noreturn]] void interrupt_from_console();
#else
// The settings of the terminal `fd` before raw mode, put back on interruption
// until forget_terminal_settings().
void remember_terminal_settings(int fd, const termios& saved);
#endif
void forget_terminal_settings();

}  // namespace bandscape
