// SplitMix64 keys, xoshiro256** streams, bounded draws and shuffles.
#include "numeric/keyed_random.hpp"

#include <utility>

namespace bandscape {
namespace {

constexpr std::uint64_t kGolden = 0x9e3779b97f4a7c15ull;

std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

std::uint64_t mix(std::uint64_t z) { return splitmix64_next(z); }

}  // namespace

std::uint64_t splitmix64_next(std::uint64_t& state) {
  std::uint64_t z = (state += kGolden);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

std::uint64_t stream_key(std::uint64_t seed, std::uint64_t statistic, std::uint64_t subset, std::uint64_t index) {
  return mix(mix(mix(mix(seed) ^ statistic) ^ subset) ^ index);
}

KeyedStream::KeyedStream(std::uint64_t key) {
  for (auto& word : s_) word = splitmix64_next(key);
}

std::uint64_t KeyedStream::next() {
  const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
  const std::uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = rotl(s_[3], 45);
  return result;
}

std::uint32_t KeyedStream::below(std::uint32_t range) {
  std::uint64_t m = (next() >> 32) * range;
  if (static_cast<std::uint32_t>(m) < range) {
    // 2^32 mod range: the low words below it belong to an incomplete stripe.
    const std::uint32_t threshold = static_cast<std::uint32_t>(-range) % range;
    while (static_cast<std::uint32_t>(m) < threshold) m = (next() >> 32) * range;
  }
  return static_cast<std::uint32_t>(m >> 32);
}

void shuffle(int* v, int count, KeyedStream& stream) {
  for (int i = count - 1; i > 0; --i) {
    std::swap(v[i], v[stream.below(static_cast<std::uint32_t>(i) + 1)]);
  }
}

}  // namespace bandscape
