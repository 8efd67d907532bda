// The process-wide write lock (see write_guard.hpp for why there is one).
#include "core/write_guard.hpp"

namespace bandscape {

std::recursive_mutex& write_lock() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace bandscape
