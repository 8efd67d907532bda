// SplitMix64 keys, xoshiro256** streams, bounded draws and shuffles.
#include "numeric/keyed_random.hpp"

#include <utility>

namespace bandscape {
namespace {

constexpr std::uint64_t kGolden = 0x9e3779b97f4a7c15ull;

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

void shuffle(int* v, int count, KeyedStream& stream) {
  for (int i = count - 1; i > 0; --i) {
    std::swap(v[i], v[stream.below(static_cast<std::uint32_t>(i) + 1)]);
  }
}

}  // namespace bandscape
