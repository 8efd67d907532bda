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

#include <string>
#include <utility>
#include <vector>

#include "core/errors.hpp"
#include "core/format.hpp"

namespace bandscape {

inline constexpr const char* kErrorLogName = "error.txt";
inline constexpr const char* kAllocationLogName = "erreur";

// Opens `file` in append mode, writes `text` unchanged, closes it.  When the file
// cannot be opened: prints "error in writing <text> : cannot open file" on the
// console and throws FatalError (status 1).
void append_to_file(const std::string& file, const std::string& text);
// Prints `text` on the console, then does what append_to_file does.
void append_to_file_echo(const std::string& file, const std::string& text);
// Empties (or creates) a file; failure is ignored.  Returns whether it opened.
bool truncate_file(const std::string& file);

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
};

// The error log file (normally error.txt in the working directory).
class ErrorLogFile : public MessageLog {
 public:
  explicit ErrorLogFile(std::string name = kErrorLogName) : name_(std::move(name)) {}
  void echo(const std::string& text) override { append_to_file_echo(name_, text); }
  void append(const std::string& text) override { append_to_file(name_, text); }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

// Collects texts in order; flush_to() replays them into another log.
class BufferedLog : public MessageLog {
 public:
  void echo(const std::string& text) override { entries_.emplace_back(Kind::kEcho, text); }
  void append(const std::string& text) override { entries_.emplace_back(Kind::kAppend, text); }
  void console(const std::string& text) override { entries_.emplace_back(Kind::kConsole, text); }
  void flush_to(MessageLog& target) {
    for (auto& [kind, text] : entries_) {
      switch (kind) {
        case Kind::kEcho: target.echo(text); break;
        case Kind::kAppend: target.append(text); break;
        case Kind::kConsole: target.console(text); break;
      }
    }
    entries_.clear();
  }
  bool empty() const { return entries_.empty(); }
  void clear() { entries_.clear(); }

 private:
  enum class Kind { kEcho, kAppend, kConsole };
  std::vector<std::pair<Kind, std::string>> entries_;
};

// The fatal-error convention: `message` and then each detail line are appended
// with echo to `log`, and FatalError is thrown (exit status 1).
[[noreturn]] void fatal_error(MessageLog& log, const std::string& message,
                              const std::vector<std::string>& details = {});
// The same, into error.txt.
[[noreturn]] void fatal_error(const std::string& message, const std::vector<std::string>& details = {});

// Allocation failures: `message` with echo to "erreur", then FatalError.
[[noreturn]] void allocation_failure(const char* message);

// For a failure that escaped every other handler: prints `message` on the
// console and appends it to `file` when that can be opened.  Allocates nothing
// and never throws, so it can report running out of memory.
void report_last_failure(const char* file, const char* message) noexcept;

}  // namespace bandscape
