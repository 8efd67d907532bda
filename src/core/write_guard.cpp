// The process-wide write lock (see write_guard.hpp for why there is one).
#include "core/write_guard.hpp"

namespace bandscape {

// Never destroyed: an interruption may still take it while the process exits.
std::recursive_mutex& write_lock() {
  static auto* lock = new std::recursive_mutex;
  return *lock;
}

}  // namespace bandscape
