// The errors that end a run.  Whatever stops the run (malformed input, a file
// that cannot be written, a numerical routine that cannot go on) has already
// been reported where the user sees it when a FatalError is thrown; main only
// maps it to the exit status.  Two kinds are reported by the run's top level
// instead, because only it knows where the run's files are: a file that could
// not be written (OutputError) and memory that could not be had
// (AllocationError).
#pragma once

#include <stdexcept>
#include <string>

namespace bandscape {

// Thrown to end the run; main maps it to the exit status.  The text is the
// message the user was shown.
class FatalError : public std::runtime_error {
 public:
  explicit FatalError(const std::string& message, int status = 1)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

// A file of the run could not be written, flushed or closed, or it is a
// symbolic link where links are refused.  The text is the message to show:
// "\nerror in writing file <name>: <reason>" or
// "\ncannot open file <name>: it is a symbolic link".  Not yet shown when thrown.
class OutputError : public FatalError {
 public:
  OutputError(const std::string& file, const std::string& message) : FatalError(message), file_(file) {}
  const std::string& file() const { return file_; }

 private:
  std::string file_;
};

// An input file (data or subset file) cannot be read as the analysis needs
// it.  `line` is the line at fault, 0 when the fault is the file as a whole.
// Already shown and logged when thrown.
class InputError : public FatalError {
 public:
  InputError(const std::string& message, const std::string& file, int line)
      : FatalError(message), file_(file), line_(line) {}
  const std::string& file() const { return file_; }
  int line() const { return line_; }

 private:
  std::string file_;
  int line_;
};

// A numerical method cannot go on (an estimator's integral that is zero or
// undefined).  Already shown and logged when thrown.
class NumericalError : public FatalError {
 public:
  explicit NumericalError(const std::string& message) : FatalError(message) {}
};

// Memory for an array could not be had.  The text is the allocator's message
// ("\nallocation failure ..."), not yet shown when thrown.
class AllocationError : public FatalError {
 public:
  explicit AllocationError(const std::string& message) : FatalError(message) {}
};

}  // namespace bandscape
