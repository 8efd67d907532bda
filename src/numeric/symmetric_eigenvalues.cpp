// Householder tridiagonalisation with the rank-2 update of each step fused
// into the matrix-vector product of the next, on a wavefront of threads.
#include "numeric/symmetric_eigenvalues.hpp"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define BANDSCAPE_SSE2 1
#endif

#include "numeric/parallel.hpp"

namespace bandscape {

// The running sums of a pair of columns (j, j + 1) of the product: t2, t3
// over the rows added one at a time, p2, p3 over the rows added two at a time
// (one lane each for the first and second row of such a pair of rows).
struct PairSums {
  double t2 = 0.0, t3 = 0.0;
  double p2[2] = {0.0, 0.0}, p3[2] = {0.0, 0.0};
};

namespace {

using Index = Eigen::Index;

// Columns of a panel (an even number: the product takes columns in pairs)
// and rows of a block of the wavefront.
constexpr Index kPanelColumns = 32;
constexpr Index kBlockRows = 256;
// Below this trailing size a step runs on the calling thread alone.
constexpr Index kThreadedFrom = 384;

// One step: the trailing matrix (size r, column-major with `stride`), the
// Householder vector v and coefficient h, the result vector res (the step's
// part of the coefficient vector, whose 16-byte alignment decides which rows
// the product adds one at a time), and the previous step's update still to
// be applied: element (k, c) gains (-up[c]) wp[k] + (-wp[c]) up[k].
struct Step {
  double* lhs = nullptr;
  Index stride = 0;
  Index r = 0;
  const double* v = nullptr;
  double h = 0.0;
  double* res = nullptr;
  const double* up = nullptr;
  const double* wp = nullptr;
  bool pending = false;
  Index paired = 0;          // columns below this are taken in pairs, the rest one at a time
  Index first_aligned = 0;   // 0 or 1: the first row whose result is 16-byte aligned
  PairSums* sums = nullptr;  // paired / 2
};

// The first row at or after `row` whose result is aligned, as Eigen's product
// finds it (rows before it are added one at a time).
Index aligned_from(const Step& s, Index row) {
  return row + Eigen::internal::first_default_aligned(s.res + row, s.r - row);
}

// The previous step's update of element (k, c), as Eigen's rank-2 update
// computes it.
inline double updated(const Step& s, double a, Index k, Index c) {
  return a + ((-s.up[c]) * s.wp[k] + (-s.wp[c]) * s.up[k]);
}

// Rows [lo, hi) of the pair of columns (j, j + 1): the update, then the
// product's terms, in Eigen's order for each element and each sum.
void pair_rows(const Step& s, Index j, Index lo, Index hi) {
  double* a0 = s.lhs + j * s.stride;
  double* a1 = a0 + s.stride;
  double* res = s.res;
  const double* v = s.v;
  const double t0 = s.h * v[j], t1 = s.h * v[j + 1];
  PairSums& sum = s.sums[j / 2];
  Index k = std::max(lo, j);
  if (k == j && k < hi) {
    if (s.pending) a0[j] = updated(s, a0[j], j, j);
    res[j] += a0[j] * t0;
    sum = PairSums{};
    ++k;
  }
  if (k == j + 1 && k < hi) {
    if (s.pending) {
      a0[k] = updated(s, a0[k], k, j);
      a1[k] = updated(s, a1[k], k, j + 1);
    }
    res[k] += a1[k] * t1;
    res[k] += a0[k] * t0;
    sum.t2 += a0[k] * v[k];
    ++k;
  }
  const Index start = aligned_from(s, j + 2);
  const Index end = start + ((s.r - start) / 2) * 2;
  const auto single = [&](Index row) {
    if (s.pending) {
      a0[row] = updated(s, a0[row], row, j);
      a1[row] = updated(s, a1[row], row, j + 1);
    }
    res[row] += a0[row] * t0 + a1[row] * t1;
    sum.t2 += a0[row] * v[row];
    sum.t3 += a1[row] * v[row];
  };
  for (; k < hi && k < start; ++k) single(k);
  const Index packed_end = std::min(hi, end);
#ifdef BANDSCAPE_SSE2
  __m128d p2 = _mm_loadu_pd(sum.p2), p3 = _mm_loadu_pd(sum.p3);
  const __m128d t0v = _mm_set1_pd(t0), t1v = _mm_set1_pd(t1);
  // The update's coefficients of the two columns (unused when none is pending).
  const __m128d u0 = _mm_set1_pd(s.pending ? -s.up[j] : 0.0), w0 = _mm_set1_pd(s.pending ? -s.wp[j] : 0.0);
  const __m128d u1 = _mm_set1_pd(s.pending ? -s.up[j + 1] : 0.0), w1 = _mm_set1_pd(s.pending ? -s.wp[j + 1] : 0.0);
  for (; k < packed_end; k += 2) {
    __m128d x0 = _mm_loadu_pd(a0 + k), x1 = _mm_loadu_pd(a1 + k);
    if (s.pending) {
      const __m128d wk = _mm_loadu_pd(s.wp + k), uk = _mm_loadu_pd(s.up + k);
      x0 = _mm_add_pd(x0, _mm_add_pd(_mm_mul_pd(u0, wk), _mm_mul_pd(w0, uk)));
      x1 = _mm_add_pd(x1, _mm_add_pd(_mm_mul_pd(u1, wk), _mm_mul_pd(w1, uk)));
      _mm_storeu_pd(a0 + k, x0);
      _mm_storeu_pd(a1 + k, x1);
    }
    const __m128d vk = _mm_loadu_pd(v + k);
    __m128d rk = _mm_loadu_pd(res + k);
    rk = _mm_add_pd(_mm_mul_pd(x0, t0v), _mm_add_pd(_mm_mul_pd(x1, t1v), rk));
    _mm_storeu_pd(res + k, rk);
    p2 = _mm_add_pd(_mm_mul_pd(x0, vk), p2);
    p3 = _mm_add_pd(_mm_mul_pd(x1, vk), p3);
  }
  _mm_storeu_pd(sum.p2, p2);
  _mm_storeu_pd(sum.p3, p3);
#else
  for (; k < packed_end; k += 2) {
    for (Index lane = 0; lane < 2; ++lane) {
      const Index row = k + lane;
      if (s.pending) {
        a0[row] = updated(s, a0[row], row, j);
        a1[row] = updated(s, a1[row], row, j + 1);
      }
      res[row] = a0[row] * t0 + (a1[row] * t1 + res[row]);
      sum.p2[lane] = a0[row] * v[row] + sum.p2[lane];
      sum.p3[lane] = a1[row] * v[row] + sum.p3[lane];
    }
  }
#endif
  for (; k < hi; ++k) single(k);
  if (hi == s.r) {
    res[j] += s.h * (sum.t2 + (sum.p2[0] + sum.p2[1]));
    res[j + 1] += s.h * (sum.t3 + (sum.p3[0] + sum.p3[1]));
  }
}

// The columns after the pairs, one at a time, on one thread once every pair
// is done.
void single_columns(const Step& s) {
  for (Index j = s.paired; j < s.r; ++j) {
    double* a0 = s.lhs + j * s.stride;
    if (s.pending) {
      for (Index k = j; k < s.r; ++k) a0[k] = updated(s, a0[k], k, j);
    }
    const double t1 = s.h * s.v[j];
    double t2 = 0.0;
    s.res[j] += a0[j] * t1;
    for (Index k = j + 1; k < s.r; ++k) {
      s.res[k] += a0[k] * t1;
      t2 += a0[k] * s.v[k];
    }
    s.res[j] += s.h * t2;
  }
}

// Row blocks: block 0 is [0, kBlockRows + first_aligned), block b > 0 starts
// at b kBlockRows + first_aligned, so that no block splits two rows the
// product adds together.
Index block_of(const Step& s, Index row) {
  return row < kBlockRows + s.first_aligned ? 0 : (row - s.first_aligned) / kBlockRows;
}
Index block_start(const Step& s, Index b) { return b == 0 ? 0 : b * kBlockRows + s.first_aligned; }

}  // namespace

// The threads of one tridiagonalisation or of a series of products: the
// caller (worker 0) and helpers that meet it at a barrier before and after
// each step's pairs.
class Wavefront {
 public:
  explicit Wavefront(int threads) : workers_(1) {
    const int wanted = std::max(1, worker_count(threads));
    helpers_ = std::make_unique<WorkerThreads>(wanted - 1, ThreadStarter{});
    for (int t = 1; t < wanted; ++t) {
      if (!helpers_->start([this, t] { helper(t); })) break;
    }
    workers_ = 1 + helpers_->started();
    ready_.store(true, std::memory_order_release);
  }
  ~Wavefront() { release(); }
  Wavefront(const Wavefront&) = delete;
  Wavefront& operator=(const Wavefront&) = delete;

  // The product and the pending update of every pair of columns of `s`.
  void pairs(const Step& s) {
    const Index panels = (s.paired + kPanelColumns - 1) / kPanelColumns;
    if (workers_ == 1 || s.r < kThreadedFrom) {
      release();
      for (Index p = 0; p < panels; ++p) panel(s, p, nullptr, nullptr);
      return;
    }
    if (progress_.size() < static_cast<std::size_t>(panels)) {
      progress_ = std::vector<std::atomic<Index>>(static_cast<std::size_t>(panels));
    }
    for (Index p = 0; p < panels; ++p) progress_[static_cast<std::size_t>(p)].store(0, std::memory_order_relaxed);
    step_ = &s;
    panels_ = panels;
    meet();  // the helpers start on the step
    work(0);
    meet();  // every pair done
  }

 private:
  // Panel p, block after block, each after the panel on its left has done it.
  void panel(const Step& s, Index p, const std::atomic<Index>* left, std::atomic<Index>* done) {
    const Index first = p * kPanelColumns;
    const Index last = std::min(first + kPanelColumns, s.paired);
    const Index blocks = block_of(s, s.r - 1) + 1;
    for (Index b = block_of(s, first); b < blocks; ++b) {
      if (left != nullptr) {
        for (int spins = 0; left->load(std::memory_order_acquire) <= b; ++spins) {
          if (spins > 64) std::this_thread::yield();
        }
      }
      const Index lo = block_start(s, b), hi = b + 1 == blocks ? s.r : block_start(s, b + 1);
      for (Index j = first; j < last; j += 2) pair_rows(s, j, lo, hi);
      if (done != nullptr) done->store(b + 1, std::memory_order_release);
    }
  }

  void work(int t) {
    for (Index p = t; p < panels_; p += workers_) {
      panel(*step_, p, p == 0 ? nullptr : &progress_[static_cast<std::size_t>(p - 1)],
            &progress_[static_cast<std::size_t>(p)]);
    }
  }

  void helper(int t) {
    while (!ready_.load(std::memory_order_acquire)) std::this_thread::yield();
    for (;;) {
      meet();
      if (stopping_.load(std::memory_order_acquire)) return;
      work(t);
      meet();
    }
  }

  // All workers arrive before any leaves.
  void meet() {
    const long generation = generation_.load(std::memory_order_acquire);
    if (arrived_.fetch_add(1, std::memory_order_acq_rel) + 1 == workers_) {
      arrived_.store(0, std::memory_order_relaxed);
      generation_.store(generation + 1, std::memory_order_release);
      return;
    }
    for (int spins = 0; generation_.load(std::memory_order_acquire) == generation; ++spins) {
      if (spins > 64) std::this_thread::yield();
    }
  }

  // The helpers leave for good: the steps left are small.
  void release() {
    if (workers_ == 1) return;
    stopping_.store(true, std::memory_order_release);
    meet();
    helpers_->join();
    workers_ = 1;
  }

  int workers_;
  std::unique_ptr<WorkerThreads> helpers_;
  std::atomic<bool> ready_{false}, stopping_{false};
  std::atomic<int> arrived_{0};
  std::atomic<long> generation_{0};
  std::vector<std::atomic<Index>> progress_;
  const Step* step_ = nullptr;
  Index panels_ = 0;
};

void tridiagonalize_in_place(Eigen::MatrixXd& a, Eigen::VectorXd& hcoeffs, int threads) {
  const Index n = a.rows();
  if (a.cols() != n || hcoeffs.size() != std::max<Index>(n - 1, 0)) {
    throw std::invalid_argument(
        "tridiagonalisation: the matrix is not square "
        "or the coefficients do not fit");
  }
  if (n < 2) return;
  // The previous step's Householder vector and result, shifted by one row so
  // that they are indexed by the rows of the current trailing matrix.
  std::vector<double> previous_v(static_cast<std::size_t>(n)), up(static_cast<std::size_t>(n)),
      wp(static_cast<std::size_t>(n));
  std::vector<PairSums> sums(static_cast<std::size_t>(n / 2 + 1));
  Wavefront wavefront(threads);
  for (Index i = 0; i + 1 < n; ++i) {
    const Index r = n - i - 1;
    double h = 0.0, beta = 0.0;
    a.col(i).tail(r).makeHouseholderInPlace(h, beta);
    a.col(i).coeffRef(i + 1) = 1;

    Step s;
    s.lhs = &a.coeffRef(i + 1, i + 1);
    s.stride = a.outerStride();
    s.r = r;
    s.v = &a.coeffRef(i + 1, i);
    s.h = h;
    s.res = hcoeffs.data() + i;
    s.pending = i > 0;
    if (s.pending) {
      // The previous result occupies the rows this step's result overwrites.
      std::copy(previous_v.begin() + 1, previous_v.begin() + 1 + r, up.begin());
      std::copy(s.res, s.res + r, wp.begin());
    }
    s.up = up.data();
    s.wp = wp.data();
    s.paired = std::max<Index>(0, r - 8) & ~Index{1};
    s.first_aligned = Eigen::internal::first_default_aligned(s.res, r) == 0 ? 0 : 1;
    s.sums = sums.data();
    std::fill(s.res, s.res + r, 0.0);
    wavefront.pairs(s);
    single_columns(s);

    hcoeffs.tail(r) += (h * (-0.5) * (hcoeffs.tail(r).dot(a.col(i).tail(r)))) * a.col(i).tail(r);

    // This step's update of its first column now (the next Householder
    // vector is taken from it); of the others during the next step.
    std::copy(s.v, s.v + r, previous_v.begin());
    double* first = s.lhs;
    const double u0 = -previous_v[0], w0 = -s.res[0];
    for (Index k = 0; k < r; ++k) first[k] = first[k] + (u0 * s.res[k] + w0 * previous_v[static_cast<std::size_t>(k)]);
    a.col(i).coeffRef(i + 1) = beta;
    hcoeffs.coeffRef(i) = h;
  }
}

SymmetricProduct::SymmetricProduct(const Eigen::MatrixXd& a, int threads)
    : a_(a), wavefront_(std::make_unique<Wavefront>(threads)), sums_(static_cast<std::size_t>(a.rows() / 2 + 1)) {}

SymmetricProduct::~SymmetricProduct() = default;

void SymmetricProduct::perform_op(const double* x, double* y) const {
  // Eigen's product with alpha 1 and no update pending: every term is the
  // same as in its kernel (1 * t is t).
  Step s;
  s.lhs = const_cast<double*>(a_.data());  // read only: nothing is pending
  s.stride = a_.outerStride();
  s.r = a_.rows();
  s.v = x;
  s.h = 1.0;
  s.res = y;
  s.up = s.wp = nullptr;
  s.pending = false;
  s.paired = std::max<Index>(0, s.r - 8) & ~Index{1};
  s.first_aligned = Eigen::internal::first_default_aligned(s.res, s.r) == 0 ? 0 : 1;
  s.sums = sums_.data();
  std::fill(y, y + s.r, 0.0);
  if (s.r == 0) return;
  wavefront_->pairs(s);
  single_columns(s);
}

Eigen::VectorXd symmetric_eigenvalues_in_place(Eigen::MatrixXd& a, int threads) {
  using Solver = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>;
  const Index n = a.rows();
  Eigen::VectorXd diag(n);
  if (n == 0) return diag;
  if (n == 1) {
    diag(0) = a(0, 0);
    return diag;
  }
  a.triangularView<Eigen::StrictlyUpper>().setZero();
  double scale = a.cwiseAbs().maxCoeff();
  if (scale == 0.0) scale = 1.0;
  a.triangularView<Eigen::Lower>() /= scale;
  Eigen::VectorXd hcoeffs(n - 1);
  tridiagonalize_in_place(a, hcoeffs, threads);
  diag = a.diagonal();
  Eigen::VectorXd subdiag = a.diagonal<-1>();
  const Eigen::ComputationInfo info =
      Eigen::internal::computeFromTridiagonal_impl(diag, subdiag, Solver::m_maxIterations, false, a);
  if (info != Eigen::Success) throw std::runtime_error("eigen decomposition did not converge");
  diag *= scale;
  return diag;
}

}  // namespace bandscape
