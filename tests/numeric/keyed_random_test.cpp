// Keyed random streams: every value is fixed to the bit on every platform.
// Expected values come from tests/numeric/keyed_random_reference.py, an
// independent transcription in Python integers; the first SplitMix64 output
// from state 0, 0xe220a8397b1dcdaf, is also the published one.
#include "numeric/keyed_random.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace bandscape {
namespace {

TEST(KeyedRandom, StreamsAreFixedToTheBit) {
  std::uint64_t state = 0;
  EXPECT_EQ(splitmix64_next(state), 16294208416658607535ull);
  EXPECT_EQ(splitmix64_next(state), 7960286522194355700ull);
  EXPECT_EQ(splitmix64_next(state), 487617019471545679ull);

  KeyedStream g(42);
  EXPECT_EQ(g.next(), 1546998764402558742ull);
  EXPECT_EQ(g.next(), 6990951692964543102ull);
  EXPECT_EQ(g.next(), 12544586762248559009ull);

  const std::uint64_t key = stream_key(12345, 1, 0, 7);
  EXPECT_EQ(key, 10497834320341915809ull);
  KeyedStream h(key);
  EXPECT_EQ(h.below(10), 1u);
  EXPECT_EQ(h.below(3), 1u);
  EXPECT_EQ(h.below(1000000007u), 956053235u);
  EXPECT_EQ(h.below(4294967295u), 1133340023u);

  KeyedStream s(stream_key(12345, 4, 2, 0));
  std::vector<int> v = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  shuffle(v.data(), 10, s);
  EXPECT_EQ(v, (std::vector<int>{8, 7, 1, 3, 0, 2, 9, 5, 4, 6}));
}

}  // namespace
}  // namespace bandscape
