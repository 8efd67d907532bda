// The run's random stream and random permutations of index vectors.
//
// Uniform deviates come from the minimal-standard multiplicative congruential
// generator of Park and Miller (multiplier 16807, modulus 2^31 - 1, computed
// by Schrage's method without overflow) behind a Bays-Durham shuffle table of
// 32 entries.  The whole generator (state word, table, held value) lives in
// one RandomState owned by the run driver and passed by reference, so the
// permutation test and then the bootstrap draw from one stream in that order.
#pragma once

#include <array>
#include <cstdint>

#include "numeric/array.hpp"

namespace bandscape {

struct RandomState {
  // <= 0 asks for (re)initialisation from -word (0 and positive values start
  // from 1); afterwards it holds the congruential state, 1..2^31-2.
  std::int32_t word = 0;
  // The table entry read out last; 0 before the first draw, which also forces
  // initialisation.
  std::int32_t held = 0;
  std::array<std::int32_t, 32> table{};
};

// A deviate uniform on (0, 1), never 0 and never 1 (largest 1 - 2^-23).
float uniform_random(RandomState& state);

// The seed of a run without --seed: the system's random device, the
// high-resolution clock in nanoseconds and the process id, mixed by
// seed_from_entropy, so that runs started in the same second (or at once on
// several cores) get different seeds.
long fresh_seed();
// The three words mixed by splitmix64 (Steele, Lea & Flood 2014) into a seed
// of 1..2147483646, the range of the congruential state.
long seed_from_entropy(std::uint64_t device, std::uint64_t nanoseconds, std::uint64_t process);

// The seed of the earliest versions: the product of the non-zero fields among
// seconds, minutes and hours of the time of day, or 1 at midnight (1..80063).
// Runs of the same second shared it; kept for reading their error.txt.
long seed_from_time(int hours, int minutes, int seconds);

// v[i] = i for i = lo..hi (nothing when hi < lo).
void fill_identity(IVector& v, int lo, int hi);

// Forward Fisher-Yates shuffle of v[lo..hi] in place: hi - lo deviates drawn,
// every arrangement equally likely whatever v holds on entry.
void shuffle_range(IVector& v, int lo, int hi, RandomState& state);

}  // namespace bandscape
