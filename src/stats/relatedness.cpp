// Relatedness between individuals after Lynch & Milligan (1994).
#include "stats/relatedness.hpp"

#include "numeric/parallel.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/message_log.hpp"
#include "core/write_guard.hpp"

namespace bandscape {

namespace {

constexpr std::uint8_t kCodeAbsent = 0;
constexpr std::uint8_t kCodePresent = 1;
constexpr std::uint8_t kCodeMissing = 2;

// Partners y are processed in blocks of this many; the code rows carry this
// many spare "missing" codes at their end so that the last block may run past
// ntot - 1 without changing any sum.
constexpr int kBlock = 16;

std::uint8_t code_of(int score) {
  if (score >= 9) return kCodeMissing;
  return score == 1 ? kCodePresent : kCodeAbsent;
}

// Adds one locus to the running sums of the partners y = x+1.. of one
// individual x whose code there is sx (absent or present).  Partner j gets 1
// for an equal score, d for a differing one and nothing (0.0, which leaves a
// sum unchanged) when missing; k counts the loci used.  The fixed-length inner
// loop lets the compiler vectorise without a scalar remainder.
void accumulate_locus(const std::uint8_t* __restrict codes, std::uint8_t sx, double d, double* __restrict sum,
                      int* __restrict used, int blocks) {
  for (int b = 0; b < blocks; ++b) {
    const std::uint8_t* c = codes + b * kBlock;
    double* s = sum + b * kBlock;
    int* k = used + b * kBlock;
    for (int j = 0; j < kBlock; ++j) {
      const double add = c[j] == kCodeMissing ? 0.0 : (c[j] == sx ? 1.0 : d);
      s[j] += add;
      k[j] += c[j] != kCodeMissing;
    }
  }
}

}  // namespace

RelatednessTriangle::RelatednessTriangle(int ntot) : n_(ntot < 0 ? 0 : ntot) {
  block_.reset(allocate_block<float>(static_cast<long long>(pairs(n_)) + 1));
  if (!block_) allocation_failure("\nallocation failure 2 in matrix()");
}

void compute_overall_freq(const IMatrix& scores, int ntot, int m, FVector& p, FVector& S, FVector& VarS) {
  if (m <= 0) return;
  IVector present = ivector(0, m - 1);
  IVector scored = ivector(0, m - 1);
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
  // Padding of at least one block, rounded up to a cache line.
  lay.stride = (static_cast<std::size_t>(lay.ntot) + kBlock + 63) / 64 * 64;
  std::vector<int> kept;
  for (int l = 0; l < m; ++l) {
    if (S[l] < 1.0f) kept.push_back(l);  // false for NaN (no one scored)
  }
  lay.loci = static_cast<int>(kept.size());
  lay.codes.assign(lay.stride * kept.size(), kCodeMissing);
  lay.differ.resize(kept.size());
  for (std::size_t u = 0; u < kept.size(); ++u) {
    const int l = kept[u];
    const double s = S[l];
    const double one_minus = 1.0 - s;
    const double cube = (one_minus * one_minus) * one_minus;
    lay.differ[u] = static_cast<double>(VarS[l]) / cube - s / one_minus;
  }
  // Transpose individual-major scores into locus-major codes, a tile of
  // individuals at a time so that both sides stay in cache.
  constexpr int kTile = 64;
  for (int x0 = 0; x0 < lay.ntot; x0 += kTile) {
    const int x1 = x0 + kTile < lay.ntot ? x0 + kTile : lay.ntot;
    for (std::size_t u = 0; u < kept.size(); ++u) {
      std::uint8_t* dst = lay.codes.data() + u * lay.stride;
      const int l = kept[u];
      for (int x = x0; x < x1; ++x) dst[x] = code_of(scores[x][l]);
    }
  }
  return lay;
}

void compute_relatedness(const RelatednessLayout& layout, int x_begin, int x_end, RelatednessTriangle& rel) {
  const int n = layout.ntot;
  if (x_begin < 0) x_begin = 0;
  if (x_end > n) x_end = n;
  if (x_begin >= x_end) return;
  // Sums for the partners of one row, long enough for the padded last block.
  std::vector<double> sum(static_cast<std::size_t>(n) + kBlock);
  std::vector<int> used(static_cast<std::size_t>(n) + kBlock);
  for (int x = x_begin; x < x_end; ++x) {
    const int len = n - x - 1;
    if (len <= 0) continue;
    const int blocks = (len + kBlock - 1) / kBlock;
    const std::size_t padded = static_cast<std::size_t>(blocks) * kBlock;
    std::fill(sum.begin(), sum.begin() + static_cast<std::ptrdiff_t>(padded), 0.0);
    std::fill(used.begin(), used.begin() + static_cast<std::ptrdiff_t>(padded), 0);
    for (int u = 0; u < layout.loci; ++u) {
      const std::uint8_t* codes = layout.codes.data() + static_cast<std::size_t>(u) * layout.stride;
      const std::uint8_t sx = codes[x];
      if (sx == kCodeMissing) continue;  // x not scored: no pair of x uses the locus
      accumulate_locus(codes + x + 1, sx, layout.differ[static_cast<std::size_t>(u)], sum.data(), used.data(),
                       blocks);
    }
    float* out = rel.row(x);
    for (int j = 0; j < len; ++j) {
      out[j] = used[static_cast<std::size_t>(j)] == 0
                   ? kRelatednessUndefined
                   : static_cast<float>(sum[static_cast<std::size_t>(j)] / used[static_cast<std::size_t>(j)]);
    }
  }
}

void compute_relatedness(const IMatrix& scores, int ntot, int m, const FVector& S, const FVector& VarS,
                         RelatednessTriangle& rel, int threads) {
  const RelatednessLayout layout = make_relatedness_layout(scores, ntot, m, S, VarS);
  // Rows are handed out in small chunks: early rows hold more pairs than late ones.
  parallel_chunks(ntot, 8, threads,
                  [&](int x_begin, int x_end) { compute_relatedness(layout, x_begin, x_end, rel); });
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
    return std::snprintf(out, kFixedTextMax, "%.*f", decimals, v);
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
// the whole table is one write for the write lock.
class ReportWriter {
 public:
  explicit ReportWriter(const std::string& name) : buffer_(kCapacity) {
    file_ = std::fopen(name.c_str(), "a");
  }
  ~ReportWriter() {
    if (file_) {
      flush();
      std::fclose(file_);
    }
  }
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  bool ok() const { return file_ != nullptr; }

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
    if (used_ > 0) std::fwrite(buffer_.data(), 1, used_, file_);
    used_ = 0;
  }

  WriteGuard guard_;  // first member: held from before the open until after the close
  std::FILE* file_ = nullptr;
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
  return 0;
}

}  // namespace bandscape
