// Relatedness between individuals after Lynch & Milligan (1994).
#include "stats/relatedness.hpp"

#include "numeric/parallel.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "core/message_log.hpp"

namespace bandscape {

namespace {

// The codes are chosen for the inner loops: bit 1 set for a band present,
// the sign bit (as a signed byte) set for a missing score.
constexpr std::uint8_t kCodeAbsent = 0;
constexpr std::uint8_t kCodePresent = 2;
constexpr std::uint8_t kCodeMissing = 0xFF;

constexpr int kBlock = kRelatednessBlock;

// Loci of x walked in one pass over a block: the per-partner counts of
// missing codes are kept in one byte each during a pass.
constexpr int kLociPerPass = 255;

std::uint8_t code_of(int score) {
  if (score >= 9) return kCodeMissing;
  return score == 1 ? kCodePresent : kCodeAbsent;
}

// What a locus scored in x adds to a partner's sum, indexed by
// add_index(partner's code): 1 for the score equal to x's, the locus's differ
// value for the other, and -0.0 for a missing partner.  -0.0 is the identity
// of addition (s + -0.0 is s, bit for bit, for every s), so a missing partner
// leaves its sum exactly as it was.  Entry 2 repeats the present value for
// the AVX-512 pass, which looks the entries up by the three low bits of a
// code in the four entries taken twice: absent (0) -> entry 0, present (2)
// -> entry 2, missing (0xFF) -> 7, entry 3.
struct LocusAdds {
  double add[4];  // band absent, band present, band present, missing
};

// Absent (0) -> 0, present (2) -> 1, missing (0xFF) -> 3.
int add_index(std::uint8_t code) { return (code >> 1) & 3; }

// The AVX-512 pass reads a block's 32 codes at a locus as eight 32-bit
// words, word k holding partners k, 8 + k, 16 + k and 24 + k in its four
// bytes: partner j sits at byte interleaved(j).
constexpr int interleaved(int j) { return 4 * (j % 8) + j / 8; }

// One pass of `count` loci of x over one block of partners: locus i of the
// pass sits at codes + kBlock * locus[i] (in the order of the layout made for
// the pass) and adds adds[i]; sum[j] and
// missing[j] of partner j are read, updated in locus order and written back.
using BlockPass = void (*)(const std::uint8_t* codes, const int* locus, const LocusAdds* adds, int count,
                           double* sum, int* missing);

// Eight partners at a time, their sums held in locals over the whole pass.
void block_pass_portable(const std::uint8_t* codes, const int* locus, const LocusAdds* adds, int count,
                         double* __restrict sum, int* __restrict missing) {
  constexpr int kGroup = 8;
  for (int g = 0; g < kBlock; g += kGroup) {
    double s[kGroup];
    for (int j = 0; j < kGroup; ++j) s[j] = sum[g + j];
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* c = codes + static_cast<std::size_t>(locus[i]) * kBlock + g;
      const double* add = adds[i].add;
#pragma GCC unroll 8
      for (int j = 0; j < kGroup; ++j) s[j] += add[add_index(c[j])];
    }
    for (int j = 0; j < kGroup; ++j) sum[g + j] = s[j];
  }
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* c = codes + static_cast<std::size_t>(locus[i]) * kBlock;
    for (int j = 0; j < kBlock; ++j) missing[j] += c[j] == kCodeMissing;
  }
}

// Not on Windows: mingw's GCC keeps the stack at 16 bytes there and may spill
// 32-byte AVX (or 64-byte AVX-512) registers with aligned moves to it, so the
// portable pass runs.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
#define BANDSCAPE_X86_KERNELS 1

// Four partners at one locus: their codes sign-extended to 64 bits; bit 1
// (band present) picks add[1] or add[0] of the locus, and the sign (missing,
// 0xFF) replaces the pick by -0.0.  Then one add per sum, rounded as the
// portable pass rounds it (no multiply-add is formed).
__attribute__((target("avx2"), always_inline)) inline __m256d avx2_add_four(__m256d sum, __m256d pick,
                                                                            const std::uint8_t* c) {
  std::int32_t four;
  std::memcpy(&four, c, sizeof four);
  const __m256i q = _mm256_cvtepi8_epi64(_mm_cvtsi32_si128(four));
  const __m256d add =
      _mm256_blendv_pd(_mm256_permutevar_pd(pick, q), _mm256_set1_pd(-0.0), _mm256_castsi256_pd(q));
  return _mm256_add_pd(sum, add);
}

// The pass with the 32 sums in eight AVX2 registers of four doubles; the
// missing codes are counted in bytes (at most kLociPerPass per pass).
__attribute__((target("avx2"))) void block_pass_avx2(const std::uint8_t* codes, const int* locus,
                                                      const LocusAdds* adds, int count, double* sum,
                                                      int* missing) {
  static_assert(kBlock == 32, "eight registers of four sums");
  __m256d s0 = _mm256_loadu_pd(sum), s1 = _mm256_loadu_pd(sum + 4), s2 = _mm256_loadu_pd(sum + 8),
          s3 = _mm256_loadu_pd(sum + 12), s4 = _mm256_loadu_pd(sum + 16), s5 = _mm256_loadu_pd(sum + 20),
          s6 = _mm256_loadu_pd(sum + 24), s7 = _mm256_loadu_pd(sum + 28);
  const __m256i missing_code = _mm256_set1_epi8(static_cast<char>(kCodeMissing));
  __m256i miss = _mm256_setzero_si256();
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* c = codes + static_cast<std::size_t>(locus[i]) * kBlock;
    const __m256d pick = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(adds[i].add));
    const __m256i all = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c));
    miss = _mm256_sub_epi8(miss, _mm256_cmpeq_epi8(all, missing_code));
    s0 = avx2_add_four(s0, pick, c + 0);
    s1 = avx2_add_four(s1, pick, c + 4);
    s2 = avx2_add_four(s2, pick, c + 8);
    s3 = avx2_add_four(s3, pick, c + 12);
    s4 = avx2_add_four(s4, pick, c + 16);
    s5 = avx2_add_four(s5, pick, c + 20);
    s6 = avx2_add_four(s6, pick, c + 24);
    s7 = avx2_add_four(s7, pick, c + 28);
  }
  _mm256_storeu_pd(sum, s0);
  _mm256_storeu_pd(sum + 4, s1);
  _mm256_storeu_pd(sum + 8, s2);
  _mm256_storeu_pd(sum + 12, s3);
  _mm256_storeu_pd(sum + 16, s4);
  _mm256_storeu_pd(sum + 20, s5);
  _mm256_storeu_pd(sum + 24, s6);
  _mm256_storeu_pd(sum + 28, s7);
  alignas(32) std::uint8_t counted[kBlock];
  _mm256_store_si256(reinterpret_cast<__m256i*>(counted), miss);
  for (int j = 0; j < kBlock; ++j) missing[j] += counted[j];
}

// The pass with the 32 sums in four AVX-512 registers of eight doubles, on
// interleaved codes: the block's 32 code bytes at a locus are widened once,
// word k to 64-bit lane k, and register r takes its eight codes from byte r
// of every lane by a right shift.  A permute indexed by the three low bits of
// each lane then fetches the partner's addition from the locus's four values
// broadcast to both halves (absent, present, or -0.0 for a missing partner)
// and one add per register follows, rounded as the portable pass rounds it.
// Per register and locus: one shift, one permute, one add, with the shifts
// and the permutes on different execution ports.
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) void block_pass_avx512(
    const std::uint8_t* codes, const int* locus, const LocusAdds* adds, int count, double* sum,
    int* missing) {
  static_assert(kBlock == 32, "four registers of eight sums");
  __m512d s0 = _mm512_loadu_pd(sum), s1 = _mm512_loadu_pd(sum + 8), s2 = _mm512_loadu_pd(sum + 16),
          s3 = _mm512_loadu_pd(sum + 24);
  const __m256i missing_code = _mm256_set1_epi8(static_cast<char>(kCodeMissing));
  __m256i miss = _mm256_setzero_si256();
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* c = codes + static_cast<std::size_t>(locus[i]) * kBlock;
    const __m256i all = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c));
    miss = _mm256_sub_epi8(miss, _mm256_cmpeq_epi8(all, missing_code));
    const __m512i lanes = _mm512_cvtepu32_epi64(all);
    const __m512d pick = _mm512_broadcast_f64x4(_mm256_loadu_pd(adds[i].add));
    s0 = _mm512_add_pd(s0, _mm512_permutexvar_pd(lanes, pick));
    s1 = _mm512_add_pd(s1, _mm512_permutexvar_pd(_mm512_srli_epi64(lanes, 8), pick));
    s2 = _mm512_add_pd(s2, _mm512_permutexvar_pd(_mm512_srli_epi64(lanes, 16), pick));
    s3 = _mm512_add_pd(s3, _mm512_permutexvar_pd(_mm512_srli_epi64(lanes, 24), pick));
  }
  _mm512_storeu_pd(sum, s0);
  _mm512_storeu_pd(sum + 8, s1);
  _mm512_storeu_pd(sum + 16, s2);
  _mm512_storeu_pd(sum + 24, s3);
  alignas(32) std::uint8_t counted[kBlock];
  _mm256_store_si256(reinterpret_cast<__m256i*>(counted), miss);
  for (int j = 0; j < kBlock; ++j) missing[j] += counted[interleaved(j)];
}

#endif

// The kernel a layout is made for: an explicitly requested one the
// processor cannot run falls back to the portable one.
RelatednessKernel resolved(RelatednessKernel kernel) {
  if (kernel == RelatednessKernel::automatic) return relatedness_automatic_kernel();
  return relatedness_kernel_available(kernel) ? kernel : RelatednessKernel::portable;
}

BlockPass block_pass_for(RelatednessKernel kernel) {
#ifdef BANDSCAPE_X86_KERNELS
  if (kernel == RelatednessKernel::avx512) return block_pass_avx512;
  if (kernel == RelatednessKernel::avx2) return block_pass_avx2;
#endif
  (void)kernel;
  return block_pass_portable;
}

}  // namespace

RelatednessTriangle::RelatednessTriangle(int ntot) : n_(ntot < 0 ? 0 : ntot) {
  block_.reset(allocate_block<float>(static_cast<long long>(pairs(n_)) + 1));
  if (!block_) allocation_failure("\nallocation failure 2 in matrix()");
}

void compute_overall_freq(const ScoreMatrix& scores, int ntot, int m, FVector& p, FVector& S, FVector& VarS) {
  if (m <= 0) return;
  IVector present = int_vector(0, m - 1);
  IVector scored = int_vector(0, m - 1);
  for (int x = 0; x < ntot; ++x) {
    const std::uint8_t* row = scores[x];
    for (int l = 0; l < m; ++l) {
      present[l] += row[l] == 1;
      scored[l] += row[l] < 9;
    }
  }
  for (int l = 0; l < m; ++l) {
    const int n = scored[l];
    if (n == 0) {
      // 1 - 1/n and the division by n have no finite value: S and VarS are
      // not numbers, and no pair ever uses the locus.
      p[l] = 0.0f;
      S[l] = std::numeric_limits<float>::quiet_NaN();
      VarS[l] = std::numeric_limits<float>::quiet_NaN();
      continue;
    }
    p[l] = static_cast<float>(static_cast<double>(present[l]) / n);
    const double pl = p[l];
    const double q = 1.0 - pl;
    const double t = 1.0 - 2.0 * pl;
    S[l] = static_cast<float>(1.0 - ((2.0 * pl) * q) * (1.0 - 1.0 / n));
    VarS[l] = static_cast<float>(((4.0 * pl) * q) * (t * t) / n);
  }
}

int RelatednessLayout::score(int x, int u) const {
  const std::size_t b = static_cast<std::size_t>(x / kBlock);
  const int j = interleaved_codes() ? interleaved(x % kBlock) : x % kBlock;
  const std::size_t at = (b * static_cast<std::size_t>(loci) + static_cast<std::size_t>(u)) * kBlock;
  const std::uint8_t code = codes[at + static_cast<std::size_t>(j)];
  return code == kCodeMissing ? 9 : (code == kCodePresent ? 1 : 0);
}

RelatednessLayout make_relatedness_layout(const ScoreMatrix& scores, int ntot, int m, const FVector& S,
                                          const FVector& VarS, RelatednessKernel kernel) {
  RelatednessLayout lay;
  lay.ntot = ntot < 0 ? 0 : ntot;
  lay.blocks = (lay.ntot + kBlock - 1) / kBlock;
  lay.kernel = resolved(kernel);
  std::vector<int> kept;
  for (int l = 0; l < m; ++l) {
    if (S[l] < 1.0f) kept.push_back(l);  // false for NaN (no one scored)
  }
  lay.loci = static_cast<int>(kept.size());
  lay.codes.assign(static_cast<std::size_t>(lay.blocks) * kept.size() * kBlock, kCodeMissing);
  lay.differ.resize(kept.size());
  for (std::size_t u = 0; u < kept.size(); ++u) {
    const int l = kept[u];
    const double s = S[l];
    const double one_minus = 1.0 - s;
    const double cube = (one_minus * one_minus) * one_minus;
    lay.differ[u] = static_cast<double>(VarS[l]) / cube - s / one_minus;
  }
  // Each individual's scores are read along its row and written with a
  // stride of one block (nothing to write when no locus is polymorphic).
  if (kept.empty()) return lay;
  for (int x = 0; x < lay.ntot; ++x) {
    const int j = lay.interleaved_codes() ? interleaved(x % kBlock) : x % kBlock;
    std::uint8_t* dst = lay.codes.data() + static_cast<std::size_t>(x / kBlock) * kept.size() * kBlock +
                        static_cast<std::size_t>(j);
    const std::uint8_t* row = scores[x];
    for (std::size_t u = 0; u < kept.size(); ++u) dst[u * kBlock] = code_of(row[kept[u]]);
  }
  return lay;
}

bool relatedness_kernel_available(RelatednessKernel kernel) {
  switch (kernel) {
    case RelatednessKernel::automatic:
    case RelatednessKernel::portable:
      return true;
#ifdef BANDSCAPE_X86_KERNELS
    case RelatednessKernel::avx2:
      return __builtin_cpu_supports("avx2");
    case RelatednessKernel::avx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
#else
    case RelatednessKernel::avx2:
    case RelatednessKernel::avx512:
      return false;
#endif
  }
  return false;
}

RelatednessKernel relatedness_automatic_kernel() {
  if (relatedness_kernel_available(RelatednessKernel::avx512)) return RelatednessKernel::avx512;
  if (relatedness_kernel_available(RelatednessKernel::avx2)) return RelatednessKernel::avx2;
  return RelatednessKernel::portable;
}

void compute_relatedness(const RelatednessLayout& layout, int x_begin, int x_end, RelatednessTriangle& rel) {
  const int n = layout.ntot;
  if (x_begin < 0) x_begin = 0;
  if (x_end > n) x_end = n;
  if (x_begin >= x_end) return;
  const BlockPass pass = block_pass_for(layout.kernel);
  const std::size_t block_bytes = static_cast<std::size_t>(layout.loci) * kBlock;
  const std::size_t loci = static_cast<std::size_t>(layout.loci);
  const std::size_t partners = static_cast<std::size_t>(layout.blocks) * kBlock;
  // Per row of a tile: the loci scored in x with what they add, and the sums
  // and missing counts of every partner in the blocks from x's own one on.
  std::vector<int> locus(kRelatednessTile * loci);
  std::vector<LocusAdds> adds(kRelatednessTile * loci);
  std::vector<double> sum(kRelatednessTile * partners);
  std::vector<int> missing(kRelatednessTile * partners);
  int scored[kRelatednessTile];
  int first_block[kRelatednessTile];
  for (int tile = x_begin; tile < x_end; tile += kRelatednessTile) {
    const int rows = std::min(kRelatednessTile, x_end - tile);
    int most_scored = 0;
    for (int t = 0; t < rows; ++t) {
      const int x = tile + t;
      int* row_locus = locus.data() + t * loci;
      LocusAdds* row_adds = adds.data() + t * loci;
      int k = 0;
      for (int u = 0; u < layout.loci; ++u) {
        const int sx = layout.score(x, u);
        if (sx == 9) continue;  // x not scored: no pair of x uses the locus
        const double d = layout.differ[static_cast<std::size_t>(u)];
        row_locus[k] = u;
        row_adds[k] = sx == 1 ? LocusAdds{{d, 1.0, 1.0, -0.0}} : LocusAdds{{1.0, d, d, -0.0}};
        ++k;
      }
      scored[t] = k;
      most_scored = std::max(most_scored, k);
      // Partners from x+1 on, from the start of the block holding x+1: the
      // values of the few partners y <= x in that block are not used.
      first_block[t] = (x + 1) / kBlock;
      const std::size_t first = t * partners + static_cast<std::size_t>(first_block[t]) * kBlock;
      std::fill(sum.begin() + static_cast<std::ptrdiff_t>(first),
                sum.begin() + static_cast<std::ptrdiff_t>((t + 1) * partners), 0.0);
      std::fill(missing.begin() + static_cast<std::ptrdiff_t>(first),
                missing.begin() + static_cast<std::ptrdiff_t>((t + 1) * partners), 0);
    }
    // Pass after pass of each row's scored loci, block after block, and the
    // rows of the tile one after the other on the block while its codes for
    // those loci are in cache.  Each pair still adds its loci in order.
    for (int start = 0; start < most_scored; start += kLociPerPass) {
      for (int b = first_block[0]; b < layout.blocks; ++b) {
        const std::uint8_t* codes = layout.codes.data() + static_cast<std::size_t>(b) * block_bytes;
        const std::size_t at = static_cast<std::size_t>(b) * kBlock;
        for (int t = 0; t < rows; ++t) {
          if (b < first_block[t] || start >= scored[t]) continue;
          pass(codes, locus.data() + t * loci + start, adds.data() + t * loci + start,
               std::min(kLociPerPass, scored[t] - start), sum.data() + t * partners + at,
               missing.data() + t * partners + at);
        }
      }
    }
    for (int t = 0; t < rows; ++t) {
      const int x = tile + t;
      const double* row_sum = sum.data() + t * partners;
      const int* row_missing = missing.data() + t * partners;
      float* out = rel.row(x);
      for (int y = x + 1; y < n; ++y) {
        const std::size_t j = static_cast<std::size_t>(y);
        const int used = scored[t] - row_missing[j];
        out[y - x - 1] = used == 0 ? kRelatednessUndefined : static_cast<float>(row_sum[j] / used);
      }
    }
  }
}

void compute_relatedness(const ScoreMatrix& scores, int ntot, int m, const FVector& S, const FVector& VarS,
                         RelatednessTriangle& rel, int threads, RelatednessKernel kernel,
                         const RelatednessProgress& progress) {
  const RelatednessLayout layout = make_relatedness_layout(scores, ntot, m, S, VarS, kernel);
  // Rows are handed out in small chunks: early rows hold more pairs than late
  // ones.  A stage of a reported triangle holds a few dozen rows: one tile at
  // a time keeps the threads busy to its end.
  int chunk = 2 * kRelatednessTile;
  auto rows = [&](int x_begin, int x_end) {
    parallel_chunks(x_end - x_begin, chunk, threads, [&](int a, int b) {
      compute_relatedness(layout, x_begin + a, x_begin + b, rel);
    });
  };
  const double pairs = static_cast<double>(rel.pair_count());
  if (!progress || pairs * layout.loci <= kRelatednessProgressSteps) {
    rows(0, ntot);
    return;
  }
  // Stage s (1..50) ends at the first row before which at least s/50 of the
  // pairs lie; row x holds ntot - x - 1 pairs.
  constexpr int kStages = 50;
  chunk = kRelatednessTile;
  progress(0);
  int x = 0;
  double done = 0.0;
  for (int s = 1; s <= kStages && x < ntot; ++s) {
    const int begin = x;
    while (x < ntot && done < pairs * s / kStages) {
      done += ntot - x - 1;
      ++x;
    }
    if (s == kStages) x = ntot;
    if (x == begin) continue;
    rows(begin, x);
    progress(x == ntot ? 100 : static_cast<int>(100.0 * done / pairs));
  }
}

int population_of_individual(int x, const IVector& bounds, int r) {
  int k = 0;
  while (k < r && bounds[k + 1] <= x) ++k;
  return k;
}

}  // namespace bandscape
