// Report file and error log writers, and the fatal-error convention.
//
// Every text is appended by opening the file, writing and closing it, so what
// was written survives a later fatal error.  Texts begin with "\n" and carry no
// trailing newline.  Warnings go to a MessageLog passed by the caller: the
// error log itself (ErrorLogFile) or a per-replicate buffer (BufferedLog) that
// a resampling loop flushes in replicate order.  The notes of the numerical
// routines (an integral that did not converge, a root not bracketed) take the
// same path but are shown on the console only, never logged.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_file.hpp"

namespace bandscape {

// Opens `file` in append mode, writes `text` unchanged, closes it.  When the file
// cannot be opened: prints "error in writing <text> : cannot open file" on the
// console and throws FatalError (status 1).  A failed write or close throws
// OutputError, and so does a symbolic link with Links::kRefuse.
void append_to_file(const std::string& file, const std::string& text, Links links = Links::kFollow);
// Prints `text` on the console, then does what append_to_file does.
void append_to_file_echo(const std::string& file, const std::string& text, Links links = Links::kFollow);
// Empties (or creates) a file.  Returns whether it opened; a symbolic link
// with Links::kRefuse throws OutputError.
bool truncate_file(const std::string& file, Links links = Links::kFollow);

// Where routines append their warnings and fatal messages.
class MessageLog {
 public:
  virtual ~MessageLog() = default;
  // Shown on the console and appended to the log.
  virtual void echo(const std::string& text) = 0;
  // Appended to the log only.
  virtual void append(const std::string& text) = 0;
  // Shown on the console only.
  virtual void console(const std::string& text);
  // A message about population `population` (1-based among the analysed
  // populations, as the text numbers it): echoed like echo(text); a log that
  // keeps its messages keeps the number too, so that a reader can be given
  // the population's name.
  virtual void echo_about(int population, const std::string& text) {
    (void)population;
    echo(text);
  }
  // A line that is not a warning (progress through the replicates, the seed):
  // shown and logged as echo is, or logged only as append is; a log that keeps
  // its warnings does not keep these.
  virtual void echo_note(const std::string& text) { echo(text); }
  virtual void append_note(const std::string& text) { append(text); }
};

// The error log file (error.txt in the run's output folder).  It has a fixed
// name, so it is never opened through a symbolic link.
class ErrorLogFile : public MessageLog {
 public:
  // `observer`, when given, receives each text after it has been written,
  // with the population it is about (0: none); the run record keeps them.
  // The file's bytes are the same either way.
  using Observer = std::function<void(const std::string& text, int population)>;
  explicit ErrorLogFile(std::string name, Observer observer = {})
      : name_(std::move(name)), observer_(std::move(observer)) {}
  void echo(const std::string& text) override { echo_about(0, text); }
  void echo_about(int population, const std::string& text) override {
    append_to_file_echo(name_, text, Links::kRefuse);
    if (observer_) observer_(text, population);
  }
  void append(const std::string& text) override {
    append_to_file(name_, text, Links::kRefuse);
    if (observer_) observer_(text, 0);
  }
  void echo_note(const std::string& text) override { append_to_file_echo(name_, text, Links::kRefuse); }
  void append_note(const std::string& text) override { append_to_file(name_, text, Links::kRefuse); }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  Observer observer_;
};

// Collects texts in order; flush_to() replays them into another log.
class BufferedLog : public MessageLog {
 public:
  void echo(const std::string& text) override { entries_.push_back({Kind::kEcho, 0, text}); }
  void echo_about(int population, const std::string& text) override {
    entries_.push_back({Kind::kEcho, population, text});
  }
  void append(const std::string& text) override { entries_.push_back({Kind::kAppend, 0, text}); }
  void console(const std::string& text) override { entries_.push_back({Kind::kConsole, 0, text}); }
  void echo_note(const std::string& text) override { entries_.push_back({Kind::kEchoNote, 0, text}); }
  void append_note(const std::string& text) override { entries_.push_back({Kind::kAppendNote, 0, text}); }
  void flush_to(MessageLog& target) {
    for (const Entry& e : entries_) {
      switch (e.kind) {
        case Kind::kEcho: e.population == 0 ? target.echo(e.text) : target.echo_about(e.population, e.text); break;
        case Kind::kAppend: target.append(e.text); break;
        case Kind::kConsole: target.console(e.text); break;
        case Kind::kEchoNote: target.echo_note(e.text); break;
        case Kind::kAppendNote: target.append_note(e.text); break;
      }
    }
    entries_.clear();
  }
  bool empty() const { return entries_.empty(); }
  void clear() { entries_.clear(); }

 private:
  enum class Kind { kEcho, kAppend, kConsole, kEchoNote, kAppendNote };
  struct Entry {
    Kind kind;
    int population;  // of an echo_about; 0 otherwise
    std::string text;
  };
  std::vector<Entry> entries_;
};

// The fatal-error convention: `message` and then each detail line are appended
// with echo to `log`, and FatalError is thrown (exit status 1) carrying them all.
[[noreturn]] void fatal_error(MessageLog& log, const std::string& message,
                              const std::vector<std::string>& details = {});

// The same for a fault of an input file (line 0: the file as a whole), thrown
// as InputError, and for a numerical method that cannot go on, thrown as
// NumericalError.
[[noreturn]] void fatal_input_error(MessageLog& log, const std::string& message, const std::string& file, int line,
                                    const std::vector<std::string>& details = {});
[[noreturn]] void fatal_numerical_error(MessageLog& log, const std::string& message);

// Allocation failures: throws AllocationError with `message`; the run's top
// level shows it and appends it to "erreur".
[[noreturn]] void allocation_failure(const char* message);

// For a failure reported at the top of the run: prints `message` on the
// console and appends it to `file` when that can be opened (never through a
// symbolic link: the error log has a fixed name) and written.  Allocates
// nothing and never throws, so it can report running out of memory, or a
// failed write to that very file.
void report_last_failure(const char* file, const char* message) noexcept;

}  // namespace bandscape
