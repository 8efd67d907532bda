// Offset-indexed vectors and matrices.
//
// The statistics index populations 1..r and loci 1..m (or 0..r-1, 0..m-1)
// exactly as the formulas number them.  OffsetVector<T> holds the elements
// lo..hi, OffsetMatrix<T> the rows rl..rh by columns cl..ch, both bounds
// inclusive.  Storage is one contiguous block with a spare cell in front
// (element lo, or row rl column cl, is the second cell), rows lie one after the
// other (row-major), and the block is owned (RAII).  Elements are zeroed.
//
// When memory cannot be obtained, the allocators write their message to the
// console and to the file "erreur" and end the run with a FatalError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>

#include "core/message_log.hpp"

namespace bandscape {

// A zeroed block of n elements, or nullptr when it cannot be had.  Plain
// numbers come from calloc: the system hands out zeroed pages as they are
// first written, so a large matrix filled row by row holds no more memory than
// its rows written so far.
template <class T>
T* allocate_block(long long n) {
  if (n < 1 || static_cast<unsigned long long>(n) > static_cast<std::size_t>(-1) / sizeof(T) / 2) return nullptr;
  if constexpr (std::is_trivial_v<T>) {
    return static_cast<T*>(std::calloc(static_cast<std::size_t>(n), sizeof(T)));
  } else {
    try {
      return new (std::nothrow) T[static_cast<std::size_t>(n)]();
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
}

// Gives back a block of allocate_block.
template <class T>
struct BlockDeleter {
  void operator()(T* p) const {
    if constexpr (std::is_trivial_v<T>) {
      std::free(p);
    } else {
      delete[] p;
    }
  }
};
template <class T>
using Block = std::unique_ptr<T[], BlockDeleter<T>>;

template <class T>
class OffsetVector {
 public:
  OffsetVector() = default;
  OffsetVector(int lo, int hi, const char* failure_message) : lo_(lo), hi_(hi) {
    const long long n = static_cast<long long>(hi) - lo + 2;
    block_.reset(allocate_block<T>(n));
    if (!block_) allocation_failure(failure_message);
  }

  T& operator[](int i) { return block_[static_cast<std::ptrdiff_t>(i) - lo_ + 1]; }
  const T& operator[](int i) const { return block_[static_cast<std::ptrdiff_t>(i) - lo_ + 1]; }

  int lo() const { return lo_; }
  int hi() const { return hi_; }
  // Number of usable elements (0 for hi = lo - 1).
  int size() const { return hi_ - lo_ + 1; }
  bool empty() const { return !block_; }
  // Address of element lo; the elements lo..hi follow contiguously.
  T* begin() { return block_.get() + 1; }
  T* end() { return block_.get() + 1 + size(); }
  const T* begin() const { return block_.get() + 1; }
  const T* end() const { return block_.get() + 1 + size(); }
  void fill(const T& value) {
    for (T* p = begin(); p != end(); ++p) *p = value;
  }

 private:
  int lo_ = 0;
  int hi_ = -1;
  Block<T> block_;
};

template <class T>
class OffsetMatrix {
 public:
  OffsetMatrix() = default;
  OffsetMatrix(int rl, int rh, int cl, int ch, const char* failure_row_table,
               const char* failure_elements)
      : rl_(rl), rh_(rh), cl_(cl), ch_(ch) {
    const long long rows = static_cast<long long>(rh) - rl + 1;
    const long long cols = static_cast<long long>(ch) - cl + 1;
    if (rows < 0) allocation_failure(failure_row_table);
    if (cols < 0) allocation_failure(failure_elements);
    ncol_ = cols;
    if (cols > 0 && rows > (static_cast<long long>(1) << 62) / cols) allocation_failure(failure_elements);
    block_.reset(allocate_block<T>(rows * cols + 1));
    if (!block_) allocation_failure(failure_elements);
  }

  // Row i, addressable at columns cl..ch.  A row can be handed on by itself.
  T* operator[](int i) { return block_.get() + 1 + (static_cast<std::ptrdiff_t>(i) - rl_) * ncol_ - cl_; }
  const T* operator[](int i) const {
    return block_.get() + 1 + (static_cast<std::ptrdiff_t>(i) - rl_) * ncol_ - cl_;
  }
  T& at(int i, int j) { return block_[1 + (static_cast<std::ptrdiff_t>(i) - rl_) * ncol_ + (j - cl_)]; }
  const T& at(int i, int j) const {
    return block_[1 + (static_cast<std::ptrdiff_t>(i) - rl_) * ncol_ + (j - cl_)];
  }

  int row_lo() const { return rl_; }
  int row_hi() const { return rh_; }
  int col_lo() const { return cl_; }
  int col_hi() const { return ch_; }
  int rows() const { return rh_ - rl_ + 1; }
  int cols() const { return static_cast<int>(ncol_); }
  bool empty() const { return !block_; }
  // Address of element (rl, cl); all elements follow contiguously, row after row.
  T* data() { return block_.get() + 1; }
  const T* data() const { return block_.get() + 1; }
  std::size_t element_count() const { return static_cast<std::size_t>(rows()) * static_cast<std::size_t>(ncol_); }
  void fill(const T& value) {
    T* p = data();
    for (std::size_t k = 0; k < element_count(); ++k) p[k] = value;
  }

 private:
  int rl_ = 0, rh_ = -1, cl_ = 0, ch_ = -1;
  std::ptrdiff_t ncol_ = 0;
  Block<T> block_;
};

using IVector = OffsetVector<int>;
using FVector = OffsetVector<float>;
using DVector = OffsetVector<double>;
using IMatrix = OffsetMatrix<int>;
using FMatrix = OffsetMatrix<float>;
// Band scores, one byte each: 1 present, 0 absent, 9 missing.
using ScoreMatrix = OffsetMatrix<std::uint8_t>;

// The five allocators of the toolkit, named as the formulas' code uses them.
inline IVector int_vector(int lo, int hi) { return IVector(lo, hi, "\nallocation failure in ivector()"); }
inline FVector float_vector(int lo, int hi) { return FVector(lo, hi, "\nallocation failure in vector()"); }
inline DVector double_vector(int lo, int hi) { return DVector(lo, hi, "\nallocation failure in dvector()"); }
inline IMatrix int_matrix(int rl, int rh, int cl, int ch) {
  return IMatrix(rl, rh, cl, ch, "\nallocation failure 1 in imatrix()", "\nallocation failure 2 in imatrix()");
}
// Band scores; a failed allocation is told as for the other integer matrices.
inline ScoreMatrix score_matrix(int rl, int rh, int cl, int ch) {
  return ScoreMatrix(rl, rh, cl, ch, "\nallocation failure 1 in imatrix()", "\nallocation failure 2 in imatrix()");
}
inline FMatrix float_matrix(int rl, int rh, int cl, int ch) {
  return FMatrix(rl, rh, cl, ch, "\nallocation failure 1 in matrix()", "\nallocation failure 2 in matrix()");
}

// x * x for a single-precision x, the product kept in double precision.
inline double square(float x) { return static_cast<double>(x) * static_cast<double>(x); }

}  // namespace bandscape

#include <string>
namespace bandscape {
// Population and locus names, indexed 1..r or 1..m.
using NameList = OffsetVector<std::string>;
inline NameList name_list(int lo, int hi) { return NameList(lo, hi, "\nallocation failure in vector()"); }
}  // namespace bandscape
