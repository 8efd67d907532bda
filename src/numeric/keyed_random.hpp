// Random streams keyed by what they are used for.
//
// The newer analyses draw from streams of their own, never from the run's
// classic stream, so adding them leaves every earlier result unchanged.  Each
// piece of work (one permutation of one test) gets an independent stream whose
// seed is derived from a key: the run's seed, the statistic, a subset (such as
// a pair of populations) and the index of the piece.  Pieces can then run on
// any thread in any order with the same outcome.  Every step is fixed to the
// bit, so the draws are the same with every compiler and standard library:
//   - SplitMix64 (Steele, Lea & Flood 2014) mixes the key and seeds the stream;
//   - xoshiro256** (Blackman & Vigna 2018) produces the stream;
//   - a bounded integer draw of our own (Lemire's multiply-and-reject on the
//     high 32 bits of a draw), exactly uniform;
//   - Fisher-Yates shuffle from the last position down.
#pragma once

#include <cstdint>

namespace bandscape {

// One SplitMix64 step: advances `state` by the golden-ratio increment and
// returns the mixed value.
std::uint64_t splitmix64_next(std::uint64_t& state);

// The seed of the stream for piece `index` of the work (`statistic`, `subset`)
// of a run seeded with `seed`: each field is folded in by one SplitMix64 step,
//   k = mix(seed); k = mix(k ^ statistic); k = mix(k ^ subset); k = mix(k ^ index),
// where mix(z) is the value splitmix64_next returns from state z.
std::uint64_t stream_key(std::uint64_t seed, std::uint64_t statistic, std::uint64_t subset, std::uint64_t index);

// xoshiro256**; its 256-bit state is filled with four successive SplitMix64
// values from the key (never all zero).
class KeyedStream {
 public:
  explicit KeyedStream(std::uint64_t key);
  // Defined here, as the resampling loops draw once per pair or individual.
  std::uint64_t next() {
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
  // Uniform on 0..range-1 for 1 <= range <= 2^32 - 1: x = next() >> 32,
  // m = x * range; while the low 32 bits of m are below 2^32 mod range, draw
  // again; the answer is m >> 32.
  std::uint32_t below(std::uint32_t range) {
    std::uint64_t m = (next() >> 32) * range;
    if (static_cast<std::uint32_t>(m) < range) {
      // 2^32 mod range: the low words below it belong to an incomplete stripe.
      const std::uint32_t threshold = static_cast<std::uint32_t>(-range) % range;
      while (static_cast<std::uint32_t>(m) < threshold) m = (next() >> 32) * range;
    }
    return static_cast<std::uint32_t>(m >> 32);
  }

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t s_[4];
};

// Fisher-Yates: for i = count-1 down to 1, swap v[i] with v[below(i + 1)].
void shuffle(int* v, int count, KeyedStream& stream);

}  // namespace bandscape
