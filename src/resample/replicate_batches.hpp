// Running resampling replicates on several threads with the output of a
// sequential run.
//
// The random draws of every replicate (a permutation of the individuals, a
// draw of loci) come from the one stream of the run, in replicate order, on
// the calling thread.  The replicates are then evaluated on worker threads,
// each with its own working arrays, and each replicate's messages are kept in
// its own BufferedLog.  Back on the calling thread, replicate after replicate,
// the buffered messages are replayed into the real log and the replicate's
// result is committed.  Since a replicate's result depends only on its draw,
// everything written is the same as when the replicates run one by one.
//
// Memory follows the threads actually running: a worker's arrays are made on
// the calling thread just before the worker first starts, and never more
// workers run than one batch holds.
#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "core/message_log.hpp"
#include "numeric/parallel.hpp"

namespace bandscape {

// Replicates drawn ahead and evaluated together between two commits.
inline constexpr int kReplicateBatch = 64;
// Batch slots in use at once: the batch being evaluated and the one being committed.
inline constexpr int kReplicateSlots = 2 * kReplicateBatch;

// The workers that can ever run n replicates: as many as asked (0: one per
// core), but no more than the replicates nor than one batch.
inline int replicate_workers(int threads, int n) {
  return std::max(1, std::min({worker_count(threads), n, kReplicateBatch}));
}

// The working arrays of each worker, made by prepare(worker) on the calling
// thread before that worker starts, and kept for the later batches.  Each
// worker reads only its own slot, so making one while others run is safe.
template <class Workspace>
class WorkerWorkspaces {
 public:
  WorkerWorkspaces(int workers, std::function<std::unique_ptr<Workspace>()> make)
      : all_(static_cast<std::size_t>(workers)), make_(std::move(make)) {}
  void prepare(int worker) {
    std::unique_ptr<Workspace>& slot = all_[static_cast<std::size_t>(worker)];
    if (!slot) slot = make_();
  }
  Workspace& operator[](int worker) { return *all_[static_cast<std::size_t>(worker)]; }

 private:
  std::vector<std::unique_ptr<Workspace>> all_;
  std::function<std::unique_ptr<Workspace>()> make_;
};

// The preparation of a worker that needs nothing of its own.
struct NothingToPrepare {
  void operator()(int) const {}
};

// Runs replicates 0..n-1.
//   draw(i, slot, log)            calling thread, in replicate order: the progress
//                                 line of replicate i and its random draw, kept in
//                                 batch slot `slot`;
//   compute(worker, i, slot, log) any thread: evaluates replicate i with the
//                                 working arrays of `worker` (0..threads-1);
//   commit(i, slot)               calling thread, in replicate order, after the
//                                 replicate's messages have reached `log`;
//   prepare(worker)               calling thread, before `worker` starts in a
//                                 batch (a worker whose thread is then refused
//                                 does not compute; its arrays stay unused).
// With one thread the three run one after the other for every replicate and
// write straight to `log` (slot and worker always 0).  With more, slots run
// over 0..2*kReplicateBatch-1 and the commits of one batch are made while the
// next batch is evaluated; a replicate that throws has the messages of the
// replicates before it and its own flushed to `log`, then its exception is
// rethrown; later replicates leave no trace in the log or the commits.  A
// thread that cannot be started leaves its share to the others (`starter`
// starts them; empty: std::thread).
template <class Draw, class Compute, class Commit, class Prepare = NothingToPrepare>
void run_replicates(int n, int threads, MessageLog& log, Draw&& draw, Compute&& compute, Commit&& commit,
                    Prepare&& prepare = Prepare{}, const ThreadStarter& starter = {}) {
  if (n <= 0) return;
  prepare(0);
  if (threads <= 1) {
    for (int i = 0; i < n; ++i) {
      draw(i, 0, log);
      compute(0, i, 0, log);
      commit(i, 0);
    }
    return;
  }

  // Two sets of batch slots: while the workers evaluate one batch, the
  // calling thread commits the batch before it, then joins the evaluation.
  const int slots = kReplicateSlots;
  std::vector<BufferedLog> logs(slots);
  std::vector<std::exception_ptr> errors(slots);
  int pending_start = 0, pending_count = 0, pending_base = 0;  // batch awaiting its commit

  // Flushes and commits the pending batch in replicate order; rethrows the
  // first failure after the messages of the replicates up to it.
  auto commit_pending = [&]() {
    for (int s = 0; s < pending_count; ++s) {
      const int slot = pending_base + s;
      logs[slot].flush_to(log);
      if (errors[slot]) std::rethrow_exception(errors[slot]);
      commit(pending_start + s, slot);
    }
    pending_count = 0;
  };

  int base = 0;
  for (int start = 0; start < n; start += kReplicateBatch, base = kReplicateBatch - base) {
    const int count = std::min(kReplicateBatch, n - start);
    for (int s = 0; s < count; ++s) {
      errors[base + s] = nullptr;
      logs[base + s].clear();
      draw(start + s, base + s, logs[base + s]);
    }

    std::atomic<int> next{0};
    std::atomic<int> first_failure{count};
    std::atomic<bool> abandon{false};
    auto work = [&](int worker) {
      for (;;) {
        const int s = next.fetch_add(1);
        // Slots are handed out in increasing order, so after a failure every
        // later slot can be left undone.
        if (s >= count || s > first_failure.load() || abandon.load()) break;
        try {
          compute(worker, start + s, base + s, logs[base + s]);
        } catch (...) {
          errors[base + s] = std::current_exception();
          int seen = first_failure.load();
          while (s < seen && !first_failure.compare_exchange_weak(seen, s)) {
          }
        }
      }
    };
    const int workers = std::min(threads, count);
    {
      WorkerThreads pool(workers - 1, starter);
      try {
        // Slots are taken from a shared counter: the workers that did start
        // take them all.
        for (int w = 1; w < workers; ++w) {
          prepare(w);
          if (!pool.start([&work, w] { work(w); })) break;
        }
        commit_pending();
      } catch (...) {
        abandon = true;
        throw;  // the pool joins its threads on the way out
      }
      work(0);
    }
    pending_start = start;
    pending_count = count;
    pending_base = base;
  }
  commit_pending();
}

}  // namespace bandscape
