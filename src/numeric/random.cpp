// Park & Miller minimal-standard generator with a Bays-Durham shuffle.
#include "numeric/random.hpp"

#include <chrono>
#include <cstdint>
#include <exception>
#include <random>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace bandscape {
namespace {

constexpr std::int32_t kMultiplier = 16807;
constexpr std::int32_t kModulus = 2147483647;  // 2^31 - 1
constexpr std::int32_t kQuotient = 127773;     // kModulus / kMultiplier
constexpr std::int32_t kRemainder = 2836;      // kModulus % kMultiplier
constexpr int kTableSize = 32;
constexpr int kWarmUp = 8;
constexpr std::int32_t kTableDivisor = 1 + (kModulus - 1) / kTableSize;  // 2^26
// 1 / (2^31 - 1) in single precision, which is exactly 2^-31.
constexpr double kScale = static_cast<double>(static_cast<float>(1.0 / kModulus));
// Largest value returned: 1 - 2^-23, the float just below 1.
constexpr double kLargest = 0.99999988;
constexpr float kLargestFloat = 1.0f - 1.0f / 8388608.0f;

// s <- 16807 s mod (2^31 - 1) by Schrage's factorisation, in 32-bit arithmetic.
inline std::int32_t congruential_step(std::int32_t s) {
  const std::int32_t k = s / kQuotient;
  s = kMultiplier * (s - k * kQuotient) - kRemainder * k;
  if (s < 0) s += kModulus;
  return s;
}

}  // namespace

float uniform_random(RandomState& state) {
  if (state.word <= 0 || state.held == 0) {
    // Seed from -word; -INT32_MIN does not fit the generator's range, start from 1.
    if (state.word < 0 && state.word != INT32_MIN) {
      state.word = -state.word;
    } else {
      state.word = 1;
    }
    for (int j = kTableSize + kWarmUp - 1; j >= 0; --j) {
      state.word = congruential_step(state.word);
      if (j < kTableSize) state.table[j] = state.word;
    }
    state.held = state.table[0];
  }
  state.word = congruential_step(state.word);
  // The previous output picks the table slot; the slot's content is the output
  // and the fresh congruential value takes its place.
  const int j = state.held / kTableDivisor;
  state.held = state.table[j];
  state.table[j] = state.word;
  const double t = kScale * state.held;
  if (t > kLargest) return kLargestFloat;
  return static_cast<float>(t);
}

long seed_from_time(int hours, int minutes, int seconds) {
  long seed = 1;
  if (seconds != 0) seed = seconds;
  if (minutes != 0) seed *= minutes;
  if (hours != 0) seed *= hours;
  return seed;
}

namespace {

std::uint64_t splitmix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace

long seed_from_entropy(std::uint64_t device, std::uint64_t nanoseconds, std::uint64_t process) {
  std::uint64_t state = device;
  std::uint64_t mixed = splitmix64(state);
  state ^= nanoseconds;
  mixed ^= splitmix64(state);
  state ^= process << 32 | process >> 32;
  mixed ^= splitmix64(state);
  return 1 + static_cast<long>(mixed % 2147483646ULL);
}

long fresh_seed() {
  std::uint64_t device = 0;
  try {
    std::random_device random_device;
    device = static_cast<std::uint64_t>(random_device()) << 32 | random_device();
  } catch (const std::exception&) {
    // No random device: the clock and the process id still differ between runs.
  }
  const auto nanoseconds = static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count());
  const auto ticks =
      static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
#ifdef _WIN32
  const auto process = static_cast<std::uint64_t>(_getpid());
#else
  const auto process = static_cast<std::uint64_t>(getpid());
#endif
  return seed_from_entropy(device, nanoseconds ^ (ticks * 0x9E3779B97F4A7C15ULL), process);
}

void fill_identity(IVector& v, int lo, int hi) {
  for (int i = lo; i <= hi; ++i) v[i] = i;
}

void shuffle_range(IVector& v, int lo, int hi, RandomState& state) {
  for (int p = lo; p < hi; ++p) {
    const float u = uniform_random(state);
    // The product is formed in double and truncated, so j lies in p..hi.
    const int j = p + static_cast<int>(static_cast<double>(u) * static_cast<double>(hi - p + 1));
    const int tmp = v[p];
    v[p] = v[j];
    v[j] = tmp;
  }
}

}  // namespace bandscape
