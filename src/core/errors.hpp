// The error that ends a run.  Whatever stops the run (malformed input, a file
// that cannot be written, a numerical routine that cannot go on) has already
// been reported where the user sees it when this is thrown; main only maps it
// to the exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace bandscape {

// Thrown to end the run; main maps it to the exit status.
class FatalError : public std::runtime_error {
 public:
  explicit FatalError(const std::string& message, int status = 1)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

}  // namespace bandscape
