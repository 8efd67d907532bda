// Running independent pieces of work on several threads.
//
// Results never depend on the number of threads: callers give each piece its
// own output slots and keep every sum in a fixed order within a piece.  For
// the same reason a thread that the system refuses to start (too many
// threads, or no memory left for its stack) only means fewer workers.
#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace bandscape {

// The number of worker threads for a request: 0 means one per core.
inline int worker_count(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

// Starts a thread running its argument.  Empty: std::thread itself.  Tests
// give one that refuses after a few threads, as a system out of threads does.
using ThreadStarter = std::function<std::thread(std::function<void()>)>;

// Threads started one at a time, every one joined before the object goes.
class WorkerThreads {
 public:
  // Room for `most` threads is made first, so that a started thread is never
  // left without an owner.
  WorkerThreads(int most, ThreadStarter starter) : starter_(std::move(starter)) {
    threads_.reserve(static_cast<std::size_t>(std::max(most, 0)));
  }
  ~WorkerThreads() { join(); }
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  // Runs body() on a new thread; false when no thread can be started (or the
  // room made at construction is full).
  bool start(std::function<void()> body) {
    if (threads_.size() == threads_.capacity()) return false;
    try {
      threads_.push_back(starter_ ? starter_(std::move(body)) : std::thread(std::move(body)));
    } catch (const std::system_error&) {
      return false;
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  int started() const { return static_cast<int>(threads_.size()); }
  void join() {
    for (std::thread& t : threads_) {
      if (t.joinable()) t.join();
    }
    threads_.clear();
  }

 private:
  ThreadStarter starter_;
  std::vector<std::thread> threads_;
};

// Calls work(begin, end) over [0, count) in chunks of `chunk` items handed out
// in order to `threads` workers (0: one per core), never more workers than
// chunks.  With one worker everything runs on the calling thread.  The first
// exception thrown by a piece is rethrown once all workers have stopped.
template <class Work>
void parallel_chunks(int count, int chunk, int threads, Work&& work, const ThreadStarter& starter = {}) {
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
  {
    // Chunks are taken from a shared counter, so the workers that did start
    // share all of them.
    WorkerThreads pool(workers - 1, starter);
    for (int t = 1; t < workers; ++t) {
      if (!pool.start(run)) break;
    }
    run();
  }
  if (error) std::rethrow_exception(error);
}

}  // namespace bandscape
