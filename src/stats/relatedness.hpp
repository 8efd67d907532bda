// Relatedness between individuals after Lynch & Milligan (1994), from dominant
// band scores and band frequencies pooled over the whole sample, and the three
// report blocks built from it: the relatedness and 1-r distance matrices in
// Phylip format, and Table 6 (every individual against every other).
//
// The cost grows with the square of the sample, O(ntot^2 m).  The pairs are
// computed for a few consecutive individuals x at a time (kRelatednessTile),
// each for all y > x together, in blocks of kRelatednessBlock partners: the
// scores are copied block by block (RelatednessLayout) so that a block's codes for successive loci lie next to
// each other, and the block's running sums stay in vector registers while the
// loci are walked in order, so each pair's sum is still accumulated in locus
// order.  Rows x are independent and write disjoint parts of the result, so a
// caller may spread ranges of rows over threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "numeric/array.hpp"

namespace bandscape {

// Relatedness of a pair without any usable locus.
inline constexpr float kRelatednessUndefined = 999.0f;

// The upper triangle (x < y) of the pairwise relatedness of individuals
// 0..ntot-1, packed row after row: row x holds y = x+1..ntot-1.
class RelatednessTriangle {
 public:
  RelatednessTriangle() = default;
  // Zeroed storage for ntot individuals; on allocation failure the message goes
  // to "erreur" and FatalError is thrown, as for every array of the run.
  explicit RelatednessTriangle(int ntot);

  int individuals() const { return n_; }
  std::size_t pair_count() const { return pairs(n_); }

  // Entry (x, y) for 0 <= x < y < ntot.
  float& at(int x, int y) { return block_[offset(x) + static_cast<std::size_t>(y - x - 1)]; }
  float at(int x, int y) const { return block_[offset(x) + static_cast<std::size_t>(y - x - 1)]; }
  // The symmetric value r_xy = r_yx for x != y.
  float value(int x, int y) const { return x < y ? at(x, y) : at(y, x); }
  // Row x: entries y = x+1..ntot-1 at positions 0..ntot-x-2.
  float* row(int x) { return block_.get() + offset(x); }
  const float* row(int x) const { return block_.get() + offset(x); }

 private:
  static std::size_t pairs(int n) {
    return n < 2 ? 0 : static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2;
  }
  // Entries of rows 0..x-1: x (2 ntot - x - 1) / 2.
  std::size_t offset(int x) const {
    return static_cast<std::size_t>(x) * static_cast<std::size_t>(2 * static_cast<long long>(n_) - x - 1) / 2;
  }

  int n_ = 0;
  Block<float> block_;
};

// Per locus l = 0..m-1 over all ntot individuals pooled, with n_l the number
// scored (value below 9): the band frequency p[l] (scores equal to 1 / n_l, 0
// when n_l = 0), the expected similarity of two random individuals
// S[l] = 1 - 2p(1-p)(1 - 1/n_l) and its sampling variance
// VarS[l] = 4p(1-p)(1-2p)^2 / n_l.  S and VarS are formed in double from the
// single-precision p; with n_l = 0 they are NaN (such a locus is never used).
// scores: score_matrix(0,ntot-1, 0,m-1); p, S, VarS: float_vector(0,m-1).
void compute_overall_freq(const ScoreMatrix& scores, int ntot, int m, FVector& p, FVector& S, FVector& VarS);

// Partners of an individual are handled this many at a time.
inline constexpr int kRelatednessBlock = 32;

// Rows x computed together: each block of partners' codes is read from memory
// once for all of them, which matters when the codes outgrow the caches.
inline constexpr int kRelatednessTile = 4;

// The inner loop over a block of partners: `automatic` runs the widest one
// the processor has (AVX-512, then AVX2, then portable); the others name one
// version, and a version the processor lacks runs the portable loop instead.
// All give bit-identical results.
enum class RelatednessKernel { automatic, portable, avx2, avx512 };

// Whether this processor (and build) runs the named version.
bool relatedness_kernel_available(RelatednessKernel kernel);

// The version `automatic` runs here (never `automatic` itself).
RelatednessKernel relatedness_automatic_kernel();

// The scores rearranged for the pair computation, for the inner loop that
// will walk them: only the loci with S < 1 (polymorphic in the pooled
// sample), as one-byte codes (0 band absent, 2 band present, 0xFF missing)
// grouped by blocks of kRelatednessBlock individuals: block b holds, locus
// after locus, the codes of individuals b*kRelatednessBlock.. (padded with
// "missing" past ntot), in the order of the individuals, or for the AVX-512
// loop interleaved by eights (the byte of individual j of a block is
// 4 (j % 8) + j / 8).  Also the contribution of each kept locus to a pair
// whose two scores differ, VarS / (1 - S)^3 - S / (1 - S), in double.
struct RelatednessLayout {
  int ntot = 0;
  int loci = 0;                      // loci kept (S < 1)
  int blocks = 0;                    // ceil(ntot / kRelatednessBlock)
  RelatednessKernel kernel = RelatednessKernel::portable;  // never automatic
  std::vector<std::uint8_t> codes;   // codes[(b * loci + u) * kRelatednessBlock + byte of j]
  std::vector<double> differ;        // differ[u]

  bool interleaved_codes() const { return kernel == RelatednessKernel::avx512; }
  // Individual x at kept locus u: 0 band absent, 1 band present, 9 missing.
  int score(int x, int u) const;
};

// The layout for `kernel`, resolved as compute_relatedness resolves it (the
// processor's version for `automatic`, portable for one it lacks).
RelatednessLayout make_relatedness_layout(const ScoreMatrix& scores, int ntot, int m, const FVector& S,
                                          const FVector& VarS,
                                          RelatednessKernel kernel = RelatednessKernel::automatic);

// Rows x_begin <= x < x_end of the triangle: for every y > x, r_xy = (sum over
// the used loci, in locus order, of 1 for equal scores and of the locus's
// differ value for differing ones) / (number k of used loci), stored as a
// float, or 999 when k = 0.  A locus is used by a pair when S < 1 and both are
// scored there.  Calls over disjoint row ranges may run concurrently on the
// same triangle; the result does not depend on how the rows are split.
// The inner loop is the one the layout was made for.
void compute_relatedness(const RelatednessLayout& layout, int x_begin, int x_end, RelatednessTriangle& rel);

// Below this many locus-pair steps (pairs times polymorphic loci) the whole
// triangle takes about a second at most with the portable loop (a quarter of
// that with AVX2, less with AVX-512) and its progress is not reported.
inline constexpr double kRelatednessProgressSteps = 1.0e9;

// How far the whole triangle has come: called on the calling thread with 0
// before the first row, then with the percentage of pairs done after each of
// about 50 stages of rows, the last with 100.  The stages depend only on ntot
// and the number of loci, never on the threads.
using RelatednessProgress = std::function<void(int percent)>;

// The whole triangle: rel must have been made for ntot individuals.  With
// `progress`, and more than kRelatednessProgressSteps steps, the rows are
// computed stage after stage and each stage reported.
void compute_relatedness(const ScoreMatrix& scores, int ntot, int m, const FVector& S, const FVector& VarS,
                         RelatednessTriangle& rel, int threads = 1,
                         RelatednessKernel kernel = RelatednessKernel::automatic,
                         const RelatednessProgress& progress = {});

// The 0-based population of individual x: the number of leading entries
// bounds[1], bounds[2], ... (at most r of them) not greater than x.
int population_of_individual(int x, const IVector& bounds, int r);


}  // namespace bandscape
