// Running independent pieces of work on several threads.
//
// Results never depend on the number of threads: callers give each piece its
// own output slots and keep every sum in a fixed order within a piece.
#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace bandscape {

// The number of worker threads for a request: 0 means one per core.
inline int worker_count(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

// Calls work(begin, end) over [0, count) in chunks of `chunk` items handed out
// in order to `threads` workers (0: one per core).  With one worker everything
// runs on the calling thread.  The first exception thrown by a piece is
// rethrown once all workers have stopped.
template <class Work>
void parallel_chunks(int count, int chunk, int threads, Work&& work) {
  if (count <= 0) return;
  chunk = std::max(chunk, 1);
  const int chunks = (count + chunk - 1) / chunk;
  const int workers = std::min(worker_count(threads), chunks);
  if (workers <= 1) {
    work(0, count);
    return;
  }
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  std::atomic_flag error_taken = ATOMIC_FLAG_INIT;
  auto run = [&] {
    for (;;) {
      if (failed.load(std::memory_order_relaxed)) return;
      const int c = next.fetch_add(1, std::memory_order_relaxed);
      if (c >= chunks) return;
      try {
        work(c * chunk, std::min(count, (c + 1) * chunk));
      } catch (...) {
        if (!error_taken.test_and_set()) error = std::current_exception();
        failed.store(true);
        return;
      }
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(static_cast<size_t>(workers - 1));
  for (int t = 1; t < workers; ++t) pool.emplace_back(run);
  run();
  for (auto& thread : pool) thread.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace bandscape
