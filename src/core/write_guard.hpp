// One lock held for every whole write of a text or a table to the report or
// the error log.
//
// When the process is interrupted (SIGINT, SIGTERM), a note is appended to the
// report and to the error log.  The interruption handler takes this same lock
// before it writes and keeps it until the process ends, so the note always
// follows a complete text or table, and no write begins after it.  Signals are
// process-wide, so the lock has to be too: it is the one piece of shared state
// of this layer.  It is recursive because a writer that fails while it holds
// the lock reports the failure through the error log, which takes it again.
// Uncontended, it costs one atomic operation per write.
#pragma once

#include <mutex>

namespace bandscape {

std::recursive_mutex& write_lock();

// Holds the write lock for its lifetime: from before a file is opened until
// after it is closed.
class WriteGuard {
 public:
  WriteGuard() : hold_(write_lock()) {}
  WriteGuard(const WriteGuard&) = delete;
  WriteGuard& operator=(const WriteGuard&) = delete;

 private:
  std::lock_guard<std::recursive_mutex> hold_;
};

}  // namespace bandscape
