// Band-profile distances from bit-packed presence and scored flags.
#include "stats/band_differences.hpp"

#include <bit>
#include <cstdint>
#include <limits>

#include "numeric/parallel.hpp"
#include "stats/binary_coefficients.hpp"

namespace bandscape {
namespace {

using Word = std::uint64_t;

bool is_missing(int score) { return score >= 9; }

// Each individual's flags over the used loci, 64 to a word: bit b of word w
// stands for used locus 64 w + b.  Presence bits are set only where scored.
struct PackedProfiles {
  int words = 0;
  std::vector<Word> present;  // individual x at [x * words, (x + 1) * words)
  std::vector<Word> scored;
  std::vector<char> complete;  // 1 when scored at every used locus
};

PackedProfiles pack_profiles(const ScoreMatrix& scores, int ntot, const std::vector<int>& loci) {
  PackedProfiles p;
  const int k = static_cast<int>(loci.size());
  p.words = (k + 63) / 64;
  const std::size_t total = static_cast<std::size_t>(ntot) * static_cast<std::size_t>(p.words);
  p.present.assign(total, 0);
  p.scored.assign(total, 0);
  // Without any used locus no pair has a locus in common: nobody is complete.
  p.complete.assign(static_cast<std::size_t>(ntot), k > 0 ? 1 : 0);
  for (int x = 0; x < ntot; ++x) {
    const std::uint8_t* row = scores[x];
    Word* present = p.present.data() + static_cast<std::size_t>(x) * p.words;
    Word* scored = p.scored.data() + static_cast<std::size_t>(x) * p.words;
    for (int u = 0; u < k; ++u) {
      const int s = row[loci[static_cast<std::size_t>(u)]];
      const Word bit = Word{1} << (u % 64);
      if (is_missing(s)) {
        p.complete[static_cast<std::size_t>(x)] = 0;
        continue;
      }
      scored[u / 64] |= bit;
      if (s == 1) present[u / 64] |= bit;
    }
  }
  return p;
}

[[gnu::always_inline]] inline int count_differences(const Word* a, const Word* b, int words) {
  int n = 0;
  for (int w = 0; w < words; ++w) n += std::popcount(a[w] ^ b[w]);
  return n;
}

// Differences and loci scored in both, for a pair where either lacks scores.
[[gnu::always_inline]] inline void count_with_missing(const Word* pa, const Word* sa, const Word* pb, const Word* sb,
                                                      int words, int& differ, int& both) {
  differ = 0;
  both = 0;
  for (int w = 0; w < words; ++w) {
    const Word common = sa[w] & sb[w];
    both += std::popcount(common);
    differ += std::popcount((pa[w] ^ pb[w]) & common);
  }
}

// Row x of the triangle: d(x, y) for y = x+1..ntot-1 into out[0..]; returns
// the number of undefined pairs.
[[gnu::always_inline]] inline std::size_t distance_row(const PackedProfiles& p, int x, int ntot, double k,
                                                       double* out) {
  const int words = p.words;
  const Word* px = p.present.data() + static_cast<std::size_t>(x) * words;
  const Word* sx = p.scored.data() + static_cast<std::size_t>(x) * words;
  const bool x_complete = p.complete[static_cast<std::size_t>(x)] != 0;
  std::size_t undefined = 0;
  for (int y = x + 1; y < ntot; ++y) {
    const Word* py = p.present.data() + static_cast<std::size_t>(y) * words;
    if (x_complete && p.complete[static_cast<std::size_t>(y)]) {
      *out++ = count_differences(px, py, words);
      continue;
    }
    const Word* sy = p.scored.data() + static_cast<std::size_t>(y) * words;
    int differ, both;
    count_with_missing(px, sx, py, sy, words, differ, both);
    if (both == 0) {
      *out++ = std::numeric_limits<double>::quiet_NaN();
      ++undefined;
    } else {
      *out++ = static_cast<double>(differ) * k / both;
    }
  }
  return undefined;
}

using RowKernel = std::size_t (*)(const PackedProfiles&, int, int, double, double*);

std::size_t distance_row_portable(const PackedProfiles& p, int x, int ntot, double k, double* out) {
  return distance_row(p, x, ntot, k, out);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same code compiled for the popcnt instruction, which the baseline
// x86-64 target lacks; chosen at run time when the processor has it.
[[gnu::target("popcnt")]] std::size_t distance_row_popcnt(const PackedProfiles& p, int x, int ntot, double k,
                                                          double* out) {
  return distance_row(p, x, ntot, k, out);
}

RowKernel pick_row_kernel() { return __builtin_cpu_supports("popcnt") ? distance_row_popcnt : distance_row_portable; }
#else
RowKernel pick_row_kernel() { return distance_row_portable; }
#endif


// The matches of one pair over the loci scored in both: a = bands shared,
// b = bands of the first alone, c = of the second alone, d = the rest.
[[gnu::always_inline]] inline BandMatches count_matches(const Word* pa, const Word* sa, const Word* pb, const Word* sb,
                                                        int words) {
  int both = 0, shared = 0, first = 0, second = 0;
  for (int w = 0; w < words; ++w) {
    const Word common = sa[w] & sb[w];
    both += std::popcount(common);
    shared += std::popcount(pa[w] & pb[w]);  // presence bits are set only where scored
    first += std::popcount(pa[w] & ~pb[w] & common);
    second += std::popcount(pb[w] & ~pa[w] & common);
  }
  return BandMatches{shared, first, second, both - shared - first - second};
}

using MatchKernel = BandMatches (*)(const Word*, const Word*, const Word*, const Word*, int);

BandMatches count_matches_portable(const Word* pa, const Word* sa, const Word* pb, const Word* sb, int words) {
  return count_matches(pa, sa, pb, sb, words);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
[[gnu::target("popcnt")]] BandMatches count_matches_popcnt(const Word* pa, const Word* sa, const Word* pb,
                                                           const Word* sb, int words) {
  return count_matches(pa, sa, pb, sb, words);
}

MatchKernel pick_match_kernel() {
  return __builtin_cpu_supports("popcnt") ? count_matches_popcnt : count_matches_portable;
}
#else
MatchKernel pick_match_kernel() { return count_matches_portable; }
#endif

}  // namespace

PackedDistances::PackedDistances(int n) : n_(n < 0 ? 0 : n) {
  const std::size_t size = static_cast<std::size_t>(n_);
  values_.assign(size < 2 ? 0 : size * (size - 1) / 2, 0.0);
}

std::vector<int> used_loci(const ScoreMatrix& scores, int ntot, int m, int missing_millionths) {
  std::vector<int> missing(static_cast<std::size_t>(m > 0 ? m : 0), 0);
  for (int x = 0; x < ntot; ++x) {
    const std::uint8_t* row = scores[x];
    for (int l = 0; l < m; ++l) missing[static_cast<std::size_t>(l)] += is_missing(row[l]);
  }
  std::vector<int> loci;
  for (int l = 0; l < m; ++l) {
    if (locus_used(missing[static_cast<std::size_t>(l)], ntot, missing_millionths)) loci.push_back(l);
  }
  return loci;
}

BandDifferences band_differences(const ScoreMatrix& scores, int ntot, int m, int threads, int missing_millionths) {
  BandDifferences result;
  result.loci = used_loci(scores, ntot, m, missing_millionths);
  result.distances = PackedDistances(ntot);
  const PackedProfiles p = pack_profiles(scores, ntot, result.loci);
  const double k = static_cast<double>(result.loci.size());
  const RowKernel row = pick_row_kernel();
  std::vector<std::size_t> undefined(static_cast<std::size_t>(ntot > 0 ? ntot : 0), 0);
  // Rows shrink from ntot - 1 pairs to none; small chunks keep the workers even.
  parallel_chunks(ntot - 1, 8, threads, [&](int begin, int end) {
    for (int x = begin; x < end; ++x) {
      undefined[static_cast<std::size_t>(x)] = row(p, x, ntot, k, &result.distances.upper(x, x + 1));
    }
  });
  for (std::size_t u : undefined) result.undefined_pairs += u;
  return result;
}

double binary_distance(const BandMatches& k, BinaryCoefficient coefficient) {
  const double a = k.both, bc = static_cast<double>(k.first) + k.second, d = k.neither;
  double numerator = 0.0, denominator = 0.0;
  switch (coefficient) {
    case BinaryCoefficient::jaccard:
      numerator = a;
      denominator = a + bc;
      break;
    case BinaryCoefficient::dice:
      numerator = 2.0 * a;
      denominator = 2.0 * a + bc;
      break;
    case BinaryCoefficient::simple_matching:
      numerator = a + d;
      denominator = a + bc + d;
      break;
  }
  if (denominator == 0.0) return std::numeric_limits<double>::quiet_NaN();
  // 1 - S as (denominator - numerator) / denominator: exactly 0 for identical profiles.
  return (denominator - numerator) / denominator;
}

const char* coefficient_key(BinaryCoefficient coefficient) {
  switch (coefficient) {
    case BinaryCoefficient::jaccard: return "jaccard";
    case BinaryCoefficient::dice: return "dice";
    case BinaryCoefficient::simple_matching: return "simple-matching";
  }
  return "";
}

const char* coefficient_title(BinaryCoefficient coefficient) {
  switch (coefficient) {
    case BinaryCoefficient::jaccard: return "the Jaccard distance";
    case BinaryCoefficient::dice: return "the Dice distance (Nei & Li 1979)";
    case BinaryCoefficient::simple_matching: return "the simple-matching distance";
  }
  return "";
}

PackedDistances coefficient_distances(const ScoreMatrix& scores, int ntot, int m, BinaryCoefficient coefficient,
                                      int threads) {
  std::vector<int> loci(static_cast<std::size_t>(m > 0 ? m : 0));
  for (int l = 0; l < m; ++l) loci[static_cast<std::size_t>(l)] = l;
  const PackedProfiles p = pack_profiles(scores, ntot, loci);
  PackedDistances distances(ntot);
  const MatchKernel matches = pick_match_kernel();
  parallel_chunks(ntot - 1, 8, threads, [&](int begin, int end) {
    for (int x = begin; x < end; ++x) {
      const Word* px = p.present.data() + static_cast<std::size_t>(x) * p.words;
      const Word* sx = p.scored.data() + static_cast<std::size_t>(x) * p.words;
      for (int y = x + 1; y < ntot; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * p.words;
        distances.upper(x, y) =
            binary_distance(matches(px, sx, p.present.data() + at, p.scored.data() + at, p.words), coefficient);
      }
    }
  });
  return distances;
}

}  // namespace bandscape
