// A thread that the system refuses to start (too many threads, no memory for
// its stack) only means fewer workers: every chunk is still done once, and a
// failure inside a chunk still reaches the caller after all workers stopped.
#include "numeric/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "test_util.hpp"

namespace bandscape {
namespace {

TEST(ParallelThreads, RefusedThreadsLeaveTheirChunksToTheOthers) {
  for (int allowed : {0, 3}) {
    std::atomic<int> started{0};
    std::vector<int> visits(1000, 0);
    parallel_chunks(
        1000, 7, 50, [&](int begin, int end) { for (int i = begin; i < end; ++i) ++visits[i]; },
        testing::refusing_thread_starter(allowed, started));
    EXPECT_EQ(started.load(), allowed);
    EXPECT_EQ(visits, std::vector<int>(1000, 1)) << allowed << " threads allowed";
  }
  std::atomic<int> started{0};
  EXPECT_THROW(parallel_chunks(
                   100, 1, 8, [](int begin, int) { if (begin == 57) throw std::runtime_error("chunk 57"); },
                   testing::refusing_thread_starter(2, started)),
               std::runtime_error);
}

}  // namespace
}  // namespace bandscape
