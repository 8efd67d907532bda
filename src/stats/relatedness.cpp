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
#include "core/output_file.hpp"
#include "core/write_guard.hpp"

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
// leaves its sum exactly as it was.
struct LocusAdds {
  double add[4];  // band absent, band present, (unused), missing
};

// Absent (0) -> 0, present (2) -> 1, missing (0xFF) -> 3.
int add_index(std::uint8_t code) { return (code >> 1) & 3; }

// One pass of `count` loci of x over one block of partners: locus i of the
// pass sits at codes + kBlock * locus[i] and adds adds[i]; sum[j] and
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

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
#define BANDSCAPE_AVX2_KERNEL 1

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
#endif

BlockPass block_pass_for(RelatednessKernel kernel) {
#ifdef BANDSCAPE_AVX2_KERNEL
  if (kernel == RelatednessKernel::automatic && relatedness_avx2_available()) return block_pass_avx2;
#endif
  (void)kernel;
  return block_pass_portable;
}

}  // namespace

RelatednessTriangle::RelatednessTriangle(int ntot) : n_(ntot < 0 ? 0 : ntot) {
  block_.reset(allocate_block<float>(static_cast<long long>(pairs(n_)) + 1));
  if (!block_) allocation_failure("\nallocation failure 2 in matrix()");
}

void compute_overall_freq(const IMatrix& scores, int ntot, int m, FVector& p, FVector& S, FVector& VarS) {
  if (m <= 0) return;
  IVector present = int_vector(0, m - 1);
  IVector scored = int_vector(0, m - 1);
  for (int x = 0; x < ntot; ++x) {
    const int* row = scores[x];
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

RelatednessLayout make_relatedness_layout(const IMatrix& scores, int ntot, int m, const FVector& S,
                                          const FVector& VarS) {
  RelatednessLayout lay;
  lay.ntot = ntot < 0 ? 0 : ntot;
  lay.blocks = (lay.ntot + kBlock - 1) / kBlock;
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
  // stride of one block.
  for (int x = 0; x < lay.ntot; ++x) {
    std::uint8_t* dst = lay.codes.data() + static_cast<std::size_t>(x / kBlock) * kept.size() * kBlock +
                        static_cast<std::size_t>(x % kBlock);
    const int* row = scores[x];
    for (std::size_t u = 0; u < kept.size(); ++u) dst[u * kBlock] = code_of(row[kept[u]]);
  }
  return lay;
}

bool relatedness_avx2_available() {
#ifdef BANDSCAPE_AVX2_KERNEL
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

void compute_relatedness(const RelatednessLayout& layout, int x_begin, int x_end, RelatednessTriangle& rel,
                         RelatednessKernel kernel) {
  const int n = layout.ntot;
  if (x_begin < 0) x_begin = 0;
  if (x_end > n) x_end = n;
  if (x_begin >= x_end) return;
  const BlockPass pass = block_pass_for(kernel);
  const std::size_t block_bytes = static_cast<std::size_t>(layout.loci) * kBlock;
  // The loci scored in x with what they add, and the sums and missing counts
  // of every partner in the blocks from x's own one on.
  std::vector<int> locus(static_cast<std::size_t>(layout.loci));
  std::vector<LocusAdds> adds(static_cast<std::size_t>(layout.loci));
  std::vector<double> sum(static_cast<std::size_t>(layout.blocks) * kBlock);
  std::vector<int> missing(static_cast<std::size_t>(layout.blocks) * kBlock);
  for (int x = x_begin; x < x_end; ++x) {
    const int len = n - x - 1;
    if (len <= 0) continue;
    int scored = 0;
    for (int u = 0; u < layout.loci; ++u) {
      const std::uint8_t sx = layout.code(x, u);
      if (sx == kCodeMissing) continue;  // x not scored: no pair of x uses the locus
      const double d = layout.differ[static_cast<std::size_t>(u)];
      locus[static_cast<std::size_t>(scored)] = u;
      adds[static_cast<std::size_t>(scored)] =
          sx == kCodePresent ? LocusAdds{{d, 1.0, -0.0, -0.0}} : LocusAdds{{1.0, d, -0.0, -0.0}};
      ++scored;
    }
    // Partners from x+1 on, from the start of the block holding x+1: the
    // values of the few partners y <= x in that block are not used.
    const int first_block = (x + 1) / kBlock;
    const std::size_t first = static_cast<std::size_t>(first_block) * kBlock;
    std::fill(sum.begin() + static_cast<std::ptrdiff_t>(first), sum.end(), 0.0);
    std::fill(missing.begin() + static_cast<std::ptrdiff_t>(first), missing.end(), 0);
    for (int start = 0; start < scored; start += kLociPerPass) {
      const int count = std::min(kLociPerPass, scored - start);
      for (int b = first_block; b < layout.blocks; ++b) {
        const std::size_t at = static_cast<std::size_t>(b) * kBlock;
        pass(layout.codes.data() + static_cast<std::size_t>(b) * block_bytes, locus.data() + start,
             adds.data() + start, count, sum.data() + at, missing.data() + at);
      }
    }
    float* out = rel.row(x);
    for (int y = x + 1; y < n; ++y) {
      const std::size_t j = static_cast<std::size_t>(y);
      const int used = scored - missing[j];
      out[y - x - 1] = used == 0 ? kRelatednessUndefined : static_cast<float>(sum[j] / used);
    }
  }
}

void compute_relatedness(const IMatrix& scores, int ntot, int m, const FVector& S, const FVector& VarS,
                         RelatednessTriangle& rel, int threads, RelatednessKernel kernel,
                         const RelatednessProgress& progress) {
  const RelatednessLayout layout = make_relatedness_layout(scores, ntot, m, S, VarS);
  // Rows are handed out in small chunks: early rows hold more pairs than late
  // ones.  A stage of a reported triangle holds a few dozen rows: one row at a
  // time keeps the threads busy to its end.
  int chunk = 8;
  auto rows = [&](int x_begin, int x_end) {
    parallel_chunks(x_end - x_begin, chunk, threads, [&](int a, int b) {
      compute_relatedness(layout, x_begin + a, x_begin + b, rel, kernel);
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
  chunk = 1;
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

// ---------------------------------------------------------------------------
// Text formatting: the three blocks run to ntot^2 lines or cells, so numbers
// are formatted by hand (identical to printf's output) into one large buffer.

int format_int(char* out, int v) {
  char tmp[12];
  int n = 0;
  // Work on the negative value so that INT_MIN needs no special case.
  int neg = v < 0 ? v : -v;
  do {
    tmp[n++] = static_cast<char>('0' - neg % 10);
    neg /= 10;
  } while (neg != 0);
  int len = 0;
  if (v < 0) out[len++] = '-';
  while (n > 0) out[len++] = tmp[--n];
  return len;
}

int format_fixed(char* out, double v, int decimals) {
  static constexpr std::uint64_t kPow10[] = {1,         10,         100,         1000,         10000,
                                             100000,    1000000,    10000000,    100000000,    1000000000};
  if (decimals < 0 || decimals > 9 || !std::isfinite(v) || std::fabs(v) >= 1.0e15) {
    return format_into(out, kFixedTextMax, "%.*f", decimals, v);
  }
  // v = N 2^E exactly, N an integer below 2^53.
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t N = biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
  const int E = biased == 0 ? -1074 : biased - 1075;
  const std::uint64_t scale = kPow10[decimals];

  std::uint64_t whole = 0;
  std::uint64_t digits = 0;  // the decimals, as an integer below scale
  if (E >= 0) {
    whole = N << E;  // below 1e15
  } else {
    const int s = -E;
    const std::uint64_t rest = s < 64 ? (N & ((std::uint64_t{1} << s) - 1)) : N;
    whole = s < 64 ? N >> s : 0;
    // rest / 2^s times 10^decimals, rounded to nearest with ties to even.
    const unsigned __int128 prod = static_cast<unsigned __int128>(rest) * scale;  // below 2^83
    if (s < 128) {
      const unsigned __int128 q = prod >> s;
      const unsigned __int128 rem = prod & ((static_cast<unsigned __int128>(1) << s) - 1);
      const unsigned __int128 half = static_cast<unsigned __int128>(1) << (s - 1);
      digits = static_cast<std::uint64_t>(q);
      if (rem > half || (rem == half && (digits & 1) != 0)) ++digits;
    }  // else the scaled fraction is below 2^-45: rounds to 0
    if (digits == scale) {
      digits = 0;
      ++whole;
    }
  }
  int len = 0;
  if (negative) out[len++] = '-';
  char tmp[20];
  int n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  while (n > 0) out[len++] = tmp[--n];
  if (decimals > 0) {
    out[len++] = '.';
    for (int i = decimals - 1; i >= 0; --i) {
      out[len + i] = static_cast<char>('0' + digits % 10);
      digits /= 10;
    }
    len += decimals;
  }
  return len;
}

namespace {

// One report file opened in append mode and written through a large buffer;
// the whole table is one write for the write lock.  finish() writes what is
// left and closes the file, both checked.
class ReportWriter {
 public:
  explicit ReportWriter(const std::string& name) : buffer_(kCapacity) {
    open_ = file_.open(name, OpenMode::kAppend, Links::kFollow);
  }
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  void finish() {
    flush();
    file_.close();
  }

  bool ok() const { return open_; }

  // Room for at least n more characters.
  char* reserve(std::size_t n) {
    if (used_ + n > buffer_.size()) {
      flush();
      if (n > buffer_.size()) buffer_.resize(n);
    }
    return buffer_.data() + used_;
  }
  void commit(std::size_t n) { used_ += n; }

  void put(const char* text, std::size_t n) {
    std::memcpy(reserve(n), text, n);
    used_ += n;
  }
  void put(const std::string& text) { put(text.data(), text.size()); }
  void put(char c) {
    *reserve(1) = c;
    ++used_;
  }
  // "%.<decimals>f", right-aligned in `width` characters.
  void put_fixed(double v, int decimals, int width) {
    char tmp[kFixedTextMax];
    const int n = format_fixed(tmp, v, decimals);
    char* p = reserve(static_cast<std::size_t>(n > width ? n : width));
    int pad = width - n;
    for (int i = 0; i < pad; ++i) p[i] = ' ';
    if (pad < 0) pad = 0;
    std::memcpy(p + pad, tmp, static_cast<std::size_t>(n));
    used_ += static_cast<std::size_t>(pad + n);
  }

 private:
  static constexpr std::size_t kCapacity = std::size_t{1} << 20;

  void flush() {
    if (used_ > 0) file_.write(buffer_.data(), used_);
    used_ = 0;
  }

  WriteGuard guard_;  // first member: held from before the open until after the close
  OutputFile file_;
  bool open_ = false;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

// One Phylip block: ntot, then one row per individual labelled "ind<x+1>"
// (left-aligned, cut to 10 characters), each cell "%10.4f" of the diagonal
// value or of the pair's value (or of 1 - value), 999 shown as "undefined".
void write_phylip_block(ReportWriter& out, const char* title, int ntot, const RelatednessTriangle& rel,
                        double diagonal, bool distance) {
  out.put(title, std::strlen(title));
  out.put('\n');
  char num[12];
  out.put(num, static_cast<std::size_t>(format_int(num, ntot)));
  for (int x = 0; x < ntot; ++x) {
    char label[16] = {'i', 'n', 'd'};
    const int n = 3 + format_int(label + 3, x + 1);
    char* p = out.reserve(11);
    p[0] = '\n';
    for (int i = 0; i < 10; ++i) p[1 + i] = i < n ? label[i] : ' ';
    out.commit(11);
    for (int y = 0; y < ntot; ++y) {
      if (y == x) {
        out.put_fixed(diagonal, 4, 10);
        continue;
      }
      const float v = rel.value(x, y);
      if (v == kRelatednessUndefined) {
        out.put(" undefined", 10);
      } else {
        out.put_fixed(distance ? 1.0 - static_cast<double>(v) : static_cast<double>(v), 4, 10);
      }
    }
  }
}

}  // namespace

int write_relatedness_matrices(const std::string& report, int ntot, const RelatednessTriangle& rel) {
  ReportWriter out(report);
  if (!out.ok()) return -999;
  write_phylip_block(out,
                     "\n\nRelatedness between pairs of individuals after Lynch and Milligan - 1994 (Phylip format)",
                     ntot, rel, 1.0, false);
  write_phylip_block(out, "\n\n1-r distance between pairs of individuals  (Phylip format)", ntot, rel, 0.0, true);
  out.finish();
  return 0;
}

int write_relatedness_table(const std::string& report, int ntot, const RelatednessTriangle& rel, int r,
                            const NameList& names, const IVector& bounds) {
  ReportWriter out(report);
  if (!out.ok()) return -999;
  static constexpr char kTitle[] =
      "\n\nTable 6. Relatedness between an individual and all other individuals grouped by population"
      "\npop_a\ta\tpop_b\tb\trab\t1-rab";
  out.put(kTitle, sizeof kTitle - 1);
  // "<population name>\t<number>" of every individual, numbered 1..ntot
  // across the whole sample.
  std::vector<std::string> label(static_cast<std::size_t>(ntot > 0 ? ntot : 0));
  for (int x = 0; x < ntot; ++x) {
    char num[12];
    const int n = format_int(num, x + 1);
    std::string& s = label[static_cast<std::size_t>(x)];
    s = names[population_of_individual(x, bounds, r) + 1];
    s += '\t';
    s.append(num, static_cast<std::size_t>(n));
  }
  for (int x = 0; x < ntot; ++x) {
    const std::string& a = label[static_cast<std::size_t>(x)];
    for (int y = 0; y < ntot; ++y) {
      if (y == x) continue;
      const std::string& b = label[static_cast<std::size_t>(y)];
      const double v = rel.value(x, y);
      char* p = out.reserve(a.size() + b.size() + 4 + 2 * kFixedTextMax);
      char* q = p;
      *q++ = '\n';
      std::memcpy(q, a.data(), a.size());
      q += a.size();
      *q++ = '\t';
      std::memcpy(q, b.data(), b.size());
      q += b.size();
      *q++ = '\t';
      q += format_fixed(q, v, 6);
      *q++ = '\t';
      q += format_fixed(q, 1.0 - v, 6);
      out.commit(static_cast<std::size_t>(q - p));
    }
  }
  out.finish();
  return 0;
}

}  // namespace bandscape
